// Draws the program's icon once as a list of shapes and writes it both as SVG and, rendered
// by the overlay images' canvas, as PNG files of the sizes that the desktop's icon theme asks
// for: a lattice pylon carrying its conductors over triangulated terrain, under a sun.
// Usage: make_icons <output folder>  writes tavriview.svg and tavriview-<size>.png

#include "common/AtomicFile.h"
#include "common/AtomicSceneFile.h"
#include "resources/tools/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using osgTAVRI::Canvas;
using Colour = Canvas::Colour;

namespace
{

const float design = 256.0f; // the drawing's own units; every size is scaled from these

// One shape in design units. Segments have round caps, like SVG lines with round line caps.
struct Shape
{
    enum class Kind
    {
        RoundedRect,
        Circle,
        Polygon,
        Segment
    };
    Kind kind;
    std::vector<float> values; // rect x0 y0 x1 y1 radius; circle cx cy r; polygon xy...; segment ax ay bx by width
    Colour colour;
    bool clipped; // kept inside the tile
};

const Colour sky{0.36f, 0.61f, 0.86f, 1.0f};
const Colour sun{1.0f, 0.84f, 0.31f, 1.0f};
const Colour ground{0.30f, 0.60f, 0.29f, 1.0f};
const Colour mesh{0.62f, 0.82f, 0.55f, 1.0f};
const Colour steel{0.16f, 0.2f, 0.24f, 1.0f};
const Colour wire{0.1f, 0.12f, 0.14f, 1.0f};

std::vector<Shape> drawing()
{
    using K = Shape::Kind;
    std::vector<Shape> shapes = {
        {K::RoundedRect, {8, 8, 248, 248, 44}, sky, false},
        {K::Circle, {186, 74, 24}, sun, true},
        {K::Polygon, {0, 172, 256, 146, 256, 256, 0, 256}, ground, true},
    };
    // The edges of a few terrain triangles.
    const std::vector<float> mesher = {0, 200, 60, 165, 100, 256, 150, 156, 196, 256, 256, 190, 210, 150};
    const std::vector<int> edges = {0, 1, 0, 2, 1, 2, 2, 3, 1, 3, 3, 4, 2, 4, 4, 5, 3, 6, 4, 6, 5, 6};
    for (size_t e = 0; e < edges.size(); e += 2)
    {
        const int a = edges[e], b = edges[e + 1];
        shapes.push_back({K::Segment, {mesher[2 * a], mesher[2 * a + 1], mesher[2 * b], mesher[2 * b + 1], 3.0f},
                          mesh, true});
    }
    // The pylon: two legs, two cross-arms, bracing between the legs.
    const std::vector<std::vector<float>> steelwork = {
        {106, 206, 123, 60, 9}, {150, 206, 133, 60, 9}, {84, 88, 172, 88, 8}, {96, 120, 160, 120, 8},
        {110, 176, 142, 144, 5}, {146, 176, 114, 144, 5}, {114, 144, 140, 120, 5}, {142, 144, 116, 120, 5},
        {118, 120, 136, 98, 5}, {138, 120, 120, 98, 5},
    };
    for (const std::vector<float>& s : steelwork)
        shapes.push_back({K::Segment, s, steel, true});
    // Conductors from the arms' tips out of the picture.
    const std::vector<std::vector<float>> conductors = {
        {0, 104, 86, 92, 4}, {170, 92, 256, 106, 4}, {0, 132, 98, 124, 4}, {158, 124, 256, 136, 4},
    };
    for (const std::vector<float>& c : conductors)
        shapes.push_back({K::Segment, c, wire, true});
    return shapes;
}

Canvas::Distance distance(const Shape& s)
{
    const std::vector<float>& v = s.values;
    switch (s.kind)
    {
    case Shape::Kind::RoundedRect: return Canvas::roundedRect(v[0], v[1], v[2], v[3], v[4]);
    case Shape::Kind::Circle: return Canvas::circle(v[0], v[1], v[2]);
    case Shape::Kind::Polygon: return Canvas::polygon(v);
    case Shape::Kind::Segment: return Canvas::segment(v[0], v[1], v[2], v[3], v[4]);
    }
    return {};
}

Canvas render(const std::vector<Shape>& shapes, int size)
{
    Canvas canvas(size, size);
    const float scale = static_cast<float>(size) / design;
    const Canvas::Distance tile = distance(shapes.front());
    for (const Shape& s : shapes)
    {
        const Canvas::Distance d = distance(s);
        const bool clipped = s.clipped;
        // Distances in pixels, from the drawing's units; clipping is the larger of two distances.
        canvas.fill(
            [=](float x, float y) {
                const float u = x / scale, w = y / scale;
                return scale * (clipped ? std::max(d(u, w), tile(u, w)) : d(u, w));
            },
            s.colour);
    }
    return canvas;
}

std::string hex(const Colour& c)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", int(c.r * 255.0f + 0.5f), int(c.g * 255.0f + 0.5f),
                  int(c.b * 255.0f + 0.5f));
    return text;
}

std::string svg(const std::vector<Shape>& shapes)
{
    std::ostringstream out;
    const std::vector<float>& t = shapes.front().values;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
        << "  <defs><clipPath id=\"tile\"><rect x=\"" << t[0] << "\" y=\"" << t[1] << "\" width=\"" << t[2] - t[0]
        << "\" height=\"" << t[3] - t[1] << "\" rx=\"" << t[4] << "\"/></clipPath></defs>\n";
    for (const Shape& s : shapes)
    {
        const std::vector<float>& v = s.values;
        out << "  ";
        switch (s.kind)
        {
        case Shape::Kind::RoundedRect:
            out << "<rect x=\"" << v[0] << "\" y=\"" << v[1] << "\" width=\"" << v[2] - v[0] << "\" height=\""
                << v[3] - v[1] << "\" rx=\"" << v[4] << "\" fill=\"" << hex(s.colour) << "\"";
            break;
        case Shape::Kind::Circle:
            out << "<circle cx=\"" << v[0] << "\" cy=\"" << v[1] << "\" r=\"" << v[2] << "\" fill=\"" << hex(s.colour)
                << "\"";
            break;
        case Shape::Kind::Polygon:
            out << "<polygon points=\"";
            for (size_t i = 0; i < v.size(); i += 2)
                out << (i ? " " : "") << v[i] << "," << v[i + 1];
            out << "\" fill=\"" << hex(s.colour) << "\"";
            break;
        case Shape::Kind::Segment:
            out << "<line x1=\"" << v[0] << "\" y1=\"" << v[1] << "\" x2=\"" << v[2] << "\" y2=\"" << v[3]
                << "\" stroke=\"" << hex(s.colour) << "\" stroke-width=\"" << v[4] << "\" stroke-linecap=\"round\"";
            break;
        }
        out << (s.clipped ? " clip-path=\"url(#tile)\"" : "") << "/>\n";
    }
    out << "</svg>\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_icons <output folder>\n");
        return 1;
    }
    const std::string folder = argv[1];
    const std::vector<Shape> shapes = drawing();
    bool written = osgTAVRI::AtomicFile::write(folder + "/tavriview.svg", svg(shapes));
    for (int size : {48, 128, 256})
        written = osgTAVRI::AtomicSceneFile::writeImage(*render(shapes, size).toImage(),
                                                   folder + "/tavriview-" + std::to_string(size) + ".png") &&
                  written;
    if (!written)
    {
        std::fprintf(stderr, "make_icons: cannot write the icons into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
