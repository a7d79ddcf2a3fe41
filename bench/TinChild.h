#pragma once

// tin run as a child process, for the benchmarks that time the whole program from outside.

#include <osg/Timer>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavribench
{

struct ChildRun
{
    double seconds = 0.0;
    double processor = 0.0; // user and system time
    long peakMB = 0;
    bool ok = false;
};

inline std::string ourTin()
{
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string exe(self, n > 0 ? std::size_t(n) : 0);
    return exe.substr(0, exe.rfind('/')) + "/../Bin/tin";
}

// Runs `tin` (by default the installed-like <build>/Bin/tin) in `dir` as a child, for its wall
// and processor time and its peak resident memory.
inline ChildRun runTinChild(const std::string& dir, const std::vector<std::string>& args, const std::string& tin = ourTin())
{
    std::vector<std::string> all{tin};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::fflush(stdout);
    const double t = osg::Timer::instance()->time_s();
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int quiet = open("/dev/null", O_WRONLY);
        if (chdir(dir.c_str()) != 0 || quiet < 0 || dup2(quiet, STDOUT_FILENO) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.seconds = osg::Timer::instance()->time_s() - t;
    run.processor = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    run.peakMB = usage.ru_maxrss / 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

} // namespace tavribench
