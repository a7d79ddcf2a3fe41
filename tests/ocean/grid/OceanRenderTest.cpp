#include "tests/ocean/SeaTestSupport.h"

#include "tests/support/TestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "Sea/WakeSource.h"
#include "grid/ProjectedGridOpenGL.h"
#include "particles/SprayManager.h"

#include <filesystem>

#include <osg/Matrixd>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using seatest::GLWindow;

namespace
{
const int width = 480;
const int height = 360;

// A sky cube map: pale at the horizon, deep blue overhead, grey below.
unsigned int makeSkyCubeMap()
{
    const int size = 32;
    unsigned int texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture);
    std::vector<unsigned char> pixels(size * size * 3);
    for (int face = 0; face < 6; ++face)
    {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
            {
                // Cube faces +X, -X, +Y, -Y, +Z, -Z; world z is up here.
                float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size * 2 - 1;
                float dirs[6][3] = {{1, -v, -u}, {-1, -v, u}, {u, 1, v}, {u, -1, -v}, {u, -v, 1}, {-u, -v, -1}};
                float* d = dirs[face];
                float up = d[2] / std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                float t = up < 0 ? 0 : up;
                unsigned char* p = &pixels[(y * size + x) * 3];
                p[0] = (unsigned char)(200 - 150 * t);
                p[1] = (unsigned char)(215 - 110 * t);
                p[2] = (unsigned char)(235 - 30 * t);
            }
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     pixels.data());
    }
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return texture;
}

struct Camera
{
    osg::Matrixd view;
    osg::Matrixd projection;
};

// Eye `eyeHeight` above the sea at the origin, looking along +y and a little down.
Camera lookOverTheSea(double eyeHeight, double downDegrees)
{
    Camera c;
    double down = osg::DegreesToRadians(downDegrees);
    c.view = osg::Matrixd::lookAt(osg::Vec3d(0, 0, eyeHeight),
                                  osg::Vec3d(0, std::cos(down), eyeHeight - std::sin(down)), osg::Vec3d(0, 0, 1));
    c.projection = osg::Matrixd::perspective(50.0, double(width) / height, 0.5, 20000.0);
    return c;
}

struct PixelStats
{
    double meanR = 0, meanG = 0, meanB = 0, deviation = 0;
};

// Mean colour and the deviation of brightness over rows [rowBegin, rowEnd) (bottom row 0).
PixelStats stats(const std::vector<unsigned char>& pixels, int rowBegin, int rowEnd)
{
    PixelStats s;
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int y = rowBegin; y < rowEnd; ++y)
        for (int x = 0; x < width; ++x)
        {
            const unsigned char* p = &pixels[(size_t(y) * width + x) * 3];
            s.meanR += p[0];
            s.meanG += p[1];
            s.meanB += p[2];
            double l = 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
            sum += l;
            sum2 += l * l;
            ++n;
        }
    s.meanR /= n;
    s.meanG /= n;
    s.meanB /= n;
    s.deviation = std::sqrt(std::max(sum2 / n - (sum / n) * (sum / n), 0.0));
    return s;
}

// Share of the pixels that differ by more than `tolerance` in any channel.
double differingShare(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int tolerance)
{
    size_t differing = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(int(a[i + c]) - int(b[i + c])) > tolerance)
            {
                ++differing;
                break;
            }
    return a.empty() ? 0.0 : double(differing) / double(a.size() / 3);
}

// A grey square of sea floor 1 m under the water, 40 m wide, 30 to 70 m ahead.
void drawSeaFloor(const Camera& camera)
{
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(camera.projection.ptr());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(camera.view.ptr());
    glEnable(GL_DEPTH_TEST);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_QUADS);
    glVertex3f(-20, 30, -1);
    glVertex3f(20, 30, -1);
    glVertex3f(20, 70, -1);
    glVertex3f(-20, 70, -1);
    glEnd();
}

