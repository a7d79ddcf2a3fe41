// Asks a window to close as a window manager does: a WM_DELETE_WINDOW client message.
//   SendCloseRequest WINDOW_ID
// Exit code 0 when the message was sent, 1 otherwise.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: SendCloseRequest WINDOW_ID\n");
        return 1;
    }
    Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    Display* display = XOpenDisplay(nullptr);
    if (!display || window == 0)
    {
        std::fprintf(stderr, "SendCloseRequest: no display or no window\n");
        return 1;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
