#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tavritest
{

std::string sourceDir() { return TAVRI_SOURCE_DIR; }
std::string buildDir() { return TAVRI_BUILD_DIR; }
std::string distDir() { return TAVRI_DIST_DIR; }
std::string toolPath(const std::string& name) { return buildDir() + "/test-tools/" + name; }

std::string sharedData()
{
    const char* env = std::getenv("TAVRI_SHARED_DATA");
    return env && *env ? env : TAVRI_SHARED_DATA;
}

bool hasSharedData() { return fs::is_directory(sharedData()); }

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tavri-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error(std::string("mkdtemp failed: ") + std::strerror(errno));
    dir = buf.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(dir, ec);
}

XvfbServer::XvfbServer(const std::string& screen)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t child = fork();
    if (child == 0)
    {
        // A test that aborts (a failed sanitizer check) must not leave its server behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        // -displayfd: the server picks a free number and writes it once it takes clients.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", "+extension", "GLX", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty())
    {
        waitpid(child, nullptr, 0);
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    }
    pid = child;
    name = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (pid > 0)
    {
        ::kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

namespace
{
XvfbServer& mainServer()
{
    static XvfbServer server;
    return server;
}
} // namespace

void ensureDisplay()
{
    // Set once: the toolkit's threads may read the environment meanwhile.
    static const bool pointed = setenv("DISPLAY", mainServer().display().c_str(), 1) == 0;
    (void)pointed;
}

std::string displayName()
{
    ensureDisplay();
    return mainServer().display();
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool fileExists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> listDir(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class NotifyCapture::Handler : public osg::NotifyHandler
{
public:
    void notify(osg::NotifySeverity severity, const char* message) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::string text(message ? message : "");
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        collected.push_back({severity, text});
    }
    mutable std::mutex mutex;
    std::vector<Line> collected;
};

NotifyCapture::NotifyCapture(osg::NotifySeverity level)
    : previousHandler(osg::getNotifyHandler()), previousLevel(osg::getNotifyLevel()), handler(new Handler)
{
    osg::setNotifyLevel(level);
    osg::setNotifyHandler(handler.get());
}

NotifyCapture::~NotifyCapture()
{
    osg::setNotifyHandler(previousHandler.get());
    osg::setNotifyLevel(previousLevel);
}

std::vector<NotifyCapture::Line> NotifyCapture::lines() const
{
    std::lock_guard<std::mutex> lock(handler->mutex);
    return handler->collected;
}

std::vector<std::string> NotifyCapture::texts(osg::NotifySeverity severity) const
{
    std::vector<std::string> found;
    for (const Line& line : lines())
        if (line.severity <= severity && !line.text.empty())
            found.push_back(line.text);
    return found;
}

std::vector<std::string> NotifyCapture::linesWith(const std::string& text) const
{
    std::vector<std::string> found;
    for (const std::string& line : texts())
        if (line.find(text) != std::string::npos)
            found.push_back(line);
    return found;
}

bool NotifyCapture::contains(const std::string& text, osg::NotifySeverity severity) const
{
    for (const Line& line : lines())
        if (line.severity <= severity && line.text.find(text) != std::string::npos)
            return true;
    return false;
}

std::string NotifyCapture::all() const
{
    std::string text;
    for (const Line& line : lines())
        text += line.text + "\n";
    return text;
}

void copyInstallation(const std::string& target)
{
    const std::string dist = distDir();
    if (!fs::exists(dist + "/Bin"))
        throw std::runtime_error("no installation tree at " + dist + " (run make install first)");
    for (const char* sub : {"Bin", "Resources", "Content"})
        if (fs::exists(dist + "/" + sub))
            fs::copy(dist + "/" + sub, target + "/" + sub, fs::copy_options::recursive);
}

Process::~Process() { kill(); }

void Process::start(const std::vector<std::string>& argv, const std::string& cwd,
                    const std::map<std::string, std::string>& env)
{
    logs = std::make_unique<TempDir>();
    const std::string outPath = logs->file("out"), errPath = logs->file("err");
    pid_t pid = fork();
    if (pid == 0)
    {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        setpgid(0, 0);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        for (const auto& kv : env)
            setenv(kv.first.c_str(), kv.second.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    childPid = pid;
    finished = false;
}

bool Process::wait(double seconds, int& exitCode)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!finished)
    {
        pid_t r = waitpid(childPid, &status, WNOHANG);
        if (r == childPid)
        {
            finished = true;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

bool Process::running()
{
    if (childPid <= 0 || finished)
        return false;
    int code;
    return !wait(0.0, code);
}

void Process::kill()
{
    if (childPid > 0 && !finished)
    {
        ::kill(-childPid, SIGKILL);
        ::kill(childPid, SIGKILL);
        waitpid(childPid, &status, 0);
        finished = true;
    }
}

std::string Process::output() const { return logs ? readFile(logs->file("out")) : ""; }
std::string Process::errorOutput() const { return logs ? readFile(logs->file("err")) : ""; }

RunResult run(const std::vector<std::string>& argv, const std::string& cwd, double timeout,
              const std::map<std::string, std::string>& env)
{
    Process p;
    p.start(argv, cwd, env);
    RunResult r;
    if (!p.wait(timeout, r.exitCode))
    {
        r.timedOut = true;
        p.kill();
    }
    r.out = p.output();
    r.err = p.errorOutput();
    return r;
}

bool waitFor(const std::function<bool()>& condition, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

int shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

unsigned freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    unsigned port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

bool portAnswers(unsigned port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

} // namespace tavritest
