#pragma once

#include <osg/Image>
#include <osg/Node>

#include <string>

namespace osgTAVRI
{

// Scene files and images written as a whole or not at all, through AtomicFile.
namespace AtomicSceneFile
{
// Serialises the node with the writer plugin of the path's extension (e.g. ive) and writes
// the bytes atomically. False when no plugin can write the node to a stream.
bool writeNode(const osg::Node& node, const std::string& path);

// The same for an image, e.g. a ".png" that a generator writes.
bool writeImage(const osg::Image& image, const std::string& path);
} // namespace AtomicSceneFile

} // namespace osgTAVRI
