#include "tests/tin/TinTestSupport.h"

#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tintest
{

std::string writeLas(const std::string& path, const std::vector<SynthPoint>& points,
                     const osgTAVRI::LasWriter::Settings& settings)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter writer(out, settings);
    for (const SynthPoint& p : points)
        writer.addPoint(p.x, p.y, p.z, p.ret, p.returns);
    writer.finish();
    return path;
}

namespace
{
// The reference file is pretty-printed JSON with one object per file; a key's value
// is read from the text that follows it within that object.
std::string valueAfter(const std::string& object, const std::string& key)
{
    const std::size_t at = object.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    std::size_t start = at + key.size() + 3;
    while (start < object.size() && (object[start] == ' ' || object[start] == '\n'))
        ++start;
    std::size_t end = start;
    if (object[start] == '[')
        end = object.find(']', start) + 1;
    else
        while (end < object.size() && object[end] != ',' && object[end] != '\n')
            ++end;
    return object.substr(start, end - start);
}

template <typename T>
void readTriple(const std::string& text, T out[3])
{
    std::string s = text;
    for (char& c : s)
        if (c == '[' || c == ']' || c == ',' || c == '"')
            c = ' ';
    std::istringstream in(s);
    in >> out[0] >> out[1] >> out[2];
}
} // namespace

std::vector<LasReference> loadLasReference(const std::string& jsonPath)
{
    const std::string text = tavritest::readFile(jsonPath);
    std::vector<LasReference> refs;
    std::size_t at = text.find("\"file\":");
    while (at != std::string::npos)
    {
        const std::size_t next = text.find("\"file\":", at + 1);
        const std::string object = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        LasReference ref;
        std::string name = valueAfter(object, "file");
        ref.file = name.substr(1, name.size() - 2);
        ref.compressed = valueAfter(object, "compressed_bit7") == "true";
        ref.pointsInFile = std::atoll(valueAfter(object, "points_in_file").c_str());
        const std::string count64 = valueAfter(object, "point_count_64");
        ref.claimedPoints = std::atoll(
            (count64 == "null" ? valueAfter(object, "legacy_point_count") : count64).c_str());
        ref.firstReturns = std::atoll(valueAfter(object, "return1_first_1M").c_str());
        readTriple(valueAfter(object, "sum_raw_XYZ"), ref.sumRaw);
        readTriple(valueAfter(object, "scale"), ref.scale);
        readTriple(valueAfter(object, "offset"), ref.offset);
        refs.push_back(ref);
        at = next;
    }
    return refs;
}

std::string tinProgram() { return tavritest::buildDir() + "/Bin/tin"; }

} // namespace tintest
