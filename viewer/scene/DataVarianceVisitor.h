#pragma once

#include <osg/NodeVisitor>

namespace osgTAVRI
{

// Gives every node below (and including) the visited one the same data variance. Nodes
// whose content the program changes after creation must be DYNAMIC so that the toolkit
// does not treat them as constant. In this toolkit a drawable is a node, so geometries and
// texts are marked too, and that is the point: with a draw thread, the viewer starts the next
// frame's event and update traversals, which rewrite those vertices, only after every DYNAMIC
// drawable of this frame has been drawn.
// State sets are not nodes and keep their own variance.
class DataVarianceVisitor : public osg::NodeVisitor
{
public:
    explicit DataVarianceVisitor(osg::Object::DataVariance dataVariance);

    META_NodeVisitor(osgTAVRI, DataVarianceVisitor)

    using osg::NodeVisitor::apply;
    void apply(osg::Node& node) override;

private:
    osg::Object::DataVariance dataVariance;
};

} // namespace osgTAVRI
