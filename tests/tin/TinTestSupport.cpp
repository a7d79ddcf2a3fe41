#include "tests/tin/TinTestSupport.h"

#include "tests/support/TestSupport.h"
#include "tests/support/PointCloudInput.h"
#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TileWriter.h"
#include "tin/tiling/TinBuilder.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tintest
{

std::string writeLas(const std::string& path, const std::vector<SynthPoint>& points,
                     const osgTAVRI::LasWriter::Settings& settings)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter writer(out, settings);
    for (const SynthPoint& p : points)
        writer.addPoint(p.x, p.y, p.z, p.ret, p.returns, p.classification);
    writer.finish();
    return path;
}

std::string writeRollingTerrain(const std::string& path)
{
    std::vector<SynthPoint> points;
    for (int y = 0; y < 1000; y += 10)
        for (int x = 0; x < 2000; x += 10)
        {
            const double z = 20.0 + 5.0 * std::sin(x / 150.0) + 3.0 * std::cos(y / 90.0);
            const bool tree = (x / 10 + y / 10) % 5 == 0;
            points.push_back({x + 0.3, y + 0.7, z + (tree ? 8.0 : 0.0), 1u, tree ? 2u : 1u});
            if (tree)
                points.push_back({x + 0.3, y + 0.7, z, 2u, 2u});
        }
    return writeLas(path, points);
}

namespace
{
// The reference file is pretty-printed JSON with one object per file; a key's value
// is read from the text that follows it within that object.
std::string valueAfter(const std::string& object, const std::string& key)
{
    const std::size_t at = object.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    std::size_t start = at + key.size() + 3;
    while (start < object.size() && (object[start] == ' ' || object[start] == '\n'))
        ++start;
    std::size_t end = start;
    if (object[start] == '[')
        end = object.find(']', start) + 1;
    else
        while (end < object.size() && object[end] != ',' && object[end] != '\n')
            ++end;
    return object.substr(start, end - start);
}

template <typename T>
void readTriple(const std::string& text, T out[3])
{
    std::string s = text;
    for (char& c : s)
        if (c == '[' || c == ']' || c == ',' || c == '"')
            c = ' ';
    std::istringstream in(s);
    in >> out[0] >> out[1] >> out[2];
}
} // namespace

std::vector<LasReference> loadLasReference(const std::string& jsonPath)
{
    const std::string text = tavritest::readFile(jsonPath);
    std::vector<LasReference> refs;
    std::size_t at = text.find("\"file\":");
    while (at != std::string::npos)
    {
        const std::size_t next = text.find("\"file\":", at + 1);
        const std::string object = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        LasReference ref;
        std::string name = valueAfter(object, "file");
        ref.file = name.substr(1, name.size() - 2);
        ref.compressed = valueAfter(object, "compressed_bit7") == "true";
        ref.pointsInFile = std::atoll(valueAfter(object, "points_in_file").c_str());
        const std::string count64 = valueAfter(object, "point_count_64");
        ref.claimedPoints = std::atoll(
            (count64 == "null" ? valueAfter(object, "legacy_point_count") : count64).c_str());
        ref.firstReturns = std::atoll(valueAfter(object, "return1_first_1M").c_str());
        readTriple(valueAfter(object, "sum_raw_XYZ"), ref.sumRaw);
        readTriple(valueAfter(object, "scale"), ref.scale);
        readTriple(valueAfter(object, "offset"), ref.offset);
        refs.push_back(ref);
        at = next;
    }
    return refs;
}

std::string tinProgram() { return tavritest::buildDir() + "/Bin/tin"; }

tavritest::RunResult runTin(const std::vector<std::string>& args, const std::string& cwd)
{
    std::vector<std::string> argv{tinProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    return tavritest::run(argv, cwd, 300.0);
}

std::vector<std::string> tileFiles(const std::string& dir)
{
    std::vector<std::string> tiles;
    for (const std::string& f : tavritest::listDir(dir))
        if (f.size() > 4 && f.compare(f.size() - 4, 4, ".ive") == 0)
            tiles.push_back(f);
    return tiles;
}

std::map<std::string, std::string> tileContents(const std::string& dir)
{
    std::map<std::string, std::string> contents;
    for (const std::string& f : tileFiles(dir))
        contents[f] = tavritest::readFile(dir + "/" + f);
    return contents;
}

void writeTilesOneByOne(const osgTAVRI::TinOptions& options, const std::string& dir)
{
    osgTAVRI::TileGrid grid;
    std::string error;
    ASSERT_TRUE(grid.plan(options.extent, options.tileSize, options.naming, error)) << error;
    for (std::uint64_t i = 0; i < grid.getNumTiles(); ++i)
    {
        osg::ref_ptr<osg::Vec3dArray> points =
            tavritest::readTilePoints({1}, options.selection.thinNth, options.files, grid.bounds(i));
        if (points->size() < 3)
            continue;
        osg::ref_ptr<osg::MatrixTransform> node =
            osgTAVRI::createTin(points.get(), grid.bounds(i), options.mesh);
        ASSERT_TRUE(node.valid());
        ASSERT_TRUE(osgTAVRI::writeTile(*node, dir + "/" + grid.name(i) + ".ive"));
    }
}

} // namespace tintest
