#include "tests/viewer/overlay/OverlayFixture.h"

#include <cmath>
#include <stdexcept>

namespace tavritest
{

std::string windowConfiguration(int width, int height, const std::string& more)
{
    return "<Window x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
           "\" numSamples=\"0\"/>" + more;
}

void installOverlayResources(ViewerHarness& harness)
{
    const std::string resources = distDir() + "/Resources";
    if (!fileExists(resources + "/Images/Panel_0.png") || !fileExists(resources + "/Fonts/arial.ttf"))
        throw std::runtime_error("no overlay images or font in " + resources + " (make dist)");
    harness.copyIntoTree(resources + "/Images", "Resources/Images");
    harness.copyIntoTree(resources + "/Fonts", "Resources/Fonts");
}

void startWithOverlay(ViewerHarness& harness, int width, int height, const std::string& more)
{
    installOverlayResources(harness);
    harness.writeConfiguration(windowConfiguration(width, height, more));
    harness.setup();
    harness.frame();
}

osg::Vec2i origin(const osg::MatrixTransform* transform)
{
    const osg::Vec3d t = transform->getMatrix().getTrans();
    return osg::Vec2i(static_cast<int>(std::lround(t.x())), static_cast<int>(std::lround(t.y())));
}

osg::Geode* childGeode(osg::MatrixTransform* transform)
{
    return transform && transform->getNumChildren() > 0 ? transform->getChild(0)->asGeode() : nullptr;
}

} // namespace tavritest
