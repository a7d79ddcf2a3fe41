// Draws the sea's three textures into a folder:
//   MakeSeaTextures FOLDER
// foam.tga   whitecap foam, 256 x 256 RGBA (bubble cells with lace between them), tiling
// perlin.tga detail noise, 256 x 256 RGB, three independent octave sums, tiling
// wash.tga   propeller wash, 128 x 256 RGB: a turbulent track across s, repeating along t
// Noise and wash are meant for signed-byte upload, so their values stay in 0..127.
#include "common/AtomicFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
struct Image
{
    int width, height, channels;
    std::vector<uint8_t> pixels; // RGB(A), bottom row first
};

bool writeTGA(const std::string& path, const Image& image)
{
    uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    header[12] = uint8_t(image.width & 0xFF);
    header[13] = uint8_t(image.width >> 8);
    header[14] = uint8_t(image.height & 0xFF);
    header[15] = uint8_t(image.height >> 8);
    header[16] = uint8_t(image.channels * 8);
    header[17] = image.channels == 4 ? 8 : 0; // alpha bits
    std::string bytes(reinterpret_cast<const char*>(header), sizeof(header));
    bytes.append(image.pixels.begin(), image.pixels.end());
    for (size_t i = sizeof(header); i + 2 < bytes.size(); i += size_t(image.channels))
        std::swap(bytes[i], bytes[i + 2]); // stored as BGR(A)
    return osgTAVRI::AtomicFile::write(path, bytes);
}

// A small fixed-seed hash, so every build draws the same textures.
uint32_t hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

float random01(int x, int y, uint32_t seed) { return float(hash(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ seed)) / 4294967295.0f; }

// Gradient noise on a lattice of `period` cells, which makes it tile.
float gradientNoise(float x, float y, int period, uint32_t seed)
{
    int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    float fx = x - float(x0), fy = y - float(y0);
    auto dot = [&](int ix, int iy, float dx, float dy) {
        float angle = random01(((ix % period) + period) % period, ((iy % period) + period) % period, seed) * 6.2831853f;
        return std::cos(angle) * dx + std::sin(angle) * dy;
    };
    auto fade = [](float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); };
    float u = fade(fx), v = fade(fy);
    float a = dot(x0, y0, fx, fy), b = dot(x0 + 1, y0, fx - 1, fy);
    float c = dot(x0, y0 + 1, fx, fy - 1), d = dot(x0 + 1, y0 + 1, fx - 1, fy - 1);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

// Octaves of gradient noise, each twice as fine and half as strong; about -1..1.
float fractalNoise(float x, float y, int period, int octaves, uint32_t seed)
{
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o)
    {
        sum += amplitude * gradientNoise(x, y, period, seed + uint32_t(o) * 1013u);
        norm += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / norm * 1.6f;
}

uint8_t signedByte(float v) // -1..1 onto 0..127
{
    return uint8_t(std::clamp(int(std::lround((v * 0.5f + 0.5f) * 127.0f)), 0, 127));
}

// Worley noise: distances to the nearest and second nearest of the jittered cell centres.
void cellDistances(float x, float y, int cells, uint32_t seed, float& f1, float& f2)
{
    f1 = f2 = 1.0e9f;
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i)
        {
            int gx = cx + i, gy = cy + j;
            int wx = ((gx % cells) + cells) % cells, wy = ((gy % cells) + cells) % cells;
            float px = float(gx) + random01(wx, wy, seed), py = float(gy) + random01(wx, wy, seed + 7u);
            float d = std::hypot(px - x, py - y);
            if (d < f1)
            {
                f2 = f1;
                f1 = d;
            }
            else if (d < f2)
                f2 = d;
        }
}

Image foam()
{
    const int size = 256, cells = 16;
    Image image{size, size, 4, std::vector<uint8_t>(size_t(size) * size * 4)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            float u = float(x) / size * cells, v = float(y) / size * cells;
            float f1, f2, g1, g2;
            cellDistances(u, v, cells, 11u, f1, f2);
            cellDistances(u * 2.0f, v * 2.0f, cells * 2, 23u, g1, g2);
            // Lace along the cell borders, finer lace inside, thinned by noise.
            float lace = std::max(1.0f - (f2 - f1) * 4.0f, 0.0f);
            float fine = std::max(1.0f - (g2 - g1) * 5.0f, 0.0f) * 0.6f;
            float patchiness = 0.5f + 0.5f * fractalNoise(float(x) / size * 4, float(y) / size * 4, 4, 3, 5u);
            float value = std::clamp((lace + fine) * (0.4f + 0.8f * patchiness), 0.0f, 1.0f);
            uint8_t* p = &image.pixels[(size_t(y) * size + size_t(x)) * 4];
            p[0] = p[1] = p[2] = uint8_t(200 + 55 * value);
            p[3] = uint8_t(255 * value);
        }
    return image;
}

Image perlin()
{
    const int size = 256;
    Image image{size, size, 3, std::vector<uint8_t>(size_t(size) * size * 3)};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int c = 0; c < 3; ++c)
            {
                float v = fractalNoise(float(x) / size * 8, float(y) / size * 8, 8, 5, 100u + uint32_t(c) * 977u);
                image.pixels[(size_t(y) * size + size_t(x)) * 3 + size_t(c)] = signedByte(v);
            }
    return image;
}

Image wash()
{
    const int width = 128, height = 256;
    Image image{width, height, 3, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            float across = (float(x) + 0.5f) / width * 2.0f - 1.0f;
            float track = std::exp(-across * across * 6.0f) * (1.0f - std::fabs(across));
            float turbulence = 0.5f + 0.5f * fractalNoise(float(x) / width * 4, float(y) / height * 8, 8, 4, 300u);
            float value = std::clamp(track * (0.3f + turbulence), 0.0f, 1.0f);
            uint8_t* p = &image.pixels[(size_t(y) * width + size_t(x)) * 3];
            p[0] = p[1] = p[2] = uint8_t(std::lround(value * 127.0f));
        }
    return image;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: MakeSeaTextures FOLDER\n");
        return 1;
    }
    const std::string folder = argv[1];
    const struct
    {
        const char* name;
        Image (*draw)();
    } textures[] = {{"foam.tga", foam}, {"perlin.tga", perlin}, {"wash.tga", wash}};
    for (const auto& t : textures)
        if (!writeTGA(folder + "/" + t.name, t.draw()))
        {
            std::fprintf(stderr, "MakeSeaTextures: cannot write %s/%s\n", folder.c_str(), t.name);
            return 1;
        }
    return 0;
}
