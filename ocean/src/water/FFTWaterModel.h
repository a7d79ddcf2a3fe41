#pragma once

#include "Sea/Buffer.h"
#include "water/WaterModel.h"

namespace Sea
{

class FFT;

// A periodic sea over a square patch built from a wind-driven wave spectrum: random complex
// amplitudes shaped by the spectrum are advanced in time and turned into heights, choppy
// displacements and slopes by inverse FFTs (Tessendorf's method).
class FFTWaterModel : public WaterModel
{
public:
    struct ComplexFloat
    {
        float re, im;
    };
    struct WaveVector
    {
        float kx, ky, k;
        ComplexFloat ikx, iky; // (0, kx) and (0, ky)
        float kxNormalized, kyNormalized;
    };
    struct Frequency
    {
        float k2;        // |k|^2
        float omega;     // angular frequency from the dispersion relation
        float omega5;    // omega^5
        float dirX, dirY;
        float invK4;     // 1 / |k|^4
        float negInvK2;  // -1 / |k|^2
        float theta;     // direction of k, clockwise from +y
        float jacobian;  // dOmega/dk / k = sqrt(g / |k|) / (2 |k|)
    };

    // `type` picks the spectrum: 1 Phillips, 2 Pierson-Moskowitz, 3 JONSWAP.
    FFTWaterModel(Environment* environment, int type);
    ~FFTWaterModel() override;

    // Takes the back end that Initialize would otherwise create; call before Initialize.
    void SetBackEnd(FFT* backEnd);

    bool Initialize(unsigned int shader, unsigned int patchShader) override;
    bool UpdateSimulation(double time) override;
    double GetHeight(double x, double y, Vector3& normal) const override;
    float GetFoam(double x, double y) const override;
    bool GetPeriod(double& x, double& y) const override
    {
        x = sizeX;
        y = sizeY;
        return true;
    }

    // Seconds after which the sea repeats itself; 0 for never.
    void SetLoopPeriod(double seconds) { loopPeriod = seconds; }
    void RequestRecomputation() { recomputeRequested = true; }

    int GetColumns() const { return columns; } // along x
    int GetRows() const { return rows; }       // along y
    float GetPatchSizeX() const { return sizeX; }
    float GetPatchSizeY() const { return sizeY; }
    int GetTransformsPerFrame() const { return transformsPerFrame; }
    float GetEffectiveChoppiness() const;
    FFT* GetBackEnd() const { return fft; }
    // x, y displacement and height per point, row by row from the patch's origin.
    const float* GetDisplacement() const { return displacement.Data(); }
    // x and y slope and foam per point.
    const float* GetSlopeFoam() const { return slopeFoam.Data(); }
    // Initial amplitudes and per-frequency values, (rows + 1) x (columns + 1), centred: cell
    // (r, c) holds the wave vector (c - columns / 2, r - rows / 2) * 2 pi / size.
    const ComplexFloat* GetInitialAmplitudes() const { return h0.Data(); }
    const Frequency* GetFrequencies() const { return frequencies.Data(); }
    const WaveVector* GetWaveVectors() const { return waveVectors.Data(); }
    unsigned int GetAmplitudeRecomputations() const { return amplitudeRecomputations; }
    // The spectrum of the last recomputation (JONSWAP without fetch counts as Pierson-Moskowitz).
    int GetEffectiveType() const { return effectiveType; }
    // Counts the simulation steps; a renderer uploads when it changed.
    unsigned int GetGeneration() const { return generation; }

    // The spectrum value of one cell for a wind; exposed for checks of its shape.
    float Spectrum(int type, const Frequency& f, double windSpeed, double windDirection, double fetch) const;
    // Angular frequency where the spectrum of a wind peaks; waves below it count as swell.
    double PeakFrequency(int type, double windSpeed, double fetch) const;

