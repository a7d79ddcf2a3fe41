#pragma once

#include <string>

namespace osgTAVRI
{

// What the viewer's command line asks for: TAVRIview [--demo | <configuration.xml>].
struct ViewerOptions
{
    // The configuration read at start and written on F3.
    std::string configurationPath;
    // The folder that the configuration's relative model paths are read from; empty for the
    // working directory (Bin), against which the installation's own files are written.
    std::string modelFolder;
};

// Fills `options` from the command line. Without a file the configuration is the one the
// installation's state paths give; a file named on the command line, or the demo's with
// --demo, has its relative model paths read from its own folder. Unknown options are reported
// in one line and ignored. False when the program should end at once with `exitCode` (--help).
bool parseViewerOptions(int& argc, char** argv, ViewerOptions& options, int& exitCode);

} // namespace osgTAVRI
