#pragma once

#include <osgGA/GUIEventAdapter>

#include <string>
#include <vector>

namespace osgTAVRI
{

// Event type of a files-dropped event; it carries the full local paths in drop order.
// Toolkit builds with a native drop event number it 0x20000, one past the stock toolkit's last
// event type; storing that in the stock EventType is undefined behaviour, so here it is USER,
// told apart from other user events by the path list it carries.
const osgGA::GUIEventAdapter::EventType dropFilesEvent = osgGA::GUIEventAdapter::USER;

// Builds a files-dropped event: what the window pushes onto its event queue after a drop.
osg::ref_ptr<osgGA::GUIEventAdapter> createDropEvent(const std::vector<std::string>& paths);

// True for a files-dropped event made by createDropEvent.
bool isDropEvent(const osgGA::GUIEventAdapter& ea);

// The paths of a files-dropped event; empty for every other event.
std::vector<std::string> getDropFiles(const osgGA::GUIEventAdapter& ea);

} // namespace osgTAVRI
