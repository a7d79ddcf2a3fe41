#pragma once

#include <osg/Geode>

#include <string>

namespace osgTAVRI
{

// The help page: the program's key bindings in Swedish, keys in one column and what they
// do in a second one, lined up line by line. Shown at start; its last line says how to
// close it.
class HelpPage
{
public:
    // The two columns, lines joined by line feeds, UTF-8.
    static const std::string& keyColumn();
    static const std::string& descriptionColumn();

    // Key column at (50, -50) and description column at (380, -50) from the page's upper
    // left corner. Null with one warning line when the font is missing.
    static osg::Geode* makeHelpNode();
};

} // namespace osgTAVRI