// A reflection texture as the viewer's mirrored camera would draw it: a red left half,
// nothing (alpha 0) on the right.
unsigned int makeHalfRedReflection()
{
    const int size = 64;
    std::vector<unsigned char> texels(size * size * 4, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size / 2; ++x)
        {
            texels[(y * size + x) * 4] = 255;
            texels[(y * size + x) * 4 + 3] = 255;
        }
    unsigned int texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// Positions relative to the camera to reflection texture coordinates: the view's rotation,
// the projection and the shift from [-1, 1] to [0, 1], row by row.
void reflectionMatrix(const Camera& camera, double matrix[9])
{
    osg::Matrixd rotation = camera.view;
    rotation.setTrans(0, 0, 0);
    const osg::Matrixd m =
        rotation * camera.projection * osg::Matrixd::translate(1, 1, 1) * osg::Matrixd::scale(0.5, 0.5, 0.5);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            matrix[r * 3 + c] = m(r, c);
}

class OceanRenderTest : public seatest::SeaTest
{
protected:
    // Loader, environment with a sun and a sea state, as the viewer sets them up.
    void setUp(const std::string& directory, double seaState)
    {
        loader = new Sea::ResourceLoader(directory.c_str());
        env = new Sea::Environment;
        ASSERT_EQ(env->Setup(Sea::FLAT_ZUP, Sea::OPENGL_2_0, loader), Sea::SUCCEEDED) << messages.all();
        env->SimulateSeaState(seaState, 0.6);
        env->SetDirectionalLight(Sea::Vector3(0.2, 1.0, 0.35), Sea::Vector3(1.0, 0.95, 0.85));
        env->SetAmbientColor(Sea::Vector3(0.35, 0.38, 0.42));
    }
    void TearDown() override
    {
        delete env;
        delete loader;
        seatest::SeaTest::TearDown();
    }
    Sea::ResourceLoader* loader = nullptr;
    Sea::Environment* env = nullptr;

    void drawFrame(Sea::Environment& environment, Sea::Ocean* ocean, const Camera& camera, double time)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        environment.SetCameraMatrix(camera.view.ptr());
        environment.SetProjectionMatrix(camera.projection.ptr());
        ocean->Render(time);
        glFinish();
    }
};
} // namespace

TEST_F(OceanRenderTest, TheFFTSeaDrawsWaterBelowTheHorizonAndMovesWithTime)
{
    GLWindow window(width, height);
    setUp(seatest::resourceDirectory(), 4.0);
    unsigned int sky = makeSkyCubeMap();
    env->SetEnvironmentMap(sky);

    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr) << messages.all();
    EXPECT_TRUE(messages.contains("SEA: (INFO) CPU-based FFT forced by fft-force-cpu setting."));

    Camera camera = lookOverTheSea(20.0, 8.0);
    drawFrame(*env, ocean, camera, 10.0);
    std::vector<unsigned char> first = window.readPixels();
    window.writePNG(tavritest::buildDir() + "/ocean-fft.png");
    drawFrame(*env, ocean, camera, 12.0);
    std::vector<unsigned char> later = window.readPixels();

    // The horizon lies a little above the middle: below it water, above it the clear colour.
    PixelStats water = stats(first, 0, height / 3);
    PixelStats air = stats(first, height - 20, height);
    EXPECT_GT(water.meanB, water.meanR + 10) << "water should be bluish";
    EXPECT_GT(water.meanB + water.meanG + water.meanR, 120.0) << "water should be lit";
    EXPECT_GT(water.deviation, 6.0) << "waves should vary the colour";
    EXPECT_LT(air.meanR + air.meanG + air.meanB, 1.0) << "the sea must stay below the horizon";

    size_t changed = 0;
    for (size_t i = 0; i < first.size() / 3 / 3; ++i)
        changed += first[i] != later[i];
    EXPECT_GT(changed, first.size() / 3 / 3 / 10) << "the sea should move";
    EXPECT_FALSE(messages.contains("GL error")) << messages.all();

    delete ocean;
    glDeleteTextures(1, &sky);
}

