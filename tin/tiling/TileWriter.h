#pragma once

#include <osg/Node>

#include <string>

namespace osgTAVRI
{

// Writes a tile's scene to `fileName` through AtomicFile, so that an interrupted run never
// leaves a half-written tile. Returns false and writes one line when the tile could not be
// written.
bool writeTile(const osg::Node& node, const std::string& fileName);

} // namespace osgTAVRI
