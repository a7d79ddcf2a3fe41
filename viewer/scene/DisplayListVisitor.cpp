#include "viewer/scene/DisplayListVisitor.h"

#include <osg/Geode>
#include <osg/Geometry>

namespace osgTAVRI
{

DisplayListVisitor::DisplayListVisitor(bool use) : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), useDisplayList(use) {}

void DisplayListVisitor::apply(osg::Geode& geode)
{
    for (unsigned int i = 0; i < geode.getNumDrawables(); ++i)
        if (osg::Geometry* geometry = geode.getDrawable(i)->asGeometry())
            geometry->setUseDisplayList(useDisplayList);
    traverse(geode);
}

} // namespace osgTAVRI
