// The Debian package as users get it: built by the CTest fixture Package.Build, checked with
// Debian's own tools, unpacked with dpkg -x and run from there under our X server.
#include "tests/support/TestSupport.h"

#include "common/Version.h"

#include <osg/Image>
#include <osg/ShapeDrawable>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using tavritest::Process;
using tavritest::TempDir;
using tavritest::readFile;
using tavritest::waitFor;

namespace
{

std::string packagePath()
{
    const std::string folder = tavritest::buildDir() + "/package-test";
    for (const std::string& name : tavritest::listDir(folder))
        if (name.rfind("tavriview_", 0) == 0 && name.size() > 10 && name.substr(name.size() - 10) == "_amd64.deb")
            return folder + "/" + name;
    return std::string();
}

// The viewer's first line when it reads a configuration other than the installation's.
const std::string started = std::string("TAVRIview ") + osgTAVRI::programVersion + ", configuration ";

#define REQUIRE_PACKAGE(deb)                                                                      \
    const std::string deb = packagePath();                                                        \
    ASSERT_FALSE(deb.empty()) << "no package in " << tavritest::buildDir() << "/package-test; " \
                              << "the fixture Package.Build makes it"

tavritest::RunResult sh(const std::string& command, const std::map<std::string, std::string>& env = {})
{
    return tavritest::run({"/bin/bash", "-c", command}, "", 300.0, env);
}

std::set<std::string> options(const std::string& text)
{
    std::set<std::string> found;
    const std::regex option("--[A-Za-z][A-Za-z-]*");
    for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i)
        found.insert(i->str());
    return found;
}

std::string lines(const std::set<std::string>& set)
{
    std::string text;
    for (const std::string& s : set)
        text += s + " ";
    return text;
}

// The lines of a rendered man page's section, up to the next heading (a line that starts
// with a letter).
std::string section(const std::string& page, const std::string& heading)
{
    std::istringstream in(page);
    std::string text;
    bool inside = false;
    for (std::string line; std::getline(in, line);)
    {
        const bool isHeading = !line.empty() && std::isupper(static_cast<unsigned char>(line[0]));
        if (inside && isHeading)
            break;
        if (inside)
            text += line + "\n";
        inside = inside || line == heading;
    }
    return text;
}

// Everything below a folder, with sizes: what a run must leave as it was.
std::string snapshot(const std::string& folder)
{
    std::ostringstream out;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        out << entry.path().string() << " " << (entry.is_regular_file() ? entry.file_size() : 0) << "\n";
    return out.str();
}

// The package unpacked into a temporary root, as dpkg -i would lay it out.
class UnpackedPackage
{
public:
    explicit UnpackedPackage(const std::string& deb)
    {
        EXPECT_EQ(sh("dpkg -x '" + deb + "' '" + root() + "'").exitCode, 0);
    }
    ~UnpackedPackage() { sh("chmod -R u+w '" + dir.path() + "'"); }

    std::string root() const { return dir.file("root"); }
    std::string tree() const { return root() + "/opt/tavriview"; }
    std::string program(const std::string& name) const { return root() + "/usr/bin/" + name; }
    const TempDir& temp() const { return dir; }

private:
    TempDir dir;
};

// The viewer started through the package's wrapper, its keys sent through XTEST.
class WrappedViewer
{
public:
    ~WrappedViewer() { process.kill(); }

    void start(const std::string& commandLine, const std::string& cwd, std::map<std::string, std::string> env = {})
    {
        tavritest::ensureDisplay();
        env["DISPLAY"] = tavritest::displayName();
        process.start({"/bin/bash", "-c", "exec " + commandLine}, cwd, env);
    }
    std::string window()
    {
        if (id.empty())
            id = sh("timeout 60 xdotool search --sync --name '^TAVRIview' 2>/dev/null | head -1",
                    {{"DISPLAY", tavritest::displayName()}})
                     .out;
        while (!id.empty() && id.back() == '\n')
            id.pop_back();
        return id;
    }
    void key(const std::string& name)
    {
        sh("xdotool windowfocus --sync " + window() + " key " + name, {{"DISPLAY", tavritest::displayName()}});
    }
    int quit()
    {
        key("Escape");
        int code = -1;
        return process.wait(120.0, code) ? code : -1000;
    }
    std::string firstLine() const
    {
        const std::string out = process.output();
        return out.substr(0, out.find('\n'));
    }

