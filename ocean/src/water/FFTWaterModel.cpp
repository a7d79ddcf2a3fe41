#include "water/FFTWaterModel.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "Sea/Ocean.h"
#include "Sea/RandomNumberGenerator.h"
#include "water/FFT.h"
#include "water/FastMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Sea
{
namespace
{
const float twoPi = 6.2831853f;
const double pi = 3.14159265358979323846;

// Angle difference folded into [-pi, pi].
double wrapAngle(double a)
{
    a = std::fmod(a + pi, 2.0 * pi);
    if (a < 0.0)
        a += 2.0 * pi;
    return a - pi;
}

#ifdef __SSE2__
// Writes four (x, y, z) triples from three vectors of x, y and z: the 4 x 3 transpose.
inline void storeTriples(float* out, __m128 x, __m128 y, __m128 z)
{
    __m128 xy01 = _mm_unpacklo_ps(x, y); // x0 y0 x1 y1
    __m128 xy23 = _mm_unpackhi_ps(x, y); // x2 y2 x3 y3
    __m128 z0x1 = _mm_shuffle_ps(z, xy01, _MM_SHUFFLE(2, 2, 0, 0)); // z0 z0 x1 x1
    __m128 y1z1 = _mm_shuffle_ps(xy01, z, _MM_SHUFFLE(1, 1, 3, 3)); // y1 y1 z1 z1
    __m128 z2x3 = _mm_shuffle_ps(z, xy23, _MM_SHUFFLE(2, 2, 2, 2));  // z2 z2 x3 x3
    __m128 x3z3 = _mm_shuffle_ps(xy23, z, _MM_SHUFFLE(3, 3, 3, 2));  // x3 y3 z3 z3
    _mm_storeu_ps(out, _mm_shuffle_ps(xy01, z0x1, _MM_SHUFFLE(2, 0, 1, 0)));     // x0 y0 z0 x1
    _mm_storeu_ps(out + 4, _mm_shuffle_ps(y1z1, xy23, _MM_SHUFFLE(1, 0, 2, 0))); // y1 z1 x2 y2
    _mm_storeu_ps(out + 8, _mm_shuffle_ps(z2x3, x3z3, _MM_SHUFFLE(2, 1, 2, 0))); // z2 x3 y3 z3
}
#endif

// The simulated patch is held in several arrays of this many cells squared, each frame.
const int maxDimension = 1024;

void clampDimension(const char* key, int& value)
{
    if (value <= maxDimension)
        return;
    MessageChannel::LogFormatted("%s %d is above %d; %d is used.", key, value, maxDimension, maxDimension);
    value = maxDimension;
}

// Observed share of the sea covered by whitecaps at a wind speed of `v` m/s at 10 m
// (Monahan and O'Muircheartaigh): a few per mille at force 4, some per cent at 6, about a
// sixth at 9; capped so that a hurricane sea does not turn white.
double whitecapCoverage(double v) { return std::min(0.4, 3.84e-6 * std::pow(std::max(v, 0.0), 3.41)); }

// In double precision: national grid coordinates in cells exceed what a float resolves.
inline float wrapIndex(double v, int n, int& i0, int& i1)
{
    double f = std::floor(v);
    float frac = float(v - f);
    int i = int(std::fmod(f, double(n)));
    if (i < 0)
        i += n;
    i0 = i;
    i1 = i + 1 == n ? 0 : i + 1;
    return frac;
}
} // namespace

FFTWaterModel::FFTWaterModel(Environment* env, int spectrumType) : WaterModel(env), type(spectrumType)
{
    if (!environment)
    {
        MessageChannel::Log("Null environment passed into the FFTWaterModel constructor.");
        return;
    }
    const float u = float(environment->GetUnitScale());
    Configuration::GetFloatValue("fft-lod-bias", lodBias);
    Configuration::GetIntValue("fft-grid-dimension-x", columns);
    Configuration::GetIntValue("fft-grid-dimension-y", rows);
    clampDimension("fft-grid-dimension-x", columns);
    clampDimension("fft-grid-dimension-y", rows);
    if (Configuration::GetFloatValue("fft-grid-size-x", sizeX))
        sizeX /= u;
    if (Configuration::GetFloatValue("fft-grid-size-y", sizeY))
        sizeY /= u;
    Configuration::GetBoolValue("fft-use-sqrt-approximation", sqrtApproximation);
    if (Configuration::GetFloatValue("fft-noise-amplitude", noiseAmplitude))
        noiseAmplitude *= u;
    Configuration::GetFloatValue("fft-phillips-constant", phillipsConstant);
    Configuration::GetFloatValue("fft-phillips-constant-pierson-moskowitz", pmConstant);
    Configuration::GetFloatValue("fft-phillips-constant-jonswap", jonswapConstant);
    phillipsConstant *= u * u;
    pmConstant *= u * u;
    jonswapConstant *= u * u;
    Configuration::GetFloatValue("fft-reflection-filter", reflectionFilter);
    Configuration::GetBoolValue("fft-enable-choppiness", choppy);
    Configuration::GetBoolValue("fft-exact-normals", exactNormals);
    if (Configuration::GetFloatValue("fft-noise-distance", noiseDistance))
        noiseDistance /= u;
    if (Configuration::GetFloatValue("fft-displacement-damping-distance", dampingDistance))
        dampingDistance /= u;
    Configuration::GetFloatValue("fft-height-max-chop", heightMaxChop);
    Configuration::GetFloatValue("swell-height-multiplier", swellHeightMultiplier);
    Configuration::GetBoolValue("do-foam", doFoam);
    // An odd or tiny grid has no centred spectrum; the transform needs even sizes.
    if (columns < 2 || rows < 2 || (columns & 1) || (rows & 1) || !(sizeX > 0.0f) || !(sizeY > 0.0f))
    {
        MessageChannel::Log("The FFT grid dimensions must be even and at least 2, and its sizes positive.");
        configured = false;
    }
    transformsPerFrame = 1 + (choppy ? 2 : 0) + (exactNormals ? 2 : 0);
}

FFTWaterModel::~FFTWaterModel() { delete fft; }

void FFTWaterModel::SetBackEnd(FFT* backEnd)
{
    delete fft;
    fft = backEnd;
}

// Stronger winds build steeper, sharper crests: the configured choppiness holds up to sea
// state 3 and grows in proportion to the sea state above it.
float FFTWaterModel::GetEffectiveChoppiness() const
{
    if (!choppy)
        return 0.0f;
    const double speed = std::max(lastWindSpeed, 0.0) * environment->GetUnitScale();
    const double seaState = std::pow(speed / 0.836, 2.0 / 3.0);
    const float lambda = choppiness * float(std::max(1.0, seaState / 3.0));
    return lambda < heightMaxChop ? lambda : heightMaxChop;
}

bool FFTWaterModel::Initialize(unsigned int, unsigned int)
{
    if (!environment || !configured)
        return false;
    if (!fft)
        fft = FFT::Create(environment);
    if (!fft || !fft->Setup(rows, columns, transformsPerFrame, environment))
    {
        MessageChannel::Log("The CPU FFT failed to set up, there's nothing more we can do.");
        return false;
    }
    if (!AllocateArrays())
        return false;
    FastMath::Initialize();
    FillGaussians();
    FillWaveVectors();
    FillFrequencies();
    return true;
}

bool FFTWaterModel::AllocateArrays()
{
    const size_t points = size_t(rows) * size_t(columns);
    const size_t table = size_t(rows + 1) * size_t(columns + 1);
    if (!h0.Allocate(table))
    {
        MessageChannel::Log("Failed to allocate the H0 array.");
        return false;
    }
    if (!t0.Allocate(table))
    {
        MessageChannel::Log("Failed to allocate the T0 array.");
        return false;
    }
    if (!displacement.Allocate(points * 3) || !slopeFoam.Allocate(points * 3) || !frequencies.Allocate(table))
    {
        MessageChannel::Log("Failed to allocate memory for FFTWaterModel's buffers.");
        return false;
    }
    if (!gaussians.Allocate(table * 2))
    {
        MessageChannel::Log("Failed to allocate Gaussians");
        return false;
    }
    if (!waveVectors.Allocate(points))
    {
        MessageChannel::Log("Failed to allocate kVectors");
        return false;
    }
    if (!foamSample.Allocate(points))
    {
        MessageChannel::Log("Failed to allocate memory for FFTWaterModel's buffers.");
        return false;
    }
    frameCells = size_t(rows) * size_t(fft->TransformsRealData() ? columns / 2 + 1 : columns);
    if (!frameTable.Allocate(frameCells * FRAME_VALUES))
    {
        MessageChannel::Log("Failed to allocate memory for FFTWaterModel's buffers.");
        return false;
    }
    return true;
}

// Marsaglia's polar method: two uniform numbers in the unit disc give two independent
// standard normal numbers.
void FFTWaterModel::FillGaussians()
{
    RandomNumberGenerator* random = environment->GetRandomNumberGenerator();
    for (size_t i = 0; i < gaussians.Size(); i += 2)
    {
        double u, v, s;
        do
        {
            u = 2.0 * random->UniformRandomDouble(0.0, 1.0) - 1.0;
            v = 2.0 * random->UniformRandomDouble(0.0, 1.0) - 1.0;
            s = u * u + v * v;
        } while (!(s > 0.0 && s < 1.0));
        double f = std::sqrt(-2.0 * std::log(s) / s);
        gaussians[i] = float(u * f);
        gaussians[i + 1] = float(v * f);
    }
}

void FFTWaterModel::FillWaveVectors()
{
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
        {
            WaveVector& w = waveVectors[size_t(r) * size_t(columns) + size_t(c)];
            w.kx = float(c - columns / 2) * twoPi / sizeX;
            w.ky = float(r - rows / 2) * twoPi / sizeY;
            w.k = std::sqrt(w.kx * w.kx + w.ky * w.ky);
            w.ikx = {0.0f, w.kx};
            w.iky = {0.0f, w.ky};
            w.kxNormalized = w.k > 0.0f ? w.kx / w.k : 0.0f;
            w.kyNormalized = w.k > 0.0f ? w.ky / w.k : 0.0f;
        }
}

void FFTWaterModel::FillFrequencies()
{
    const double g = 9.81 / environment->GetUnitScale();
    const double d = depth < 1.0f ? 1.0 : double(depth);
    const double omega0 = loopPeriod > 0.0 ? 2.0 * pi / loopPeriod : 0.0;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
        {
            Frequency& f = frequencies[size_t(r) * size_t(columns + 1) + size_t(c)];
            double kx = double(float(c - columns / 2) * twoPi / sizeX);
            double ky = double(float(r - rows / 2) * twoPi / sizeY);
            double k = std::sqrt(kx * kx + ky * ky);
            double omega = std::sqrt(g * k * std::tanh(k * d));
            if (omega0 > 0.0)
                omega = std::trunc(omega / omega0) * omega0;
            f.k2 = float(k * k);
            f.omega = float(omega);
            f.omega5 = float(std::pow(omega, 5.0));
            f.dirX = k > 0.0 ? float(kx / k) : 0.0f;
            f.dirY = k > 0.0 ? float(ky / k) : 0.0f;
            f.invK4 = k > 0.0 ? float(1.0 / (k * k * k * k)) : 0.0f;
            f.negInvK2 = k > 0.0 ? float(-1.0 / (k * k)) : 0.0f;
            f.theta = float(std::atan2(kx, ky));
            f.jacobian = k > 0.0 ? float(std::sqrt(9.81 / k) / (2.0 * k)) : 0.0f;
        }
    tableDepth = depth;
    tableLoopPeriod = loopPeriod;
}

float FFTWaterModel::Spectrum(int spectrum, const Frequency& f, double windSpeed, double windDirection,
                              double fetch) const
{
    // The mean level carries no wave.
    if (f.k2 <= 0.0f || !(windSpeed > 0.0))
        return 0.0f;
    const double u = environment->GetUnitScale();
    const double g = 9.81 / u;
    const double windX = std::sin(windDirection), windY = std::cos(windDirection);
    if (spectrum == FFT_PHILLIPS)
    {
        double L = windSpeed * windSpeed / g;
        double l = 0.001 * L;
        double along = f.dirX * windX + f.dirY * windY;
        double directional = environment->GetWindAlignedWaves() ? along * along : 1.0;
        double filter = along >= 0.0 ? 1.0 : reflectionFilter;
        return float(phillipsConstant * FastMath::Exp(float(f.negInvK2 / (L * L))) * f.invK4 * directional * filter *
                     FastMath::Exp(float(-f.k2 * l * l)));
    }
    if (f.omega <= 0.0f)
        return 0.0f;
    const double omega = f.omega;
    const double alpha = spectrum == FFT_JONSWAP
                             ? jonswapConstant * std::pow(windSpeed * windSpeed / (g * fetch), 0.22)
                             : pmConstant;
    const double omegaP = PeakFrequency(spectrum, windSpeed, fetch);
    double ratio = omegaP / omega;
    double e = alpha * g * g / f.omega5 * FastMath::Exp(float(-1.25 * ratio * ratio * ratio * ratio));
    if (spectrum == FFT_JONSWAP)
    {
        double sigma = omega <= omegaP ? 0.07 : 0.09;
        double delta = omega - omegaP;
        double r = FastMath::Exp(float(-(delta * delta) / (2.0 * sigma * sigma * omegaP * omegaP)));
        e *= std::pow(3.3, r);
    }
    if (e < 1.0e-9)
        e = 1.0e-9;

    // Mitsuyasu's cos^2s spreading, normalised over the circle.
    double spreading = 1.0 / (2.0 * std::sqrt(pi));
    if (environment->GetWindAlignedWaves())
    {
        double q = omega <= omegaP ? 5.0 : -2.5;
        double s = 11.5 * std::pow(g / (omegaP * windSpeed), 2.5) * std::pow(omega / omegaP, q);
        double half = std::cos(wrapAngle(windDirection - f.theta) * 0.5);
        spreading *= std::exp(std::lgamma(s + 1.0) - std::lgamma(s + 0.5)) * std::pow(half, 2.0 * s);
    }
    return float(e * spreading * f.jacobian);
}

double FFTWaterModel::PeakFrequency(int spectrum, double windSpeed, double fetch) const
{
    if (!(windSpeed > 0.0))
        return 0.0;
    const double g = 9.81 / environment->GetUnitScale();
    if (spectrum == FFT_JONSWAP && fetch > 0.0)
        return 22.0 * std::cbrt(g * g / (windSpeed * fetch));
    // The Phillips spectrum peaks at |k| = 1 / (sqrt(2) L), nearly where Pierson-Moskowitz does.
    return 0.855 * g / windSpeed;
}

// The compression that marks a whitecap: the level of 1 - J that the observed share of the
// sea exceeds at this wind, taken from the first frame after the wind changed.
void FFTWaterModel::UpdateFoamThreshold()
{
    foamThresholdPending = false;
    const size_t points = foamSample.Size();
    const double coverage = whitecapCoverage(lastWindSpeed * environment->GetUnitScale());
    const size_t above = size_t(coverage * double(points));
    if (above == 0)
    {
        foamThreshold = noFoam;
        return;
    }
    const float* slope = slopeFoam.Data();
    for (size_t i = 0; i < points; ++i)
        foamSample[i] = slope[3 * i + 2];
    float* first = foamSample.Data();
    std::nth_element(first, first + (points - above), first + points);
    foamThreshold = first[points - above];
}

void FFTWaterModel::RecomputeAmplitudes(double windSpeed, double windDirection, double fetch)
{
    effectiveType = type == FFT_JONSWAP && !(fetch > 0.0) ? FFT_PIERSON_MOSKOWITZ : type;
    swellOmega = PeakFrequency(effectiveType, windSpeed, fetch);
    foamThresholdPending = true;
    const size_t stride = size_t(columns + 1);
    const float invSqrt2 = 0.70710678f;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
        {
            size_t i = size_t(r) * stride + size_t(c);
            // The Nyquist rows and columns have no partner of opposite wave vector inside the
            // transform, so they would make the heights complex; they stay still.
            bool nyquist = r == 0 || r == rows || c == 0 || c == columns;
            float s = nyquist ? 0.0f : Spectrum(effectiveType, frequencies[i], windSpeed, windDirection, fetch);
            float amplitude = s <= 0.0f ? 0.0f : sqrtApproximation ? FastMath::Sqrt(s) : std::sqrt(s);
            // Swell: the waves longer than those the wind builds most, which have outrun it.
            if (frequencies[i].omega < swellOmega)
                amplitude *= swellHeightMultiplier;
            h0[i].re = amplitude * invSqrt2 * gaussians[2 * i];
            h0[i].im = amplitude * invSqrt2 * gaussians[2 * i + 1];
        }
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
        {
            const ComplexFloat& mirror = h0[size_t(rows - r) * stride + size_t(columns - c)];
            t0[size_t(r) * stride + size_t(c)] = {mirror.re, -mirror.im};
        }
    FillFrameTable();
    lastWindSpeed = windSpeed;
    lastWindDirection = windDirection;
    lastFetch = fetch;
    recomputeRequested = false;
    ++amplitudeRecomputations;
}

// The transform wants its input with the zero frequency first: input row i holds the wave
// number i (or i - rows past the middle), column j the wave number j (or j - columns).
// Frequency -columns / 2 is the Nyquist column, whose amplitudes are zero.
void FFTWaterModel::FillFrameTable()
{
    const int spectrumColumns = int(frameCells / size_t(rows));
    const size_t tableStride = size_t(columns + 1);
    for (int i = 0; i < rows; ++i)
    {
        const int tr = (i < rows / 2 ? i : i - rows) + rows / 2;
        for (int j = 0; j < spectrumColumns; ++j)
        {
            const int tc = (j < columns / 2 ? j : j - columns) + columns / 2;
            const size_t cell = size_t(tr) * tableStride + size_t(tc);
            const size_t k = size_t(i) * size_t(spectrumColumns) + size_t(j);
            const ComplexFloat a = h0[cell], b = t0[cell];
            const WaveVector& w = waveVectors[size_t(tr) * size_t(columns) + size_t(tc)];
            FrameArray(OMEGA)[k] = frequencies[cell].omega;
            FrameArray(COS_RE)[k] = a.re + b.re;
            FrameArray(SIN_RE)[k] = a.im - b.im;
            FrameArray(COS_IM)[k] = a.im + b.im;
            FrameArray(SIN_IM)[k] = a.re - b.re;
            FrameArray(KX)[k] = w.kx;
            FrameArray(KY)[k] = w.ky;
            FrameArray(KX_NORMALIZED)[k] = w.kxNormalized;
            FrameArray(KY_NORMALIZED)[k] = w.kyNormalized;
        }
    }
}

// h(k, t) = h0(k) e^(i w t) + conj(h0(-k)) e^(-i w t), with the displacement and slope
// spectra derived from it.
void FFTWaterModel::BuildSpectra()
{
    const size_t n = frameCells;
    float* sines = FrameArray(SINES);
    float* cosines = FrameArray(COSINES);
    FastMath::SinCos(FrameArray(OMEGA), loopPeriod > 0.0 ? std::fmod(time, loopPeriod) : time, sines, cosines, n);
    const float* cosRe = FrameArray(COS_RE);
    const float* sinRe = FrameArray(SIN_RE);
    const float* cosIm = FrameArray(COS_IM);
    const float* sinIm = FrameArray(SIN_IM);
    float* height = fft->GetInput(0);
    // Multiplying by i k turns (re, im) into (-k im, k re).
    if (exactNormals && choppy)
    {
        // All five spectra in one pass: each cell's h is loaded once.
        float* __restrict h = height;
        float* __restrict slopeX = fft->GetInput(1);
        float* __restrict slopeY = fft->GetInput(2);
        float* __restrict chopX = fft->GetInput(3);
        float* __restrict chopY = fft->GetInput(4);
        const float* __restrict kx = FrameArray(KX);
        const float* __restrict ky = FrameArray(KY);
        const float* __restrict kxn = FrameArray(KX_NORMALIZED);
        const float* __restrict kyn = FrameArray(KY_NORMALIZED);
        size_t k = 0;
#ifdef __SSE2__
        // Four cells at a time; (re, im) pairs are interleaved with unpack.
        auto store = [](float* out, __m128 re, __m128 im) {
            _mm_storeu_ps(out, _mm_unpacklo_ps(re, im));
            _mm_storeu_ps(out + 4, _mm_unpackhi_ps(re, im));
        };
        const __m128 minus = _mm_set1_ps(-0.0f);
        for (; k + 4 <= n; k += 4)
        {
            const __m128 c = _mm_loadu_ps(cosines + k), sn = _mm_loadu_ps(sines + k);
            const __m128 re = _mm_sub_ps(_mm_mul_ps(_mm_loadu_ps(cosRe + k), c), _mm_mul_ps(_mm_loadu_ps(sinRe + k), sn));
            const __m128 im = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(cosIm + k), c), _mm_mul_ps(_mm_loadu_ps(sinIm + k), sn));
            const __m128 negIm = _mm_xor_ps(im, minus);
            store(h + 2 * k, re, im);
            const __m128 fx = _mm_loadu_ps(kx + k), fy = _mm_loadu_ps(ky + k);
            const __m128 fxn = _mm_loadu_ps(kxn + k), fyn = _mm_loadu_ps(kyn + k);
            store(slopeX + 2 * k, _mm_mul_ps(fx, negIm), _mm_mul_ps(fx, re));
            store(slopeY + 2 * k, _mm_mul_ps(fy, negIm), _mm_mul_ps(fy, re));
            store(chopX + 2 * k, _mm_mul_ps(fxn, negIm), _mm_mul_ps(fxn, re));
            store(chopY + 2 * k, _mm_mul_ps(fyn, negIm), _mm_mul_ps(fyn, re));
        }
#endif
        for (; k < n; ++k)
        {
            const float re = cosRe[k] * cosines[k] - sinRe[k] * sines[k];
            const float im = cosIm[k] * cosines[k] + sinIm[k] * sines[k];
            h[2 * k] = re;
            h[2 * k + 1] = im;
            slopeX[2 * k] = -kx[k] * im;
            slopeX[2 * k + 1] = kx[k] * re;
            slopeY[2 * k] = -ky[k] * im;
            slopeY[2 * k + 1] = ky[k] * re;
            chopX[2 * k] = -kxn[k] * im;
            chopX[2 * k + 1] = kxn[k] * re;
            chopY[2 * k] = -kyn[k] * im;
            chopY[2 * k + 1] = kyn[k] * re;
        }
        return;
    }
    for (size_t k = 0; k < n; ++k)
    {
        height[2 * k] = cosRe[k] * cosines[k] - sinRe[k] * sines[k];
        height[2 * k + 1] = cosIm[k] * cosines[k] + sinIm[k] * sines[k];
    }
    auto derive = [&](float* out, const float* factor) {
        for (size_t k = 0; k < n; ++k)
        {
            out[2 * k] = -factor[k] * height[2 * k + 1];
            out[2 * k + 1] = factor[k] * height[2 * k];
        }
    };
    int next = 1;
    if (exactNormals)
    {
        derive(fft->GetInput(next++), FrameArray(KX));
        derive(fft->GetInput(next++), FrameArray(KY));
    }
    if (choppy)
    {
        derive(fft->GetInput(next++), FrameArray(KX_NORMALIZED));
        derive(fft->GetInput(next++), FrameArray(KY_NORMALIZED));
    }
}

