#include "tests/fuzz/FuzzSupport.h"

#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace tavrifuzz
{

namespace
{

class DiscardingNotifyHandler : public osg::NotifyHandler
{
public:
    void notify(osg::NotifySeverity, const char*) override {}
};

bool endsWithNoCase(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           osgDB::convertToLowerCase(text.substr(text.size() - suffix.size())) == osgDB::convertToLowerCase(suffix);
}

void collect(const std::string& folder, const std::vector<std::string>& suffixes, std::vector<std::string>& found)
{
    osgDB::DirectoryContents names = osgDB::getDirectoryContents(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
    {
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        if (osgDB::fileType(path) == osgDB::DIRECTORY)
            collect(path, suffixes, found);
        else if (std::any_of(suffixes.begin(), suffixes.end(),
                             [&](const std::string& s) { return endsWithNoCase(name, s); }))
            found.push_back(path);
    }
}

} // namespace

Seeds::Seeds(const std::string& seedFolder) : folder(seedFolder) {}

void Seeds::add(const std::string& name, const std::string& bytes)
{
    std::ofstream out(path(name).c_str(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write seed " + path(name));
}

std::string Seeds::path(const std::string& name) const { return folder + "/" + name; }

std::vector<std::string> Seeds::sharedFiles(const std::string& subfolder, const std::vector<std::string>& suffixes)
{
    std::vector<std::string> found;
    collect(std::string(TAVRI_SHARED_DATA) + "/" + subfolder, suffixes, found);
    return found;
}

std::string Seeds::readFile(const std::string& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void quietToolkit()
{
    osg::setNotifyHandler(new DiscardingNotifyHandler);
    osg::setNotifyLevel(osg::NOTICE);
    osgDB::Registry::instance()->getLibraryFilePathList().clear();
}

std::string bytesOf(const std::uint8_t* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

} // namespace tavrifuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    const char* const flag = "--write-seeds=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], flag, std::strlen(flag)) == 0)
        {
            try
            {
                tavrifuzz::Seeds seeds((*argv)[i] + std::strlen(flag));
                tavrifuzz::writeSeeds(seeds);
            }
            catch (const std::exception& e)
            {
                std::cerr << e.what() << std::endl;
                std::exit(1);
            }
            std::exit(0);
        }
    tavrifuzz::quietToolkit();

    // libFuzzer reads its flags after this function, so the target's length limit goes in
    // as one, unless the command line sets its own.
    const std::string limit = "-max_len=";
    bool limited = tavrifuzz::maxInputLength == 0;
    for (int i = 1; i < *argc; ++i)
        limited = limited || std::strncmp((*argv)[i], limit.c_str(), limit.size()) == 0;
    if (!limited)
    {
        static std::string flag = limit + std::to_string(tavrifuzz::maxInputLength);
        static std::vector<char*> args(*argv, *argv + *argc);
        args.insert(args.begin() + 1, &flag[0]);
        args.push_back(nullptr);
        *argc += 1;
        *argv = args.data();
    }
    return 0;
}
