#include "viewer/scene/DataVarianceVisitor.h"

namespace osgTAVRI
{

DataVarianceVisitor::DataVarianceVisitor(osg::Object::DataVariance variance)
    : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), dataVariance(variance)
{
}

void DataVarianceVisitor::apply(osg::Node& node)
{
    node.setDataVariance(dataVariance);
    traverse(node);
}

} // namespace osgTAVRI
