#include "tin/triangulation/Predicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

using osgTAVRI::predicates::incircle;
using osgTAVRI::predicates::orient2d;

namespace
{

int sign(double v)
{
    return (v > 0.0) - (v < 0.0);
}

int sign(__int128 v)
{
    return (v > 0) - (v < 0);
}

// Exact reference for coordinates that are integers times `unit`.
int orientReference(double ax, double ay, double bx, double by, double cx, double cy, double unit)
{
    auto i = [unit](double v) { return static_cast<__int128>(std::llround(v / unit)); };
    return sign((i(ax) - i(cx)) * (i(by) - i(cy)) - (i(ay) - i(cy)) * (i(bx) - i(cx)));
}

int incircleReference(const double p[8], double unit)
{
    auto i = [unit](double v) { return static_cast<__int128>(std::llround(v / unit)); };
    const __int128 adx = i(p[0]) - i(p[6]), ady = i(p[1]) - i(p[7]);
    const __int128 bdx = i(p[2]) - i(p[6]), bdy = i(p[3]) - i(p[7]);
    const __int128 cdx = i(p[4]) - i(p[6]), cdy = i(p[5]) - i(p[7]);
    return sign((adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
                (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
                (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady));
}

} // namespace

TEST(Predicates, OrientationOfNearlyCollinearPointsIsExact)
{
    // b walks a 256 x 256 patch of neighbouring doubles around (0.5, 0.5) on the line
    // from a to c: the plain determinant gets many of these signs wrong.
    const double unit = std::ldexp(1.0, -53);
    int naiveWrong = 0, zeros = 0;
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j)
        {
            const double bx = 0.5 + i * unit, by = 0.5 + j * unit;
            const double ax = 12.0, ay = 12.0, cx = 24.0, cy = 24.0;
            const int expected = orientReference(ax, ay, bx, by, cx, cy, unit);
            ASSERT_EQ(expected, sign(orient2d(ax, ay, bx, by, cx, cy))) << i << ", " << j;
            ASSERT_EQ(-expected, sign(orient2d(bx, by, ax, ay, cx, cy)));
            const double naive = (ax - cx) * (by - cy) - (ay - cy) * (bx - cx);
            naiveWrong += sign(naive) != expected;
            zeros += expected == 0;
        }
    EXPECT_GT(naiveWrong, 1000);
    EXPECT_EQ(256, zeros); // the diagonal lies on the line
}

TEST(Predicates, InCircleOfNearlyCocircularPointsIsExact)
{
    // Points of a circle of radius 2^26 units rounded to the unit, moved by at most
    // one unit; the terms need some 114 bits, checked against 128-bit integers.
    const double unit = std::ldexp(1.0, -20);
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI);
    std::uniform_int_distribution<int> nudge(-1, 1);
    int positives = 0, negatives = 0, naiveWrong = 0;
    for (int k = 0; k < 20000; ++k)
    {
        double p[8];
        double t[4] = {angle(rng), angle(rng), angle(rng), angle(rng)};
        std::sort(t, t + 3); // a, b, c counter-clockwise
        for (int v = 0; v < 4; ++v)
        {
            p[2 * v] = 3.0 + std::round(std::cos(t[v]) * 67108864.0) * unit + nudge(rng) * unit;
            p[2 * v + 1] = -5.0 + std::round(std::sin(t[v]) * 67108864.0) * unit + nudge(rng) * unit;
        }
        const int expected = incircleReference(p, unit);
        ASSERT_EQ(expected, sign(incircle(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]))) << k;
        positives += expected > 0;
        negatives += expected < 0;
        const double adx = p[0] - p[6], ady = p[1] - p[7], bdx = p[2] - p[6], bdy = p[3] - p[7];
        const double cdx = p[4] - p[6], cdy = p[5] - p[7];
        const double naive = (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
                             (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
                             (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
        naiveWrong += sign(naive) != expected;
    }
    EXPECT_EQ(0, naiveWrong); // the reference agrees with plain arithmetic here
    EXPECT_GT(positives, 100);
    EXPECT_GT(negatives, 100);
}

TEST(Predicates, GridTiesAreExactZeros)
{
    EXPECT_EQ(0.0, incircle(0, 0, 1, 0, 1, 1, 0, 1));
    EXPECT_EQ(0.0, incircle(6500000.5, 7300000.5, 6500001.0, 7300000.5, 6500001.0, 7300001.0,
                            6500000.5, 7300001.0));
    // Twelve integer points of one circle, at an offset where the lifted terms round.
    const double c[12][2] = {{5, 0}, {4, 3}, {3, 4}, {0, 5}, {-3, 4}, {-4, 3},
                             {-5, 0}, {-4, -3}, {-3, -4}, {0, -5}, {3, -4}, {4, -3}};
    const double x0 = 3e7, y0 = -2e7;
    for (int i = 0; i < 12; ++i)
        for (int j = i + 1; j < 12; ++j)
            for (int k = j + 1; k < 12; ++k)
                for (int d = 0; d < 12; ++d)
                    ASSERT_EQ(0.0, incircle(x0 + c[i][0], y0 + c[i][1], x0 + c[j][0], y0 + c[j][1],
                                            x0 + c[k][0], y0 + c[k][1], x0 + c[d][0], y0 + c[d][1]));
    EXPECT_EQ(0.0, orient2d(-3.0, 1e-30, 0.0, 1e-30, 7.0, 1e-30));
    EXPECT_GT(orient2d(0, 0, 1, 0, 0, 1), 0.0);
    EXPECT_GT(incircle(0, 0, 1, 0, 0, 1, 0.5, 0.5), 0.0);
    EXPECT_LT(incircle(0, 0, 1, 0, 0, 1, 2.0, 2.0), 0.0);
}

TEST(Predicates, MatchCgalOnInexactDifferences)
{
    // Nearly cocircular and nearly collinear points whose coordinates differ in
    // magnitude, so the differences themselves round: the expansion path.
    typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
    std::mt19937_64 rng(23);
    std::uniform_real_distribution<double> angle(0.0, 2.0 * M_PI);
    std::uniform_real_distribution<double> along(-1.0, 1.0);
    int naiveWrong = 0;
    for (int k = 0; k < 20000; ++k)
    {
        // Four points of one circle, off it only by the rounding of their coordinates.
        double t[4] = {angle(rng), angle(rng), angle(rng), angle(rng)};
        std::sort(t, t + 3);
        K::Point_2 p[4];
        for (int v = 0; v < 4; ++v)
            p[v] = K::Point_2(1000.0 * std::cos(t[v]) + 0.3, 1000.0 * std::sin(t[v]) - 0.7);
        const int expected = static_cast<int>(CGAL::side_of_oriented_circle(p[0], p[1], p[2], p[3]));
        ASSERT_EQ(expected, sign(incircle(p[0].x(), p[0].y(), p[1].x(), p[1].y(), p[2].x(),
                                          p[2].y(), p[3].x(), p[3].y())))
            << k;
        double d[6];
        for (int v = 0; v < 3; ++v)
        {
            d[2 * v] = p[v].x() - p[3].x();
            d[2 * v + 1] = p[v].y() - p[3].y();
        }
        const double naive = (d[0] * d[0] + d[1] * d[1]) * (d[2] * d[5] - d[4] * d[3]) +
                             (d[2] * d[2] + d[3] * d[3]) * (d[4] * d[1] - d[0] * d[5]) +
                             (d[4] * d[4] + d[5] * d[5]) * (d[0] * d[3] - d[2] * d[1]);
        naiveWrong += sign(naive) != expected;

        const double s = along(rng) * 1e5, u = along(rng) * 1e-3;
        const K::Point_2 a(u, 3.0 * u + 1e-12), b(s, 3.0 * s), c(-2.0 * s + 7.0, -6.0 * s + 21.0);
        ASSERT_EQ(static_cast<int>(CGAL::orientation(a, b, c)),
                  sign(orient2d(a.x(), a.y(), b.x(), b.y(), c.x(), c.y())))
            << k;
    }
    EXPECT_GT(naiveWrong, 100);
}
