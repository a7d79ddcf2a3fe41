#include "tests/viewer/SceneProbe.h"

#include "viewer/navigation/NavigationController.h"

#include <cstdlib>

#include <unistd.h>

namespace tavritest
{

std::string smallWindowConfiguration()
{
    return "<Window title=\"SceneProbe\" x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n";
}

void lookAt(ViewerHarness& h, const osg::BoundingSphere& sphere)
{
    // From the south-east and above, so that flat and long models show a broad side.
    const double distance = std::max(2.5 * sphere.radius(), 5.0);
    const osg::Vec3d center = sphere.center();
    osg::Vec3d direction(1.0, -1.0, 0.8);
    direction.normalize();
    h.navigationController()->setHome(center + direction * distance, center);
    h.navigationController()->home();
}

int differingPixels(const osg::Image& a, const osg::Image& b, int threshold)
{
    if (a.s() != b.s() || a.t() != b.t())
        return -1;
    int count = 0;
    for (int y = 0; y < a.t(); ++y)
        for (int x = 0; x < a.s(); ++x)
        {
            const unsigned char* p = a.data(x, y);
            const unsigned char* q = b.data(x, y);
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(p[c]) - int(q[c])) > threshold)
                {
                    ++count;
                    break;
                }
        }
    return count;
}

void pauseBriefly() { usleep(5000); }

} // namespace tavritest
