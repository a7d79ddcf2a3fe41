#pragma once

#include <osg/Node>

#include <cstdint>
#include <string>
#include <vector>

// Helpers for the plugin tests: archives made with libzip and models written by the toolkit.
namespace ziptest
{

struct Entry
{
    std::string name;
    std::string data;
};

enum class Encryption
{
    None,
    Pkware,
    Aes256
};

// Writes a zip archive with libzip; every entry is encrypted as asked.
void makeZip(const std::string& path, const std::vector<Entry>& entries, Encryption encryption = Encryption::None,
             const std::string& password = "");

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

} // namespace ziptest
