#pragma once

#include <osg/Group>
#include <osg/Vec4>

namespace osgTAVRI
{

// A stretchable background panel drawn from nine images, "Panel_0.png" to "Panel_8.png":
// four fixed 16 x 16 corners, four edges stretched along their side and a centre stretched
// both ways. Child k of the group is the cell in column k mod 3 and row k div 3, counted
// from the lower left corner. The panel covers (0, 0) to (width, height) just behind the
// overlay's texts and images.
namespace ImagePanel
{
constexpr int cornerSize = 16;
constexpr int minimumSize = 2 * cornerSize;

// Null with one warning line when a side is below 32 pixels. A missing cell image is
// not reported: that cell draws in the panel colour alone.
osg::ref_ptr<osg::Group> makePanel(int width, int height, const osg::Vec4& colour);
// Lays the cells out for a new size; a side below 32 pixels leaves the panel as it was.
void resizePanel(osg::Group* panel, int width, int height);
} // namespace ImagePanel

} // namespace osgTAVRI
