#pragma once

#include "tests/support/TestSupport.h"
#include "viewer/content/builders/InfoPointsBuilder.h"
#include "viewer/content/builders/PowerlineBuilder.h"

#include <osg/Billboard>
#include <osg/Node>
#include <osgText/Text>

#include <string>
#include <vector>

namespace tavritest
{

// A content tree laid out like an installation in a temporary folder: Bin, the label font in
// Resources/Fonts, and Content/Powerline (with Building_blocks) and Content/InfoPoints.
class ContentTree
{
public:
    ContentTree();

    std::string path(const std::string& relative) const { return temp.file(relative); }
    std::string bin() const { return path("Bin"); }
    std::string powerline() const { return path("Content/Powerline/"); }
    std::string infoPoints() const { return path("Content/InfoPoints/"); }

    void write(const std::string& relative, const std::string& text) const;
    // A building block whose four vertices mark its frame: the origin, (0, 0, -1) at the end
    // of its unit length, and (1, 0, 0) and (0, 1, 0) on its X and Y axes, in that order.
    void writeMarkerBlock(const std::string& name) const;

    osgTAVRI::PowerlineBuilder::Settings powerlineSettings() const;
    osgTAVRI::InfoPointsBuilder::Settings infoPointsSettings() const;

private:
    TempDir temp;
};

// The vertices of every geometry below `root` (billboards left out), in root coordinates.
std::vector<std::vector<osg::Vec3d>> geometryVertices(osg::Node* root);

// A text label of a billboard below `root`, with its point in root coordinates.
struct PlacedText
{
    std::string text;
    osg::Vec3d position;
    const osgText::Text* drawable;
    const osg::Billboard* billboard;
};
std::vector<PlacedText> placedTexts(osg::Node* root);

// The nodes below `root` (itself included) whose name begins with `prefix`, in traversal order.
std::vector<osg::Node*> findNamed(osg::Node* root, const std::string& prefix);

} // namespace tavritest
