#pragma once

#include <osg/AnimationPath>
#include <osg/ref_ptr>

#include <string>

namespace osgTAVRI
{

// Camera flights on disk, in the toolkit's own animation-path text: one line per pose, "time
// x y z qx qy qz qw", the camera's position and its orientation (camera to world), as
// osg::AnimationPath writes and reads it, so that the toolkit's viewers replay our files.
namespace PathFile
{

// The flight in `path`, or null with `error` set to one line naming the file and the first
// fault: unreadable, a line that is not eight numbers, a rotation of no length, times that do
// not increase, coordinates beyond any map, no pose at all. The toolkit's own reader takes
// whatever it finds without a word, so every file is checked here before it is used.
osg::ref_ptr<osg::AnimationPath> read(const std::string& path, std::string& error);
// The same for a file's text already in memory; `path` names it in the error.
osg::ref_ptr<osg::AnimationPath> parse(const std::string& text, const std::string& path, std::string& error);

// Writes the flight through the toolkit's writer, atomically; false when it cannot.
bool write(const osg::AnimationPath& flight, const std::string& path);

} // namespace PathFile

} // namespace osgTAVRI
