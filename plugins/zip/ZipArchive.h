#pragma once

#include <osg/Referenced>
#include <osg/ref_ptr>

#include <cstdint>
#include <string>
#include <vector>

struct zip;

namespace osgTAVRI
{

// A zip archive read from memory. Entries are inflated into memory on request and never
// written anywhere; an entry that inflates past maxEntrySize is refused.
class ZipArchive : public osg::Referenced
{
public:
    // 1 GiB: far above any real model or texture, far below what would exhaust the machine.
    static constexpr std::uint64_t maxEntrySize = std::uint64_t(1) << 30;
    // The most memory taken for an entry before any of it has inflated.
    static constexpr std::uint64_t initialBufferSize = std::uint64_t(1) << 20;

    // Takes the archive's bytes; `password` may be empty. Null with `error` set on failure.
    static osg::ref_ptr<ZipArchive> open(std::string bytes, const std::string& password, std::string& error);

    const std::vector<std::string>& getEntryNames() const { return names; }
    bool isDirectory(std::size_t index) const;

    // Index of the entry `name` ('\' and './' tolerated, case ignored if no exact match); -1 if none.
    int findEntry(const std::string& name) const;

    // Inflates entry `index` into `out`; false with `error` set on a bad password, damage or a bomb.
    // Throws std::bad_alloc when memory runs out.
    bool readEntry(std::size_t index, std::string& out, std::string& error) const;

protected:
    ZipArchive() = default;
    ~ZipArchive() override;
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    std::string data; // the archive; libzip reads it in place
    zip* archive = nullptr;
    std::vector<std::string> names;
};

} // namespace osgTAVRI
