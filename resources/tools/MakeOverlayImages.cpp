// Draws the heads-up overlay's images: the logo for light and for dark backgrounds, the
// legend of the demo's layers, the compass rose and the nine cells of the background panels.
// They are made at build time so that every pixel has its source here.
//
// Usage: make_overlay_images <output folder> <regular.ttf> <bold.ttf>
#include "common/AtomicSceneFile.h"
#include "resources/tools/Canvas.h"
#include "resources/tools/FontFace.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using osgTAVRI::Canvas;
using osgTAVRI::FontFace;
using Colour = Canvas::Colour;

struct Fonts
{
    std::string regular;
    std::string bold;
};

const Colour white{1.0f, 1.0f, 1.0f, 1.0f};
const Colour navy{0.075f, 0.145f, 0.24f, 1.0f};
// The look shared by the panels and the legend: dark slate, three quarters opaque, with a
// thin light rim just inside the edge.
const Colour plate{0.08f, 0.11f, 0.16f, 0.72f};
const Colour rim{1.0f, 1.0f, 1.0f, 0.55f};
const float plateRadius = 10.0f;

Colour withAlpha(Colour c, float a)
{
    c.a = a;
    return c;
}

void save(const Canvas& canvas, const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name;
    if (!osgTAVRI::AtomicSceneFile::writeImage(*canvas.toImage(), path))
        throw std::runtime_error(path + ": cannot be written (is the png plugin there?)");
}

void drawPlate(Canvas& canvas)
{
    const float w = static_cast<float>(canvas.width()), h = static_cast<float>(canvas.height());
    const Canvas::Distance outline = Canvas::roundedRect(0.0f, 0.0f, w, h, plateRadius);
    canvas.fill(outline, plate);
    canvas.fill([outline](float x, float y) { return std::fabs(outline(x, y) + 1.75f) - 0.6f; }, rim);
}

// A halo of eight shifted copies keeps the letters legible on ground of their own colour.
void drawHaloText(Canvas& canvas, FontFace& font, int x, int y, const std::string& text, const Colour& colour,
                  const Colour& halo)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0)
                font.draw(canvas, x + dx, y + dy, text, halo);
    font.draw(canvas, x, y, text, colour);
}

// The largest size up to `size` at which the text fits `width` pixels.
int fittingSize(const std::string& fontPath, int size, const std::string& text, int width)
{
    for (; size > 6; --size)
    {
        FontFace face(fontPath, size);
        if (face.measure(text) <= width)
            return size;
    }
    throw std::runtime_error(fontPath + ": \"" + text + "\" does not fit " + std::to_string(width) + " pixels");
}

// 150 x 60: the name over a terrain profile crossed by a level design line, and what the
// program is for. `ink` contrasts with the background the variant is meant for.
Canvas makeLogo(const Fonts& fonts, const Colour& ink, const Colour& accent, const Colour& halo)
{
    Canvas canvas(150, 60);
    const int margin = 4;
    const int titleSize = fittingSize(fonts.bold, 28, "TAVRIview", canvas.width() - 2 * margin);
    FontFace title(fonts.bold, titleSize);
    const int titleBaseline = 6 + title.capHeight();
    const int x = (canvas.width() - title.measure("TAVRIview")) / 2;
    drawHaloText(canvas, title, x + title.measure("TAVRI"), titleBaseline, "view", accent, halo);
    drawHaloText(canvas, title, x, titleBaseline, "TAVRI", ink, halo);

    // Ground that rises and falls under a straight, level line: a design over its terrain.
    Canvas::Distance ground;
    float px = 4.0f, py = 0.0f;
    for (float gx = 4.0f; gx <= 146.0f; gx += 2.0f)
    {
        const float gy = 42.0f + 3.2f * std::sin(gx / 17.0f + 2.0f) + 1.6f * std::sin(gx / 6.5f);
        if (gx > 4.0f)
        {
            const Canvas::Distance piece = Canvas::segment(px, py, gx, gy, 2.2f);
            ground = ground ? Canvas::unite(ground, piece) : piece;
        }
        px = gx;
        py = gy;
    }
    const Canvas::Distance design = Canvas::segment(4.0f, 41.5f, 146.0f, 41.5f, 1.6f);
    canvas.halo(Canvas::unite(ground, design), 2.0f, withAlpha(halo, 0.6f));
    canvas.fill(ground, accent);
    canvas.fill(design, ink);

    const std::string subtitle = "Infrastruktur i 3D";
    FontFace small(fonts.regular, fittingSize(fonts.regular, 11, subtitle, canvas.width() - 2 * margin));
    drawHaloText(canvas, small, (canvas.width() - small.measure(subtitle)) / 2, 57, subtitle, ink, halo);
    return canvas;
}