    Process process;

private:
    std::string id;
};

} // namespace

TEST(Package, HoldsTheTreeTheWrappersAndTheDesktopFilesWithComputedDependencies)
{
    REQUIRE_PACKAGE(deb);
    const std::string contents = sh("dpkg-deb --contents '" + deb + "'").out;
    for (const char* path :
         {"./opt/tavriview/Bin/TAVRIview", "./opt/tavriview/Bin/tin", "./opt/tavriview/Bin/tin-slurm",
          "./opt/tavriview/Bin/tin-imagery.so", "./opt/tavriview/Bin/osgPlugins-3.6.5/osgdb_zip.so", "./opt/tavriview/Resources/Configuration.xml",
          "./opt/tavriview/Resources/Demo.xml", "./opt/tavriview/Resources/Images/Compass.png",
          "./opt/tavriview/Resources/Sea/Sea.config", "./opt/tavriview/Content/Powerline/", "./usr/bin/tavriview",
          "./usr/bin/tin", "./usr/bin/tin-slurm", "./usr/share/applications/tavriview.desktop",
          "./usr/share/mime/packages/tavriview.xml", "./usr/share/icons/hicolor/48x48/apps/tavriview.png",
          "./usr/share/icons/hicolor/128x128/apps/tavriview.png",
          "./usr/share/icons/hicolor/256x256/apps/tavriview.png",
          "./usr/share/icons/hicolor/scalable/apps/tavriview.svg", "./usr/share/man/man1/tin.1.gz",
          "./usr/share/man/man1/tavriview.1.gz", "./usr/share/man/man1/tin-slurm.1.gz",
          "./usr/share/bash-completion/completions/tin", "./usr/share/doc/tavriview/copyright",
          "./usr/share/doc/tavriview/changelog.gz"})
        EXPECT_NE(contents.find(std::string(" ") + path + "\n"), std::string::npos) << path;
    EXPECT_EQ(std::regex_search(contents, std::regex("Content/Terrain/[0-9_]+\\.ive")), true);
    EXPECT_EQ(contents.find("/."), std::string::npos) << "no hidden files: " << contents;
    std::istringstream rows(contents);
    for (std::string row; std::getline(rows, row);)
        EXPECT_EQ(row.find(" root/root "), 10u) << row;
    // The font is Debian's, linked.
    EXPECT_TRUE(std::regex_search(contents, std::regex("Fonts/arial.ttf -> /usr/share/fonts/truetype/liberation/")));

    const std::string control = sh("dpkg-deb --field '" + deb + "'").out;
    UnpackedPackage unpacked(deb);
    const std::string said = sh("'" + unpacked.program("tin") + "' --version").out;
    std::smatch version;
    ASSERT_TRUE(std::regex_search(said, version, std::regex("tin ([0-9.]+)\n"))) << said;
    EXPECT_NE(control.find("Version: " + version[1].str() + "\n"), std::string::npos) << control;
    EXPECT_NE(deb.find("/tavriview_" + version[1].str() + "_amd64.deb"), std::string::npos) << deb;
    // From dpkg-shlibdeps: the toolkit's, tinyxml2's, libzip's, the C library's packages, and
    // GDAL's through tin's imagery module.
    for (const char* dependency :
         {"libopenscenegraph161", "libtinyxml2-9", "libzip4", "libc6", "libgdal", "fonts-liberation"})
        EXPECT_NE(control.find(dependency), std::string::npos) << dependency << " in\n" << control;
    EXPECT_NE(control.find("Suggests: slurm-wlm, munge\n"), std::string::npos) << control;
    const std::string depends = control.substr(control.find("Depends:"), control.find('\n', control.find("Depends:")));
    EXPECT_EQ(depends.find("slurm"), std::string::npos) << depends;
    EXPECT_EQ(depends.find("munge"), std::string::npos) << depends;
}

