#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace osgTAVRI
{

// Replaces a file as a whole or not at all: the bytes go to a hidden temporary file in the
// same folder (".<name>.<random>.part", which no "*.<ext>" pattern matches), are flushed to
// disk and then renamed over the target. A crash, a full disk or an unwritable folder leaves
// the old file as it was; the temporary is one of TemporaryFiles, so a program that asked
// for it also removes the temporary when SIGINT or SIGTERM ends it. The viewer's
// configuration, tin's tiles and the generated content are all written through here (scene
// files and images through AtomicSceneFile).
namespace AtomicFile
{
// False (and the old file untouched) when any step fails, or when the target exists but is
// not writable: a read-only file stays read-only. A new file gets the mode that the
// process's umask gives; a replaced one keeps its mode.
bool write(const std::string& path, const std::string& contents);

// The same for the bytes that `fill` writes to the stream as it goes, in large blocks, so that
// a file never sits whole in memory beside what it is made from. False when `fill` does.
bool writeStream(const std::string& path, const std::function<bool(std::ostream&)>& fill);

// The hidden temporary name used for path; exposed so that callers can clean up after an
// interrupted run and tests can see what a crash would leave.
std::string temporaryPrefix(const std::string& path);
} // namespace AtomicFile

} // namespace osgTAVRI
