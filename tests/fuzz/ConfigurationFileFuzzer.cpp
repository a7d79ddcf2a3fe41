#include "tests/fuzz/FuzzSupport.h"

#include "viewer/ConfigurationFile.h"
#include "viewer/scene/SceneController.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"

#include <osg/Group>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    seeds.add("demo.xml", Seeds::readFile(TAVRI_SOURCE_DIR "/demo/Configuration.xml"));
    seeds.add("every-element.xml",
              "<Overlay useGeoCoords=\"1\" offsetX=\"100000\" offsetY=\"6400000\" offsetZ=\"-2.5\"/>\n"
              "<Scene loadInfoPoints=\"1\" generatePowerline=\"0\">\n"
              "  <Model name=\"Terrain\" filename=\"../Content/Terrain.ive\" layerNum=\"2\" visible=\"1\"/>\n"
              "  <Model filename=\"rails.zip\" layerNum=\"1000\" visible=\"0\"/>\n"
              "</Scene>\n"
              "<Environment backgroundColorRed=\"0.55\" backgroundColorGreen=\"0.7\" backgroundColorBlue=\"0.9\" "
              "enableWater=\"1\" seaState=\"3\" windDirection=\"250\"/>\n"
              "<Navigation homeEyeX=\"101000\" homeEyeY=\"6399300\" homeEyeZ=\"420\" homeCenterX=\"101000\" "
              "homeCenterY=\"6401000\" homeCenterZ=\"20\"/>\n"
              "<Window title=\"TAVRIview\" x=\"10\" y=\"20\" width=\"800\" height=\"600\" maximized=\"0\" "
              "fullscreen=\"1\" screenNum=\"0\" numSamples=\"4\" stereo=\"0\"/>\n");
    seeds.add("damaged.xml", "<Scene><Model name=\"a\" filename=\"\" layerNum=\"-1e99\"/><Model/></Scene>"
                             "<Environment seaState=\"nan\" windDirection=\"inf\"/><Navigation homeEyeX=\"1e400\"");
}

namespace
{

// The controllers a configuration is handed to, without a window.
struct Controllers
{
    osg::ref_ptr<OverlayController> overlay = new OverlayController;
    osg::ref_ptr<SceneController> scene = new SceneController(new osg::Group);
    osg::ref_ptr<EnvironmentController> environment = new EnvironmentController;
    osg::ref_ptr<NavigationController> navigation = new NavigationController;

    ConfigurationFile::Controllers all() const
    {
        return {overlay.get(), scene.get(), environment.get(), navigation.get(), nullptr};
    }
};

// The same settings: the same text, apart from numbers within rounding of each other (a saved
// view is recomputed from the camera's matrix, which at grid coordinates is exact to about
// 1e-9 m).
bool sameSettings(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
    {
        char* endA = nullptr;
        char* endB = nullptr;
        const double x = std::strtod(a.c_str() + i, &endA);
        const double y = std::strtod(b.c_str() + j, &endB);
        if (a[i] == '"' || endA == a.c_str() + i || endB == b.c_str() + j)
        {
            if (a[i] != b[j])
                return false;
            ++i;
            ++j;
            continue;
        }
        if (std::fabs(x - y) > 1e-6 + 1e-9 * std::max(std::fabs(x), std::fabs(y)))
            return false;
        i = endA - a.c_str();
        j = endB - b.c_str();
    }
    return i == a.size() && j == b.size();
}

} // namespace

// Whatever a file holds, what the controllers took from it is written back as a file that reads
// as the same settings: saving, loading that and saving again gives the same file. The text is
// read as load reads a file's text, in memory: writing files for every input would cost more
// than all the reading.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool quiet = (tavrifuzz::quietToolkit(), true);
    (void)quiet;

    Controllers read;
    ConfigurationFile::loadText(tavrifuzz::bytesOf(data, size), "TAVRIview.config", read.all());
    const std::string first = ConfigurationFile::format(read.all());
    Controllers again;
    ConfigurationFile::loadText(first, "first.config", again.all());
    if (!sameSettings(first, ConfigurationFile::format(again.all())))
        std::abort();
    return 0;
}
