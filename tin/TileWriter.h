#pragma once

#include <osg/Node>

#include <string>

namespace osgTAVRI
{

// Writes a tile's scene to `fileName` atomically: the scene goes to a temporary name in
// the same folder, which is renamed over the target only after a complete write. An
// interrupted run therefore never leaves a half-written tile. Returns false and writes
// one line when the tile could not be written.
bool writeTile(const osg::Node& node, const std::string& fileName);

} // namespace osgTAVRI
