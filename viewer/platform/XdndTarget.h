#pragma once

#include <X11/Xlib.h>

#include <array>
#include <string>
#include <vector>

namespace osgTAVRI
{

// The receiving side of the XDND protocol (version 5) for one window, offering text/uri-list.
// It sees the window's XdndEnter/Position/Leave/Drop client messages and the SelectionNotify
// that answers its conversion request, and collects the dropped local files.
class XdndTarget
{
public:
    XdndTarget(Display* display, Window window);

    // Sets the XdndAware property, which makes drag sources offer drops to the window.
    void makeAware();

    // True when the event belonged to the protocol (and was dealt with).
    bool handleEvent(const XEvent& event);

    // The files of the last completed drop, in the order given; clears them.
    bool hasDrop() const { return dropReady; }
    std::vector<std::string> takeDroppedFiles();

    // Local paths of a text/uri-list: file URIs on this host, percent-decoded; every other
    // entry goes to `ignored`.
    static std::vector<std::string> parseUriList(const std::string& text, std::vector<std::string>& ignored);

    static const int version = 5;

private:
    void onEnter(const XClientMessageEvent& msg);
    void onPosition(const XClientMessageEvent& msg);
    void onDrop(const XClientMessageEvent& msg);
    void onSelectionNotify(const XSelectionEvent& sel);
    void sendStatus(Window source, bool accept);
    void sendFinished(Window source, bool accepted);
    // A 32-bit client message to the drag source.
    void sendToSource(Window to, Atom messageType, const std::array<long, 5>& data);

    Display* display;
    Window window;
    Atom aware, enter, position, status, leave, drop, finished, selection, typeList, actionCopy, uriList,
        property;
    Window source = None;
    int sourceVersion = 0;
    bool offersUriList = false;
    bool dropReady = false;
    std::vector<std::string> dropped;
};

} // namespace osgTAVRI
