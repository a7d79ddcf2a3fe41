#pragma once

#include <osg/NodeVisitor>

namespace osgTAVRI
{

// Gives every node below (and including) the visited one the same data variance. Nodes
// whose content the program changes after creation must be DYNAMIC so that the toolkit
// does not treat them as constant. Drawables and state sets keep their own variance.
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
