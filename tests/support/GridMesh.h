#pragma once

#include <osg/Array>
#include <osg/Geode>
#include <osg/ref_ptr>

namespace tavritest
{

// One triangle mesh over a grid of n x n vertices given row by row, two triangles
// a cell, wound counter-clockwise seen from above.
osg::ref_ptr<osg::Geode> makeGridMesh(osg::Vec3Array* vertices, int n);

// Rolling ground 1000 m square round the origin: n x n vertices, heights of +-`amplitude` m.
osg::ref_ptr<osg::Geode> makeRollingGround(int n, float amplitude);

} // namespace tavritest
