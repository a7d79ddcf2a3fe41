#pragma once

#include "tests/viewer/ViewerHarness.h"

#include <osg/Geode>
#include <osg/MatrixTransform>

#include <string>

namespace tavritest
{

// A viewer whose tree holds the installed overlay font and images, in a window that fills
// the test's 1280 x 1024 screen unless the test asks for another size.
std::string windowConfiguration(int width, int height, const std::string& more = "");
void installOverlayResources(ViewerHarness& harness);
// Installs the resources, writes the configuration, sets the viewer up and steps the first
// frame, in which the overlay is built.
void startWithOverlay(ViewerHarness& harness, int width, int height, const std::string& more = "");

// Where a transform puts its origin, in whole pixels.
osg::Vec2i origin(const osg::MatrixTransform* transform);
osg::Geode* childGeode(osg::MatrixTransform* transform);

} // namespace tavritest
