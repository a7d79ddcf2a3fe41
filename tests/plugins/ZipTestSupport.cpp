#include "tests/plugins/ZipTestSupport.h"

#include "tests/support/TestSupport.h"

#include <osg/Group>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <zlib.h>

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace ziptest
{

namespace
{

void put16(std::string& out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

void makeZerosZip(const std::string& path, const std::string& entryName, std::uint64_t size)
{
    // After a full flush the compressor starts afresh, so every megabyte of zeros packs into the
    // same bytes: compress one and repeat it, instead of compressing the whole gigabyte.
    const std::uint64_t chunk = 1 << 20;
    const std::string zeros(chunk, '\0');
    z_stream zs;
    std::memset(&zs, 0, sizeof(zs));
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    auto pack = [&](std::uint64_t n, int flush) {
        std::string out(deflateBound(&zs, n) + 64, '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        zs.avail_in = static_cast<uInt>(n);
        zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
        zs.avail_out = static_cast<uInt>(out.size());
        deflate(&zs, flush);
        out.resize(out.size() - zs.avail_out);
        return out;
    };
    pack(chunk, Z_FULL_FLUSH); // primes the state, so the next block is the repeating one
    const std::string block = pack(chunk, Z_FULL_FLUSH);
    deflateEnd(&zs);
    std::memset(&zs, 0, sizeof(zs));
    deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string data;
    const std::uint64_t blocks = size / chunk;
    for (std::uint64_t i = 0; i < blocks; ++i)
        data += block;
    data += pack(size % chunk, Z_FINISH);
    deflateEnd(&zs);

    const uLong crcChunk = crc32(0L, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(chunk));
    uLong crc = 0;
    for (std::uint64_t i = 0; i < blocks; ++i)
        crc = crc32_combine(crc, crcChunk, static_cast<z_off_t>(chunk));
    crc = crc32_combine(crc, crc32(0L, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(size % chunk)),
                        static_cast<z_off_t>(size % chunk));

    std::string out;
    // From the flags to the extra field's length the local and the central header agree.
    auto putEntryFields = [&]() {
        put16(out, 0);
        put16(out, 8);
        put32(out, 0);
        put32(out, static_cast<std::uint32_t>(crc));
        put32(out, static_cast<std::uint32_t>(data.size()));
        put32(out, static_cast<std::uint32_t>(size));
        put16(out, static_cast<unsigned>(entryName.size()));
        put16(out, 0);
    };
    put32(out, 0x04034b50);
    put16(out, 20);
    putEntryFields();
    out += entryName;
    out += data;
    const std::size_t central = out.size();
    put32(out, 0x02014b50);
    put16(out, 20);
    put16(out, 20);
    putEntryFields();
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0);
    put32(out, 0);
    out += entryName;
    const std::size_t centralSize = out.size() - central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    put32(out, static_cast<std::uint32_t>(centralSize));
    put32(out, static_cast<std::uint32_t>(central));
    put16(out, 0);
    tavritest::writeFile(path, out);
}

std::string namedModel(const std::string& name)
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    group->setName(name);
    osgDB::ReaderWriter* rw = osgDB::Registry::instance()->getReaderWriterForExtension("osg");
    if (!rw)
        throw std::runtime_error("no osg writer");
    std::ostringstream out;
    rw->writeNode(*group, out);
    return out.str();
}

osg::ref_ptr<osg::Node> readZip(const std::string& path, const std::string& password)
{
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_NONE);
    if (!password.empty())
    {
        osg::ref_ptr<osgDB::AuthenticationMap> map = new osgDB::AuthenticationMap;
        map->addAuthenticationDetails("ZipPlugin", new osgDB::AuthenticationDetails("", password));
        options->setAuthenticationMap(map.get());
    }
    return osgDB::readRefNodeFile(path, options.get());
}

void usePluginsOfThisBuild()
{
    osgDB::FilePathList& paths = osgDB::Registry::instance()->getLibraryFilePathList();
    if (paths.empty() || paths.front() != tavritest::buildDir())
        paths.push_front(tavritest::buildDir());
}

namespace
{

// Calls patch(offset) with the offset of a field in every local header and every central one.
template <class Patch>
void patchHeaders(std::string& archive, std::size_t localField, std::size_t centralField, Patch patch)
{
    for (std::size_t i = 0; i + 46 <= archive.size(); ++i)
    {
        if (archive.compare(i, 4, "PK\x03\x04") == 0)
            patch(i + localField);
        else if (archive.compare(i, 4, "PK\x01\x02") == 0)
            patch(i + centralField);
    }
}

} // namespace

void patchUncompressedSizes(std::string& archive, std::uint32_t size)
{
    patchHeaders(archive, 22, 24, [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            archive[at + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    });
}

void setEntryFlags(std::string& archive, unsigned bits)
{
    patchHeaders(archive, 6, 8, [&](std::size_t at) {
        archive[at] = static_cast<char>(archive[at] | (bits & 0xFF));
        archive[at + 1] = static_cast<char>(archive[at + 1] | ((bits >> 8) & 0xFF));
    });
}

} // namespace ziptest
