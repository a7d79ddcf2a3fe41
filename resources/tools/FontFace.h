#pragma once

#include "resources/tools/Canvas.h"

#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace osgTAVRI
{

// One TrueType face at one pixel size, rendered with FreeType's hinted anti-aliased
// rasteriser, which keeps small labels crisp. Text is UTF-8.
class FontFace
{
public:
    // Throws std::runtime_error naming the file when the face cannot be used.
    FontFace(const std::string& path, int pixelSize);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // Advance width of the text in pixels, kerning included.
    int measure(const std::string& text);
    // Height of a capital letter above the baseline, in pixels.
    int capHeight();
    // Draws the text with its baseline at y, starting at x; returns the x after it.
    int draw(Canvas& canvas, int x, int y, const std::string& text, const Canvas::Colour& colour);

private:
    int layout(Canvas* canvas, int x, int y, const std::string& text, const Canvas::Colour& colour);

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string path;
};

} // namespace osgTAVRI
