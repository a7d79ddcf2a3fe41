#include "SeaTestSupport.h"

#include "support/TestSupport.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"

#include <osg/Matrixd>

#include <GL/gl.h>

#include <cmath>

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

class OceanRenderTest : public seatest::SeaTest
{
protected:
    void drawFrame(Sea::Environment& env, Sea::Ocean* ocean, const Camera& camera, double time)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        env.SetCameraMatrix(camera.view.ptr());
        env.SetProjectionMatrix(camera.projection.ptr());
        ocean->Render(time);
    }
};
} // namespace

TEST_F(OceanRenderTest, TheFFTSeaDrawsWaterBelowTheHorizonAndMovesWithTime)
{
    GLWindow window(width, height);
    Sea::ResourceLoader* loader = new Sea::ResourceLoader(seatest::resourceDirectory().c_str());
    Sea::Environment* env = new Sea::Environment;
    ASSERT_EQ(env->Setup(Sea::FLAT_ZUP, Sea::OPENGL_2_0, loader), Sea::SUCCEEDED) << messages.all();
    env->SimulateSeaState(5.0, 0.6);
    env->SetDirectionalLight(Sea::Vector3(0.2, 1.0, 0.35), Sea::Vector3(1.0, 0.95, 0.85));
    env->SetAmbientColor(Sea::Vector3(0.35, 0.38, 0.42));
    unsigned int sky = makeSkyCubeMap();
    env->SetEnvironmentMap(sky);

    Sea::Ocean* ocean = Sea::Ocean::Create(env, Sea::FFT_JONSWAP);
    ASSERT_NE(ocean, nullptr) << messages.all();
    EXPECT_TRUE(messages.contains("SEA: (INFO) CPU-based FFT forced by fft-force-cpu setting."));

    Camera camera = lookOverTheSea(15.0, 8.0);
    drawFrame(*env, ocean, camera, 10.0);
    std::vector<unsigned char> first = window.readPixels();
    window.writePNG(tavritest::buildDir() + "/ocean-fft.png");
    drawFrame(*env, ocean, camera, 12.0);
    std::vector<unsigned char> later = window.readPixels();

    // The horizon lies a little above the middle: below it water, above it the clear colour.
    PixelStats water = stats(first, 0, height / 3);
    PixelStats air = stats(first, height - 20, height);
    EXPECT_GT(water.meanB, water.meanR + 10) << "water should be bluish" << messages.all();
    EXPECT_GT(water.meanB + water.meanG + water.meanR, 120.0) << "water should be lit";
    EXPECT_GT(water.deviation, 6.0) << "waves should vary the colour";
    EXPECT_LT(air.meanR + air.meanG + air.meanB, 1.0) << "the sea must stay below the horizon";

    size_t changed = 0;
    for (size_t i = 0; i < first.size() / 3 / 3; ++i)
        changed += first[i] != later[i];
    EXPECT_GT(changed, first.size() / 3 / 3 / 10) << "the sea should move";
    EXPECT_FALSE(messages.contains("GL error")) << messages.all();

    delete ocean;
    delete env;
    delete loader;
    glDeleteTextures(1, &sky);
}
