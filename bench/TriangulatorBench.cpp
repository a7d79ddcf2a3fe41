// Times DelaunayTriangulator::triangulate() (sorting, de-duplication, Delaunay
// triangulation, hull forcing, output) against CGAL's Delaunay_triangulation_2
// (exact predicates, range insertion with spatial sorting) on the same points:
// uniform random, lidar-like scan lines and an exact grid, at two sizes, fixed
// seeds. Each figure is the best of three runs in processor time of this process
// (the machine is shared, and wall time mostly measures the others' load); the
// ratio is ours / CGAL's.
#include "tin/triangulation/DelaunayTriangulator.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <ctime>
#include <vector>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

namespace
{

typedef std::vector<osg::Vec3d> Points;

Points uniform(size_t n)
{
    std::mt19937_64 rng(42);
    const double size = std::sqrt(static_cast<double>(n));
    std::uniform_real_distribution<double> u(-size, size);
    Points points(n);
    for (osg::Vec3d& p : points)
        p.set(u(rng), u(rng), 0.01 * u(rng));
    return points;
}

// Scan lines 0.7 m apart, points 0.35 m apart along them, centimetre coordinates.
Points scanLines(size_t n)
{
    std::mt19937_64 rng(43);
    std::uniform_real_distribution<double> jitter(-0.04, 0.04);
    const size_t perLine = static_cast<size_t>(std::sqrt(2.0 * static_cast<double>(n)));
    Points points;
    points.reserve(n);
    for (size_t i = 0; points.size() < n; ++i)
    {
        const size_t line = i / perLine, j = i % perLine;
        const double x = j * 0.35 + jitter(rng) - 250.0;
        const double y = line * 0.7 + 0.01 * x + 0.25 * jitter(rng) - 250.0;
        points.emplace_back(std::round(x * 100.0) / 100.0, std::round(y * 100.0) / 100.0,
                            100.0 + jitter(rng));
    }
    return points;
}

Points grid(size_t n)
{
    const size_t side = static_cast<size_t>(std::sqrt(static_cast<double>(n)));
    Points points;
    points.reserve(side * side);
    for (size_t j = 0; j < side; ++j)
        for (size_t i = 0; i < side; ++i)
            points.emplace_back(0.5 * i - 250.0, 0.5 * j - 250.0, 0.1 * ((i + j) % 7));
    return points;
}

double processorSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double bestOfThree(const std::function<size_t()>& run, size_t& triangles)
{
    double best = 1e300;
    for (int k = 0; k < 3; ++k)
    {
        const double start = processorSeconds();
        triangles = run();
        best = std::min(best, processorSeconds() - start);
    }
    return best;
}

} // namespace

int main()
{
    struct Case
    {
        const char* name;
        Points (*make)(size_t);
    };
    const Case cases[] = {{"uniform", uniform}, {"lidar-like", scanLines}, {"grid", grid}};
    int status = 0;
    std::printf("%-11s %9s %12s %12s %8s %10s %10s\n", "points", "count", "ours [s]",
                "CGAL [s]", "ratio", "ours tris", "CGAL tris");
    for (size_t n : {100000u, 1000000u})
    {
        for (const Case& c : cases)
        {
            const Points points = c.make(n);
            // Each run triangulates its own copy, made before the clock starts.
            std::vector<osg::ref_ptr<osg::Vec3dArray>> copies;
            for (int k = 0; k < 3; ++k)
                copies.push_back(new osg::Vec3dArray(points.begin(), points.end()));
            size_t ours = 0;
            const double oursTime = bestOfThree(
                [&copies]() {
                    osg::ref_ptr<osg::Vec3dArray> array = copies.back();
                    copies.pop_back();
                    osg::ref_ptr<osgTAVRI::DelaunayTriangulator> triangulator =
                        new osgTAVRI::DelaunayTriangulator(array.get());
                    triangulator->triangulate();
                    return static_cast<size_t>(triangulator->getTriangles()->size() / 3);
                },
                ours);
            typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
            typedef CGAL::Delaunay_triangulation_2<K> Delaunay;
            std::vector<K::Point_2> cgalPoints;
            cgalPoints.reserve(points.size());
            for (const osg::Vec3d& p : points)
                cgalPoints.emplace_back(p.x(), p.y());
            size_t theirs = 0;
            const double cgalTime = bestOfThree(
                [&cgalPoints]() {
                    Delaunay dt(cgalPoints.begin(), cgalPoints.end());
                    return static_cast<size_t>(dt.number_of_faces());
                },
                theirs);
            std::printf("%-11s %9zu %12.3f %12.3f %8.2f %10zu %10zu\n", c.name, points.size(),
                        oursTime, cgalTime, oursTime / cgalTime, ours, theirs);
            if (ours != theirs)
                status = 1;
        }
    }
    return status;
}
