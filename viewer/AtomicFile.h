#pragma once

#include <string>

namespace osgTAVRI
{

// Replaces a file as a whole or not at all: the text goes to a temporary file in the same
// folder, is flushed to disk and then renamed over the target. A crash, a full disk or an
// unwritable folder leaves the old file as it was.
class AtomicFile
{
public:
    // False (and the old file untouched) when any step fails, or when the target exists
    // but is not writable: a read-only file stays read-only.
    static bool write(const std::string& path, const std::string& contents);
};

} // namespace osgTAVRI