TEST(Package, LintianFindsNoErrorsAndOnlyTheJustifiedWarnings)
{
    REQUIRE_PACKAGE(deb);
    const tavritest::RunResult lintian = sh("lintian --tag-display-limit 0 '" + deb + "' 2>&1");
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out;
    std::istringstream report(lintian.out);
    int warnings = 0;
    for (std::string line; std::getline(report, line);)
    {
        EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
        if (line.rfind("W: ", 0) != 0)
            continue;
        ++warnings;
        // Information points are Windows-1252 text, the encoding their reader expects.
        EXPECT_TRUE(std::regex_match(line, std::regex(
                        "W: tavriview: national-encoding \\[opt/tavriview/Content/InfoPoints/[^/]+\\.csv\\]")))
            << line;
    }
    EXPECT_LE(warnings, 1) << lintian.out;
}

TEST(Package, DesktopEntryMimeTypeAndIconsAreValid)
{
    REQUIRE_PACKAGE(deb);
    UnpackedPackage unpacked(deb);
    const std::string share = unpacked.root() + "/usr/share";
    const std::string desktop = share + "/applications/tavriview.desktop";
    const tavritest::RunResult validated = sh("desktop-file-validate '" + desktop + "' 2>&1");
    EXPECT_EQ(validated.exitCode, 0);
    EXPECT_EQ(validated.out, "");
    const std::string entry = readFile(desktop);
    for (const char* key : {"\nName=", "\nName[sv]=", "\nComment=", "\nComment[sv]=", "\nExec=tavriview %f\n",
                            "\nIcon=tavriview\n", "\nMimeType=application/x-tavriview-configuration;\n"})
        EXPECT_NE(entry.find(key), std::string::npos) << key;

    // The type compiles into a database that maps the configuration's name to it.
    TempDir mime;
    fs::create_directories(mime.file("packages"));
    fs::copy_file(share + "/mime/packages/tavriview.xml", mime.file("packages/tavriview.xml"));
    const tavritest::RunResult database = sh("update-mime-database '" + mime.path() + "'");
    EXPECT_EQ(database.exitCode, 0) << database.err;
    EXPECT_NE(readFile(mime.file("globs2")).find("application/x-tavriview-configuration:Configuration.xml"),
              std::string::npos);
    EXPECT_NE(readFile(mime.file("subclasses")).find("application/x-tavriview-configuration application/xml"),
              std::string::npos);

    // Each size drawn at its size: transparent beyond the rounded corners, opaque inside.
    for (int size : {48, 128, 256})
    {
        const std::string s = std::to_string(size);
        osg::ref_ptr<osg::Image> icon =
            osgDB::readRefImageFile(share + "/icons/hicolor/" + s + "x" + s + "/apps/tavriview.png");
        ASSERT_TRUE(icon.valid()) << size;
        EXPECT_EQ(icon->s(), size);
        EXPECT_EQ(icon->t(), size);
        EXPECT_LT(icon->getColor(0, 0).a(), 0.05f);
        EXPECT_GT(icon->getColor(size / 2, size / 2).a(), 0.95f);
        // Sky at the top, ground at the bottom.
        const osg::Vec4 sky = icon->getColor(size / 4, size - size / 8);
        const osg::Vec4 ground = icon->getColor(size / 12, size / 8);
        EXPECT_GT(sky.b(), sky.g()) << size;
        EXPECT_GT(ground.g(), ground.b()) << size;
    }
    const std::string svg = readFile(share + "/icons/hicolor/scalable/apps/tavriview.svg");
    EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST(Package, ManPagesRenderCleanlyAndNameEveryOptionOfTheHelp)
{
    REQUIRE_PACKAGE(deb);
    UnpackedPackage unpacked(deb);
    for (const char* program : {"tavriview", "tin", "tin-slurm"})
    {
        const std::string page = unpacked.root() + "/usr/share/man/man1/" + program + ".1.gz";
        const tavritest::RunResult man =
            sh("MANWIDTH=200 man --warnings -l '" + page + "' 2>&1 >/dev/null; MANWIDTH=200 man -l '" + page + "'",
               {{"LC_ALL", "C"}, {"MANPAGER", "cat"}});
        ASSERT_EQ(man.exitCode, 0) << program;
        const std::string text = man.out;
        EXPECT_EQ(text.find("warning"), std::string::npos) << program << ":\n" << text;
        const std::string items = section(text, "OPTIONS");
        ASSERT_FALSE(items.empty()) << program << ":\n" << text;

        const std::string help = sh("'" + unpacked.program(program) + "' --help 2>&1").out;
        const std::set<std::string> fromHelp = options(help);
        ASSERT_FALSE(fromHelp.empty()) << program;
        const std::set<std::string> onPage = options(text);
        for (const std::string& option : fromHelp)
            EXPECT_EQ(onPage.count(option), 1u) << program << "(1) does not name " << option << " of --help";
        // Every option the page describes (the tags of OPTIONS) is one the program knows.
        std::istringstream tags(items);
        for (std::string line; std::getline(tags, line);)
        {
            if (line.rfind("       -", 0) != 0)
                continue;
            for (const std::string& option : options(line.substr(0, line.find("  ", 7))))
            {
                EXPECT_EQ(fromHelp.count(option), 1u)
                    << program << "(1) describes " << option << ", which --help does not know: " << lines(fromHelp);
            }
        }
    }
}

TEST(Package, BashCompletesTinsOptionsFromItsHelp)
{
    REQUIRE_PACKAGE(deb);
    UnpackedPackage unpacked(deb);
    const std::string completion = unpacked.root() + "/usr/share/bash-completion/completions/tin";
    const std::string tin = unpacked.program("tin");
    auto complete = [&](const std::string& words, int current) {
        return sh("shopt -s extglob; source '" + completion + "'; COMP_WORDS=('" + tin + "' " + words +
                  "); COMP_CWORD=" + std::to_string(current) + "; _tin; printf '%s\\n' \"${COMPREPLY[@]}\"",
                  {})
            .out;
    };
    const std::set<std::string> all = options(sh("'" + tin + "' --help").out);
    EXPECT_EQ(options(complete("--", 1)), all);
    EXPECT_EQ(complete("--na", 1), "--namingCoordsSize\n--namingRowCol\n--namingTruncCoords\n");
    EXPECT_EQ(complete("--tileSize ''", 2), "\n") << "a value is not a file";
    EXPECT_EQ(complete("--noTrim /nonexistent/x", 2), "\n");
}

// The installation cannot be written: F3, F12 and the stored information points go to the
// user's folders. Root writes anywhere, so as root the viewer runs as the unprivileged user
// nobody, and the real permission check decides, as it does for every user of an installed
// package.
TEST(Package, AReadOnlyTreeKeepsEveryUsersStateInTheirOwnFolders)
{
    REQUIRE_PACKAGE(deb);
    UnpackedPackage unpacked(deb);
    const std::string home = unpacked.temp().file("home");
    fs::create_directories(home + "/.config");
    tavritest::writeFile(home + "/.config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                                           "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    // A configuration of the tree's own, small and quick to draw, for the user's to be seeded from.
    const std::string treeConfiguration = unpacked.tree() + "/Resources/Configuration.xml";
    tavritest::writeFile(treeConfiguration, "<Scene loadInfoPoints=\"1\"/>\n"
                                            "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n");
    ASSERT_EQ(sh("chmod -R a-w '" + unpacked.tree() + "' && chmod 755 '" + unpacked.temp().path() + "'").exitCode, 0);
    std::string asUser;
    if (geteuid() == 0)
    {
        ASSERT_EQ(sh("chown -R nobody:nogroup '" + home + "'").exitCode, 0);
        asUser = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    const std::string before = snapshot(unpacked.root());

    WrappedViewer viewer;
    // Empty XDG variables count as unset: the defaults below HOME apply.
    viewer.start(asUser + "'" + unpacked.program("tavriview") + "'", home,
                 {{"HOME", home}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}});
    ASSERT_FALSE(viewer.window().empty()) << viewer.process.output() << viewer.process.errorOutput();
    const std::string configuration = home + "/.config/tavriview/Configuration.xml";
    EXPECT_EQ(viewer.firstLine(), started + configuration);
    EXPECT_EQ(readFile(configuration), readFile(treeConfiguration)) << "seeded from the tree's";
    viewer.key("F12");
    const std::string shot = home + "/Bilder/TAVRIview_0_0.jpg";
    // Generous limits: on a loaded machine software GL draws slowly.
    EXPECT_TRUE(waitFor([&] { return fs::exists(shot) && fs::file_size(shot) > 0; }, 120.0));
    viewer.key("F3");
    EXPECT_TRUE(waitFor([&] { return readFile(configuration).find("<Window title=") != std::string::npos; }, 120.0));
    EXPECT_TRUE(waitFor([&] { return fs::exists(home + "/.local/share/tavriview/InfoPoints.ive"); }, 120.0));
    EXPECT_EQ(viewer.quit(), 0);

    EXPECT_EQ(viewer.process.errorOutput(), "");
    EXPECT_NE(readFile(configuration).find("<Scene loadInfoPoints=\"1\""), std::string::npos);
    EXPECT_EQ(snapshot(unpacked.root()), before) << "the tree is as it was";
}

// A project's configuration opened by name from another folder, as a double-click does: its
// models are read from its folder and F3 writes it back with their paths as they were.
TEST(Package, OpensAConfigurationNamedOnTheCommandLineAndTheDemo)
{
    REQUIRE_PACKAGE(deb);
    UnpackedPackage unpacked(deb);
    const std::string project = unpacked.temp().file("project");
    fs::create_directories(project + "/models");
    osg::ref_ptr<osg::Geode> box = new osg::Geode;
    box->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(0.0f, 10.0f, 0.0f), 2.0f)));
    ASSERT_TRUE(osgDB::writeNodeFile(*box, project + "/models/box.osg"));
    tavritest::writeFile(project + "/Configuration.xml",
                         "<Scene><Model name=\"Box\" filename=\"models/box.osg\" layerNum=\"2\" visible=\"1\"/></Scene>\n"
                         "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n");
    {
        WrappedViewer viewer;
        viewer.start("'" + unpacked.program("tavriview") + "' project/Configuration.xml", unpacked.temp().path());
        ASSERT_FALSE(viewer.window().empty()) << viewer.process.output() << viewer.process.errorOutput();
        EXPECT_EQ(viewer.firstLine(), started + fs::canonical(project).string() + "/Configuration.xml");
        viewer.key("F3");
        EXPECT_TRUE(
            waitFor([&] { return readFile(project + "/Configuration.xml").find("<Overlay") != std::string::npos; },
                    120.0));
        EXPECT_EQ(viewer.quit(), 0);
        EXPECT_EQ(viewer.process.errorOutput(), "") << "the model was found";
        EXPECT_NE(viewer.process.output().find("\nLaddar Box\n"), std::string::npos);
        EXPECT_NE(readFile(project + "/Configuration.xml")
                      .find("<Model name=\"Box\" filename=\"models/box.osg\" layerNum=\"2\" visible=\"1\"/>"),
                  std::string::npos)
            << readFile(project + "/Configuration.xml");
    }
    {
        WrappedViewer viewer;
        viewer.start("'" + unpacked.program("tavriview") + "' --demo", "/");
        ASSERT_FALSE(viewer.window().empty()) << viewer.process.output() << viewer.process.errorOutput();
        EXPECT_EQ(viewer.firstLine(), started + "../Resources/Demo.xml");
        // The demo is read before the window opens; its first frames, water and all, are for
        // other tests to wait for.
        const std::string out = viewer.process.output();
        // The terrain is one paged database; the pager reads its tiles later.
        const std::regex terrain("\nLaddar Terrain\n");
        EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), terrain), std::sregex_iterator()), 1)
            << out;
        viewer.process.kill();
        EXPECT_EQ(viewer.process.errorOutput(), "");
    }
}

