#pragma once

#include "viewer/content/readers/LabelFile.h"
#include "viewer/ResourcePaths.h"

#include <osg/Group>
#include <osg/LOD>
#include <osgText/Font>

#include <string>
#include <vector>

namespace osgTAVRI
{

// Builds the information points: the labels of every "csv" file of the folder, one LOD with
// one billboard a file, white text facing the viewer and hidden beyond visibleRange. What it
// builds is stored in the folder as one scene file, which later starts load instead of the
// text files; delete it to take changed files in.
class InfoPointsBuilder
{
public:
    static constexpr float visibleRange = 7500.0f;

    struct Settings
    {
        std::string folder = "../Content/InfoPoints/";
        std::string storedFile = "InfoPoints.ive"; // inside `folder`
        std::string fontFile = ResourcePaths::font;
    };

    InfoPointsBuilder();
    explicit InfoPointsBuilder(const Settings& settings);

    // Null when there is no folder, or the label font cannot be read.
    osg::ref_ptr<osg::Group> build() const;

    // One file's labels: an LOD holding one billboard with a text at each label's point.
    static osg::ref_ptr<osg::LOD> createLabels(const std::vector<LabelRecord>& labels, osgText::Font* font);

private:
    Settings settings;
};

// The information points of the installation's content tree, for the scene controller.
osg::ref_ptr<osg::Group> createInfoPoints();

} // namespace osgTAVRI
