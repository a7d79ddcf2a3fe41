#include "tests/ocean/SeaTestSupport.h"

#include "tests/support/TestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "grid/OceanLightingModel.h"
#include "grid/ProjectedGrid.h"
#include "grid/ProjectedGridOpenGL.h"
#include "grid/ShaderLoader.h"
#include "particles/WakeManager.h"

#include <osg/Matrixd>

#include <string>

namespace
{
class ProjectedGridTest : public seatest::SeaTest
{
protected:
    void setUp(int system)
    {
        ASSERT_EQ(env.Setup(system, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
        ASSERT_TRUE(grid.Initialize(&env, false, 64));
    }
    void look(const osg::Vec3d& eye, const osg::Vec3d& centre, const osg::Vec3d& up = osg::Vec3d(0, 0, 1))
    {
        env.SetCameraMatrix(osg::Matrixd::lookAt(eye, centre, up).ptr());
        env.SetProjectionMatrix(osg::Matrixd::perspective(45.0, 1.0, 1.0, 10000.0).ptr());
        grid.Update();
    }
    Sea::ResourceLoader loader{seatest::resourceDirectory().c_str()};
    Sea::Environment env;
    Sea::ProjectedGrid grid{false};
};

std::string composed(const Sea::Environment& env, int type, bool fragment, bool patch = false)
{
    char name[64];
    EXPECT_TRUE(Sea::ShaderLoader::ComposeName(&env, type, fragment, patch, name, sizeof(name)));
    return name;
}
} // namespace

TEST_F(ProjectedGridTest, TheMeshIsOneStripOverAllRows)
{
    Sea::Buffer<float> vertices;
    Sea::Buffer<unsigned int> indices;
    ASSERT_TRUE(Sea::ProjectedGridOpenGL::BuildMesh(2, vertices, indices));
    const float corners[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(vertices[i], corners[i]) << i;
    const unsigned int strip[6] = {0, 0, 2, 1, 3, 3};
    ASSERT_EQ(indices.Size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(indices[i], strip[i]) << i;

    ASSERT_TRUE(Sea::ProjectedGridOpenGL::BuildMesh(512, vertices, indices));
    EXPECT_EQ(indices.Size(), 524286u);
    EXPECT_EQ(indices[indices.Size() - 1], 512u * 512u - 1u);
    EXPECT_FALSE(Sea::ProjectedGridOpenGL::BuildMesh(1, vertices, indices));
}

TEST_F(ProjectedGridTest, ShaderNamesFollowRendererSurfaceAndModel)
{
    ASSERT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::OPENGL_2_0, &loader), Sea::SUCCEEDED);
    EXPECT_EQ(composed(env, Sea::GERSTNER, false), "projgrid-flat-gerstner.glsl");
    EXPECT_EQ(composed(env, Sea::GERSTNER, true), "ocean-frag-gerstner.glsl");
    EXPECT_EQ(composed(env, Sea::FFT_JONSWAP, true, true), "ocean-frag-flat-fft-patch.glsl");
    char name[64];
    ASSERT_TRUE(Sea::ShaderLoader::ComposeParticleName(&env, true, name, sizeof(name)));
    EXPECT_EQ(std::string(name), "particle-frag.glsl");

    Sea::Environment round;
    ASSERT_EQ(round.Setup(Sea::SPHERICAL_YUP, Sea::OPENGL_3_2, &loader), Sea::SUCCEEDED);
    Sea::Configuration::Set("shader-filename-prefix", "my-");
    EXPECT_EQ(composed(round, Sea::FFT_PHILLIPS, false), "my-projgrid-ellipsoid-fft.glsl");
    EXPECT_EQ(composed(round, Sea::GERSTNER, true, true), "my-ocean-frag-gerstner-patch.glsl");
    EXPECT_FALSE(Sea::ShaderLoader::ComposeName(&round, Sea::GERSTNER, true, true, name, 8));

    // Every name the OpenGL renderers can ask for is in the data tree.
    Sea::Configuration::Set("shader-filename-prefix", "");
    for (int system : {Sea::FLAT_ZUP, Sea::WGS84_ZUP})
    {
        Sea::Environment e;
        ASSERT_EQ(e.Setup(system, Sea::OPENGL_2_0, &loader), Sea::SUCCEEDED);
        for (int type : {Sea::GERSTNER, Sea::FFT_JONSWAP})
            for (bool fragment : {false, true})
                for (bool patch : {false, true})
                {
                    std::string file = seatest::resourceDirectory() + "/" + composed(e, type, fragment, patch);
                    EXPECT_TRUE(tavritest::fileExists(file)) << file;
                }
    }
}

TEST_F(ProjectedGridTest, ACameraAtSeaLevelLiftsThePlaneALittle)
{
    setUp(Sea::FLAT_ZUP);
    env.SetSeaLevel(2.0);
    look(osg::Vec3d(0, 0, 2.0), osg::Vec3d(0, 10, 1.0));
    double plane[4];
    grid.GetPlane(plane);
    EXPECT_EQ(plane[2], 1.0);
    EXPECT_DOUBLE_EQ(plane[3], -2.1);
    look(osg::Vec3d(0, 0, 7.0), osg::Vec3d(0, 10, 1.0));
    grid.GetPlane(plane);
    EXPECT_DOUBLE_EQ(plane[3], -2.0);
}

TEST_F(ProjectedGridTest, TheGridCoversTheWaterOnTheScreenOnly)
{
    setUp(Sea::FLAT_ZUP);
    // Looking straight up from above the sea: no water in view.
    look(osg::Vec3d(0, 0, 10), osg::Vec3d(0, 0.01, 100));
    EXPECT_FALSE(grid.IsWaterVisible());
    // Looking at the horizon: the lower half of the screen, up to the horizon in the middle.
    look(osg::Vec3d(0, 0, 10), osg::Vec3d(0, 100, 10));
    ASSERT_TRUE(grid.IsWaterVisible());
    const Sea::Matrix4& scale = grid.GetGridScale();
    const double top = scale.m[3][1] + scale.m[1][1], bottom = scale.m[3][1] - scale.m[1][1];
    EXPECT_NEAR(top, 0.15, 0.01) << "the horizon plus the margin for displaced waves";
    EXPECT_LE(bottom, -1.0);
    EXPECT_TRUE(grid.IsCameraAboveWater());
    EXPECT_NEAR(grid.GetFloorPlanePoint().z, 0.0, 1e-6) << "without a water model the floor has no depth";

    look(osg::Vec3d(0, 0, -5), osg::Vec3d(0, 100, -5));
    EXPECT_FALSE(grid.IsCameraAboveWater());
}

TEST_F(ProjectedGridTest, EachCoordinateSystemHasItsEarthAndFrame)
{
    setUp(Sea::WGS84_YUP);
    EXPECT_EQ(grid.GetRadii().x, 6378137.0);
    EXPECT_EQ(grid.GetRadii().y, 6356752.3142);
    EXPECT_EQ(grid.GetRadii().z, 6378137.0);

    Sea::ProjectedGrid flatYUp(false);
    Sea::Environment yUp;
    ASSERT_EQ(yUp.Setup(Sea::FLAT_YUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    ASSERT_TRUE(flatYUp.Initialize(&yUp, false, 64));
    // Local x east, y north, z up: world x, -z and y.
    Sea::Vector3 local = flatYUp.WorldToLocal(Sea::Vector3(1, 2, 3));
    EXPECT_EQ(local.x, 1.0);
    EXPECT_EQ(local.y, -3.0);
    EXPECT_EQ(local.z, 2.0);

    // On the sphere, a point 10 m above the surface at the equator is 10 m up locally.
    Sea::ProjectedGrid sphere(false);
    Sea::Environment round;
    ASSERT_EQ(round.Setup(Sea::SPHERICAL_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    ASSERT_TRUE(sphere.Initialize(&round, false, 64));
    const double r = 6371009.0;
    round.SetCameraMatrix(osg::Matrixd::lookAt(osg::Vec3d(r + 30, 0, 0), osg::Vec3d(r, 100, 0), osg::Vec3d(1, 0, 0)).ptr());
    round.SetProjectionMatrix(osg::Matrixd::perspective(45.0, 1.0, 1.0, 10000.0).ptr());
    sphere.Update();
    EXPECT_NEAR(sphere.WorldToLocal(Sea::Vector3(r + 10, 0, 0)).z, 10.0, 1e-3);
    EXPECT_NEAR(sphere.LocalToWorldDirection(Sea::Vector3(0, 0, 1)).x, 1.0, 1e-9);
    EXPECT_NEAR(sphere.LocalToWorldDirection(Sea::Vector3(0, 1, 0)).z, 1.0, 1e-9) << "north is the pole's way";
    EXPECT_TRUE(sphere.IsWaterVisible());
}

TEST_F(ProjectedGridTest, LightingDefaultsAndTheWakeManagersChoice)
{
    ASSERT_EQ(env.Setup(Sea::FLAT_ZUP, Sea::NO_RENDERER, &loader), Sea::SUCCEEDED);
    Sea::Configuration::Clear();
    env.SetUnitScale(2.0);
    Sea::OceanLightingModel lighting(&env);
    ASSERT_TRUE(lighting.Initialize(0, 0));
    EXPECT_EQ(lighting.GetRefractionColor().y, 0.2);
    EXPECT_EQ(lighting.GetRefractionColor().z, 0.3);
    EXPECT_EQ(lighting.GetShininess(), 5.0);
    EXPECT_EQ(lighting.GetFoamScale(), 8.0f);
    EXPECT_EQ(lighting.GetFoamBlend(), 0.5f);
    Sea::Configuration::Set("refract-color-blue", "-0.1");
    EXPECT_FALSE(lighting.Initialize(0, 0));
    EXPECT_TRUE(messages.contains("SEA: Negative refraction color value specified."));
    env.SetUnitScale(1.0);

    Sea::Configuration::Set("max-wake-waves-opengl", "2");
    Sea::WakeSourceList sources;
    Sea::WakeManager wakes(&sources);
    ASSERT_TRUE(grid.Initialize(&env, false, 64));
    ASSERT_TRUE(wakes.Initialize(&grid, &env));
    Sea::WakeSource far(40), near(40), nearer(40), slow(40);
    far.Update(Sea::Vector3(900, 0, 0), Sea::Vector3(5, 0, 0));
    near.Update(Sea::Vector3(300, 0, 0), Sea::Vector3(0, 5, 0));
    nearer.Update(Sea::Vector3(100, 0, 0), Sea::Vector3(0, -5, 0));
    slow.Update(Sea::Vector3(10, 0, 0), Sea::Vector3(0.1, 0, 0));
    for (Sea::WakeSource* s : {&far, &near, &slow, &nearer})
        sources.push_back(s);
    wakes.Update(Sea::Vector3());
    ASSERT_EQ(wakes.GetNumActiveWakes(), 2);
    EXPECT_EQ(wakes.GetActiveWakes()[0].position[0], 100.0f);
    EXPECT_EQ(wakes.GetActiveWakes()[0].direction[1], -1.0f);
    EXPECT_EQ(wakes.GetActiveWakes()[1].position[0], 300.0f);
    EXPECT_NEAR(wakes.GetActiveWakes()[1].wavelength, 2 * M_PI * 25 / 9.81, 1e-3) << "2 pi v^2 / g";
    sources.clear();
    wakes.Update(Sea::Vector3());
    EXPECT_EQ(wakes.GetNumActiveWakes(), 0) << "no sources, no wakes";
}