// dpkg itself, into a root of its own: every file it installs, it removes again.
TEST(Package, InstallsAndRemovesCleanlyInAScratchRoot)
{
    REQUIRE_PACKAGE(deb);
    TempDir scratch;
    const std::string root = scratch.file("root");
    fs::create_directories(root + "/var/lib/dpkg/info");
    fs::create_directories(root + "/var/lib/dpkg/updates");
    tavritest::writeFile(root + "/var/lib/dpkg/status", "");
    // The dependencies are on this machine, not in the scratch root's empty database.
    const std::string dpkg = "dpkg --root='" + root + "' --force-not-root --force-script-chrootless ";
    const tavritest::RunResult install = sh(dpkg + "--force-depends -i '" + deb + "' 2>&1");
    ASSERT_EQ(install.exitCode, 0) << install.out;
    EXPECT_NE(sh(dpkg + "-s tavriview").out.find("Status: install ok installed"), std::string::npos);
    EXPECT_EQ(sh("'" + root + "/usr/bin/tin' --version").exitCode, 0);
    const tavritest::RunResult remove = sh(dpkg + "-r tavriview 2>&1");
    ASSERT_EQ(remove.exitCode, 0) << remove.out;
    EXPECT_EQ(tavritest::listDir(root), std::vector<std::string>{"var"}) << "nothing but dpkg's own database";
    EXPECT_EQ(sh("find '" + root + "' -mindepth 1 -not -path '" + root + "/var/lib/dpkg*' -not -type d").out, "");
}

