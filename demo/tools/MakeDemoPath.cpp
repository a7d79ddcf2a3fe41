// Writes the demo's sample flight, Content/Paths/Demo.path: twelve seconds from the home view
// north over the valley, down towards the railway, turning to look along it. F9 plays it in
// the demo, and TAVRIview --video renders it.
//
// Usage: make_demo_path <dist>
#include "viewer/recording/PathFile.h"

#include <osg/Matrixd>
#include <osgDB/FileUtils>

#include <cstdio>
#include <string>

namespace
{
const double duration = 12.0;
const double step = 0.25; // between the written poses

osg::Vec3d lerp(const osg::Vec3d& a, const osg::Vec3d& b, double s) { return a + (b - a) * s; }

// Eases in and out, so the flight starts and ends at rest.
double ease(double s) { return s * s * (3.0 - 2.0 * s); }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: make_demo_path <dist>\n");
        return 1;
    }
    const std::string folder = std::string(argv[1]) + "/Content/Paths";
    osgDB::makeDirectory(folder);

    // The home view of the demo's configuration, then low over the valley's south side.
    const osg::Vec3d eyeStart(101000.0, 6399300.0, 420.0), eyeEnd(100650.0, 6400850.0, 150.0);
    const osg::Vec3d lookStart(101000.0, 6401000.0, 20.0), lookEnd(101500.0, 6401400.0, 25.0);
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    for (double t = 0.0; t <= duration + 1e-9; t += step)
    {
        const double s = ease(t / duration);
        const osg::Matrixd pose =
            osg::Matrixd::inverse(osg::Matrixd::lookAt(lerp(eyeStart, eyeEnd, s), lerp(lookStart, lookEnd, s), osg::Vec3d(0.0, 0.0, 1.0)));
        flight->insert(t, osg::AnimationPath::ControlPoint(pose.getTrans(), pose.getRotate()));
    }
    const std::string path = folder + "/Demo.path";
    if (!osgTAVRI::PathFile::write(*flight, path))
    {
        std::fprintf(stderr, "make_demo_path: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
