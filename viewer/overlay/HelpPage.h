#pragma once

#include <osg/Node>

#include <string>

namespace osgTAVRI
{

// The help page: the program's key bindings in Swedish, keys in one column and what they
// do in a second one, lined up line by line. Shown at start; its last line says how to
// close it.
namespace HelpPage
{
// The two columns, lines joined by line feeds, UTF-8.
const std::string& keyColumn();
const std::string& descriptionColumn();

// Height in pixels of a page that holds every line with the usual margins (500 for 24 lines).
int pageHeight();

// A page of width x height hanging from the node's origin: `background` (its lower left
// corner at the page's), the key column at (50, -50) and the description column at
// (380, -50), drawn once into a SnapshotNode whose content is a group of the background's
// place and the geode of the two texts, in that order. Null with one warning line when the
// font is missing.
osg::ref_ptr<osg::Node> makeHelpNode(int width, int height, osg::Node* background);
} // namespace HelpPage

} // namespace osgTAVRI