// Reads the transformed fields (stride 1 for real outputs, 2 for the real parts of complex
// ones) into the displacement and slope/foam buffers. The borders wrap around.
template <int stride>
void FFTWaterModel::GatherFields()
{
    const int displacementIndex = exactNormals ? 3 : 1;
    const float* h = fft->GetOutput(0);
    const float* sx = exactNormals ? fft->GetOutput(1) : nullptr;
    const float* sy = exactNormals ? fft->GetOutput(2) : nullptr;
    const float* dx = choppy ? fft->GetOutput(displacementIndex) : nullptr;
    const float* dy = choppy ? fft->GetOutput(displacementIndex + 1) : nullptr;
    const float lambda = GetEffectiveChoppiness();
    const float spacingX = 2.0f * sizeX / float(columns); // between the two neighbours
    const float spacingY = 2.0f * sizeY / float(rows);
    const float invSpacingX = 1.0f / spacingX, invSpacingY = 1.0f / spacingY;
    const bool foam = doFoam && dx;
    float* disp = displacement.Data();
    float* slope = slopeFoam.Data();

    auto point = [&](int row, int up, int down, int c, int left, int right) {
        const int i = row + c;
        float* d = disp + 3 * i;
        float* s = slope + 3 * i;
        d[0] = dx ? lambda * dx[i * stride] : 0.0f;
        d[1] = dy ? lambda * dy[i * stride] : 0.0f;
        d[2] = h[i * stride];
        float dxdx = 0.0f, dydy = 0.0f, dxdy = 0.0f, dydx = 0.0f;
        if (dx)
        {
            dxdx = dx[(row + right) * stride] - dx[(row + left) * stride];
            dydx = dy[(row + right) * stride] - dy[(row + left) * stride];
            dxdy = dx[(up + c) * stride] - dx[(down + c) * stride];
            dydy = dy[(up + c) * stride] - dy[(down + c) * stride];
        }
        if (sx)
        {
            s[0] = sx[i * stride];
            s[1] = sy[i * stride];
        }
        else
        {
            // Central differences over the distance between the displaced neighbours.
            s[0] = (h[(row + right) * stride] - h[(row + left) * stride]) / (spacingX + lambda * dxdx);
            s[1] = (h[(up + c) * stride] - h[(down + c) * stride]) / (spacingY + lambda * dydy);
        }
        if (foam)
        {
            // Where the Jacobian of the horizontal displacement drops below 1 the surface is
            // compressed, and it folds over where it turns negative: whitecaps.
            const float jxx = dxdx * invSpacingX, jyy = dydy * invSpacingY;
            const float jxy = dxdy * invSpacingY, jyx = dydx * invSpacingX;
            const float jacobian = (1.0f + lambda * jxx) * (1.0f + lambda * jyy) - lambda * lambda * jxy * jyx;
            s[2] = 1.0f - jacobian;
        }
    };

    // The usual settings (real fields, exact normals, choppiness and foam) go four columns at
    // a time through the inner columns.
    const bool plain = stride == 1 && sx && dx && foam;
    for (int r = 0; r < rows; ++r)
    {
        const int row = r * columns;
        const int up = (r + 1 == rows ? 0 : r + 1) * columns;
        const int down = (r == 0 ? rows - 1 : r - 1) * columns;
        point(row, up, down, 0, columns - 1, 1);
        int c = 1;
#ifdef __SSE2__
        if (plain)
            c = GatherInnerColumns(h + row, sx + row, sy + row, dx + row, dy + row, dx + up, dx + down, dy + up,
                                   dy + down, disp + 3 * row, slope + 3 * row, columns, lambda, invSpacingX,
                                   invSpacingY);
#endif
        for (; c < columns - 1; ++c)
            point(row, up, down, c, c - 1, c + 1);
        point(row, up, down, columns - 1, columns - 2, 0);
    }
}