// The demo's layers, one symbol and one Swedish label each, on the panels' plate. Narrow
// enough (100 pixels) to stay clear of the help page in the default 1024 x 768 window.
Canvas makeLegend(const Fonts& fonts)
{
    struct Entry
    {
        const char* label;
        std::function<void(Canvas&, float x, float y)> symbol; // symbol box 20 x 12 at (x, y)
    };
    const Colour terrain{0.56f, 0.57f, 0.58f, 1.0f}; // the grey of lit terrain tiles
    const Colour sea{0.18f, 0.42f, 0.68f, 1.0f};
    const Colour wood{0.72f, 0.52f, 0.32f, 1.0f};
    const Colour wire{0.85f, 0.85f, 0.85f, 1.0f};
    FontFace labelFont(fonts.bold, 9);
    const std::vector<Entry> entries = {
        {"Terräng",
         [&](Canvas& c, float x, float y) {
             c.fill(Canvas::roundedRect(x, y, x + 20, y + 12, 2.5f), terrain);
             c.fill(Canvas::segment(x + 2, y + 9, x + 8, y + 4, 1.2f), withAlpha(white, 0.7f));
             c.fill(Canvas::segment(x + 8, y + 4, x + 13, y + 7, 1.2f), withAlpha(white, 0.7f));
             c.fill(Canvas::segment(x + 13, y + 7, x + 18, y + 3, 1.2f), withAlpha(white, 0.7f));
         }},
        {"Järnväg",
         [&](Canvas& c, float x, float y) {
             c.fill(Canvas::segment(x + 3, y + 6, x + 19, y + 6, 5.5f), withAlpha(white, 0.9f));
             c.fill(Canvas::segment(x + 3, y + 6, x + 19, y + 6, 3.5f), navy);
             for (float d = x + 5; d < x + 18; d += 5.5f)
                 c.fill(Canvas::segment(d, y + 6, d + 2.5f, y + 6, 1.6f), white);
         }},
        {"Kraftledning",
         [&](Canvas& c, float x, float y) {
             // Wooden H-frame pylons and their sagging wires, as the demo's power line.
             for (float p : {x + 3, x + 17})
             {
                 c.fill(Canvas::segment(p - 2, y + 2, p - 2, y + 12, 1.4f), wood);
                 c.fill(Canvas::segment(p + 2, y + 2, p + 2, y + 12, 1.4f), wood);
                 c.fill(Canvas::segment(p - 3.5f, y + 3, p + 3.5f, y + 3, 1.4f), wood);
             }
             c.fill(Canvas::segment(x + 4, y + 4, x + 10, y + 6, 0.9f), wire);
             c.fill(Canvas::segment(x + 10, y + 6, x + 16, y + 4, 0.9f), wire);
         }},
        {"Infopunkt",
         [&](Canvas& c, float x, float y) {
             // A white label standing over its point, as the information points are drawn.
             labelFont.draw(c, static_cast<int>(x) + 1, static_cast<int>(y) + 9, "Abc", white);
             c.fill(Canvas::segment(x + 10, y + 10.5f, x + 10, y + 12.5f, 1.0f), white);
         }},
        {"Hav",
         [&](Canvas& c, float x, float y) {
             c.fill(Canvas::roundedRect(x, y, x + 20, y + 12, 2.5f), sea);
             for (float wx = x + 2; wx < x + 17; wx += 6)
             {
                 c.fill(Canvas::segment(wx, y + 7, wx + 2, y + 5, 1.1f), withAlpha(white, 0.8f));
                 c.fill(Canvas::segment(wx + 2, y + 5, wx + 4, y + 7, 1.1f), withAlpha(white, 0.8f));
             }
         }},
    };

    const int width = 100, left = 6, top = 8, rowHeight = 20, labelX = 30;
    FontFace heading(fonts.bold, 12);
    FontFace label(fonts.regular, 12);
    const int headingBaseline = top + heading.capHeight();
    Canvas canvas(width, headingBaseline + rowHeight * static_cast<int>(entries.size()) + top);
    drawPlate(canvas);
    heading.draw(canvas, left, headingBaseline, "Förklaring", white);
    for (size_t i = 0; i < entries.size(); ++i)
    {
        const int baseline = headingBaseline + rowHeight * static_cast<int>(i + 1);
        if (labelX + label.measure(entries[i].label) > width - 4)
            throw std::runtime_error(std::string("legend label \"") + entries[i].label + "\" is too wide");
        entries[i].symbol(canvas, static_cast<float>(left), static_cast<float>(baseline - label.capHeight() / 2 - 6));
        label.draw(canvas, labelX, baseline, entries[i].label, white);
    }
    return canvas;
}