TEST_F(OceanRenderTest, ABrokenShaderReportsItsLogAndNoOceanIsMade)
{
    GLWindow window(64, 64);
    tavritest::TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(seatest::resourceDirectory()))
        std::filesystem::copy(entry.path(), dir.path());
    std::string config = tavritest::readFile(dir.file("Sea.config")) + "\nshader-filename-prefix = broken-\n";
    tavritest::writeFile(dir.file("Sea.config"), config);
    std::filesystem::copy(dir.file("projgrid-flat-fft.glsl"), dir.file("broken-projgrid-flat-fft.glsl"));
    tavritest::writeFile(dir.file("broken-ocean-frag-flat-fft.glsl"),
                         tavritest::readFile(dir.file("ocean-frag-flat-fft.glsl")) + "\nthis is not GLSL;\n");
    setUp(dir.path(), 3.0);

    seatest::CountingAllocator allocator;
    EXPECT_EQ(Sea::Ocean::Create(env, Sea::FFT_JONSWAP), nullptr);
    ASSERT_TRUE(messages.contains("SEA: GLSL error detected in projected grid!")) << messages.all();
    // The compiler's own log follows, line by line, then the link failure and the grid's.
    size_t heading = 0;
    while (messages.lines[heading].find("GLSL error detected") == std::string::npos)
        ++heading;
    ASSERT_LT(heading + 1, messages.lines.size());
    EXPECT_NE(messages.lines[heading + 1].find("error"), std::string::npos) << messages.all();
    EXPECT_TRUE(messages.contains("SEA: Failed to link shader program for OpenGL."));
    EXPECT_TRUE(messages.contains("SEA: Failed to initialize projected grid."));
    EXPECT_EQ(allocator.outstanding(), 0u);
}

TEST_F(OceanRenderTest, GerstnerWavesAndAWakeDrawToo)
{
    GLWindow window(width, height);
    setUp(seatest::resourceDirectory(), 4.0);
    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::GERSTNER);
    ASSERT_NE(ocean, nullptr) << messages.all();
    Camera camera = lookOverTheSea(25.0, 12.0);
    drawFrame(*env, ocean, camera, 5.0);
    std::vector<unsigned char> calm = window.readPixels();
    PixelStats water = stats(calm, height / 3, height / 2);
    EXPECT_GT(water.meanB, water.meanR + 10);
    EXPECT_GT(water.deviation, 3.0);

    // A hull steaming towards the camera leaves its wake behind it, in the middle of the picture.
    Sea::WakeSource ship(60.0);
    ship.Update(Sea::Vector3(0.0, 150.0, 0.0), Sea::Vector3(0.0, -8.0, 0.0));
    ocean->AddWakeSource(&ship);
    drawFrame(*env, ocean, camera, 5.0);
    std::vector<unsigned char> wake = window.readPixels();
    window.writePNG(tavritest::buildDir() + "/ocean-gerstner-wake.png");
    size_t changedMiddle = 0, changedEdge = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 40; ++x)
        {
            changedMiddle += wake[(y * width + width / 2 - 20 + x) * 3] != calm[(y * width + width / 2 - 20 + x) * 3];
            changedEdge += wake[(y * width + x) * 3] != calm[(y * width + x) * 3];
        }
    EXPECT_GT(changedMiddle, 100u);
    EXPECT_LT(changedEdge, changedMiddle / 4);
    ocean->RemoveWakeSource(&ship);
    EXPECT_EQ(ocean->GetSprayManager()->GetNumParticles(), 0) << "spray is off by default";
    delete ocean;
}

TEST_F(OceanRenderTest, ThePlanarReflectionShowsWhereTheSceneIsMirrored)
{
    GLWindow window(width, height);
    setUp(seatest::resourceDirectory(), 2.0);
    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_PIERSON_MOSKOWITZ);
    ASSERT_NE(ocean, nullptr) << messages.all();
    Camera camera = lookOverTheSea(20.0, 10.0);

    unsigned int reflection = makeHalfRedReflection();
    double matrix[9];
    reflectionMatrix(camera, matrix);
    env->SetPlanarReflectionMap(reflection, matrix, 0.125);

    drawFrame(*env, ocean, camera, 1.0);
    std::vector<unsigned char> pixels = window.readPixels();
    window.writePNG(tavritest::buildDir() + "/ocean-reflection.png");
    // Just below the horizon, where the water mirrors most: red against blue on either side.
    double left = 0, right = 0;
    for (int y = int(height * 0.45); y < int(height * 0.6); ++y)
        for (int x = 0; x < width / 3; ++x)
        {
            const unsigned char* l = &pixels[(y * width + x) * 3];
            const unsigned char* r = &pixels[(y * width + width - 1 - x) * 3];
            left += l[0] - l[2];
            right += r[0] - r[2];
        }
    EXPECT_GT(left, 0.0) << "the mirrored scene shows on the left";
    EXPECT_LT(right, 0.0) << "the sky shows on the right";
    delete ocean;
    glDeleteTextures(1, &reflection);
}

