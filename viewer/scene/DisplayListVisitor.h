#pragma once

#include <osg/NodeVisitor>

namespace osgTAVRI
{

// Switches display lists on or off for every geometry below the visited node. Geometry
// whose vertices are rewritten after creation must not be compiled into a display list,
// or the change would never show. Other drawables, such as texts, are left alone.
class DisplayListVisitor : public osg::NodeVisitor
{
public:
    explicit DisplayListVisitor(bool useDisplayList);

    META_NodeVisitor(osgTAVRI, DisplayListVisitor)

    using osg::NodeVisitor::apply;
    void apply(osg::Geode& geode) override;

private:
    bool useDisplayList;
};

} // namespace osgTAVRI
