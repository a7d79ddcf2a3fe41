#include "tests/support/TestSupport.h"

#include "viewer/StatePaths.h"

#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using tavritest::TempDir;
using tavritest::readFile;
using tavritest::writeFile;
namespace StatePaths = osgTAVRI::StatePaths;

namespace
{

// Sets environment variables for the life of a test and puts the old values back.
class Environment
{
public:
    ~Environment()
    {
        for (const auto& [name, value] : saved)
            value.second ? setenv(name.c_str(), value.first.c_str(), 1) : unsetenv(name.c_str());
    }
    void set(const std::string& name, const char* value)
    {
        if (!saved.count(name))
        {
            const char* old = std::getenv(name.c_str());
            saved[name] = {old ? old : "", old != nullptr};
        }
        value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::pair<std::string, bool>> saved;
};

// An installation tree with its configuration, and the working directory in its Bin.
class Tree
{
public:
    Tree() : previous(fs::current_path())
    {
        fs::create_directories(dir.file("tree/Bin"));
        fs::create_directories(dir.file("tree/Resources"));
        fs::create_directories(dir.file("home"));
        writeFile(dir.file("tree/Resources/Configuration.xml"), "<Scene loadInfoPoints=\"1\"/>\n");
        fs::current_path(dir.file("tree/Bin"));
        environment.set("HOME", home().c_str());
        environment.set("XDG_CONFIG_HOME", nullptr);
        environment.set("XDG_DATA_HOME", nullptr);
    }
    ~Tree() { fs::current_path(previous); }

    std::string home() const { return dir.file("home"); }
    std::string path(const std::string& relative) const { return dir.file(relative); }

    Environment environment;

private:
    TempDir dir;
    fs::path previous;
};

} // namespace

TEST(StatePaths, TheUsersFoldersFollowTheXdgConventions)
{
    Tree tree;
    EXPECT_EQ(StatePaths::configHome(), tree.home() + "/.config");
    EXPECT_EQ(StatePaths::dataHome(), tree.home() + "/.local/share");
    EXPECT_EQ(StatePaths::picturesFolder(), tree.home() + "/Pictures");

    tree.environment.set("XDG_CONFIG_HOME", "relative/ignored");
    tree.environment.set("XDG_DATA_HOME", "");
    EXPECT_EQ(StatePaths::configHome(), tree.home() + "/.config");
    EXPECT_EQ(StatePaths::dataHome(), tree.home() + "/.local/share");

    tree.environment.set("XDG_CONFIG_HOME", tree.path("config").c_str());
    tree.environment.set("XDG_DATA_HOME", tree.path("data").c_str());
    EXPECT_EQ(StatePaths::configHome(), tree.path("config"));
    EXPECT_EQ(StatePaths::dataHome(), tree.path("data"));

    // The pictures folder as xdg-user-dirs-update writes it, in the user's language or elsewhere.
    fs::create_directories(tree.path("config"));
    writeFile(tree.path("config/user-dirs.dirs"),
              "# comment\nXDG_DESKTOP_DIR=\"$HOME/Skrivbord\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(StatePaths::picturesFolder(), tree.home() + "/Bilder");
    writeFile(tree.path("config/user-dirs.dirs"), "XDG_PICTURES_DIR=\"/srv/bilder\"\n");
    EXPECT_EQ(StatePaths::picturesFolder(), "/srv/bilder");
}

TEST(StatePaths, AWritableTreeKeepsEverythingInItselfAndTouchesNoUserFolder)
{
    Tree tree;
    ASSERT_TRUE(StatePaths::isTreeWritable());
    EXPECT_EQ(StatePaths::configurationPath(), "../Resources/Configuration.xml");
    EXPECT_EQ(StatePaths::screenshotPrefix(), "../TAVRIview");
    EXPECT_EQ(StatePaths::infoPointsStore(), "../Content/InfoPoints/InfoPoints.ive");
    EXPECT_EQ(StatePaths::recordingsFolder(), "../Content/Paths");
    EXPECT_TRUE(tavritest::listDir(tree.home()).empty());
}

// Root writes anywhere, so the check runs in a child that has become the user nobody; as
// another user, the tree's write permission is taken away instead.
TEST(StatePaths, AReadOnlyTreeSeedsTheUsersConfigurationAndSendsStateToTheirFolders)
{
    Tree tree;
    ASSERT_EQ(tavritest::shell("chmod a-w '" + tree.path("tree") + "' '" + tree.path("tree/Resources") +
                               "' && chmod 755 '" + tree.path("") + "'"),
              0);
    if (geteuid() == 0)
    {
        ASSERT_EQ(tavritest::shell("chown -R nobody:nogroup '" + tree.home() + "'"), 0);
    }
    std::string userConfiguration = tree.home() + "/.config/tavriview/Configuration.xml";

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        close(pipeEnds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        const std::string answers = std::to_string(StatePaths::isTreeWritable()) + "\n" +
                                    StatePaths::configurationPath() + "\n" + StatePaths::screenshotPrefix() + "\n" +
                                    StatePaths::infoPointsStore() + "\n" + StatePaths::recordingsFolder() + "\n";
        _exit(write(pipeEnds[1], answers.data(), answers.size()) == ssize_t(answers.size()) ? 0 : 3);
    }
    close(pipeEnds[1]);
    std::string answers;
    char buffer[512];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof(buffer))) > 0;)
        answers.append(buffer, std::size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    tavritest::shell("chmod -R u+w '" + tree.path("tree") + "'");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    EXPECT_EQ(answers, "0\n" + userConfiguration + "\n" + tree.home() + "/Pictures/TAVRIview\n" + tree.home() +
                           "/.local/share/tavriview/InfoPoints.ive\n" + tree.home() +
                           "/.local/share/tavriview/Paths\n");
    EXPECT_EQ(readFile(userConfiguration), "<Scene loadInfoPoints=\"1\"/>\n") << "seeded from the tree's";
    EXPECT_TRUE(fs::is_directory(tree.home() + "/Pictures"));
    EXPECT_TRUE(fs::is_directory(tree.home() + "/.local/share/tavriview/Paths"));
    EXPECT_EQ(tavritest::listDir(tree.path("tree/Resources")), std::vector<std::string>{"Configuration.xml"});
}
