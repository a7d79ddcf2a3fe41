#pragma once

#include <osg/Group>
#include "viewer/ResourcePaths.h"
#include <osg/Vec3d>

#include <string>

namespace osgTAVRI
{

// Builds the power line from the content tree: the pylons of the pylon list, assembled from
// building blocks (PylonBuilder), and the conductors of the wire files (ConductorBuilder),
// under one group that the optimiser has been over.
class PowerlineBuilder
{
public:
    struct Settings
    {
        std::string folder = "../Content/Powerline/";
        std::string pylonList = "Koordinatlista_Stolpar_TavriView.txt";
        std::string blockFolder = "Building_blocks/"; // inside `folder`
        std::string fontFile = ResourcePaths::font;
        osg::Vec3d offset; // subtracted from the world coordinates of the files
    };

    PowerlineBuilder();
    explicit PowerlineBuilder(const Settings& settings);

    // Null when the pylon list cannot be opened or the label font cannot be read.
    osg::ref_ptr<osg::Group> build() const;

private:
    Settings settings;
};

} // namespace osgTAVRI