#ifdef __SSE2__
int FFTWaterModel::GatherInnerColumns(const float* h, const float* sx, const float* sy, const float* dx,
                                      const float* dy, const float* dxUp, const float* dxDown, const float* dyUp,
                                      const float* dyDown, float* disp, float* slope, int columns, float lambda,
                                      float invSpacingX, float invSpacingY)
{
    const __m128 l = _mm_set1_ps(lambda), ix = _mm_set1_ps(invSpacingX), iy = _mm_set1_ps(invSpacingY);
    const __m128 one = _mm_set1_ps(1.0f), l2 = _mm_set1_ps(lambda * lambda);
    int c = 1;
    for (; c + 4 <= columns - 1; c += 4)
    {
        const __m128 dxc = _mm_loadu_ps(dx + c), dyc = _mm_loadu_ps(dy + c);
        const __m128 jxx = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(dx + c + 1), _mm_loadu_ps(dx + c - 1)), ix);
        const __m128 jyx = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(dy + c + 1), _mm_loadu_ps(dy + c - 1)), ix);
        const __m128 jxy = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(dxUp + c), _mm_loadu_ps(dxDown + c)), iy);
        const __m128 jyy = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(dyUp + c), _mm_loadu_ps(dyDown + c)), iy);
        const __m128 jacobian = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(one, _mm_mul_ps(l, jxx)), _mm_add_ps(one, _mm_mul_ps(l, jyy))),
                                           _mm_mul_ps(l2, _mm_mul_ps(jxy, jyx)));
        storeTriples(disp + 3 * c, _mm_mul_ps(l, dxc), _mm_mul_ps(l, dyc), _mm_loadu_ps(h + c));
        storeTriples(slope + 3 * c, _mm_loadu_ps(sx + c), _mm_loadu_ps(sy + c), _mm_sub_ps(one, jacobian));
    }
    return c;
}
#endif

