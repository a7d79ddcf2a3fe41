#pragma once

#include "tin/las/LasFilter.h"
#include "tin/las/LasHeader.h"
#include "tin/las/LasPoint.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace osgTAVRI
{

class LazReader;

// Reads the point records of a LAS 1.0-1.4 file, formats 0 to 10, uncompressed or
// compressed (LAZ), from a seekable stream. The constructor reads and validates the header
// and throws LasError with the file's name when the file is damaged or holds what is not
// decoded; a file that passes is never read beyond the point block its header describes.
class LasReader
{
public:
    LasReader(std::istream& stream, const std::string& name);
    ~LasReader();

    // Threads that decode a compressed file's chunks at the same time (default 1).
    void setThreads(unsigned count);

    const LasHeader& getHeader() const { return header; }

    // Installs the filters, applied in list order to every later point.
    void setFilters(const LasFilterList& list) { filters = list; }

    // Advances to the next point that passes the filters; false at the end.
    // Throws LasError when a record cannot be read.
    bool readNextPoint();
    const LasPoint& getPoint() const { return point; }

private:
    bool fillBuffer();
    void decode(const unsigned char* record);

    std::istream& in;
    std::string name;
    LasHeader header;
    LasFilterList filters;
    LasPoint point;
    std::vector<unsigned char> buffer;
    std::unique_ptr<LazReader> laz;
    std::size_t lazSlice = 8;       // half the records decoded at the next fill
    std::uint64_t nextRecord = 0;   // index of the first record not yet loaded
    std::size_t bufferRecords = 0;  // records currently in the buffer
    std::size_t bufferPos = 0;      // next record in the buffer
};

} // namespace osgTAVRI