    // The foam value (1 - J) above which the surface shows whitecaps for the current wind,
    // and the range over which the foam fades in above it.
    float GetFoamThreshold() const { return foamThreshold; }
    static constexpr float foamWidth = 0.05f;
    static constexpr float noFoam = 1.0e6f;

protected:
    float lodBias = 0.8f;
    float noiseAmplitude = 0.05f;
    float noiseDistance = 500.0f;
    float dampingDistance = 300.0f;
    bool exactNormals = true;
    bool choppy = true;

private:
    bool AllocateArrays();
    void FillGaussians();
    void FillWaveVectors();
    void FillFrequencies();
    void RecomputeAmplitudes(double windSpeed, double windDirection, double fetch);
    void FillFrameTable();
    void BuildSpectra();
    template <int stride>
    void GatherFields();
    // The inner columns of one row under the usual settings; returns the first column left.
    static int GatherInnerColumns(const float* h, const float* sx, const float* sy, const float* dx, const float* dy,
                                  const float* dxUp, const float* dxDown, const float* dyUp, const float* dyDown,
                                  float* disp, float* slope, int columns, float lambda, float invSpacingX,
                                  float invSpacingY);
    void SamplePoint(double x, double y, float out[6]) const;
    void UpdateFoamThreshold();

    int type;
    int columns = 128;
    int rows = 128;
    float sizeX = 1024.0f;
    float sizeY = 1024.0f;
    bool sqrtApproximation = true;
    // Like the two below, for the 1024 m patch: with it the significant wave height of a sea
    // state matches 0.21 V^2 / g, as the Phillips spectrum's own Hs is 86.5 sqrt(A) V^2 / g at
    // this cell size.
    float phillipsConstant = 4.7e-8f;
    // The physical constants (8.1e-3 and 7.6e-2) times half the area of one spectrum cell of the
    // default 1024 m patch, (2 pi / 1024)^2 / 2: the amplitudes carry no cell area of their own and
    // every wave is summed twice, at k and -k. With these the significant wave height of a sea
    // state matches the Pierson-Moskowitz relation 0.21 V^2 / g.
    float pmConstant = 1.5e-7f;
    float jonswapConstant = 1.4e-6f;
    float reflectionFilter = 0.4f;
    float heightMaxChop = 1.0f;
    float swellHeightMultiplier = 1.0f;
    bool doFoam = true;
    int transformsPerFrame = 1;
    double swellOmega = 0.0;
    float foamThreshold = noFoam;
    bool foamThresholdPending = true;
    Buffer<float> foamSample;

    FFT* fft = nullptr;
    Buffer<float> displacement;
    Buffer<float> slopeFoam;
    Buffer<ComplexFloat> h0;
    Buffer<ComplexFloat> t0; // conj(h0(-k)), so a frame reads both amplitudes of a cell side by side
    Buffer<float> gaussians;
    Buffer<WaveVector> waveVectors;
    Buffer<Frequency> frequencies;
    // What a frame needs of each cell of the transform's input, in its order, one array per
    // value so that the frame loop vectorises: omega, the two sums of h0 and t0 that
    // multiply the cosine and the sine, the wave vector and its direction; then the sines
    // and cosines of the frame.
    enum FrameValue
    {
        OMEGA,
        COS_RE,
        SIN_RE,
        COS_IM,
        SIN_IM,
        KX,
        KY,
        KX_NORMALIZED,
        KY_NORMALIZED,
        SINES,
        COSINES,
        FRAME_VALUES
    };
    Buffer<float> frameTable;
    size_t frameCells = 0;
    float* FrameArray(FrameValue v) { return frameTable.Data() + size_t(v) * frameCells; }

    bool recomputeRequested = true;
    double lastWindSpeed = -1.0, lastWindDirection = 0.0, lastFetch = 0.0;
    float tableDepth = -1.0f;
    double tableLoopPeriod = -1.0;
    double loopPeriod = 0.0;
    double lastTime = 0.0;
    double timeStep = 0.0;
    bool firstStep = true;
    unsigned int amplitudeRecomputations = 0;
    unsigned int generation = 0;
    int effectiveType = 0;
};

} // namespace Sea
