#include "tests/fuzz/FuzzSupport.h"

#include "viewer/recording/PathFile.h"
#include "viewer/recording/PathInterpolator.h"

#include <cstdlib>
#include <sstream>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 2048;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    for (int i = 0; i < 4; ++i)
        flight->insert(0.25 * i, osg::AnimationPath::ControlPoint(osg::Vec3d(101000.5 + i, 6399300.0, 420.0),
                                                                  osg::Quat(0.1 * i, osg::Z_AXIS)));
    std::ostringstream out;
    flight->write(out);
    seeds.add("flight.path", out.str());
    seeds.add("flight-damaged.path", "0 1 2 3 0 0 0 1\r\n1e308 1 2 3 0 0 0 0\n0.5 nan 1 1 1 1 1 1\n0.2 1 2 3 0 0 1 0 7\n");
}

// A flight that the reader accepts has increasing times and unit rotations, and every pose
// between its ends is finite.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    osg::ref_ptr<osg::AnimationPath> flight = PathFile::parse(tavrifuzz::bytesOf(data, size), "fuzz.path", error);
    if (!flight)
    {
        if (error.empty() || error.find('\n') != std::string::npos)
            std::abort(); // every refusal is one line
        return 0;
    }
    const PathInterpolator poses(*flight);
    for (int i = 0; i <= 8; ++i)
    {
        const double t = poses.getStartTime() + (poses.getEndTime() - poses.getStartTime()) * i / 8.0;
        if (!poses.poseAt(t).valid())
            std::abort();
    }
    return 0;
}
