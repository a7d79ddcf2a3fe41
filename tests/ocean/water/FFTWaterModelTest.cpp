#include "tests/ocean/SeaTestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/RandomNumberGenerator.h"
#include "Sea/ResourceLoader.h"
#include "water/FFTCPU.h"
#include "water/FFTWaterModel.h"
#include "water/FastMath.h"

#include <cmath>
#include <complex>
#include <new>

using Sea::FFTWaterModel;

namespace
{
class FFTWaterModelTest : public seatest::SeaTest
{
protected:
    void SetUp() override
    {
        seatest::SeaTest::SetUp();
        ASSERT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
        env.SimulateSeaState(5.0, 0.4);
    }
    FFTWaterModel* model(Sea::Ocean* ocean) { return static_cast<FFTWaterModel*>(ocean->GetWaterModel()); }

    Sea::ResourceLoader loader{seatest::resourceDirectory().c_str()};
    Sea::Environment env;
};

// Sum over every wave vector of the transform, evaluated directly at (x, y):
// field(x, y) = sum of factor(k) h(k, t) e^(i k.(x, y)), with h built from the model's tables.
template <class Factor>
std::complex<double> directSum(const FFTWaterModel& m, double t, double x, double y, Factor factor)
{
    const int rows = m.GetRows(), columns = m.GetColumns();
    const FFTWaterModel::ComplexFloat* h0 = m.GetInitialAmplitudes();
    const FFTWaterModel::Frequency* f = m.GetFrequencies();
    std::complex<double> sum = 0.0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
        {
            const int cell = r * (columns + 1) + c;
            const int mirror = (rows - r) * (columns + 1) + (columns - c);
            const double omega = f[cell].omega;
            std::complex<double> a(h0[cell].re, h0[cell].im), b(h0[mirror].re, -h0[mirror].im);
            std::complex<double> h = a * std::exp(std::complex<double>(0, omega * t)) +
                                     b * std::exp(std::complex<double>(0, -omega * t));
            const double kx = (c - columns / 2) * 2.0 * M_PI / m.GetPatchSizeX();
            const double ky = (r - rows / 2) * 2.0 * M_PI / m.GetPatchSizeY();
            sum += factor(kx, ky) * h * std::exp(std::complex<double>(0, kx * x + ky * y));
        }
    return sum;
}

// Checks a few grid points of the model's buffers against the direct sums.
void expectFieldsMatchDirectSums(const FFTWaterModel& m, double t, bool exactSlopes = true)
{
    const int columns = m.GetColumns();
    const double dx = m.GetPatchSizeX() / columns, dy = m.GetPatchSizeY() / m.GetRows();
    const float lambda = m.GetEffectiveChoppiness();
    double scale = 0.0;
    for (int i = 0; i < m.GetRows() * columns; ++i)
        scale = std::max(scale, std::fabs(double(m.GetDisplacement()[3 * i + 2])));
    ASSERT_GT(scale, 0.0);
    const int points[4][2] = {{0, 0}, {3, 5}, {m.GetRows() - 1, 1}, {m.GetRows() / 2, columns - 1}};
    for (const auto& p : points)
    {
        const int r = p[0], c = p[1], i = r * columns + c;
        const double x = c * dx, y = r * dy;
        auto one = [](double, double) { return std::complex<double>(1.0); };
        auto slopeX = [](double kx, double) { return std::complex<double>(0.0, kx); };
        auto chopX = [](double kx, double ky) {
            double k = std::hypot(kx, ky);
            return std::complex<double>(0.0, k > 0 ? kx / k : 0.0);
        };
        std::complex<double> height = directSum(m, t, x, y, one);
        EXPECT_NEAR(height.imag(), 0.0, 1e-6 * scale) << "heights are real";
        EXPECT_NEAR(m.GetDisplacement()[3 * i + 2], height.real(), 1e-4 * scale) << r << "," << c;
        EXPECT_NEAR(m.GetDisplacement()[3 * i], lambda * directSum(m, t, x, y, chopX).real(), 1e-4 * scale);
        // Slopes by differences smooth away the shortest waves; only exact ones are compared.
        if (exactSlopes)
        {
            EXPECT_NEAR(m.GetSlopeFoam()[3 * i], directSum(m, t, x, y, slopeX).real(), 1e-4);
        }
    }
}
} // namespace

