#include "tin/DelaunayTriangulator.h"

namespace osgTAVRI
{

DelaunayTriangulator::DelaunayTriangulator(osg::Vec3dArray* pointArray)
    : points(pointArray)
{
}

DelaunayTriangulator::~DelaunayTriangulator() = default;

void DelaunayTriangulator::addInputConstraint(DelaunayConstraint* constraint)
{
    if (constraint)
        constraints.push_back(constraint);
}

bool DelaunayTriangulator::triangulate()
{
    return false;
}

} // namespace osgTAVRI
