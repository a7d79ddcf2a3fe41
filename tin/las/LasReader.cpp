#include "tin/las/LasReader.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LazReader.h"

#include <algorithm>
#include <istream>

namespace osgTAVRI
{

namespace
{
// Records are loaded in blocks of about this many bytes.
const std::size_t blockBytes = 1 << 18;

std::string join(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}
} // namespace

LasReader::~LasReader() = default;

void LasReader::setThreads(unsigned count)
{
    if (laz)
        laz->setThreads(count);
}

LasReader::LasReader(std::istream& stream, const std::string& fileName)
    : in(stream), name(fileName)
{
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < 0)
        throw LasError("LasReader: " + name + ": file is not readable");

    header = LasHeader::read(in, std::uint64_t(end), name);
    const std::vector<std::string> problems = header.validate();
    if (!problems.empty())
        throw LasError("LasReader: " + name + ": damaged file: " + join(problems));
    if (header.isCompressed())
    {
        laz.reset(new LazReader(in, name, header));
        return;
    }

    // A small file needs no more than its own records.
    const std::uint64_t perBlock = std::max<std::size_t>(1, blockBytes / header.getRecordLength());
    const std::uint64_t records = std::max<std::uint64_t>(1, std::min(perBlock, header.getPointCount()));
    buffer.resize(std::size_t(records) * header.getRecordLength());
    in.clear();
    in.seekg(std::streamoff(header.getDataOffset()));
    if (!in)
        throw LasError("LasReader: " + name + ": cannot seek to the point data");
}

bool LasReader::fillBuffer()
{
    if (laz)
    {
        // Decoded a few records first, then more at a time: a reader that stops early
        // (a fuzzer, a caller after the first points) decodes little.
        lazSlice = std::min<std::size_t>(2 * lazSlice, std::max<std::size_t>(16, blockBytes / header.getRecordLength()));
        bufferRecords = laz->read(buffer, lazSlice);
        bufferPos = 0;
        return bufferRecords > 0;
    }
    const std::uint64_t left = header.getPointCount() - nextRecord;
    if (left == 0)
        return false;
    const std::size_t length = header.getRecordLength();
    const std::size_t count = std::size_t(std::min<std::uint64_t>(left, buffer.size() / length));
    in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(count * length));
    if (std::size_t(in.gcount()) != count * length)
        throw LasError("LasReader: " + name + ": point record " +
                       std::to_string(nextRecord + std::uint64_t(in.gcount()) / length) +
                       " is truncated");
    nextRecord += count;
    bufferRecords = count;
    bufferPos = 0;
    return true;
}

void LasReader::decode(const unsigned char* r)
{
    using namespace LasBytes;
    const unsigned char bits = r[14];
    std::uint16_t ret, count;
    std::uint8_t cls;
    if (header.hasExtendedReturns())
    {
        ret = bits & 0x0F;
        count = bits >> 4;
        cls = r[16];
    }
    else
    {
        ret = bits & 0x07;
        count = (bits >> 3) & 0x07;
        cls = r[15] & 0x1F;
    }
    point.set(i32(r) * header.getScaleX() + header.getOffsetX(),
              i32(r + 4) * header.getScaleY() + header.getOffsetY(),
              i32(r + 8) * header.getScaleZ() + header.getOffsetZ(), ret, count, cls);
    if (const unsigned at = LasHeader::colourOffset(header.getPointFormat()))
        point.setColour(u16(r + at), u16(r + at + 2), u16(r + at + 4));
}

bool LasReader::readNextPoint()
{
    for (;;)
    {
        if (bufferPos == bufferRecords && !fillBuffer())
            return false;
        decode(buffer.data() + bufferPos * header.getRecordLength());
        ++bufferPos;
        bool keep = true;
        for (const auto& f : filters)
            if (!f->filter(point))
            {
                keep = false;
                break;
            }
        if (keep)
            return true;
    }
}

} // namespace osgTAVRI
