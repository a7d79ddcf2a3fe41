// Cost of the terrain-following pivot search (one scene intersection per
// frame) on terrain tiles read with and without the registry's KD-tree hint.
#include "viewer/navigation/TerrainFollowing.h"

#include <osg/Camera>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/Timer>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

const double tileSize = 1000.0;
const osg::Vec3d tileCentre(6543210.0, 7654321.0, 0.0);

// A tile as tin writes it: float vertices relative to the centre, under a translation.
osg::ref_ptr<osg::Node> makeTile(int cells)
{
    const int n = cells + 1;
    const double spacing = tileSize / cells;
    std::mt19937 random(42);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->reserve(n * n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const double x = -0.5 * tileSize + i * spacing;
            const double y = -0.5 * tileSize + j * spacing;
            const double z = 40.0 + 25.0 * std::sin(x / 90.0) * std::cos(y / 130.0) + jitter(random);
            vertices->push_back(osg::Vec3(x, y, z));
        }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    triangles->reserve(6 * cells * cells);
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i)
        {
            const unsigned a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            for (unsigned index : {a, b, d, a, d, c})
                triangles->push_back(index);
        }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->addPrimitiveSet(triangles.get());
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    osg::ref_ptr<osg::MatrixTransform> tile = new osg::MatrixTransform(osg::Matrixd::translate(tileCentre));
    tile->addChild(geode.get());
    return tile;
}

// Camera-to-world matrices of views 30 degrees down onto the tile, fixed seed.
std::vector<osg::Matrixd> makeViews(int count)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> across(-0.25 * tileSize, 0.25 * tileSize);
    std::uniform_real_distribution<double> heading(0.0, 2.0 * osg::PI);
    std::vector<osg::Matrixd> views;
    for (int i = 0; i < count; ++i)
    {
        const osg::Vec3d eye = tileCentre + osg::Vec3d(across(random), across(random), 150.0);
        const double h = heading(random);
        const osg::Vec3d dir(std::cos(0.5236) * std::sin(h), std::cos(0.5236) * std::cos(h), -std::sin(0.5236));
        views.push_back(osg::Matrixd::inverse(osg::Matrixd::lookAt(eye, eye + dir, osg::Vec3d(0.0, 0.0, 1.0))));
    }
    return views;
}

struct Timing
{
    double perIntersectionMs = 0.0;
    int hits = 0;
};

Timing timePivots(osg::Node* tile, const std::vector<osg::Matrixd>& views)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setProjectionMatrixAsPerspective(30.0, 1280.0 / 1024.0, 1.0, 10000.0);
    camera->addChild(tile);
    Timing timing;
    const osg::Timer_t start = osg::Timer::instance()->tick();
    for (const osg::Matrixd& view : views)
    {
        camera->setViewMatrix(osg::Matrixd::inverse(view));
        const osg::Vec3f pivot = osgTAVRI::TerrainFollowing::findPivot(camera.get(), view);
        timing.hits += pivot.z() > 1.0f ? 1 : 0;
    }
    const double seconds = osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
    timing.perIntersectionMs = 1000.0 * seconds / views.size();
    return timing;
}

osg::ref_ptr<osg::Node> readTile(const std::string& path, bool kdTrees, double& seconds)
{
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setBuildKdTreesHint(kdTrees ? osgDB::Options::BUILD_KDTREES : osgDB::Options::DO_NOT_BUILD_KDTREES);
    const osg::Timer_t start = osg::Timer::instance()->tick();
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(path, options.get());
    seconds = osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
    return node;
}

} // namespace

int main()
{
    char folderTemplate[] = "/tmp/terrain-bench-XXXXXX";
    const char* folder = mkdtemp(folderTemplate);
    if (!folder)
    {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const std::vector<osg::Matrixd> views = makeViews(200);
    const double frameMs = 1000.0 / 60.0;
    int status = 0;

    std::printf("terrain-following pivot search, %zu views 30 deg down, tile 1000 m\n", views.size());
    std::printf("%10s %12s %12s %14s %14s %10s %12s\n", "triangles", "kd build s", "plain ms", "kd-tree ms",
                "kd % of frame", "ratio", "hits p/k");
    for (int cells : {250, 500, 1000})
    {
        const std::string path = std::string(folder) + "/tile" + std::to_string(cells) + ".ive";
        if (!osgDB::writeNodeFile(*makeTile(cells), path))
        {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            status = 1;
            continue;
        }
        double plainRead = 0.0, kdRead = 0.0;
        osg::ref_ptr<osg::Node> plain = readTile(path, false, plainRead);
        osg::ref_ptr<osg::Node> withKd = readTile(path, true, kdRead);
        std::remove(path.c_str());
        if (!plain || !withKd)
        {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            status = 1;
            continue;
        }
        const Timing slow = timePivots(plain.get(), views);
        const Timing fast = timePivots(withKd.get(), views);
        std::printf("%10d %12.3f %12.4f %14.4f %13.3f%% %9.1fx %6d/%d\n", 2 * cells * cells, kdRead - plainRead,
                    slow.perIntersectionMs, fast.perIntersectionMs, 100.0 * fast.perIntersectionMs / frameMs,
                    slow.perIntersectionMs / fast.perIntersectionMs, slow.hits, fast.hits);
    }
    rmdir(folder);
    return status;
}
