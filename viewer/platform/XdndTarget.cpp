#include "viewer/platform/XdndTarget.h"

#include "viewer/platform/X11Property.h"

#include <osg/Notify>

#include <X11/Xatom.h>

#include <cstring>
#include <iterator>
#include <strings.h>
#include <utility>

#include <unistd.h>

namespace osgTAVRI
{

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-decoding; false for a malformed escape or an encoded NUL.
bool percentDecode(const std::string& in, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        if (in[i] != '%')
        {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size())
            return false;
        const int hi = hexValue(in[i + 1]), lo = hexValue(in[i + 2]);
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0))
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string hostName()
{
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return std::string();
    return name;
}

} // namespace

XdndTarget::XdndTarget(Display* d, Window w) : display(d), window(w)
{
    // Asked for all at once: one round trip to the server.
    const std::pair<const char*, Atom*> wanted[] = {
        {"XdndAware", &aware},         {"XdndEnter", &enter},         {"XdndPosition", &position},
        {"XdndStatus", &status},       {"XdndLeave", &leave},         {"XdndDrop", &drop},
        {"XdndFinished", &finished},   {"XdndSelection", &selection}, {"XdndTypeList", &typeList},
        {"XdndActionCopy", &actionCopy}, {"text/uri-list", &uriList}, {"TAVRI_DROPPED_FILES", &property}};
    char* names[std::size(wanted)];
    Atom atoms[std::size(wanted)];
    for (std::size_t i = 0; i < std::size(wanted); ++i)
        names[i] = const_cast<char*>(wanted[i].first);
    XInternAtoms(display, names, static_cast<int>(std::size(wanted)), False, atoms);
    for (std::size_t i = 0; i < std::size(wanted); ++i)
        *wanted[i].second = atoms[i];
}

void XdndTarget::makeAware()
{
    const Atom v = version;
    XChangeProperty(display, window, aware, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&v), 1);
    XFlush(display);
}

bool XdndTarget::handleEvent(const XEvent& event)
{
    if (event.type == SelectionNotify && event.xselection.requestor == window &&
        event.xselection.selection == selection)
    {
        onSelectionNotify(event.xselection);
        return true;
    }
    if (event.type != ClientMessage || event.xclient.window != window)
        return false;
    const XClientMessageEvent& msg = event.xclient;
    if (msg.message_type == enter)
        onEnter(msg);
    else if (msg.message_type == position)
        onPosition(msg);
    else if (msg.message_type == drop)
        onDrop(msg);
    else if (msg.message_type == leave)
        source = None;
    else
        return false;
    return true;
}

void XdndTarget::onEnter(const XClientMessageEvent& msg)
{
    source = static_cast<Window>(msg.data.l[0]);
    sourceVersion = static_cast<int>((static_cast<unsigned long>(msg.data.l[1]) >> 24) & 0xFF);
    offersUriList = false;
    if (msg.data.l[1] & 1)
    {
        // More than three types: the full list is a property of the source window.
        const X11Property types(display, source, typeList, 1024, false, XA_ATOM);
        if (const Atom* atoms = reinterpret_cast<const Atom*>(types.data(32)))
            for (unsigned long i = 0; i < types.count(); ++i)
                offersUriList = offersUriList || atoms[i] == uriList;
    }
    else
    {
        for (int i = 2; i <= 4; ++i)
            offersUriList = offersUriList || static_cast<Atom>(msg.data.l[i]) == uriList;
    }
}

void XdndTarget::onPosition(const XClientMessageEvent& msg)
{
    const Window from = static_cast<Window>(msg.data.l[0]);
    sendStatus(from, from == source && offersUriList);
}

void XdndTarget::onDrop(const XClientMessageEvent& msg)
{
    const Window from = static_cast<Window>(msg.data.l[0]);
    if (from != source || !offersUriList)
    {
        sendFinished(from, false);
        source = None;
        return;
    }
    const Time time = sourceVersion >= 1 ? static_cast<Time>(msg.data.l[2]) : CurrentTime;
    XConvertSelection(display, selection, uriList, property, window, time);
    XFlush(display);
}

void XdndTarget::onSelectionNotify(const XSelectionEvent& sel)
{
    const Window from = source;
    source = None;
    if (from == None)
        return;
    bool accepted = false;
    if (sel.property != None)
    {
        const X11Property list(display, window, property, 1 << 22, true, AnyPropertyType);
        if (const unsigned char* data = list.data(8))
        {
            std::vector<std::string> ignored;
            std::vector<std::string> paths =
                parseUriList(std::string(reinterpret_cast<const char*>(data), list.count()), ignored);
            for (const std::string& item : ignored)
                OSG_WARN << "Ignoring dropped item that is not a local file: " << item << std::endl;
            if (!paths.empty())
            {
                dropped = paths;
                dropReady = true;
                accepted = true;
            }
        }
    }
    else
    {
        OSG_WARN << "The dropped files could not be received" << std::endl;
    }
    sendFinished(from, accepted);
}

void XdndTarget::sendStatus(Window to, bool accept)
{
    sendToSource(to, status, {static_cast<long>(window), accept ? 1 : 0, 0, 0,
                              accept ? static_cast<long>(actionCopy) : 0});
}

void XdndTarget::sendFinished(Window to, bool accepted)
{
    if (to == None || sourceVersion < 2)
        return;
    sendToSource(to, finished, {static_cast<long>(window), accepted ? 1 : 0,
                                accepted ? static_cast<long>(actionCopy) : 0, 0, 0});
}

void XdndTarget::sendToSource(Window to, Atom messageType, const std::array<long, 5>& data)
{
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.xclient.type = ClientMessage;
    ev.xclient.display = display;
    ev.xclient.window = to;
    ev.xclient.message_type = messageType;
    ev.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        ev.xclient.data.l[i] = data[i];
    XSendEvent(display, to, False, NoEventMask, &ev);
    XFlush(display);
}

std::vector<std::string> XdndTarget::takeDroppedFiles()
{
    std::vector<std::string> result;
    result.swap(dropped);
    dropReady = false;
    return result;
}

std::vector<std::string> XdndTarget::parseUriList(const std::string& text, std::vector<std::string>& ignored)
{
    std::vector<std::string> paths;
    const std::string host = hostName();
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;

        std::string path;
        bool local = false;
        if (line.size() > 7 && strncasecmp(line.c_str(), "file://", 7) == 0)
        {
            const std::size_t slash = line.find('/', 7);
            const std::string authority = line.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
            local = slash != std::string::npos &&
                    (authority.empty() || strcasecmp(authority.c_str(), "localhost") == 0 || authority == host) &&
                    percentDecode(line.substr(slash), path);
        }
        if (local)
            paths.push_back(path);
        else
            ignored.push_back(line);
    }
    return paths;
}

} // namespace osgTAVRI