// dpkg -i changes the machine, so it runs only where the machine is thrown away afterwards:
// as root in CI (CI=true) or where TAVRI_THROWAWAY_SYSTEM=1 says so.
TEST(Package, InstallsAndRemovesWithDpkg)
{
    const char* ci = std::getenv("CI");
    const char* throwaway = std::getenv("TAVRI_THROWAWAY_SYSTEM");
    if (geteuid() != 0 || !((ci && std::string(ci) == "true") || (throwaway && std::string(throwaway) == "1")))
        GTEST_SKIP() << "dpkg -i and -r run only as root on a throw-away system (CI=true or "
                        "TAVRI_THROWAWAY_SYSTEM=1); this one is neither";
    REQUIRE_PACKAGE(deb);
    const tavritest::RunResult install = sh("dpkg -i '" + deb + "' 2>&1");
    ASSERT_EQ(install.exitCode, 0) << install.out;
    const std::string version = sh("cd / && tin --version").out;
    EXPECT_EQ(version.rfind("tin ", 0), 0u) << version;
    EXPECT_EQ(sh("man -w tin").out, "/usr/share/man/man1/tin.1.gz\n");
    EXPECT_TRUE(fs::exists("/opt/tavriview/Bin/TAVRIview"));
    const tavritest::RunResult remove = sh("dpkg -r tavriview 2>&1");
    EXPECT_EQ(remove.exitCode, 0) << remove.out;
    EXPECT_FALSE(fs::exists("/opt/tavriview"));
    EXPECT_FALSE(fs::exists("/usr/bin/tin"));
    EXPECT_FALSE(fs::exists("/usr/share/applications/tavriview.desktop"));
}
