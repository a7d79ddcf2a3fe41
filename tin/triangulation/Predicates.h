#pragma once

#include <cmath>

namespace osgTAVRI
{

// Orientation and in-circle tests with exact signs. Each first evaluates the
// determinant in plain double arithmetic and accepts it when it exceeds a forward
// error bound (Shewchuk's bounds for IEEE doubles); only the near-degenerate cases
// fall back to exact arithmetic on floating-point expansions. Lidar scan lines and
// exact grids produce such cases all the time.
namespace predicates
{

double orient2dExact(double ax, double ay, double bx, double by, double cx, double cy);
double incircleExact(double ax, double ay, double bx, double by, double cx, double cy,
                     double dx, double dy);

// > 0 when a, b, c turn counter-clockwise, < 0 clockwise, 0 when collinear.
inline double orient2d(double ax, double ay, double bx, double by, double cx, double cy)
{
    const double epsilon = 1.1102230246251565e-16; // 2^-53
    const double errorBound = (3.0 + 16.0 * epsilon) * epsilon;
    const double left = (ax - cx) * (by - cy);
    const double right = (ay - cy) * (bx - cx);
    const double det = left - right;
    double sum;
    if (left > 0.0)
    {
        if (right <= 0.0)
            return det;
        sum = left + right;
    }
    else if (left < 0.0)
    {
        if (right >= 0.0)
            return det;
        sum = -left - right;
    }
    else
    {
        return det;
    }
    if (det >= errorBound * sum || -det >= errorBound * sum)
        return det;
    return orient2dExact(ax, ay, bx, by, cx, cy);
}

// > 0 when d lies inside the circle through the counter-clockwise a, b, c,
// < 0 outside, 0 on the circle.
inline double incircle(double ax, double ay, double bx, double by, double cx, double cy,
                       double dx, double dy)
{
    const double epsilon = 1.1102230246251565e-16;
    const double errorBound = (10.0 + 96.0 * epsilon) * epsilon;
    const double adx = ax - dx, ady = ay - dy;
    const double bdx = bx - dx, bdy = by - dy;
    const double cdx = cx - dx, cdy = cy - dy;
    const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
    const double cdxady = cdx * ady, adxcdy = adx * cdy;
    const double adxbdy = adx * bdy, bdxady = bdx * ady;
    const double alift = adx * adx + ady * ady;
    const double blift = bdx * bdx + bdy * bdy;
    const double clift = cdx * cdx + cdy * cdy;
    const double det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) +
                       clift * (adxbdy - bdxady);
    const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift +
                             (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                             (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
    const double bound = errorBound * permanent;
    if (det > bound || -det > bound)
        return det;
    return incircleExact(ax, ay, bx, by, cx, cy, dx, dy);
}

} // namespace predicates
} // namespace osgTAVRI
