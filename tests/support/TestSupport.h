#pragma once

#include <gtest/gtest.h>

#include <osg/Notify>
#include <osg/ref_ptr>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Shared helpers for every test: paths, temporary folders, an Xvfb of our own,
// and child processes with captured output.
namespace tavritest
{

std::string sourceDir();
std::string buildDir();
std::string distDir();      // installation tree that `make install` laid out
std::string toolPath(const std::string& name); // <build>/test-tools/<name>

// ../shared/data beside the repository; absent in a user's clone.
std::string sharedData();
bool hasSharedData();

#define TAVRI_REQUIRE_SHARED_DATA()                                                   \
    do {                                                                              \
        if (!tavritest::hasSharedData())                                              \
            GTEST_SKIP() << "shared data folder " << tavritest::sharedData()          \
                         << " is absent; real-data test skipped";                     \
    } while (0)

// A fresh folder below /tmp, removed with everything in it on destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
};

// An X server of our own (Xvfb with GLX), ended with this object or with the test process.
// It is ready for clients when the constructor returns, and it never resets: a server that
// resets when its last client leaves refuses the clients that come in the meantime.
class XvfbServer
{
public:
    explicit XvfbServer(const std::string& screen = "1280x1024x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    const std::string& display() const { return name; } // ":<number>"

private:
    int pid = -1;
    std::string name;
};

// Starts one XvfbServer per process (1280 x 1024 x 24) and points DISPLAY at it.
// Always our own server, never an inherited display, so runs are repeatable.
void ensureDisplay();
std::string displayName();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
std::vector<std::string> listDir(const std::string& path);

// Collects the toolkit's notification lines while it lives; `level` is the notify level
// set meanwhile (the previous handler and level come back on destruction).
class NotifyCapture
{
public:
    explicit NotifyCapture(osg::NotifySeverity level = osg::INFO);
    ~NotifyCapture();
    NotifyCapture(const NotifyCapture&) = delete;
    NotifyCapture& operator=(const NotifyCapture&) = delete;

    struct Line
    {
        osg::NotifySeverity severity;
        std::string text;
    };
    // Every line, line ends removed.
    std::vector<Line> lines() const;
    // The texts of the non-empty lines at `severity` or more severe.
    std::vector<std::string> texts(osg::NotifySeverity severity = osg::DEBUG_FP) const;
    // The non-empty texts that contain `text`.
    std::vector<std::string> linesWith(const std::string& text) const;
    // True when some line at `severity` or more severe contains `text`.
    bool contains(const std::string& text, osg::NotifySeverity severity = osg::DEBUG_FP) const;
    std::string all() const;

    class Handler;

private:
    osg::ref_ptr<osg::NotifyHandler> previousHandler;
    osg::NotifySeverity previousLevel;
    osg::ref_ptr<Handler> handler;
};

// Copies the installation tree (Bin, Resources, Content) into `target`.
void copyInstallation(const std::string& target);

// A child process with its standard output and error captured to files.
class Process
{
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts argv[0] (a path) in `cwd` with extra environment variables.
    void start(const std::vector<std::string>& argv, const std::string& cwd = "",
               const std::map<std::string, std::string>& env = {});
    // Waits up to `seconds`; true and the exit code (or 128+signal) when it ended.
    bool wait(double seconds, int& exitCode);
    bool running();
    void kill();
    std::string output() const;      // standard output so far
    std::string errorOutput() const; // standard error so far
    int pid() const { return childPid; }

private:
    int childPid = -1;
    bool finished = false;
    int status = 0;
    std::unique_ptr<TempDir> logs;
};

struct RunResult
{
    int exitCode = -1;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs a program to its end (killed after `timeout` seconds).
RunResult run(const std::vector<std::string>& argv, const std::string& cwd = "",
              double timeout = 120.0, const std::map<std::string, std::string>& env = {});

// Runs a shell command line; returns its exit code. For small jobs like xdotool.
int shell(const std::string& command);

// A port on 127.0.0.1 that nobody listens on now, for a daemon a test starts.
unsigned freePort();
// True when something accepts connections on 127.0.0.1:port.
bool portAnswers(unsigned port);

// Asks `condition` every 50 ms until it holds (true) or `seconds` have passed (its last answer).
bool waitFor(const std::function<bool()>& condition, double seconds = 30.0);

} // namespace tavritest
