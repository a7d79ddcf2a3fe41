#pragma once

#include <osg/Image>
#include <osg/ref_ptr>

#include <functional>
#include <vector>

namespace osgTAVRI
{

// A small RGBA raster for drawing the overlay's images: shapes given as signed distance
// functions (negative inside, in pixels) are filled with one pixel of analytic
// anti-aliasing, and everything is composited "over" in premultiplied alpha.
// Coordinates run right and down from the top left corner; pixel centres lie at +0.5.
class Canvas
{
public:
    struct Colour
    {
        float r, g, b, a;
    };
    using Distance = std::function<float(float x, float y)>;

    Canvas(int width, int height);

    int width() const { return w; }
    int height() const { return h; }

    // Adds colour over the pixel with the given coverage (0 to 1).
    void blend(int x, int y, const Colour& colour, float coverage);
    void fill(const Distance& shape, const Colour& colour);
    // A soft band of `radius` pixels around the shape, fading out: a halo that keeps dark
    // marks legible on dark ground and light marks on light ground.
    void halo(const Distance& shape, float radius, const Colour& colour);

    // Pixels (x, y) to (x + cw, y + ch) as a canvas of their own.
    Canvas crop(int x, int y, int cw, int ch) const;
    // Straight-alpha RGBA with the toolkit's bottom-up rows.
    osg::ref_ptr<osg::Image> toImage() const;

    // Distance functions of the shapes the images use.
    static Distance circle(float cx, float cy, float radius);
    static Distance ring(float cx, float cy, float radius, float thickness);
    static Distance roundedRect(float x0, float y0, float x1, float y1, float radius);
    static Distance segment(float ax, float ay, float bx, float by, float thickness);
    // A convex polygon, corners in either turning direction.
    static Distance polygon(const std::vector<float>& xy);
    static Distance unite(const Distance& a, const Distance& b);
    static Distance subtract(const Distance& a, const Distance& b);

private:
    int w, h;
    std::vector<float> pixels; // premultiplied RGBA, rows top down
};

} // namespace osgTAVRI
