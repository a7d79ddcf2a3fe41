// The viewer on paged terrain of 16, 256 and 4096 tiles: time to the first frame, peak memory
// and the median frame of one scripted flight, the same at every size, and the ratios of the
// largest area to the smallest; then the plain 16 tiles against their paged database at start.
// Each measurement runs in a process of its own, so that its peak memory is its own; each
// figure is the median of three rounds.
// "PagedTerrainBench --screenshot FOLDER PNG" flies across the 4096-tile database of FOLDER
// and writes the view at the end.
#include "bench/FrameComparison.h"
#include "tin/las/LasWriter.h"
#include "viewer/navigation/NavigationController.h"

#include <osg/PolygonMode>
#include <osg/Timer>
#include <osgDB/FileNameUtils>
#include <osgDB/DatabasePager>
#include <osgDB/WriteFile>

#include <cmath>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

namespace
{
// Tiles of the size real projects use; sparse points keep the 4096-tile area to minutes of tin.
const double originX = 500000.0, originY = 7000000.0, tileSize = 250.0, spacing = 6.25;
const int pointsPerTile = static_cast<int>(tileSize / spacing);
// Three rounds of every size, interleaved, so that the load of a shared machine falls on all.
const int roundCount = 3;

// Rolling ground a point every `spacing` metres.
std::string makeDatabase(const std::string& folder, int tilesPerSide, const std::string& tin)
{
    std::filesystem::create_directories(folder);
    if (std::filesystem::exists(folder + "/terrain.ive"))
        return folder;
    const std::string las = folder + "/scan.las";
    {
        std::ofstream out(las.c_str(), std::ios::binary);
        osgTAVRI::LasWriter writer(out, osgTAVRI::LasWriter::Settings());
        for (int j = 0; j <= pointsPerTile * tilesPerSide; ++j)
            for (int i = 0; i <= pointsPerTile * tilesPerSide; ++i)
            {
                const double x = spacing * i, y = spacing * j;
                writer.addPoint(originX + x, originY + y, 30.0 + 12.0 * std::sin(x / 140.0) * std::cos(y / 190.0));
            }
        writer.finish();
    }
    std::ostringstream command;
    command.precision(10);
    command << "cd '" << folder << "' && '" << tin << "' --extents " << originX << "," << originY << ","
            << originX + tilesPerSide * tileSize << "," << originY + tilesPerSide * tileSize
            << " --tileSize " << tileSize << " --numThreads 2 --pagedDatabase terrain.ive scan.las > tin.log 2>&1";
    if (std::system(command.str().c_str()) != 0)
        std::fprintf(stderr, "PagedTerrainBench: tin failed in %s\n", folder.c_str());
    std::filesystem::remove(las);
    return folder;
}

double peakMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The flight: 150 m north-east over the middle of an area `side` metres across, 60 m above the
// ground, 1 m a frame, looking ahead and 40 degrees down, so that the view holds the same
// ground at every size and reaches no edge of the smallest area.
struct Flight
{
    static constexpr int frames = 150;
    explicit Flight(double side) : start(originX + side / 2 - 100.0, originY + side / 2 - 100.0, 90.0) {}
    osg::Matrixd pose(int i) const
    {
        const osg::Vec3d eye = start + osg::Vec3d(i / std::sqrt(2.0), i / std::sqrt(2.0), 0.0);
        return osg::Matrixd::inverse(osg::Matrixd::lookAt(eye, eye + look, osg::Vec3d(0.0, 0.0, 1.0)));
    }
    osg::Vec3d start;
    osg::Vec3d look{100.0, 100.0, -120.0};
};

std::string pagedModel(const std::string& folder)
{
    return "<Model name=\"Terrain\" filename=\"" + folder + "/terrain.ive\" layerNum=\"0\" visible=\"1\"/>";
}

// The viewer of `tree` on `models` (Model elements), at home at the start of `flight`.
osg::ref_ptr<osgTAVRI::TAVRIview> startViewer(tavribench::InstallTree& tree, const std::string& models,
                                              const Flight& flight)
{
    const osg::Vec3d centre = flight.start + flight.look;
    std::ofstream((tree.root / "Resources/Configuration.xml").string())
        << "<Scene>" << models << "</Scene>\n<Window x=\"0\" y=\"0\" width=\"640\" height=\"480\" numSamples=\"0\"/>\n"
        << "<Navigation homeEyeX=\"" << flight.start.x() << "\" homeEyeY=\"" << flight.start.y() << "\" homeEyeZ=\""
        << flight.start.z() << "\" homeCenterX=\"" << centre.x() << "\" homeCenterY=\"" << centre.y()
        << "\" homeCenterZ=\"" << centre.z() << "\"/>\n";
    return tree.startViewer();
}

// One viewer on `models` over an area `side` metres across: prints
// "first-frame-s peak-MB frame-ms".
int measure(const std::string& models, double side)
{
    tavribench::InstallTree tree("PagedTerrainBench");
    if (!tree.valid())
        return 1;
    const Flight flight(side);
    const osg::Timer_t started = osg::Timer::instance()->tick();
    osg::ref_ptr<osgTAVRI::TAVRIview> view = startViewer(tree, models, flight);
    const double firstFrame = osg::Timer::instance()->delta_s(started, osg::Timer::instance()->tick());

    std::vector<double> frames;
    for (int i = 0; i < Flight::frames; ++i)
    {
        view->getNavigationController()->setByMatrix(flight.pose(i));
        frames.push_back(tavribench::frameMs(view->getViewer()));
    }
    std::printf("%.3f %.1f %.2f\n", firstFrame, peakMB(), tavribench::median(frames));
    return 0;
}

// Two viewers in one process, on the databases of `small` and `large`, fly the flight frame by
// frame in turn, so that the load of a shared machine falls on both alike: prints
// "small-frame-ms large-frame-ms median-ratio-of-neighbouring-frames".
int compareFlights(const std::string& small, int smallSide, const std::string& large, int largeSide)
{
    tavribench::InstallTree smallTree("PagedTerrainBench"), largeTree("PagedTerrainBench");
    if (!smallTree.valid() || !largeTree.valid())
        return 1;
    const Flight smallFlight(smallSide * tileSize), largeFlight(largeSide * tileSize);
    osg::ref_ptr<osgTAVRI::TAVRIview> smallView = startViewer(smallTree, pagedModel(small), smallFlight);
    osg::ref_ptr<osgTAVRI::TAVRIview> largeView = startViewer(largeTree, pagedModel(large), largeFlight);
    std::vector<double> smallFrames, largeFrames, ratios;
    for (int i = 0; i < Flight::frames; ++i)
    {
        smallView->getNavigationController()->setByMatrix(smallFlight.pose(i));
        largeView->getNavigationController()->setByMatrix(largeFlight.pose(i));
        smallFrames.push_back(tavribench::frameMs(smallView->getViewer()));
        largeFrames.push_back(tavribench::frameMs(largeView->getViewer()));
        ratios.push_back(largeFrames.back() / smallFrames.back());
    }
    std::printf("%.2f %.2f %.3f\n", tavribench::median(smallFrames), tavribench::median(largeFrames),
                tavribench::median(ratios));
    return 0;
}

// Draws into an image at the end of the next frame.
struct Capture : osg::Camera::DrawCallback
{
    void operator()(osg::RenderInfo& info) const override
    {
        if (!image)
            return;
        const osg::Viewport* viewport = info.getCurrentCamera()->getViewport();
        image->readPixels(int(viewport->x()), int(viewport->y()), int(viewport->width()), int(viewport->height()),
                          GL_RGB, GL_UNSIGNED_BYTE);
    }
    mutable osg::ref_ptr<osg::Image> image;
};

// Flies across the whole area of `folder`'s database, south-west to north-east at 150 m, lets
// the pager settle and writes what the viewer shows to `png`.
int screenshot(const std::string& folder, const std::string& png, double side)
{
    tavribench::InstallTree tree("PagedTerrainBench");
    if (!tree.valid())
        return 1;
    std::ofstream((tree.root / "Resources/Configuration.xml").string())
        << "<Scene><Model name=\"Terrain\" filename=\"" << folder << "/terrain.ive\" layerNum=\"0\" visible=\"1\"/>"
        << "</Scene>\n<Window x=\"0\" y=\"0\" width=\"1024\" height=\"768\" numSamples=\"0\"/>\n"
        << "<Environment backgroundColorRed=\"0.55\" backgroundColorGreen=\"0.7\" backgroundColorBlue=\"0.9\"/>\n";
    osg::ref_ptr<osgTAVRI::TAVRIview> view = tree.startViewer();
    osgViewer::Viewer& viewer = view->getViewer();
    osg::Vec3d eye;
    for (int i = 0; i <= 400; ++i)
    {
        const double along = side * (0.05 + 0.55 * i / 400.0);
        eye.set(originX + along, originY + along, 120.0);
        view->getNavigationController()->setByMatrix(osg::Matrixd::inverse(
            osg::Matrixd::lookAt(eye, eye + osg::Vec3d(300.0, 300.0, -200.0), osg::Vec3d(0.0, 0.0, 1.0))));
        viewer.frame();
    }
    for (int i = 0; i < 600 && (i < 20 || viewer.getDatabasePager()->getRequestsInProgress()); ++i)
        viewer.frame();
    // As shaded, then as lines, which show where each level is drawn.
    bool written = true;
    for (const char* suffix : {".png", "-lines.png"})
    {
        if (suffix[1] == 'l')
            viewer.getSceneData()->getOrCreateStateSet()->setAttributeAndModes(
                new osg::PolygonMode(osg::PolygonMode::FRONT_AND_BACK, osg::PolygonMode::LINE));
        osg::ref_ptr<Capture> capture = new Capture;
        capture->image = new osg::Image;
        viewer.getCamera()->setFinalDrawCallback(capture.get());
        viewer.frame();
        viewer.getCamera()->setFinalDrawCallback(nullptr);
        written = osgDB::writeImageFile(*capture->image, osgDB::getNameLessExtension(png) + suffix) && written;
    }
    return written ? 0 : 1;
}

struct Figures
{
    double firstFrame = 0.0, peak = 0.0, frame = 0.0;
};

// Runs this program in `mode` on the database of `folder`, `tilesPerSide` tiles across.
Figures run(const std::string& self, const std::string& mode, const std::string& folder, int tilesPerSide)
{
    Figures f;
    const std::string command =
        "'" + self + "' " + mode + " '" + folder + "' " + std::to_string(tilesPerSide) + " 2>/dev/null | tail -1";
    if (FILE* p = popen(command.c_str(), "r"))
    {
        if (std::fscanf(p, "%lf %lf %lf", &f.firstFrame, &f.peak, &f.frame) != 3)
            std::fprintf(stderr, "PagedTerrainBench: no figures from %s\n", command.c_str());
        pclose(p);
    }
    return f;
}

// The median over the rounds of the frame ratio of `large` to `small`, their frames drawn in
// turn by one process.
double frameRatio(const std::string& self, const std::string& work, int smallSide, int largeSide)
{
    std::vector<double> ratios;
    for (int round = 0; round < roundCount; ++round)
    {
        const std::string command = "'" + self + "' --compare '" + work + "/" + std::to_string(smallSide * smallSide) +
                                    "' " + std::to_string(smallSide) + " '" + work + "/" +
                                    std::to_string(largeSide * largeSide) + "' " + std::to_string(largeSide) +
                                    " 2>/dev/null | tail -1";
        double smallMs = 0.0, largeMs = 0.0, ratio = 0.0;
        if (FILE* p = popen(command.c_str(), "r"))
        {
            if (std::fscanf(p, "%lf %lf %lf", &smallMs, &largeMs, &ratio) == 3)
                ratios.push_back(ratio);
            else
                std::fprintf(stderr, "PagedTerrainBench: no figures from %s\n", command.c_str());
            pclose(p);
        }
    }
    return ratios.empty() ? 0.0 : tavribench::median(ratios);
}

// The median of each figure over the rounds.
Figures medians(const std::vector<Figures>& all)
{
    std::vector<double> first, peak, frame;
    for (const Figures& f : all)
    {
        first.push_back(f.firstFrame);
        peak.push_back(f.peak);
        frame.push_back(f.frame);
    }
    return {tavribench::median(first), tavribench::median(peak), tavribench::median(frame)};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--paged")
        return measure(pagedModel(argv[2]), std::atoi(argv[3]) * tileSize);
    if (argc == 6 && std::string(argv[1]) == "--compare")
        return compareFlights(argv[2], std::atoi(argv[3]), argv[4], std::atoi(argv[5]));
    if (argc == 4 && std::string(argv[1]) == "--screenshot")
        return screenshot(argv[2], argv[3], 64 * tileSize);
    if (argc == 4 && std::string(argv[1]) == "--plain")
    {
        std::string models;
        for (const auto& entry : std::filesystem::directory_iterator(argv[2]))
            if (entry.path().extension() == ".ive" && entry.path().filename() != "terrain.ive")
                models += "<Model name=\"" + entry.path().stem().string() + "\" filename=\"" + entry.path().string() +
                          "\" layerNum=\"0\" visible=\"1\"/>";
        return measure(models, std::atoi(argv[3]) * tileSize);
    }

    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string tin = std::filesystem::path(self).parent_path().parent_path().string() + "/Bin/tin";
    const std::string work = std::filesystem::temp_directory_path().string() + "/tavri-paged-bench-" +
                             std::to_string(static_cast<int>(tileSize)) + "m";
    const std::vector<int> sides = {4, 16, 64};
    for (int side : sides)
        makeDatabase(work + "/" + std::to_string(side * side), side, tin);
    std::map<int, std::vector<Figures>> rounds;
    for (int round = 0; round < roundCount; ++round)
        for (int side : sides)
            rounds[side * side].push_back(run(self, "--paged", work + "/" + std::to_string(side * side), side));
    std::map<int, Figures> figures;
    for (int side : sides)
    {
        const Figures f = medians(rounds[side * side]);
        figures[side * side] = f;
        std::printf("paged terrain %d tiles: first frame %.2f s, peak memory %.0f MB, frame %.1f ms\n", side * side,
                    f.firstFrame, f.peak, f.frame);
    }
    // The frame ratios come from the two areas' frames drawn in turn, which a loaded machine
    // slows alike; the frame times above, each from a process of its own, do not.
    const Figures& small = figures[16];
    const Figures& large = figures[4096];
    std::printf("paged terrain 4096 vs 16 tiles: first frame %.2f, peak memory %.2f, frame %.2f "
                "(goals 1.2, 1.5, 1.3)\n",
                large.firstFrame / small.firstFrame, large.peak / small.peak, frameRatio(self, work, 4, 64));
    const Figures& middle = figures[256];
    std::printf("paged terrain 4096 vs 256 tiles: first frame %.2f, peak memory %.2f, frame %.2f\n",
                large.firstFrame / middle.firstFrame, large.peak / middle.peak, frameRatio(self, work, 16, 64));
    const Figures plain = run(self, "--plain", work + "/16", 4);
    std::printf("plain terrain 16 tiles: first frame %.2f s, peak memory %.0f MB; its paged database: %.2f s, "
                "%.0f MB; ratio plain / paged %.2f\n",
                plain.firstFrame, plain.peak, small.firstFrame, small.peak, plain.firstFrame / small.firstFrame);
    return 0;
}
