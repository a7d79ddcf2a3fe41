#pragma once

#include "tests/viewer/ViewerHarness.h"

#include <osg/Geode>
#include <osg/Image>
#include <osg/Texture2D>
#include <osg/Vec3d>
#include <osg/Vec3i>
#include <osg/Vec4>

#include <string>

namespace osgTAVRI
{
class PlanarReflection;
class SeaDrawable;
} // namespace osgTAVRI

namespace tavritest
{

// A 320 x 240 window looking from `eye` at `centre`, with the water on or off and a red
// background, so that any pixel the sky or the sea leaves uncovered shows.
std::string waterConfiguration(const osg::Vec3d& eye, const osg::Vec3d& centre, bool water = true,
                               double windDirection = 250.0);
// The sea's data as built (the library's files and the sky faces) into the harness's tree.
void installSeaData(ViewerHarness& harness);

// A box of one colour, without lighting, so that its pixels are exactly that colour.
osg::ref_ptr<osg::Geode> unlitBox(const osg::Vec3& centre, float size, const osg::Vec4& colour);

osgTAVRI::SeaDrawable* findSea(osg::Group* scene);
osgTAVRI::PlanarReflection* findReflection(osg::Group* sceneRoot);

// Red, green, blue of a pixel (0 to 255); origin bottom left.
osg::Vec3i pixel(const osg::Image* image, int x, int y);
// The reflection camera's texture as it was drawn in the next frame (steps one frame).
osg::ref_ptr<osg::Image> readReflection(ViewerHarness& harness);

} // namespace tavritest