// Both shader dialects, flat and round earths, both wave models: each draws water.
TEST_F(OceanRenderTest, EveryRendererSurfaceAndModelDrawsWater)
{
    GLWindow window(160, 120);
    const double radius = 6378137.0;
    for (int renderer : {Sea::OPENGL_2_0, Sea::OPENGL_3_2})
        for (int system : {Sea::FLAT_ZUP, Sea::WGS84_ZUP})
            for (int type : {Sea::GERSTNER, Sea::FFT_JONSWAP})
            {
                SCOPED_TRACE(testing::Message() << "renderer " << renderer << ", system " << system << ", type " << type);
                Sea::ResourceLoader resources(seatest::resourceDirectory().c_str());
                Sea::Environment environment;
                ASSERT_EQ(environment.Setup(system, renderer, &resources), Sea::SUCCEEDED);
                environment.SimulateSeaState(4.0, 0.3);
                Sea::Ocean* ocean = Sea::Ocean::Create(&environment, type);
                ASSERT_NE(ocean, nullptr) << messages.all();
                // On the round earth the camera stands over the equator at longitude 0, where
                // up is +x, and looks east.
                Camera camera;
                if (system == Sea::FLAT_ZUP)
                    camera = lookOverTheSea(20.0, 10.0);
                else
                {
                    osg::Vec3d eye(radius + 20.0, 0.0, 0.0);
                    camera.view = osg::Matrixd::lookAt(eye, eye + osg::Vec3d(-0.17, 0.98, 0.0), osg::Vec3d(1, 0, 0));
                    camera.projection = osg::Matrixd::perspective(50.0, 160.0 / 120.0, 0.5, 20000.0);
                }
                glViewport(0, 0, 160, 120);
                drawFrame(environment, ocean, camera, 2.0);
                std::vector<unsigned char> pixels = window.readPixels();
                double blue = 0, red = 0;
                for (int i = 0; i < 160 * 30; ++i)
                {
                    red += pixels[i * 3];
                    blue += pixels[i * 3 + 2];
                }
                EXPECT_GT(blue, red + 160 * 30 * 10) << "water at the bottom of the picture";
                EXPECT_FALSE(messages.contains("GL error")) << messages.all();
                delete ocean;
            }
}

TEST_F(OceanRenderTest, SprayFliesFromBreakingCrestsOnlyWhenSwitchedOn)
{
    GLWindow window(160, 120);
    setUp(seatest::resourceDirectory(), 10.0); // a gale with steep, choppy crests that break
    Sea::Configuration::Set("fft-choppiness", "1.0");
    Sea::Configuration::Set("fft-enable-spray", "yes");
    Sea::Configuration::Set("default-grid-resolution", "128");
    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr) << messages.all();
    Camera camera = lookOverTheSea(40.0, 15.0);
    glViewport(0, 0, 160, 120);
    int most = 0;
    for (int frame = 0; frame < 8; ++frame)
    {
        drawFrame(*env, ocean, camera, 1.0 + frame * 0.05);
        most = std::max(most, ocean->GetSprayManager()->GetNumParticles());
    }
    EXPECT_GT(most, 10);
    const Sea::SprayManager::Particle* p = ocean->GetSprayManager()->GetParticles();
    for (int i = 0; i < ocean->GetSprayManager()->GetNumParticles(); ++i)
    {
        EXPECT_LE(p[i].age, p[i].life);
        EXPECT_LT(std::fabs(p[i].position[2]), 60.0f) << "spray stays near the waves";
    }
    EXPECT_FALSE(messages.contains("GL error")) << messages.all();
    // Not drawn when the caller does not ask for spray: nothing more is thrown.
    drawFrame(*env, ocean, camera, 3.0);
    int before = ocean->GetSprayManager()->GetNumParticles();
    env->SetCameraMatrix(camera.view.ptr());
    ocean->Render(3.05, true, true, false);
    EXPECT_EQ(ocean->GetSprayManager()->GetNumParticles(), before);
    delete ocean;
}

