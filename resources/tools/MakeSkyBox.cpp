// Draws the six faces of the sky box into a folder:
//   make_sky_box FOLDER
// posX.tga, negX.tga, posY.tga, negY.tga, posZ.tga and negZ.tga, 512 x 512 RGB each: a clear
// day, deep blue overhead and paling into haze at the horizon, a few fair-weather clouds, and
// the sun where the scene's light comes from. Every pixel is a function of its direction
// alone, so the faces meet without seams.
#include "common/AtomicFile.h"
#include "viewer/environment/SkyBox.h"
#include "viewer/environment/Sun.h"
#include "viewer/environment/TexMatCallback.h"

#include <osg/Image>
#include <osg/Matrixd>
#include <osg/Vec3d>
#include <osgDB/Registry>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

namespace
{
const int faceSize = 512;

// The direction that texel (sc, tc), both in [-1, 1], of an OpenGL cube-map face stands for.
osg::Vec3d cubeDirection(int face, double sc, double tc)
{
    switch (face)
    {
    case 0: return osg::Vec3d(1.0, -tc, -sc);
    case 1: return osg::Vec3d(-1.0, -tc, sc);
    case 2: return osg::Vec3d(sc, 1.0, tc);
    case 3: return osg::Vec3d(sc, -1.0, -tc);
    case 4: return osg::Vec3d(sc, -tc, 1.0);
    default: return osg::Vec3d(-sc, -tc, -1.0);
    }
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::min(1.0, std::max(0.0, (x - edge0) / (edge1 - edge0)));
    return t * t * (3.0 - 2.0 * t);
}

osg::Vec3d mix(const osg::Vec3d& a, const osg::Vec3d& b, double t) { return a * (1.0 - t) + b * t; }

// Value noise: random heights on the integer lattice (a fixed hash, so every build draws the
// same sky), blended with the quintic fade so that the slope is continuous too.
double latticeValue(int x, int y)
{
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ 0x2545F491u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return double(h) / 4294967295.0;
}

double valueNoise(double x, double y)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
    const double u = fade(x - fx), v = fade(y - fy);
    const double bottom = latticeValue(ix, iy) + (latticeValue(ix + 1, iy) - latticeValue(ix, iy)) * u;
    const double top = latticeValue(ix, iy + 1) + (latticeValue(ix + 1, iy + 1) - latticeValue(ix, iy + 1)) * u;
    return bottom + (top - bottom) * v;
}

// Six octaves, each twice as fine and half as strong; 0 to about 1.
double fractal(double x, double y)
{
    double sum = 0.0, amplitude = 0.5;
    for (int octave = 0; octave < 6; ++octave)
    {
        sum += amplitude * valueNoise(x, y);
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 5.3;
        amplitude *= 0.5;
    }
    return sum / 0.984375;
}

// The colour of the sky in world direction d (unit, z up) with the sun in direction sun.
osg::Vec3d skyColour(const osg::Vec3d& d, const osg::Vec3d& sun)
{
    const osg::Vec3d zenith(0.17, 0.36, 0.72), haze(0.76, 0.83, 0.90), below(0.50, 0.55, 0.60);
    const osg::Vec3d sunLight(osgTAVRI::Sun::colour.r(), osgTAVRI::Sun::colour.g(), osgTAVRI::Sun::colour.b());
    const double up = d.z();
    const double angle = std::acos(std::min(1.0, std::max(-1.0, d * sun)));

    // Looking low, the eye looks through more air: the blue pales into haze within a few
    // degrees of the horizon, and a little under it.
    osg::Vec3d colour = up >= 0.0 ? mix(haze, zenith, std::pow(1.0 - std::exp(-up * 4.0), 0.9))
                                  : mix(haze, below, 1.0 - std::exp(up * 6.0));
    // Light scattered forward around the sun: a bright, warm glow that widens into the sky.
    colour += sunLight * (0.45 * std::exp(-angle / 0.12) + 0.18 * std::exp(-angle / 0.6));

    // Fair-weather clouds on a layer above the eye, thinning towards the horizon where the
    // haze swallows them, and leaving the sun itself clear.
    if (up > 0.0)
    {
        const double scale = 1.3 / std::max(up, 0.05);
        const double density = fractal(d.x() * scale + 40.0, d.y() * scale + 40.0);
        const double cover = smoothstep(0.56, 0.78, density) * smoothstep(0.04, 0.3, up) * smoothstep(0.1, 0.35, angle);
        // Tops towards the sun are lit, thick middles greyer.
        const double lit = 0.5 + 0.5 * std::max(0.0, d * sun);
        const osg::Vec3d cloud = mix(osg::Vec3d(0.70, 0.73, 0.78), osg::Vec3d(0.98, 0.97, 0.95),
                                     lit * (1.0 - 0.5 * smoothstep(0.7, 0.95, density)));
        colour = mix(colour, cloud, 0.85 * cover);
    }

    // The disc, a little wider than the real half degree so that it survives the sampling.
    colour = mix(colour, osg::Vec3d(1.0, 1.0, 0.96), smoothstep(0.014, 0.009, angle));
    return osg::Vec3d(std::min(1.0, colour.x()), std::min(1.0, colour.y()), std::min(1.0, colour.z()));
}

bool writeFace(const osg::Image& image, const std::string& path)
{
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension("tga");
    std::ostringstream bytes;
    return writer && writer->writeImage(image, bytes).success() && osgTAVRI::AtomicFile::write(path, bytes.str());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
        return 1;
    }
    const std::string folder = argv[1];
    osg::Vec3d sun(osgTAVRI::Sun::position.x(), osgTAVRI::Sun::position.y(), osgTAVRI::Sun::position.z());
    sun.normalize();
    // The sky box looks the faces up with its correction applied to world directions.
    const osg::Matrixd toWorld = osg::Matrixd::inverse(osgTAVRI::TexMatCallback::correction());

    for (int face = 0; face < 6; ++face)
    {
        osg::ref_ptr<osg::Image> image = new osg::Image;
        image->allocateImage(faceSize, faceSize, 1, GL_RGB, GL_UNSIGNED_BYTE);
        // Row 0 is the bottom row, which OpenGL takes as t = 0.
        for (int row = 0; row < faceSize; ++row)
            for (int column = 0; column < faceSize; ++column)
            {
                const double sc = (column + 0.5) / faceSize * 2.0 - 1.0;
                const double tc = (row + 0.5) / faceSize * 2.0 - 1.0;
                osg::Vec3d world = cubeDirection(face, sc, tc) * toWorld;
                world.normalize();
                const osg::Vec3d c = skyColour(world, sun);
                unsigned char* p = image->data(column, row);
                for (int i = 0; i < 3; ++i)
                    p[i] = static_cast<unsigned char>(std::lround(c[i] * 255.0));
            }
        const std::string path = folder + "/" + osgTAVRI::SkyBox::faceFiles[face];
        if (!writeFace(*image, path))
        {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
