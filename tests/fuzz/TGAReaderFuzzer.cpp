#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/QuietSea.h"

#include "frame/TGAReader.h"

#include <cstdlib>

namespace
{

// A small true-colour image, plain or run-length encoded, either way up.
std::string image(int type, int bits, bool topFirst, int width, int height)
{
    std::string out(18, '\0');
    out[2] = static_cast<char>(type);
    out[12] = static_cast<char>(width);
    out[14] = static_cast<char>(height);
    out[16] = static_cast<char>(bits);
    out[17] = static_cast<char>((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0));
    const int channels = bits / 8;
    for (int i = 0; i < width * height; ++i)
    {
        if (type == 10)
            out += static_cast<char>(i % 3 == 0 ? 0x81 : 0x00); // runs of two, and single pixels
        for (int c = 0; c < channels; ++c)
            out += static_cast<char>(17 * i + 60 * c);
        if (type == 10 && i % 3 == 0)
            ++i;
    }
    return out;
}

} // namespace

const std::size_t tavrifuzz::maxInputLength = 0;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    for (int type : {2, 10})
        for (int bits : {24, 32})
            for (bool topFirst : {false, true})
                seeds.add("image-" + std::to_string(type) + "-" + std::to_string(bits) + (topFirst ? "-top" : "") +
                              ".tga",
                          image(type, bits, topFirst, 5, 3));
}

// The bytes are a texture file of the library's data folder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tavrifuzz::quietSea();
    Sea::TGAReader reader;
    if (reader.Decode(data, size))
    {
        // Every pixel the image claims is there to be read.
        const std::size_t bytes = std::size_t(reader.GetWidth()) * reader.GetHeight() * (reader.GetBitsPerPixel() / 8);
        if (bytes == 0)
            std::abort();
        const volatile unsigned char last = reader.GetPixels()[bytes - 1];
        (void)last;
    }
    return 0;
}
