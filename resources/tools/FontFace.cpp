#include "resources/tools/FontFace.h"

#include <osgText/String>

#include <stdexcept>

namespace osgTAVRI
{

FontFace::FontFace(const std::string& fontPath, int pixelSize) : path(fontPath)
{
    if (FT_Init_FreeType(&library) != 0)
        throw std::runtime_error("FreeType cannot start");
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, pixelSize) != 0)
    {
        FT_Done_FreeType(library);
        throw std::runtime_error(path + ": not a usable font");
    }
}

FontFace::~FontFace()
{
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

int FontFace::measure(const std::string& text) { return layout(nullptr, 0, 0, text, Canvas::Colour{}); }

int FontFace::capHeight()
{
    if (FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0)
        throw std::runtime_error(path + ": no glyph for H");
    return static_cast<int>(face->glyph->metrics.horiBearingY >> 6);
}

int FontFace::draw(Canvas& canvas, int x, int y, const std::string& text, const Canvas::Colour& colour)
{
    return x + layout(&canvas, x, y, text, colour);
}

int FontFace::layout(Canvas* canvas, int x, int y, const std::string& text, const Canvas::Colour& colour)
{
    // The toolkit's own decoder turns the UTF-8 bytes into character codes.
    const osgText::String codes(text, osgText::String::ENCODING_UTF8);
    long pen = 0; // 26.6 fixed point
    FT_UInt previous = 0;
    for (unsigned int code : codes)
    {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0)
            throw std::runtime_error(path + ": no glyph for character " + std::to_string(code));
        if (previous != 0 && FT_HAS_KERNING(face))
        {
            FT_Vector kerning;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kerning) == 0)
                pen += kerning.x;
        }
        if (FT_Load_Glyph(face, index, canvas ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0)
            throw std::runtime_error(path + ": cannot render character " + std::to_string(code));
        const FT_GlyphSlot glyph = face->glyph;
        if (canvas)
        {
            const FT_Bitmap& bitmap = glyph->bitmap;
            const int left = x + static_cast<int>((pen + 32) >> 6) + glyph->bitmap_left;
            const int top = y - glyph->bitmap_top;
            for (unsigned int row = 0; row < bitmap.rows; ++row)
                for (unsigned int col = 0; col < bitmap.width; ++col)
                {
                    const unsigned char value = bitmap.buffer[static_cast<int>(row) * bitmap.pitch + static_cast<int>(col)];
                    canvas->blend(left + static_cast<int>(col), top + static_cast<int>(row), colour, value / 255.0f);
                }
        }
        pen += glyph->advance.x;
        previous = index;
    }
    return static_cast<int>((pen + 32) >> 6);
}

} // namespace osgTAVRI
