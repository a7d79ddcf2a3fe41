#include "common/TemporaryFiles.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
// One lock covers creating, renaming and removing, so the signal thread, once it holds the
// lock, sees every temporary that exists and no new one can appear.
struct Registry
{
    std::mutex mutex;
    std::set<std::string> paths;
};

Registry& registry()
{
    // Never destroyed: a signal may arrive while static objects are being torn down.
    static Registry* instance = new Registry;
    return *instance;
}

void waitForSignals(sigset_t signals)
{
    int sig = 0;
    while (sigwait(&signals, &sig) != 0)
        ;
    Registry& r = registry();
    r.mutex.lock(); // held until the end: nothing is created or renamed any more
    for (const std::string& path : r.paths)
        ::unlink(path.c_str());
    std::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    _exit(128 + sig); // not reached: the default action ends the process
}
} // namespace

int TemporaryFiles::create(const std::string& prefix, const std::string& suffix, std::string& path)
{
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    Registry& r = registry();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char middle[32];
        std::snprintf(middle, sizeof middle, "%08x%04x", entropy(), counter++ & 0xFFFFu);
        const std::string candidate = prefix + middle + suffix;
        std::lock_guard<std::mutex> lock(r.mutex);
        // O_EXCL with mode 0666 lets the kernel apply the umask; reading the process-wide
        // umask would race with other threads.
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            r.paths.insert(candidate);
            path = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

bool TemporaryFiles::commit(const std::string& path, const std::string& target)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (std::rename(path.c_str(), target.c_str()) != 0)
        return false;
    r.paths.erase(path);
    return true;
}

void TemporaryFiles::discard(const std::string& path)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    ::unlink(path.c_str());
    r.paths.erase(path);
}

void TemporaryFiles::removeOnSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registry();
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        std::thread(waitForSignals, signals).detach();
    });
}

} // namespace osgTAVRI
