#pragma once

#include <string>

namespace osgTAVRI
{

// Where the viewer reads and writes its state. An installation tree that can be written (a
// build, make install, the demo) keeps everything in it, by paths relative to Bin, as it always
// has. A tree that cannot (a system-wide package) sends every kind of state to the user's own
// folders (XDG base directories), so that several people can use one installation:
//   configuration (F3)     $XDG_CONFIG_HOME/tavriview/Configuration.xml, seeded from the tree's
//   screenshots (F12)      the user's pictures folder
//   information points     $XDG_DATA_HOME/tavriview/InfoPoints.ive
//   recordings             $XDG_DATA_HOME/tavriview/Paths/
// Every function decides afresh from the file system and the environment; nothing is cached.
// A per-user folder is created when its path is asked for.
namespace StatePaths
{

// The tree counts as writable when its top folder and its Resources folder both are, as
// access(W_OK) answers: permissions, ACLs and read-only mounts all count.
bool isTreeWritable();

// The tree's own files, relative to Bin.
std::string treeConfigurationPath();
std::string demoConfigurationPath();

// The configuration read at start and written on F3. Per user, the file is first seeded with
// a copy of the tree's; when that cannot be done, the tree's file is read.
std::string configurationPath();
// Prefix of the F12 screenshots: the toolkit's writer adds "_<context>_<n>.jpg".
std::string screenshotPrefix();
// The stored information points, written once and read at later starts.
std::string infoPointsStore();
// The folder that recordings of paths go to.
std::string recordingsFolder();

// The user's folders: $XDG_CONFIG_HOME and $XDG_DATA_HOME when set to absolute paths, else
// ~/.config and ~/.local/share; the pictures folder named in user-dirs.dirs, else ~/Pictures.
std::string configHome();
std::string dataHome();
std::string picturesFolder();

} // namespace StatePaths

} // namespace osgTAVRI
