// The installed demo's time to its first frame against osgviewer's on the same 16 terrain
// tiles. Each program starts as a user starts it, from the installation's Bin, with a
// preloaded library that ends it at its first buffer swap: the time to its exit is the time
// to its first frame. Runs alternate between the two, so that the load of a shared machine
// falls on both alike; the figures are medians.
#include "bench/Median.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace
{
using tavribench::median;
namespace fs = std::filesystem;

const int rounds = 5;

// Seconds from the start of `command` (run in `folder` with `preload`) to its exit; negative
// when it ended without a first frame.
double secondsToFirstSwap(const std::string& folder, const std::string& preload, const std::string& command)
{
    const std::string line = "cd '" + folder + "' && LD_PRELOAD='" + preload + "' " + command + " >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(line.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}
} // namespace

int main()
{
    const fs::path dist = TAVRI_DEMO_DIST;
    const fs::path preload = fs::canonical("/proc/self/exe").parent_path().parent_path() / "Bin-tools/first_swap.so";
    const fs::path terrain = dist / "Content/Terrain";
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "DemoFirstFrameBench: no X display (run it through scripts/run-bench.sh)\n");
        return 1;
    }
    if (!fs::exists(dist / "Bin/TAVRIview") || !fs::exists(terrain / "terrain.ive"))
    {
        std::printf("DemoFirstFrameBench: no demo in %s (make dist lays it out); skipped\n", dist.c_str());
        return 0;
    }
    if (!fs::exists(preload))
    {
        std::fprintf(stderr, "DemoFirstFrameBench: no %s\n", preload.c_str());
        return 1;
    }
    if (std::system("command -v osgviewer >/dev/null 2>&1") != 0)
    {
        std::fprintf(stderr, "DemoFirstFrameBench: osgviewer is not installed (openscenegraph)\n");
        return 1;
    }

    // The demo's plain tiles, which its paged root leads to.
    std::string tiles;
    int count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(terrain))
        if (entry.path().extension() == ".ive" && entry.path().filename() != "terrain.ive")
        {
            tiles += " '" + entry.path().string() + "'";
            ++count;
        }
    // osgviewer in a window of the viewer's default size, which the demo uses. Without the
    // viewer's four samples a pixel: on the software renderer they would slow the peer most,
    // as it draws every tile in full.
    const std::string peer = "osgviewer --window 0 0 1024 768" + tiles;

    std::vector<double> demo, osgviewer;
    for (int i = 0; i < rounds; ++i)
    {
        demo.push_back(secondsToFirstSwap((dist / "Bin").string(), preload.string(), "./TAVRIview"));
        osgviewer.push_back(secondsToFirstSwap((dist / "Bin").string(), preload.string(), peer));
        if (demo.back() < 0.0 || osgviewer.back() < 0.0)
        {
            std::fprintf(stderr, "DemoFirstFrameBench: %s ended without a frame\n",
                         demo.back() < 0.0 ? "TAVRIview" : "osgviewer");
            return 1;
        }
    }
    const double s = median(demo), t = median(osgviewer);
    std::printf("demo first frame %.2f s, osgviewer on the same %d tiles %.2f s, ratio %.2f (goal 1.2)\n", s, count,
                t, s / t);
    return 0;
}
