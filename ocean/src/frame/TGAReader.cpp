#include "frame/TGAReader.h"

#include "Sea/MessageChannel.h"
#include "Sea/ResourceLoader.h"

#include <cstring>

namespace Sea
{
namespace
{
const size_t headerSize = 18;
const int maxDimension = 16384;
}

bool TGAReader::Load(ResourceLoader* loader, const char* name)
{
    char* data = nullptr;
    unsigned int size = 0;
    if (!loader || !loader->Load(name, data, size, false))
        return false;
    bool ok = Decode(reinterpret_cast<const unsigned char*>(data), size);
    loader->Release(data);
    return ok;
}

bool TGAReader::Decode(const unsigned char* data, size_t size)
{
    width = height = bitsPerPixel = 0;
    pixels.Release();
    if (!data || size < headerSize)
    {
        MessageChannel::Log("Invalid TGA header");
        return false;
    }
    unsigned idLength = data[0];
    unsigned colorMapType = data[1];
    unsigned imageType = data[2];
    int w = data[12] | (data[13] << 8);
    int h = data[14] | (data[15] << 8);
    int bpp = data[16];
    unsigned descriptor = data[17];
    // Only true-colour images without a colour map: type 2 plain, type 10 run-length encoded.
    if (colorMapType != 0 || (imageType != 2 && imageType != 10) || (bpp != 24 && bpp != 32) || w <= 0 || h <= 0 ||
        w > maxDimension || h > maxDimension || (descriptor & 0xC0) != 0)
    {
        MessageChannel::Log("Invalid TGA header");
        return false;
    }
    const size_t channels = size_t(bpp / 8);
    const size_t count = size_t(w) * size_t(h);
    // The header alone may claim a gigabyte; the data must be able to hold the image before
    // any memory is taken. A run-length packet gives at most 128 pixels for 1 + channels bytes.
    const size_t available = size > headerSize + idLength ? size - headerSize - idLength : 0;
    const size_t least = imageType == 2 ? count * channels : (count + 127) / 128 * (1 + channels);
    if (available < least)
    {
        MessageChannel::Log("The TGA image data is truncated.");
        return false;
    }
    if (!pixels.Allocate(count * channels))
    {
        MessageChannel::Log("Unable to allocate memory for a TGA image.");
        return false;
    }

    const unsigned char* p = data + headerSize + idLength;
    const unsigned char* end = data + size;
    size_t done = 0;
    unsigned char* out = pixels.Data();
    bool truncated = p > end;
    while (!truncated && done < count)
    {
        size_t run = 1;
        bool repeat = false;
        if (imageType == 10)
        {
            if (p >= end)
            {
                truncated = true;
                break;
            }
            run = size_t(*p & 0x7F) + 1;
            repeat = (*p & 0x80) != 0;
            ++p;
        }
        else
            run = count - done;
        if (run > count - done)
            run = count - done; // a run must not write beyond the image
        size_t need = (repeat ? 1 : run) * channels;
        if (size_t(end - p) < need)
        {
            truncated = true;
            break;
        }
        for (size_t i = 0; i < run; ++i)
        {
            const unsigned char* src = repeat ? p : p + i * channels;
            unsigned char* dst = out + (done + i) * channels;
            // Stored as blue, green, red (, alpha).
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (channels == 4)
                dst[3] = src[3];
        }
        p += need;
        done += run;
    }
    if (truncated)
    {
        MessageChannel::Log("The TGA image data is truncated.");
        pixels.Release();
        return false;
    }

    // Bit 5 of the descriptor puts the first row at the top; OpenGL wants the bottom first.
    if (descriptor & 0x20)
    {
        size_t rowBytes = size_t(w) * channels;
        Buffer<unsigned char> row;
        if (row.Allocate(rowBytes))
            for (int y = 0; y < h / 2; ++y)
            {
                unsigned char* a = out + size_t(y) * rowBytes;
                unsigned char* b = out + size_t(h - 1 - y) * rowBytes;
                std::memcpy(row.Data(), a, rowBytes);
                std::memcpy(a, b, rowBytes);
                std::memcpy(b, row.Data(), rowBytes);
            }
    }
    width = w;
    height = h;
    bitsPerPixel = bpp;
    return true;
}

} // namespace Sea