TEST_F(FFTWaterModelTest, NeighbouringWaveVectorsDifferByTwoPiOverThePatch)
{
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_PHILLIPS);
    ASSERT_NE(ocean, nullptr);
    FFTWaterModel* m = model(ocean);
    ASSERT_EQ(m->GetColumns(), 128);
    ASSERT_EQ(m->GetRows(), 128);
    const FFTWaterModel::WaveVector* k = m->GetWaveVectors();
    const double step = 2.0 * M_PI / 1024.0;
    EXPECT_NEAR(k[5 * 128 + 8].kx - k[5 * 128 + 7].kx, step, 1e-6);
    EXPECT_NEAR(k[6 * 128 + 7].ky - k[5 * 128 + 7].ky, step, 1e-6);
    EXPECT_EQ(k[64 * 128 + 64].kx, 0.0f);
    EXPECT_EQ(k[64 * 128 + 64].k, 0.0f);
    EXPECT_NEAR(k[0].kx, -64 * step, 1e-5);
    delete ocean;
}

TEST_F(FFTWaterModelTest, JonswapWithoutFetchIsPiersonMoskowitz)
{
    // The same random numbers for both.
    env.GetRandomNumberGenerator()->SetRandomSeed(7);
    Sea::Ocean* jonswap = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    env.GetRandomNumberGenerator()->SetRandomSeed(7);
    Sea::Ocean* pm = Sea::Ocean::Create(&env, Sea::FFT_PIERSON_MOSKOWITZ);
    ASSERT_TRUE(jonswap && pm);
    jonswap->Advance(1.0);
    pm->Advance(1.0);
    EXPECT_EQ(model(jonswap)->GetEffectiveType(), Sea::FFT_PIERSON_MOSKOWITZ);
    const size_t cells = 129 * 129;
    size_t same = 0;
    for (size_t i = 0; i < cells; ++i)
        same += model(jonswap)->GetInitialAmplitudes()[i].re == model(pm)->GetInitialAmplitudes()[i].re;
    EXPECT_EQ(same, cells);

    // With a fetch the peak sharpens and moves: another sea.
    env.ClearWindFetches();
    env.AddWindFetch(Sea::WindFetch(0.836 * std::pow(5.0, 1.5), 0.4, 50000.0));
    jonswap->Advance(2.0);
    EXPECT_EQ(model(jonswap)->GetEffectiveType(), Sea::FFT_JONSWAP);
    delete jonswap;
    delete pm;
}

TEST_F(FFTWaterModelTest, AmplitudesAreRecomputedOnlyWhenTheWindChanges)
{
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr);
    for (int i = 0; i < 10; ++i)
        ocean->Advance(i * 0.1);
    EXPECT_EQ(model(ocean)->GetAmplitudeRecomputations(), 1u);
    ocean->Advance(0.9);
    EXPECT_EQ(model(ocean)->GetAmplitudeRecomputations(), 1u) << "the same time is not advanced again";
    env.SimulateSeaState(5.0, 0.5);
    ocean->Advance(2.0);
    EXPECT_EQ(model(ocean)->GetAmplitudeRecomputations(), 2u);
    env.SimulateSeaState(6.0, 0.5);
    ocean->Advance(3.0);
    ocean->Advance(4.0);
    EXPECT_EQ(model(ocean)->GetAmplitudeRecomputations(), 3u);
    delete ocean;
}

