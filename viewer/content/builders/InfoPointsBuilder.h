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

// Builds the information points: the labels of every "csv" file of the folder, one group a
// file named after it, white text facing the viewer. Each label has its own LOD, so that it
// is hidden beyond visibleRange by its own distance, not by that of its file's centre. What it
// builds is stored as one scene file, which later starts load instead of the text files as
// long as no label file is newer and the set of label files is the same.
class InfoPointsBuilder
{
public:
    static constexpr float visibleRange = 7500.0f;

    struct Settings
    {
        std::string folder = "../Content/InfoPoints/";
        std::string storedPath = "../Content/InfoPoints/InfoPoints.ive";
        std::string fontFile = ResourcePaths::font;
    };

    InfoPointsBuilder();
    explicit InfoPointsBuilder(const Settings& settings);

    // Null when there is no folder, or there are label files and the label font cannot be read.
    osg::ref_ptr<osg::Group> build() const;

    // One file's labels: a group of one LOD a label, each holding a billboard with the label's
    // text at its point.
    static osg::ref_ptr<osg::Group> createLabels(const std::vector<LabelRecord>& labels, osgText::Font* font);

private:
    // The stored labels, or null when they are missing, unreadable or older than the files.
    osg::ref_ptr<osg::Group> readStored(const std::vector<std::string>& labelFiles) const;

    Settings settings;
};

// The information points of the installation's content tree, for the scene controller.
osg::ref_ptr<osg::Group> createInfoPoints();

} // namespace osgTAVRI
