#pragma once

#include "tests/plugins/ZipMaker.h"

#include <osg/Node>

#include <cstdint>
#include <string>
#include <vector>

// Helpers for the plugin tests: archives made with libzip and models written by the toolkit.
namespace ziptest
{

// An archive with one deflated entry of `size` zero bytes (sizes below 4 GiB).
void makeZerosZip(const std::string& path, const std::string& entryName, std::uint64_t size);

// An .osg file (as bytes) holding an empty group with the given name.
std::string namedModel(const std::string& name);

// Reads a zip through the registry with caching off and `password` (none when empty) as "ZipPlugin".
osg::ref_ptr<osg::Node> readZip(const std::string& path, const std::string& password);

// Makes the build's plugins findable even when a test binary is started by hand.
void usePluginsOfThisBuild();

// Overwrites the recorded uncompressed size of every entry (local and central headers).
void patchUncompressedSizes(std::string& archive, std::uint32_t size);

// Sets `bits` in the general-purpose flags of every entry (local and central headers).
void setEntryFlags(std::string& archive, unsigned bits);

} // namespace ziptest
