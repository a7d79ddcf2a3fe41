// A minimal XDND drag source: drops files onto a window as a file manager would.
//   XdndSource (--window ID | --name TITLE) [--timeout SECONDS] [--many-types] [--uri URI]... FILE...
// --many-types offers four types through XdndTypeList and moves over the window a few times
// before dropping, the way desktop file managers do.
// Exit code 0 when the target accepted the drop, 2 when it refused, 3 on time-out, 1 on misuse.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <sys/select.h>

namespace
{

double now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

std::string fileUri(const std::string& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path)
    {
        if (std::isalnum(c) || std::strchr("/-_.~", c))
            uri += static_cast<char>(c);
        else
        {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

Window findByName(Display* dpy, Window w, const std::string& name)
{
    char* title = nullptr;
    if (XFetchName(dpy, w, &title) && title)
    {
        const bool match = name == title;
        XFree(title);
        if (match)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = None;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count))
    {
        for (unsigned int i = 0; i < count && found == None; ++i)
            found = findByName(dpy, children[i], name);
        if (children)
            XFree(children);
    }
    return found;
}

bool isAware(Display* dpy, Window w)
{
    Atom type;
    int format;
    unsigned long n, rest;
    unsigned char* data = nullptr;
    const bool ok = XGetWindowProperty(dpy, w, XInternAtom(dpy, "XdndAware", False), 0, 1, False, XA_ATOM, &type,
                                       &format, &n, &rest, &data) == Success &&
                    n == 1;
    if (data)
        XFree(data);
    return ok;
}

void sendMessage(Display* dpy, Window to, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.xclient.type = ClientMessage;
    ev.xclient.window = to;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = l0;
    ev.xclient.data.l[1] = l1;
    ev.xclient.data.l[2] = l2;
    ev.xclient.data.l[3] = l3;
    ev.xclient.data.l[4] = l4;
    XSendEvent(dpy, to, False, NoEventMask, &ev);
    XFlush(dpy);
}

} // namespace

int main(int argc, char** argv)
{
    Window target = None;
    std::string name;
    double timeout = 30.0;
    std::vector<std::string> uris;
    bool manyTypes = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        if (a == "--window" && i + 1 < argc)
            target = std::strtoul(argv[++i], nullptr, 0);
        else if (a == "--name" && i + 1 < argc)
            name = argv[++i];
        else if (a == "--timeout" && i + 1 < argc)
            timeout = std::atof(argv[++i]);
        else if (a == "--many-types")
            manyTypes = true;
        else if (a == "--uri" && i + 1 < argc)
            uris.push_back(argv[++i]);
        else
            uris.push_back(fileUri(a));
    }
    if ((target == None && name.empty()) || uris.empty())
    {
        std::fprintf(stderr, "usage: XdndSource (--window ID | --name TITLE) [--timeout S] [--many-types] [--uri URI]... FILE...\n");
        return 1;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
    {
        std::fprintf(stderr, "XdndSource: cannot open the display\n");
        return 1;
    }
    // Leave the server as it was found, and the process without leaks.
    Window source = None;
    auto finish = [&](int code) {
        if (source != None)
            XDestroyWindow(dpy, source);
        XCloseDisplay(dpy);
        return code;
    };
    const double deadline = now() + timeout;

    // The viewer may still be starting: wait for its window and its XdndAware property.
    while (now() < deadline && (target == None || !isAware(dpy, target)))
    {
        if (!name.empty())
            target = findByName(dpy, DefaultRootWindow(dpy), name);
        if (target == None || !isAware(dpy, target))
        {
            timespec pause = {0, 100 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
    if (target == None || !isAware(dpy, target))
    {
        std::fprintf(stderr, "XdndSource: no drop target found\n");
        return finish(3);
    }

    const Atom selection = XInternAtom(dpy, "XdndSelection", False);
    const Atom uriList = XInternAtom(dpy, "text/uri-list", False);
    const Atom targets = XInternAtom(dpy, "TARGETS", False);
    const Atom enter = XInternAtom(dpy, "XdndEnter", False);
    const Atom position = XInternAtom(dpy, "XdndPosition", False);
    const Atom status = XInternAtom(dpy, "XdndStatus", False);
    const Atom leave = XInternAtom(dpy, "XdndLeave", False);
    const Atom drop = XInternAtom(dpy, "XdndDrop", False);
    const Atom finished = XInternAtom(dpy, "XdndFinished", False);
    const Atom copy = XInternAtom(dpy, "XdndActionCopy", False);

    source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(dpy, source, PropertyChangeMask);
    // A real server timestamp, taken from a property change, for the selection and the drop.
    XChangeProperty(dpy, source, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>("XdndSource"), 10);
    XEvent ev;
    XWindowEvent(dpy, source, PropertyChangeMask, &ev);
    const Time time = ev.xproperty.time;
    XSetSelectionOwner(dpy, selection, source, time);

    std::string payload;
    for (const std::string& u : uris)
        payload += u + "\r\n";

    XWindowAttributes attributes;
    XGetWindowAttributes(dpy, target, &attributes);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), attributes.width / 2, attributes.height / 2, &x, &y,
                          &child);

    if (manyTypes)
    {
        const Atom types[4] = {XInternAtom(dpy, "x-special/gnome-icon-list", False),
                               XInternAtom(dpy, "UTF8_STRING", False), XInternAtom(dpy, "text/plain", False), uriList};
        XChangeProperty(dpy, source, XInternAtom(dpy, "XdndTypeList", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(types), 4);
        sendMessage(dpy, target, enter, static_cast<long>(source), (5L << 24) | 1, static_cast<long>(types[0]),
                    static_cast<long>(types[1]), static_cast<long>(types[2]));
    }
    else
    {
        sendMessage(dpy, target, enter, static_cast<long>(source), 5L << 24, static_cast<long>(uriList), 0, 0);
    }
    int positionsLeft = manyTypes ? 3 : 1;
    auto sendPosition = [&] {
        --positionsLeft;
        sendMessage(dpy, target, position, static_cast<long>(source), 0,
                    (static_cast<long>(x - 10 * positionsLeft) << 16) | y, static_cast<long>(time),
                    static_cast<long>(copy));
    };
    sendPosition();
    std::printf("XdndSource: offered %zu item(s) to window 0x%lx\n", uris.size(), target);
    std::fflush(stdout);

    bool dropped = false;
    const int fd = ConnectionNumber(dpy);
    while (now() < deadline)
    {
        if (!XPending(dpy))
        {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd, &set);
            timeval tv = {0, 100000};
            select(fd + 1, &set, nullptr, nullptr, &tv);
            continue;
        }
        XNextEvent(dpy, &ev);
        if (ev.type == ClientMessage && ev.xclient.message_type == status && !dropped)
        {
            if (!(ev.xclient.data.l[1] & 1) && positionsLeft == 0)
            {
                sendMessage(dpy, target, leave, static_cast<long>(source), 0, 0, 0, 0);
                std::printf("XdndSource: the target refused the drop\n");
                return finish(2);
            }
            if (positionsLeft > 0)
            {
                sendPosition();
                continue;
            }
            sendMessage(dpy, target, drop, static_cast<long>(source), 0, static_cast<long>(time), 0, 0);
            dropped = true;
        }
        else if (ev.type == SelectionRequest)
        {
            const XSelectionRequestEvent& req = ev.xselectionrequest;
            XEvent reply;
            std::memset(&reply, 0, sizeof(reply));
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = req.requestor;
            reply.xselection.selection = req.selection;
            reply.xselection.target = req.target;
            reply.xselection.time = req.time;
            reply.xselection.property = None;
            if (req.target == uriList)
            {
                XChangeProperty(dpy, req.requestor, req.property, uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(payload.data()),
                                static_cast<int>(payload.size()));
                reply.xselection.property = req.property;
            }
            else if (req.target == targets)
            {
                const Atom list[2] = {targets, uriList};
                XChangeProperty(dpy, req.requestor, req.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list), 2);
                reply.xselection.property = req.property;
            }
            XSendEvent(dpy, req.requestor, False, NoEventMask, &reply);
            XFlush(dpy);
        }
        else if (ev.type == ClientMessage && ev.xclient.message_type == finished)
        {
            const bool accepted = ev.xclient.data.l[1] & 1;
            std::printf("XdndSource: drop %s\n", accepted ? "accepted" : "refused");
            return finish(accepted ? 0 : 2);
        }
    }
    std::fprintf(stderr, "XdndSource: timed out\n");
    return finish(3);
}
