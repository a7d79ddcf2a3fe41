#pragma once

#include "Sea/Buffer.h"

namespace Sea
{

class ResourceLoader;

// Reads uncompressed and run-length encoded true-colour TGA images (24 or 32 bits per pixel)
// into RGB or RGBA rows, bottom row first as OpenGL expects them.
class TGAReader
{
public:
    // Logs "Invalid TGA header" (or why the pixels are unusable) and returns false on bad data.
    bool Load(ResourceLoader* loader, const char* name);
    bool Decode(const unsigned char* data, size_t size);

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetBitsPerPixel() const { return bitsPerPixel; }
    const unsigned char* GetPixels() const { return pixels.Data(); }

private:
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    Buffer<unsigned char> pixels;
};

} // namespace Sea
