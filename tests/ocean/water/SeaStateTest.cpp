#include "tests/ocean/SeaTestSupport.h"

#include "bench/SeaStateHeights.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "grid/ProjectedGrid.h"
#include "water/FFTWaterModel.h"
#include "water/GerstnerWaterModel.h"

#include <osg/Matrixd>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace
{
// The sea as the viewer asks for it, simulated without a renderer, with the shipped settings.
class SeaStateTest : public seatest::SeaTest
{
protected:
    void SetUp() override
    {
        SeaTest::SetUp();
        loader.reset(new Sea::ResourceLoader(seatest::resourceDirectory().c_str()));
        environment.reset(new Sea::Environment);
        ASSERT_EQ(environment->Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, loader.get()), Sea::SUCCEEDED);
    }
    void TearDown() override
    {
        environment.reset();
        loader.reset();
        SeaTest::TearDown();
    }
    std::unique_ptr<Sea::Ocean> create(double seaState, int type = Sea::FFT_JONSWAP)
    {
        environment->SimulateSeaState(seaState, 0.3);
        return std::unique_ptr<Sea::Ocean>(Sea::Ocean::Create(environment.get(), type));
    }
    std::unique_ptr<Sea::ResourceLoader> loader;
    std::unique_ptr<Sea::Environment> environment;
};

// The height that the Gerstner vertex shader draws at its local coordinates, in its floats.
double drawnGerstnerHeight(const Sea::GerstnerWaterModel& model, float x, float y)
{
    float height = 0.0f;
    for (int i = 0; i < model.GetNumWaves(); ++i)
    {
        const Sea::GerstnerWaterModel::Wave& w = model.GetWaves()[i];
        height += w.amplitude * std::sin((w.dx * x + w.dy * y) * w.frequency + w.phaseSpeed * float(model.GetTime()));
    }
    return height;
}
} // namespace

// Each wave model's significant height is that of Pierson and Moskowitz for sea states that
// the 1 km patch resolves, within the same band for all three.
TEST_F(SeaStateTest, EveryWaveModelsHeightFollowsPiersonMoskowitz)
{
    for (int type : {Sea::FFT_PHILLIPS, Sea::FFT_PIERSON_MOSKOWITZ, Sea::GERSTNER})
        for (double state : {4.0, 6.0, 8.0})
        {
            const double ratio =
                seastate::simulatedHeight(*environment, state, type, 40) / seastate::piersonMoskowitz(state);
            EXPECT_GT(ratio, 0.7) << "type " << type << ", sea state " << state;
            EXPECT_LT(ratio, 1.3) << "type " << type << ", sea state " << state;
        }
}

// The share of the sea whose compression passes the whitecap threshold: next to none at sea
// state 3, some from 5 on, growing steeply as the sea rises.
TEST_F(SeaStateTest, WhitecapsAppearFromAboutSeaStateFiveAndSpreadAsTheSeaRises)
{
    std::map<int, double> share;
    for (int state : {3, 5, 6, 9})
    {
        std::unique_ptr<Sea::Ocean> ocean = create(state);
        ASSERT_NE(ocean, nullptr) << messages.all();
        auto* model = static_cast<Sea::FFTWaterModel*>(ocean->GetWaterModel());
        const int points = model->GetRows() * model->GetColumns();
        long foaming = 0, all = 0;
        for (int frame = 0; frame < 20; ++frame)
        {
            ocean->Advance(50.0 + frame * 0.9);
            for (int i = 0; i < points; ++i)
                foaming += model->GetSlopeFoam()[3 * i + 2] > model->GetFoamThreshold();
            all += points;
        }
        share[state] = double(foaming) / double(all);
    }
    EXPECT_LT(share[3], 0.002);
    EXPECT_GT(share[5], 0.003);
    EXPECT_GT(share[6], 1.5 * share[5]);
    EXPECT_GT(share[9], 0.08);
    EXPECT_GT(share[9], 3.0 * share[6]);
}

