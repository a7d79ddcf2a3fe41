#pragma once

#include <osg/Geode>

namespace osgTAVRI
{

// The legend: one image that explains the symbols and colours of the scene's layers.
class Legend
{
public:
    // The image node of "Legend.png" and its size; null with one line when it is missing.
    static osg::Geode* makeLegendNode(int& legendWidth, int& legendHeight);
};

} // namespace osgTAVRI
