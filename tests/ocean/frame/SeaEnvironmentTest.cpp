#include "tests/ocean/SeaTestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/ResourceLoader.h"

#include <osg/Matrixd>

#include <cmath>

namespace
{
class SeaEnvironmentTest : public seatest::SeaTest
{
protected:
    Sea::ResourceLoader loader{seatest::resourceDirectory().c_str()};
};
} // namespace

TEST_F(SeaEnvironmentTest, SetupReportsEachFailureByItsCode)
{
    Sea::Environment env;
    EXPECT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, nullptr), Sea::NULL_RESOURCE_LOADER);
    EXPECT_TRUE(messages.contains("SEA: Null ResourceLoader passed into the Environment constructor."));
    EXPECT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::DIRECT3D11, &loader), Sea::NO_DEVICE);
    Sea::ResourceLoader wrong("/nonexistent");
    EXPECT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &wrong), Sea::CONFIGURATION_FAILED);
    EXPECT_TRUE(messages.contains(
        "SEA: Sea.config failed to load - did you set the correct path to the resources folder?"));
    // The failure did not count as a load: the right folder still works.
    EXPECT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    EXPECT_EQ(env.GetAboveWaterFog().visibility, 30000.0);
    EXPECT_EQ(env.GetBelowWaterFog().g, 0.12);
}

TEST_F(SeaEnvironmentTest, ASeaStateGivesTheBeaufortWindAndDegreesAreQuestioned)
{
    Sea::Environment env;
    env.SetUnitScale(2.0);
    ASSERT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    EXPECT_EQ(env.GetAboveWaterFog().visibility, 15000.0) << "lengths are divided by the unit scale";

    env.SimulateSeaState(4.0, 7.0);
    EXPECT_TRUE(messages.contains("SEA: You passed in a wind direction greater than 2PI to "
                                  "Environment::SimulateSeaState. Technically this is OK, but are you sure you're "
                                  "using radians instead of degrees here?"));
    double speed, direction, fetch;
    env.GetWind(Sea::Vector3(), speed, direction, fetch);
    EXPECT_NEAR(speed, 0.836 * 8.0 / 2.0, 1e-12);
    EXPECT_NEAR(direction, 7.0 - 2.0 * M_PI, 1e-12);
    EXPECT_EQ(fetch, 0.0);

    size_t before = messages.lines.size();
    env.SimulateSeaState(2.0, -1.0);
    EXPECT_EQ(messages.lines.size(), before) << "radians raise no warning";
    env.GetWind(Sea::Vector3(), speed, direction, fetch);
    EXPECT_NEAR(speed, 0.836 * std::pow(2.0, 1.5) / 2.0, 1e-12);
    EXPECT_NEAR(direction, -1.0, 1e-12) << "one fetch keeps its own direction";

    env.SimulateSeaState(-3.0, 0.0);
    env.GetWind(Sea::Vector3(), speed, direction, fetch);
    EXPECT_EQ(speed, 0.0) << "a negative sea state is calm, not undefined";
}

TEST_F(SeaEnvironmentTest, ALightColourOutOfRangeIsReportedAndKept)
{
    Sea::Environment env;
    env.SetDirectionalLight(Sea::Vector3(0, 3, 4), Sea::Vector3(1.5, 0.5, 0.25));
    EXPECT_TRUE(messages.contains("SEA: You passed in a color to Environment::SetDirectionalLight with a component "
                                  "outside the range of 0-1."));
    EXPECT_EQ(env.GetDirectionalLightColor().x, 1.5);
    EXPECT_NEAR(env.GetLightDirection().y, 0.6, 1e-12);
    EXPECT_NEAR(env.GetLightDirection().z, 0.8, 1e-12);
    size_t before = messages.lines.size();
    env.SetDirectionalLight(Sea::Vector3(0, 0, 0), Sea::Vector3(1, 1, 1));
    EXPECT_EQ(messages.lines.size(), before);
    EXPECT_EQ(env.GetLightDirection().SquaredLength(), 0.0) << "a zero direction is stored as it is";
}

TEST_F(SeaEnvironmentTest, TheSameMatrixTwiceRecomputesNothing)
{
    Sea::Environment env;
    osg::Matrixd view = osg::Matrixd::lookAt(osg::Vec3d(10, 20, 30), osg::Vec3d(10, 120, 30), osg::Vec3d(0, 0, 1));
    osg::Matrixd projection = osg::Matrixd::perspective(45.0, 1.5, 1.0, 1000.0);
    env.SetProjectionMatrix(projection.ptr());
    env.SetCameraMatrix(view.ptr());
    unsigned int updates = env.GetMatrixUpdateCount();
    EXPECT_EQ(updates, 2u);
    env.SetCameraMatrix(view.ptr());
    env.SetProjectionMatrix(projection.ptr());
    EXPECT_EQ(env.GetMatrixUpdateCount(), updates);

    EXPECT_NEAR(env.GetCameraPosition().x, 10.0, 1e-9);
    EXPECT_NEAR(env.GetCameraPosition().y, 20.0, 1e-9);
    EXPECT_NEAR(env.GetCameraPosition().z, 30.0, 1e-9);
    // A point ahead lies inside all six planes; one behind the camera and one past the far
    // plane do not.
    auto inside = [&](const Sea::Vector3& p) {
        for (int i = 0; i < 6; ++i)
        {
            const double* plane = env.GetFrustumPlane(i);
            if (plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3] < 0.0)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(inside(Sea::Vector3(10, 100, 30)));
    EXPECT_FALSE(inside(Sea::Vector3(10, 10, 30)));
    EXPECT_FALSE(inside(Sea::Vector3(10, 1100, 30)));
    const double* left = env.GetFrustumPlane(0);
    EXPECT_NEAR(left[0] * left[0] + left[1] * left[1] + left[2] * left[2], 1.0, 1e-12);

    env.SetCameraMatrix(nullptr);
    EXPECT_TRUE(messages.contains("SEA: Null matrix received in Environment::SetCameraMatrix."));
    EXPECT_EQ(env.GetMatrixUpdateCount(), updates);
}