// Where the shaders wrap their coordinates (here 6 438 064 m north, inside the national grid),
// the height query and the drawn surface sample the same place of the wave field, for the
// FFT sea and for the Gerstner waves.
TEST_F(SeaStateTest, TheHeightQueryAgreesWithTheDrawnSurface)
{
    for (int type : {Sea::FFT_JONSWAP, Sea::GERSTNER})
    {
        std::unique_ptr<Sea::Ocean> ocean = create(5.0, type);
        ASSERT_NE(ocean, nullptr);
        for (double north : {6438064.3, 6422528.2, 137.0})
        {
            const osg::Vec3d eye(151234.5, north, 25.0);
            const osg::Matrixd view = osg::Matrixd::lookAt(eye, eye + osg::Vec3d(0, 100, -10), osg::Vec3d(0, 0, 1));
            environment->SetCameraMatrix(view.ptr());
            ocean->Advance(12.0);
            const Sea::ProjectedGrid* grid = ocean->GetProjectedGrid();
            const Sea::Vector3 reference = grid->GetReferenceLocation();
            for (const osg::Vec3d& offset : {osg::Vec3d(3, 40, 0), osg::Vec3d(-17, 230, 0), osg::Vec3d(400, 2, 0)})
            {
                const osg::Vec3d p = eye + offset;
                double height = 0.0;
                Sea::Vector3 normal, drawnNormal;
                ASSERT_TRUE(ocean->GetHeight(Sea::Vector3(p.x(), p.y(), 0.0), height, normal));
                // The shaders' local coordinates: the wrapped camera plus the offset from it.
                const double x = reference.x + offset.x(), y = reference.y + offset.y();
                const Sea::WaterModel& model = *ocean->GetWaterModel();
                const double drawn =
                    type == Sea::GERSTNER
                        ? drawnGerstnerHeight(static_cast<const Sea::GerstnerWaterModel&>(model), float(x), float(y))
                        : model.GetHeight(x, y, drawnNormal);
                EXPECT_NEAR(height, drawn, 5e-3) << "type " << type << " at " << p.x() << ", " << p.y();
            }
            const Sea::Vector3 wrap = grid->GetWrapPeriod();
            EXPECT_EQ(std::fmod(wrap.x, 1024.0), 0.0) << "the wrap is a whole number of patches";
        }
    }
}

// Settings that would exhaust memory are cut down to the limit, with one line each.
TEST_F(SeaStateTest, OversizedSettingsAreClampedWithOneLineEach)
{
    environment->SimulateSeaState(40.0, 0.3);
    double speed = 0.0, direction = 0.0, fetch = 0.0;
    environment->GetWind(Sea::Vector3(), speed, direction, fetch);
    EXPECT_NEAR(speed, 0.836 * std::pow(12.0, 1.5), 1e-9);

    Sea::Configuration::Set("default-grid-resolution", "100000");
    Sea::Configuration::Set("fft-grid-dimension-x", "1000000");
    Sea::FFTWaterModel model(environment.get(), Sea::FFT_PIERSON_MOSKOWITZ);
    EXPECT_EQ(model.GetColumns(), 1024);
    Sea::Configuration::Set("fft-grid-dimension-x", "64");
    Sea::Configuration::Set("fft-grid-dimension-y", "64");
    std::unique_ptr<Sea::Ocean> ocean(Sea::Ocean::Create(environment.get(), Sea::FFT_JONSWAP));
    ASSERT_NE(ocean, nullptr) << messages.all();
    EXPECT_EQ(ocean->GetGridResolution(), 2048);

    const long lines = std::count_if(messages.lines.begin(), messages.lines.end(),
                                     [](const std::string& line) { return line.find("(INFO)") == std::string::npos; });
    EXPECT_EQ(lines, 3) << messages.all();
    EXPECT_TRUE(messages.contains("SEA: Sea state 40 is above 12; 12 is used.")) << messages.all();
    EXPECT_TRUE(messages.contains("SEA: fft-grid-dimension-x 1000000 is above 1024; 1024 is used."));
    EXPECT_TRUE(messages.contains("SEA: default-grid-resolution 100000 is above 2048; 2048 is used."));
}
