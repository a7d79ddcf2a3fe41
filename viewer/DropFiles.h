#pragma once

#include <osgGA/GUIEventAdapter>

#include <string>
#include <vector>

namespace osgTAVRI
{

// Event type of a files-dropped event; it carries the full local paths in drop order.
const int DROP_FILES_EVENT = 0x20000;

// Builds a files-dropped event: what the window pushes onto its event queue after a drop.
osg::ref_ptr<osgGA::GUIEventAdapter> createDropEvent(const std::vector<std::string>& paths);

// The paths of a files-dropped event; empty for every other event.
std::vector<std::string> getDropFiles(const osgGA::GUIEventAdapter& ea);

} // namespace osgTAVRI