TEST_F(OceanRenderTest, APatchOfTheCallersVerticesIsShadedAsSea)
{
    GLWindow window(160, 120);
    setUp(seatest::resourceDirectory(), 3.0);
    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_JONSWAP, false, true);
    ASSERT_NE(ocean, nullptr) << messages.all();
    Camera camera = lookOverTheSea(20.0, 20.0);
    glViewport(0, 0, 160, 120);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    env->SetCameraMatrix(camera.view.ptr());
    env->SetProjectionMatrix(camera.projection.ptr());
    ocean->Advance(1.0);
    // A square of sea 40 m wide, 50 to 90 m ahead, the left half of the view.
    const float square[4][3] = {{-40, 50, 0}, {0, 50, 0}, {0, 90, 0}, {-40, 90, 0}};
    ASSERT_TRUE(ocean->RenderPatch(square, false, Sea::Matrix4()));
    glDisable(GL_CULL_FACE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, square);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    ocean->EndPatch();

    std::vector<unsigned char> pixels = window.readPixels();
    auto blueAt = [&](int x, int y) { return pixels[(y * 160 + x) * 3 + 2]; };
    EXPECT_GT(blueAt(60, 60), 40) << "sea inside the patch";
    EXPECT_EQ(blueAt(140, 60), 0) << "nothing beside it";
    EXPECT_FALSE(messages.contains("GL error")) << messages.all();
    delete ocean;
}

TEST_F(OceanRenderTest, AHeightMapLetsTheShoreShowThrough)
{
    GLWindow window(160, 120);
    setUp(seatest::resourceDirectory(), 3.0);
    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr) << messages.all();
    // Terrain 20 m deep west of x = 0 and 5 m above the sea east of it.
    const float heights[2] = {-20.0f, 5.0f};
    unsigned int terrain = 0;
    glGenTextures(1, &terrain);
    glBindTexture(GL_TEXTURE_2D, terrain);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE32F_ARB, 2, 1, 0, GL_LUMINANCE, GL_FLOAT, heights);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    Sea::Matrix4 worldToTexture; // u = x / 2000 + 0.5, v = 0.5
    worldToTexture.m[0][0] = 1.0 / 2000.0;
    worldToTexture.m[1][1] = 0.0;
    worldToTexture.m[3][0] = 0.5;
    worldToTexture.m[3][1] = 0.5;
    env->SetHeightMap(terrain, worldToTexture);

    Camera camera = lookOverTheSea(20.0, 20.0);
    glViewport(0, 0, 160, 120);
    drawFrame(*env, ocean, camera, 1.0);
    std::vector<unsigned char> pixels = window.readPixels();
    double west = 0, east = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 10; x < 60; ++x)
        {
            west += pixels[(y * 160 + x) * 3 + 2];
            east += pixels[(y * 160 + 159 - x) * 3 + 2];
        }
    EXPECT_GT(west, 40.0 * 50 * 40) << "water over the deep part";
    EXPECT_LT(east, west / 10) << "the clear colour through the water over land";
    EXPECT_FALSE(messages.contains("GL error")) << messages.all();
    delete ocean;
    glDeleteTextures(1, &terrain);
}

