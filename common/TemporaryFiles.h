#pragma once

#include <string>

namespace osgTAVRI
{

// Hidden temporary files that must not outlive the process. Each is created here under a
// name nobody else uses, and is either committed (renamed over its target) or discarded.
// After removeOnSignals(), SIGINT and SIGTERM remove every temporary still in flight before
// the process ends by that signal, so an interrupted program leaves only complete files.
namespace TemporaryFiles
{
// Creates "<prefix><random><suffix>" exclusively, writable, with mode 0666 less the umask,
// and registers it. Returns the open descriptor, or -1 (errno set) when it cannot.
int create(const std::string& prefix, const std::string& suffix, std::string& path);

// Renames the temporary over `target` and forgets it. False (errno set) when the rename
// fails; the temporary then stays registered for discard().
bool commit(const std::string& path, const std::string& target);

// Removes the temporary and forgets it.
void discard(const std::string& path);

// From now on SIGINT and SIGTERM remove the registered temporaries and then end the
// process as the signal would have. Call it before starting threads: the signals are
// blocked in the calling thread, every thread it starts later inherits that, and one
// thread of our own waits for them. Only the first call has an effect.
void removeOnSignals();
} // namespace TemporaryFiles

} // namespace osgTAVRI
