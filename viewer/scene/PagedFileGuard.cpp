#include "viewer/scene/PagedFileGuard.h"

#include <OpenThreads/ScopedLock>
#include <osg/Notify>
#include <osg/PagedLOD>
#include <osg/Timer>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
bool connects(const std::string& host, const std::string& port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    bool ok = false;
    for (addrinfo* a = found; a && !ok; a = a->ai_next)
    {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK, a->ai_protocol);
        if (s < 0)
            continue;
        if (::connect(s, a->ai_addr, a->ai_addrlen) == 0)
            ok = true;
        else if (errno == EINPROGRESS)
        {
            pollfd p{s, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            ok = ::poll(&p, 1, 2000) == 1 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        ::close(s);
    }
    ::freeaddrinfo(found);
    return ok;
}
} // namespace

bool PagedFileGuard::serverAnswers(const std::string& fileName)
{
    if (!osgDB::containsServerAddress(fileName))
        return true;
    const std::string protocol = osgDB::getServerProtocol(fileName), address = osgDB::getServerAddress(fileName);
    const double now = osg::Timer::instance()->time_s();
    {
        OpenThreads::ScopedLock<OpenThreads::Mutex> lock(mutex);
        auto known = servers.find(address);
        if (known != servers.end() && now - known->second.second < 10.0)
            return known->second.first;
    }
    const std::size_t colon = address.rfind(':');
    const std::string host = address.substr(0, colon);
    const std::string port = colon != std::string::npos ? address.substr(colon + 1) : protocol == "https" ? "443" : "80";
    const bool answers = connects(host, port);
    OpenThreads::ScopedLock<OpenThreads::Mutex> lock(mutex);
    servers[address] = std::make_pair(answers, now);
    return answers;
}

osgDB::ReaderWriter::ReadResult PagedFileGuard::readNode(const std::string& fileName, const osgDB::Options* options)
{
    // "Loaded, but nothing": the toolkit's reading functions then write no line of their own
    // and the caller's one line ("Unable to load model ...") is all that is said.
    osgDB::ReaderWriter::ReadResult result = serverAnswers(fileName)
                                                 ? osgDB::ReadFileCallback::readNode(fileName, options)
                                                 : osgDB::ReaderWriter::ReadResult(osgDB::ReaderWriter::ReadResult::FILE_LOADED);
    if (result.validNode() || !options)
        return result;
    osg::ref_ptr<osg::Group> parent;
    if (!options->getParentGroup().lock(parent))
        return result;
    osg::PagedLOD* lod = dynamic_cast<osg::PagedLOD*>(parent.get());
    if (!lod || lod->getNumChildren() == 0)
        return result;
    report(fileName);
    // The coarse child, shared, as the finer one: drawn at every range from now on.
    osg::ref_ptr<osg::Group> standIn = new osg::Group;
    standIn->setName("coarser stand-in for " + fileName);
    standIn->addChild(lod->getChild(0));
    return osgDB::ReaderWriter::ReadResult(standIn.get());
}

void PagedFileGuard::report(const std::string& fileName)
{
    OpenThreads::ScopedLock<OpenThreads::Mutex> lock(mutex);
    if (reported.insert(fileName).second)
        OSG_WARN << "Paged terrain: " << fileName << " cannot be read; its patch stays coarser" << std::endl;
}

PagedFileGuard* PagedFileGuard::install()
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    if (PagedFileGuard* guard = dynamic_cast<PagedFileGuard*>(registry->getReadFileCallback()))
        return guard;
    osg::ref_ptr<PagedFileGuard> guard = new PagedFileGuard;
    registry->setReadFileCallback(guard.get());
    return guard.get();
}

} // namespace osgTAVRI
