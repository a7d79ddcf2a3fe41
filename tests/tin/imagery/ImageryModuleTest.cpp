// tin opens its GDAL module only for --texture: a copy of the program alone in a folder, as
// when the module is missing from an installation, builds plain tiles, and refuses --texture
// with one line before any tile; with the module copied beside it the same run is textured.
#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/tin/imagery/ImageryTestSupport.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using tavritest::TempDir;

namespace
{
const std::string extent = "500000,6600000,500200,6600200";

std::vector<std::string> nonEmptyLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}
} // namespace

TEST(ImageryModule, LoadedOnlyForTextureAndMissingItIsOneLine)
{
    const fs::path module = fs::path(tintest::tinProgram()).parent_path() / "tin-imagery.so";
    ASSERT_TRUE(fs::exists(module)) << module << " is built with tin";
    TempDir bin, work;
    const std::string tin = bin.file("tin");
    fs::copy_file(tintest::tinProgram(), tin);
    EXPECT_EQ(tavritest::run({"ldd", tin}).out.find("libgdal"), std::string::npos) << "tin itself links GDAL";

    const double transform[6] = {499950.0, 0.5, 0.0, 6600250.0, 0.0, -0.5};
    imagerytest::writeRaster(work.file("ortho.tif"), 600, 600, transform, 3006, imagerytest::cellColour);
    imagerytest::writeGround(work.file("ground.las"), 500000.0, 6600000.0, 500200.0, 6600200.0, "");
    auto runCopy = [&](const std::string& folder, bool texture) {
        std::vector<std::string> args{tin, "--extents", extent, "--tileSize", "100"};
        if (texture)
            args.insert(args.end(), {"--texture", work.file("ortho.tif")});
        args.push_back(work.file("ground.las"));
        return tavritest::run(args, folder, 300.0);
    };

    TempDir plain;
    tavritest::RunResult r = runCopy(plain.path(), false);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(tintest::tileFiles(plain.path()).size(), 4u) << r.out << r.err;

    // Missing, then a file that is no module: each is one line, exit 1, and no tile.
    for (const bool garbage : {false, true})
    {
        if (garbage)
            tavritest::writeFile(bin.file("tin-imagery.so"), "this is no shared object");
        TempDir refused;
        r = runCopy(refused.path(), true);
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const std::vector<std::string> lines = nonEmptyLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_NE(lines[0].find("--texture needs the imagery module"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(bin.file("tin-imagery.so")), std::string::npos) << lines[0];
        EXPECT_EQ(r.out.find("Generated"), std::string::npos) << r.out;
        EXPECT_TRUE(tintest::tileFiles(refused.path()).empty());
    }

    fs::copy_file(module, bin.file("tin-imagery.so"), fs::copy_options::overwrite_existing);
    TempDir textured;
    r = runCopy(textured.path(), true);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<std::string> tiles = tintest::tileFiles(textured.path());
    ASSERT_EQ(tiles.size(), 4u) << r.out << r.err;
    for (const std::string& tile : tiles)
        EXPECT_GT(imagerytest::sampleTile(textured.file(tile)).textureColumns, 0) << tile;
}
