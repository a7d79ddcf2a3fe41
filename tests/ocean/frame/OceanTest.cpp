#include "tests/ocean/SeaTestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "water/GerstnerWaterModel.h"

#include <cmath>

namespace
{
// Oceans without a renderer: the simulation on the processor.
class OceanTest : public seatest::SeaTest
{
protected:
    void SetUp() override
    {
        seatest::SeaTest::SetUp();
        ASSERT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    }
    Sea::ResourceLoader loader{seatest::resourceDirectory().c_str()};
    Sea::Environment env;
};
} // namespace

TEST_F(OceanTest, AnUnknownWaterModelTypeCreatesNothingAndLeavesNothingBehind)
{
    env.SimulateSeaState(3.0, 0.0);
    seatest::CountingAllocator allocator;
    EXPECT_EQ(Sea::Ocean::Create(&env, 4), nullptr);
    EXPECT_TRUE(messages.contains("SEA: Invalid water model type in Ocean constructor."));
    EXPECT_GT(allocator.allocations(), 0u);
    EXPECT_EQ(allocator.outstanding(), 0u);
    EXPECT_EQ(env.GetNumOceans(), 0u);

    EXPECT_EQ(Sea::Ocean::Create(nullptr, Sea::GERSTNER), nullptr);
    EXPECT_TRUE(messages.contains("SEA: Null environment passed into Ocean::Create"));
}

TEST_F(OceanTest, BadSettingsFailTheStartUpAndFreeWhatItMade)
{
    // The environment's list of oceans keeps its storage once it had an ocean.
    delete Sea::Ocean::Create(&env, Sea::GERSTNER);
    seatest::CountingAllocator allocator;
    Sea::Configuration::Set("num-gerstner-waves", "0");
    EXPECT_EQ(Sea::Ocean::Create(&env, Sea::GERSTNER), nullptr);
    EXPECT_TRUE(messages.contains("SEA: Invalid num-gerstner-waves specified."));
    EXPECT_TRUE(messages.contains("SEA: Water model failed to initialize."));

    Sea::Configuration::Set("num-gerstner-waves", "4");
    Sea::Configuration::Set("shininess", "-1");
    EXPECT_EQ(Sea::Ocean::Create(&env, Sea::FFT_PIERSON_MOSKOWITZ), nullptr);
    EXPECT_TRUE(messages.contains("SEA: Negative shininess specified."));
    EXPECT_TRUE(messages.contains("SEA: Lighting model failed to initialize."));
    EXPECT_EQ(allocator.outstanding(), 0u);

    Sea::Configuration::Set("shininess", "5");
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::FFT_PIERSON_MOSKOWITZ);
    ASSERT_NE(ocean, nullptr);
    EXPECT_EQ(env.GetNumOceans(), 1u);
    delete ocean;
    EXPECT_EQ(env.GetNumOceans(), 0u);
    EXPECT_EQ(allocator.outstanding(), 0u) << "an ocean gives back all it took";
}

TEST_F(OceanTest, GerstnerWavesKeepToTheirRangesAndRunWithTheWind)
{
    Sea::Configuration::Set("gerstner-wave-steepness", "1.2");
    const double windDirection = 1.0;
    env.SimulateSeaState(4.0, windDirection);
    Sea::Ocean* ocean = Sea::Ocean::Create(&env, Sea::GERSTNER);
    ASSERT_NE(ocean, nullptr);
    EXPECT_TRUE(messages.contains("SEA: gerstner-waves-steepness should be between 0 and 1."));
    ocean->Advance(1.0);

    auto* model = static_cast<Sea::GerstnerWaterModel*>(ocean->GetWaterModel());
    ASSERT_EQ(model->GetNumWaves(), 4);
    double total = 0.0, squares = 0.0;
    const double speed = 0.836 * 8.0;
    for (int i = 0; i < model->GetNumWaves(); ++i)
    {
        const Sea::GerstnerWaterModel::Wave& w = model->GetWaves()[i];
        EXPECT_GE(w.wavelength, 50.0f);
        EXPECT_LE(w.wavelength, 200.0f);
        EXPECT_LE(std::fabs(w.directionOffset), 10.0 * M_PI / 180.0 + 1e-6);
        EXPECT_NEAR(w.amplitude / w.wavelength, model->GetWaves()[0].amplitude / model->GetWaves()[0].wavelength,
                    1e-6);
        squares += double(w.amplitude) * w.amplitude;
        // The wave travels along the wind's compass bearing, within the spread.
        double along = w.dx * std::sin(windDirection) + w.dy * std::cos(windDirection);
        EXPECT_GE(along, std::cos(10.0 * M_PI / 180.0) - 1e-6);
        total += w.amplitude;
    }
    EXPECT_NEAR(model->GetTotalAmplitude(), total, 1e-4);
    EXPECT_NEAR(4.0 * std::sqrt(squares / 2.0), 0.21 * speed * speed / 9.81, 1e-4) << "Pierson-Moskowitz height";

    // The closed-form normal leans the way the height falls.
    double h0, hx, hy;
    Sea::Vector3 n;
    ASSERT_TRUE(ocean->GetHeight(Sea::Vector3(12.0, 34.0, 0.0), h0, n));
    Sea::Vector3 unused;
    ocean->GetHeight(Sea::Vector3(12.05, 34.0, 0.0), hx, unused);
    ocean->GetHeight(Sea::Vector3(12.0, 34.05, 0.0), hy, unused);
    EXPECT_GT(std::fabs(h0), 0.0);
    const double gx = (hx - h0) / 0.05, gy = (hy - h0) / 0.05;
    EXPECT_GT(-n.x * gx - n.y * gy, 0.0);
    EXPECT_NEAR(-n.x * gy, -n.y * gx, 0.05 * std::hypot(gx, gy) * std::hypot(n.x, n.y));
    delete ocean;
}

TEST_F(OceanTest, WithoutWindTheSeaIsFlat)
{
    env.SimulateSeaState(0.0, 0.0);
    for (int type : {Sea::GERSTNER, Sea::FFT_PHILLIPS, Sea::FFT_JONSWAP})
    {
        Sea::Ocean* ocean = Sea::Ocean::Create(&env, type);
        ASSERT_NE(ocean, nullptr) << type;
        ocean->Advance(3.0);
        for (double x : {0.0, 17.5, 333.0})
        {
            double height = 1.0;
            Sea::Vector3 normal;
            ASSERT_TRUE(ocean->GetHeight(Sea::Vector3(x, 2.0 * x, 0.0), height, normal));
            EXPECT_EQ(height, 0.0) << type;
            EXPECT_EQ(normal.z, 1.0) << type;
        }
        delete ocean;
    }
}