// 64 x 64 on a transparent ground: a dark disc with a light rim, a red needle and an "N"
// at the top, white at the bottom. Everything lies inside the inscribed circle, so the
// turning texture never clips it.
Canvas makeCompass(const Fonts& fonts)
{
    Canvas canvas(64, 64);
    const float c = 32.0f;
    const Colour red{0.9f, 0.16f, 0.12f, 1.0f};
    canvas.fill(Canvas::circle(c, c, 30.0f), withAlpha(plate, 0.6f));
    canvas.fill(Canvas::ring(c, c, 28.5f, 1.5f), withAlpha(white, 0.9f));
    for (int k = 1; k < 4; ++k)
    {
        const float s = std::sin(k * 1.5707964f), co = std::cos(k * 1.5707964f);
        canvas.fill(Canvas::segment(c + 22.0f * s, c - 22.0f * co, c + 27.0f * s, c - 27.0f * co, 2.0f), white);
    }
    canvas.fill(Canvas::polygon({c, 46.0f, c - 4.5f, c, c + 4.5f, c}), withAlpha(white, 0.95f));
    canvas.fill(Canvas::polygon({c, 17.0f, c + 4.5f, c, c - 4.5f, c}), red);
    canvas.fill(Canvas::circle(c, c, 2.0f), navy);

    FontFace letter(fonts.bold, 12);
    const int x = static_cast<int>(c) - letter.measure("N") / 2;
    letter.draw(canvas, x, 4 + letter.capHeight(), "N", white);
    return canvas;
}

// The panel drawn once at 48 x 48 and cut into its nine 16 x 16 cells, so that corners
// and edges meet without a seam. Cell k is column k mod 3 and row k div 3 from the
// lower left; the edge and centre cells are uniform along the axes they are stretched on.
std::vector<Canvas> makePanelCells()
{
    Canvas whole(48, 48);
    drawPlate(whole);
    std::vector<Canvas> cells;
    for (int k = 0; k < 9; ++k)
        cells.push_back(whole.crop(16 * (k % 3), 48 - 16 * (k / 3 + 1), 16, 16));
    return cells;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: make_overlay_images <output folder> <regular.ttf> <bold.ttf>\n");
        return 1;
    }
    const std::string folder = argv[1];
    const Fonts fonts{argv[2], argv[3]};
    try
    {
        const Colour orange{0.9f, 0.42f, 0.08f, 1.0f};
        const Colour amber{1.0f, 0.66f, 0.28f, 1.0f};
        save(makeLogo(fonts, navy, orange, withAlpha(white, 0.35f)), folder, "Logo_light.png");
        save(makeLogo(fonts, white, amber, Colour{0.0f, 0.0f, 0.0f, 0.35f}), folder, "Logo_dark.png");
        save(makeLegend(fonts), folder, "Legend.png");
        save(makeCompass(fonts), folder, "Compass.png");
        const std::vector<Canvas> cells = makePanelCells();
        for (size_t k = 0; k < cells.size(); ++k)
            save(cells[k], folder, "Panel_" + std::to_string(k) + ".png");
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "make_overlay_images: %s\n", e.what());
        return 1;
    }
    return 0;
}
