#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the fuzz targets share. Each target defines LLVMFuzzerTestOneInput and writeSeeds;
// started with --write-seeds=FOLDER it writes its seed inputs there and ends.
namespace tavrifuzz
{

// The seed inputs of one target, written as files into one folder.
class Seeds
{
public:
    explicit Seeds(const std::string& folder);

    void add(const std::string& name, const std::string& bytes);
    // A path in the folder for seeds that a library writes itself.
    std::string path(const std::string& name) const;

    // Files below `subfolder` of the shared data folder whose names end in one of
    // `suffixes` (compared without case); none when the folder is absent.
    static std::vector<std::string> sharedFiles(const std::string& subfolder,
                                                const std::vector<std::string>& suffixes);
    static std::string readFile(const std::string& path);

private:
    std::string folder;
};

// Defined by each target: its seeds, and the longest input it is given, or 0 to leave that to
// libFuzzer (4096 bytes, or the longest seed). Text formats keep theirs short: every record
// shape fits, and every byte costs a handful of instrumented comparisons.
void writeSeeds(Seeds& seeds);
extern const std::size_t maxInputLength;

// Messages are still formatted but go nowhere, so a flood of warnings costs no time, and no
// plugin is loaded from the machine: the targets test our readers, with their neighbours
// standing in where they need any.
void quietToolkit();

std::string bytesOf(const std::uint8_t* data, std::size_t size);

} // namespace tavrifuzz