bool FFTWaterModel::UpdateSimulation(double t)
{
    if (!fft || h0.Empty())
        return false;
    timeStep = firstStep ? 0.0 : t - lastTime;
    firstStep = false;
    lastTime = t;
    time = t;

    if (tableDepth != depth || tableLoopPeriod != loopPeriod)
    {
        FillFrequencies();
        recomputeRequested = true;
    }
    double speed, direction, fetch;
    GetWindAtCamera(speed, direction, fetch);
    if (recomputeRequested || speed != lastWindSpeed || direction != lastWindDirection || fetch != lastFetch)
        RecomputeAmplitudes(speed, direction, fetch);

    BuildSpectra();
    if (!fft->InverseTransform2D())
        return false;
    if (fft->TransformsRealData())
        GatherFields<1>();
    else
        GatherFields<2>();
    if (foamThresholdPending && doFoam && choppy)
        UpdateFoamThreshold();
    ++generation;
    return true;
}

// Bilinear look-up of height, slopes and displacement at a local position.
void FFTWaterModel::SamplePoint(double x, double y, float out[6]) const
{
    int c0, c1, r0, r1;
    float fx = wrapIndex(x / sizeX * columns, columns, c0, c1);
    float fy = wrapIndex(y / sizeY * rows, rows, r0, r1);
    const float* d = displacement.Data();
    const float* s = slopeFoam.Data();
    const int idx[4] = {r0 * columns + c0, r0 * columns + c1, r1 * columns + c0, r1 * columns + c1};
    const float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    for (int k = 0; k < 6; ++k)
        out[k] = 0.0f;
    for (int n = 0; n < 4; ++n)
    {
        const float* dn = d + 3 * idx[n];
        const float* sn = s + 3 * idx[n];
        out[0] += w[n] * dn[0];
        out[1] += w[n] * dn[1];
        out[2] += w[n] * dn[2];
        out[3] += w[n] * sn[0];
        out[4] += w[n] * sn[1];
        out[5] += w[n] * sn[2];
    }
}

double FFTWaterModel::GetHeight(double x, double y, Vector3& normal) const
{
    normal = Vector3(0, 0, 1);
    if (displacement.Empty())
        return 0.0;
    // The surface point above (x, y) came from somewhere else: undo the horizontal
    // displacement by a few fixed-point steps.
    float v[6];
    double px = x, py = y;
    for (int i = 0; i < 4; ++i)
    {
        SamplePoint(px, py, v);
        px = x - v[0];
        py = y - v[1];
    }
    SamplePoint(px, py, v);
    normal = Vector3(-v[3], -v[4], 1.0).Normalized();
    return v[2];
}

float FFTWaterModel::GetFoam(double x, double y) const
{
    if (slopeFoam.Empty())
        return 0.0f;
    float v[6];
    SamplePoint(x, y, v);
    const float foam = (v[5] - foamThreshold) / foamWidth;
    return foam < 0.0f ? 0.0f : (foam > 1.0f ? 1.0f : foam);
}

} // namespace Sea