namespace
{
// One setting of the surface: configuration lines, and what is set on the environment before
// the ocean is made or on its grid after.
struct SurfaceSetting
{
    const char* name;
    std::string configuration;
    bool breakingWaves;
    std::function<void(Sea::Environment&)> beforeCreate;
    std::function<void(Sea::Ocean&)> afterCreate;
    int waterModel = Sea::FFT_JONSWAP;
};

void PrintTo(const SurfaceSetting& setting, std::ostream* out) { *out << setting.name; }

class SurfaceSettingTest : public OceanRenderTest, public testing::WithParamInterface<SurfaceSetting>
{
protected:
    // The sea at sea state 5, 12 m below the eye, over a grey patch of floor, with a reflection,
    // at one moment; the picture is also written for a look.
    std::vector<unsigned char> draw(const GLWindow& window, const SurfaceSetting* setting, const std::string& picture)
    {
        Sea::Configuration::Clear();
        setUp(seatest::resourceDirectory(), 5.0);
        Sea::Configuration::Parse(shore);
        if (setting)
        {
            Sea::Configuration::Parse(setting->configuration.c_str());
            if (setting->beforeCreate)
                setting->beforeCreate(*env);
        }
        const Camera camera = lookOverTheSea(12.0, 14.0);
        double matrix[9];
        reflectionMatrix(camera, matrix);
        env->SetPlanarReflectionMap(reflection, matrix, 0.125);
        const int model = GetParam().waterModel;
        std::unique_ptr<Sea::Ocean> ocean(Sea::Ocean::Create(env, model, setting && setting->breakingWaves));
        EXPECT_NE(ocean, nullptr) << messages.all();
        if (!ocean)
            return {};
        if (setting && setting->afterCreate)
            setting->afterCreate(*ocean);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawSeaFloor(camera);
        env->SetCameraMatrix(camera.view.ptr());
        env->SetProjectionMatrix(camera.projection.ptr());
        ocean->Render(7.0);
        std::vector<unsigned char> pixels = window.readPixels();
        window.writePNG(tavritest::buildDir() + "/ocean-setting-" + picture + ".png");
        EXPECT_FALSE(messages.contains("GL error")) << messages.all();
        EXPECT_EQ(ocean->GetSprayManager()->GetNumParticles(), 0) << "spray is off by default";
        ocean.reset();
        delete env;
        env = nullptr;
        delete loader;
        loader = nullptr;
        return pixels;
    }
    // Shallow water near a coast, where the floor, the breakers and the depth offset show.
    const char* shore = "fft-depth = 6\n";
    unsigned int reflection = 0;
};
} // namespace

// Each setting of the surface shows: the picture with it differs from the one without, same
// camera, same moment.
TEST_P(SurfaceSettingTest, ChangesThePicture)
{
    GLWindow window(width, height);
    reflection = makeHalfRedReflection();
    std::string picture = GetParam().name;
    std::replace(picture.begin(), picture.end(), ' ', '-');
    const std::vector<unsigned char> without = draw(window, nullptr, picture + "-without");
    const std::vector<unsigned char> with = draw(window, &GetParam(), picture);
    ASSERT_EQ(without.size(), with.size());
    EXPECT_GT(differingShare(without, with, 3), 0.01);
    glDeleteTextures(1, &reflection);
}

INSTANTIATE_TEST_SUITE_P(
    EverySetting, SurfaceSettingTest,
    testing::Values(SurfaceSetting{"swell height multiplier", "swell-height-multiplier = 4", false, nullptr, nullptr},
                    SurfaceSetting{"grid anti-aliasing", "grid-anti-aliasing = 12", false, nullptr, nullptr},
                    SurfaceSetting{"planar height", "grid-planar-height = 1500", false, nullptr, nullptr},
                    SurfaceSetting{"planar adjust", "planar-adjust = 300", false, nullptr, nullptr},
                    // Gerstner waves do not depend on the depth: only the floor moves.
                    SurfaceSetting{"floor plane", "fft-depth = 1.5", false, nullptr, nullptr, Sea::GERSTNER},
                    SurfaceSetting{"depth offset", "", false, nullptr,
                                   [](Sea::Ocean& ocean) { ocean.GetProjectedGrid()->SetDepthOffset(0.001f); }},
                    SurfaceSetting{"breaking waves", "", true,
                                   [](Sea::Environment& environment) {
                                       Sea::BreakingWaveSettings breakers;
                                       breakers.amplitude = 2.0f;
                                       breakers.wavelength = 40.0f;
                                       environment.SetBreakingWaveSettings(breakers);
                                   },
                                   nullptr}),
    [](const testing::TestParamInfo<SurfaceSetting>& param) {
        std::string name = param.param.name;
        name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }), name.end());
        return name;
    });