TEST_F(FFTWaterModelTest, WithoutChoppinessAndExactNormalsOneTransformIsDone)
{
    Sea::Configuration::Set("fft-enable-choppiness", "no");
    Sea::Configuration::Set("fft-exact-normals", "no");
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr);
    ocean->Advance(1.0);
    unsigned long before = model(ocean)->GetBackEnd()->GetTransformCount();
    ocean->Advance(2.0);
    EXPECT_EQ(model(ocean)->GetTransformsPerFrame(), 1);
    EXPECT_EQ(model(ocean)->GetBackEnd()->GetTransformCount() - before, 1u);
    expectFieldsMatchDirectSums(*model(ocean), 2.0, false);
    delete ocean;

    Sea::Configuration::Set("fft-enable-choppiness", "yes");
    Sea::Configuration::Set("fft-exact-normals", "yes");
    ocean = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    ocean->Advance(1.0);
    before = model(ocean)->GetBackEnd()->GetTransformCount();
    ocean->Advance(2.0);
    EXPECT_EQ(model(ocean)->GetBackEnd()->GetTransformCount() - before, 5u);
    delete ocean;
}

// A grid that is not square, on a patch that is not square, catches rows and columns mixed up.
TEST_F(FFTWaterModelTest, HeightsSlopesAndDisplacementsMatchADirectSumOfTheSpectrum)
{
    Sea::Configuration::Parse("fft-grid-dimension-x = 32\nfft-grid-dimension-y = 16\n"
                              "fft-grid-size-x = 200\nfft-grid-size-y = 120\n");
    for (bool real : {true, false})
    {
        FFTWaterModel m(&env, Sea::FFT_PIERSON_MOSKOWITZ);
        m.SetBackEnd(new Sea::FFTCPU(real));
        ASSERT_TRUE(m.Initialize(0, 0));
        ASSERT_TRUE(m.UpdateSimulation(123.4));
        SCOPED_TRACE(real ? "real transforms" : "complex transforms");
        expectFieldsMatchDirectSums(m, 123.4);
        if (!real)
        {
            // The imaginary parts of a complex transform of our spectra vanish.
            const float* out = m.GetBackEnd()->GetOutput(0);
            double largest = 0.0;
            for (int i = 0; i < 32 * 16; ++i)
                largest = std::max(largest, std::fabs(double(out[2 * i + 1])));
            EXPECT_LT(largest, 1e-4);
        }
        // The height at a point follows the displaced surface: sampling where a grid point
        // was moved to gives that point's height back.
        const float* d = m.GetDisplacement();
        Sea::Vector3 normal;
        const int i = 5 * 32 + 7;
        double x = 7 * 200.0 / 32 + d[3 * i], y = 5 * 120.0 / 16 + d[3 * i + 1];
        EXPECT_NEAR(m.GetHeight(x, y, normal), d[3 * i + 2], 0.05 * std::fabs(d[3 * i + 2]) + 0.02);
    }
}

TEST_F(FFTWaterModelTest, AFrameAllocatesNothing)
{
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr);
    ocean->Advance(1.0);
    seatest::CountingAllocator allocator;
    for (int i = 2; i < 12; ++i)
        ocean->Advance(i * 0.5);
    EXPECT_EQ(allocator.allocations(), 0u);
    delete ocean;
}

TEST_F(FFTWaterModelTest, TheFastFunctionsStayClose)
{
    Sea::FastMath::Initialize();
    for (float x : {-0.99999f, -0.5f, -0.25f, -0.00002f, -1.5f, 0.3f})
        EXPECT_NEAR(Sea::FastMath::Exp(x), std::exp(x), 2e-5f * std::exp(x)) << x;
    for (float x : {1e-9f, 0.5f, 2.0f, 3.0f, 1000.0f})
        EXPECT_NEAR(Sea::FastMath::Sqrt(x), std::sqrt(x), 0.07f * std::sqrt(x)) << x;
    float omega[5] = {0.1f, 0.7f, 1.3f, 2.9f, 0.0f};
    float s[5], c[5];
    for (double t : {0.0, 1.234, 99.9, 86400.5})
    {
        Sea::FastMath::SinCos(omega, t, s, c, 5);
        for (int i = 0; i < 5; ++i)
        {
            double phase = double(omega[i]) * t;
            EXPECT_NEAR(s[i], std::sin(phase), 1e-5) << t;
            EXPECT_NEAR(c[i], std::cos(phase), 1e-5) << t;
        }
    }
}
