#include "resources/tools/Canvas.h"

#include <algorithm>
#include <cmath>

namespace osgTAVRI
{

Canvas::Canvas(int width, int height) : w(width), h(height), pixels(static_cast<size_t>(width * height * 4), 0.0f) {}

void Canvas::blend(int x, int y, const Colour& colour, float coverage)
{
    if (x < 0 || y < 0 || x >= w || y >= h || coverage <= 0.0f)
        return;
    const float a = colour.a * std::min(coverage, 1.0f);
    float* p = &pixels[static_cast<size_t>((y * w + x) * 4)];
    p[0] = colour.r * a + p[0] * (1.0f - a);
    p[1] = colour.g * a + p[1] * (1.0f - a);
    p[2] = colour.b * a + p[2] * (1.0f - a);
    p[3] = a + p[3] * (1.0f - a);
}

void Canvas::fill(const Distance& shape, const Colour& colour)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            // A distance of d pixels covers about 0.5 - d of the pixel across an edge.
            const float d = shape(x + 0.5f, y + 0.5f);
            blend(x, y, colour, std::clamp(0.5f - d, 0.0f, 1.0f));
        }
}

void Canvas::halo(const Distance& shape, float radius, const Colour& colour)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float d = shape(x + 0.5f, y + 0.5f);
            const float t = std::clamp(1.0f - d / radius, 0.0f, 1.0f);
            blend(x, y, colour, t * t);
        }
}

Canvas Canvas::crop(int x, int y, int cw, int ch) const
{
    Canvas part(cw, ch);
    for (int row = 0; row < ch; ++row)
        for (int col = 0; col < cw; ++col)
            if (x + col >= 0 && x + col < w && y + row >= 0 && y + row < h)
                std::copy_n(&pixels[static_cast<size_t>(((y + row) * w + x + col) * 4)], 4,
                            &part.pixels[static_cast<size_t>((row * cw + col) * 4)]);
    return part;
}

osg::ref_ptr<osg::Image> Canvas::toImage() const
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(w, h, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    for (int y = 0; y < h; ++y)
    {
        // The toolkit's images start at the bottom row.
        unsigned char* out = image->data(0, h - 1 - y);
        for (int x = 0; x < w; ++x)
        {
            const float* p = &pixels[static_cast<size_t>((y * w + x) * 4)];
            const float a = p[3];
            for (int c = 0; c < 3; ++c)
            {
                const float straight = a > 0.0f ? p[c] / a : 0.0f;
                out[x * 4 + c] = static_cast<unsigned char>(std::lround(std::clamp(straight, 0.0f, 1.0f) * 255.0f));
            }
            out[x * 4 + 3] = static_cast<unsigned char>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255.0f));
        }
    }
    return image;
}

Canvas::Distance Canvas::circle(float cx, float cy, float radius)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - radius; };
}

Canvas::Distance Canvas::ring(float cx, float cy, float radius, float thickness)
{
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - radius) - 0.5f * thickness; };
}

Canvas::Distance Canvas::roundedRect(float x0, float y0, float x1, float y1, float radius)
{
    const float cx = 0.5f * (x0 + x1), cy = 0.5f * (y0 + y1);
    const float hx = 0.5f * (x1 - x0) - radius, hy = 0.5f * (y1 - y0) - radius;
    return [=](float x, float y) {
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Canvas::Distance Canvas::segment(float ax, float ay, float bx, float by, float thickness)
{
    return [=](float x, float y) {
        const float dx = bx - ax, dy = by - ay;
        const float len2 = dx * dx + dy * dy;
        const float t = len2 > 0.0f ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0f, 1.0f) : 0.0f;
        return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) - 0.5f * thickness;
    };
}

Canvas::Distance Canvas::polygon(const std::vector<float>& xy)
{
    // The largest signed distance to the edge lines: exact inside and along the edges,
    // slightly short beyond the corners, which is all one pixel of smoothing needs.
    const size_t n = xy.size() / 2;
    float area = 0.0f;
    for (size_t i = 0; i < n; ++i)
    {
        const size_t j = (i + 1) % n;
        area += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
    }
    const float turn = area > 0.0f ? 1.0f : -1.0f;
    return [=](float x, float y) {
        float d = -1e30f;
        for (size_t i = 0; i < n; ++i)
        {
            const size_t j = (i + 1) % n;
            const float ex = xy[2 * j] - xy[2 * i], ey = xy[2 * j + 1] - xy[2 * i + 1];
            const float len = std::hypot(ex, ey);
            if (len == 0.0f)
                continue;
            const float cross = ex * (y - xy[2 * i + 1]) - ey * (x - xy[2 * i]);
            d = std::max(d, -turn * cross / len);
        }
        return d;
    };
}

Canvas::Distance Canvas::unite(const Distance& a, const Distance& b)
{
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Canvas::Distance Canvas::subtract(const Distance& a, const Distance& b)
{
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

} // namespace osgTAVRI