// Where the shaders' coordinates wrap round (every 65 536 m here) nothing jumps: a step of
// 2 cm across the wrap changes the picture as little as the same step beside it, for the FFT
// sea and for the Gerstner waves.
TEST_F(OceanRenderTest, NothingJumpsWhereTheShaderCoordinatesWrap)
{
    GLWindow window(160, 120);
    for (int type : {Sea::FFT_JONSWAP, Sea::GERSTNER})
    {
        Sea::Configuration::Clear();
        setUp(seatest::resourceDirectory(), 4.0);
        std::unique_ptr<Sea::Ocean> ocean(Sea::Ocean::Create(env, type));
        ASSERT_NE(ocean, nullptr) << messages.all();
        glViewport(0, 0, 160, 120);
        auto drawAt = [&](double north) {
            Camera camera;
            const osg::Vec3d eye(3000.0, north, 15.0);
            camera.view = osg::Matrixd::lookAt(eye, eye + osg::Vec3d(0.3, 1.0, -0.25), osg::Vec3d(0, 0, 1));
            camera.projection = osg::Matrixd::perspective(50.0, 160.0 / 120.0, 0.5, 20000.0);
            drawFrame(*env, ocean.get(), camera, 3.0);
            return window.readPixels();
        };
        // 6 438 064 m, inside the national grid, is where a wrap used to fall.
        for (double wrap : {98.0 * 65536.0, 6438064.0})
        {
            const double across = differingShare(drawAt(wrap - 0.01), drawAt(wrap + 0.01), 12);
            const double beside = differingShare(drawAt(wrap - 10.01), drawAt(wrap - 9.99), 12);
            EXPECT_LT(across, beside + 0.01) << "type " << type << " at " << wrap;
        }
        EXPECT_FALSE(messages.contains("GL error")) << messages.all();
        ocean.reset();
        delete env;
        env = nullptr;
        delete loader;
        loader = nullptr;
    }
}

// Drawn with one grid point for every eight pixels, the default view looks as it did with the
// full grid of 512 points.
TEST_F(OceanRenderTest, TheCoarserGridKeepsThePicture)
{
    GLWindow window(640, 480);
    std::vector<unsigned char> pictures[2];
    for (const char* pixelsPerPoint : {"1", "8"})
    {
        Sea::Configuration::Clear();
        setUp(seatest::resourceDirectory(), 3.0);
        Sea::Configuration::Set("grid-pixels-per-point", pixelsPerPoint);
        std::unique_ptr<Sea::Ocean> ocean(Sea::Ocean::Create(env, Sea::FFT_JONSWAP));
        ASSERT_NE(ocean, nullptr) << messages.all();
        Camera camera = lookOverTheSea(60.0, 12.0);
        camera.projection = osg::Matrixd::perspective(50.0, 640.0 / 480.0, 0.5, 20000.0);
        glViewport(0, 0, 640, 480);
        drawFrame(*env, ocean.get(), camera, 4.0);
        pictures[pixelsPerPoint[0] == '8'] = window.readPixels();
        window.writePNG(tavritest::buildDir() + "/ocean-grid-" + pixelsPerPoint + ".png");
        EXPECT_EQ(static_cast<Sea::ProjectedGridOpenGL*>(ocean->GetProjectedGrid())->GetDrawnResolution(),
                  pixelsPerPoint[0] == '8' ? 81u : 512u);
        ocean.reset();
        delete env;
        env = nullptr;
        delete loader;
        loader = nullptr;
    }
    double difference = 0.0;
    for (size_t i = 0; i < pictures[0].size(); ++i)
        difference += std::abs(int(pictures[0][i]) - int(pictures[1][i]));
    EXPECT_LT(difference / double(pictures[0].size()), 4.0) << "mean difference per channel";
}

