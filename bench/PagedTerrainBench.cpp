// The viewer on paged terrain of 16, 256 and 4096 tiles: time to the first frame, peak memory
// and the median frame of one scripted flight, the same at every size, and the ratios of the
// largest area to the smallest; then the plain 16 tiles against their paged database at start.
// Each measurement runs in a process of its own, so that its peak memory is its own.
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
const double originX = 500000.0, originY = 7000000.0, tileSize = 50.0;

// Rolling ground a point every 2.5 m (the least that a tile's 5 % margin bridges).
std::string makeDatabase(const std::string& folder, int tilesPerSide, const std::string& tin)
{
    std::filesystem::create_directories(folder);
    if (std::filesystem::exists(folder + "/terrain.ive"))
        return folder;
    const std::string las = folder + "/scan.las";
    {
        std::ofstream out(las.c_str(), std::ios::binary);
        osgTAVRI::LasWriter writer(out, osgTAVRI::LasWriter::Settings());
        for (int j = 0; j <= 20 * tilesPerSide; ++j)
            for (int i = 0; i <= 20 * tilesPerSide; ++i)
            {
                const double x = 2.5 * i, y = 2.5 * j;
                writer.addPoint(originX + x, originY + y, 30.0 + 12.0 * std::sin(x / 140.0) * std::cos(y / 190.0));
            }
        writer.finish();
    }
    std::ostringstream command;
    command.precision(10);
    command << "cd '" << folder << "' && '" << tin << "' --extents " << originX << "," << originY << ","
            << originX + tilesPerSide * tileSize << "," << originY + tilesPerSide * tileSize
            << " --tileSize 50 --numThreads 2 --pagedDatabase terrain.ive scan.las > tin.log 2>&1";
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

// One viewer on `models` (Model elements): prints "first-frame-s peak-MB frame-ms".
int measure(const std::string& models)
{
    tavribench::InstallTree tree("PagedTerrainBench");
    if (!tree.valid())
        return 1;
    std::ofstream((tree.root / "Resources/Configuration.xml").string())
        << "<Scene>" << models << "</Scene>\n<Window x=\"0\" y=\"0\" width=\"640\" height=\"480\" numSamples=\"0\"/>\n"
        << "<Navigation homeEyeX=\"" << originX + 20 << "\" homeEyeY=\"" << originY + 20
        << "\" homeEyeZ=\"45\" homeCenterX=\"" << originX + 120 << "\" homeCenterY=\"" << originY + 120
        << "\" homeCenterZ=\"20\"/>\n";
    const osg::Timer_t start = osg::Timer::instance()->tick();
    osg::ref_ptr<osgTAVRI::TAVRIview> view = tree.startViewer();
    const double firstFrame = osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());

    // The flight: 150 m north-east along the ground at 40 m, 1 m a frame, looking ahead and down.
    osgViewer::Viewer& viewer = view->getViewer();
    std::vector<double> frames;
    for (int i = 0; i < 150; ++i)
    {
        const osg::Vec3d eye(originX + 20 + i / std::sqrt(2.0), originY + 20 + i / std::sqrt(2.0), 45.0);
        view->getNavigationController()->setByMatrix(osg::Matrixd::inverse(
            osg::Matrixd::lookAt(eye, eye + osg::Vec3d(100.0, 100.0, -25.0), osg::Vec3d(0.0, 0.0, 1.0))));
        frames.push_back(tavribench::frameMs(viewer));
    }
    std::printf("%.3f %.1f %.2f\n", firstFrame, peakMB(), tavribench::median(frames));
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

Figures run(const std::string& self, const std::string& mode, const std::string& folder)
{
    Figures f;
    const std::string command = "'" + self + "' " + mode + " '" + folder + "' 2>/dev/null | tail -1";
    if (FILE* p = popen(command.c_str(), "r"))
    {
        if (std::fscanf(p, "%lf %lf %lf", &f.firstFrame, &f.peak, &f.frame) != 3)
            std::fprintf(stderr, "PagedTerrainBench: no figures from %s\n", command.c_str());
        pclose(p);
    }
    return f;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--paged")
        return measure("<Model name=\"Terrain\" filename=\"" + std::string(argv[2]) +
                       "/terrain.ive\" layerNum=\"0\" visible=\"1\"/>");
    if (argc == 4 && std::string(argv[1]) == "--screenshot")
        return screenshot(argv[2], argv[3], 64 * tileSize);
    if (argc == 3 && std::string(argv[1]) == "--plain")
    {
        std::string models;
        for (const auto& entry : std::filesystem::directory_iterator(argv[2]))
            if (entry.path().extension() == ".ive" && entry.path().filename() != "terrain.ive")
                models += "<Model name=\"" + entry.path().stem().string() + "\" filename=\"" + entry.path().string() +
                          "\" layerNum=\"0\" visible=\"1\"/>";
        return measure(models);
    }

    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string tin = std::filesystem::path(self).parent_path().parent_path().string() + "/Bin/tin";
    const std::string work = std::filesystem::temp_directory_path().string() + "/tavri-paged-bench";
    std::map<int, Figures> figures;
    for (int side : {4, 16, 64})
    {
        const std::string folder = makeDatabase(work + "/" + std::to_string(side * side), side, tin);
        const Figures f = run(self, "--paged", folder);
        figures[side * side] = f;
        std::printf("paged terrain %d tiles: first frame %.2f s, peak memory %.0f MB, frame %.1f ms\n", side * side,
                    f.firstFrame, f.peak, f.frame);
        std::fflush(stdout);
    }
    const Figures& small = figures[16];
    const Figures& large = figures[4096];
    std::printf("paged terrain 4096 vs 16 tiles: first frame %.2f, peak memory %.2f, frame %.2f "
                "(goals 1.2, 1.5, 1.3)\n",
                large.firstFrame / small.firstFrame, large.peak / small.peak, large.frame / small.frame);
    const Figures& middle = figures[256];
    std::printf("paged terrain 4096 vs 256 tiles: first frame %.2f, peak memory %.2f, frame %.2f\n",
                large.firstFrame / middle.firstFrame, large.peak / middle.peak, large.frame / middle.frame);
    const Figures plain = run(self, "--plain", work + "/16");
    std::printf("plain terrain 16 tiles: first frame %.2f s, peak memory %.0f MB; its paged database: %.2f s, "
                "%.0f MB; ratio plain / paged %.2f\n",
                plain.firstFrame, plain.peak, small.firstFrame, small.peak, plain.firstFrame / small.firstFrame);
    return 0;
}
