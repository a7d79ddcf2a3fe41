// Preloaded into a program (LD_PRELOAD) to end it right after its first buffer swap, so that
// the time from its start to its exit is its time to the first frame on screen. The same for
// our viewer and for a peer that we cannot change.
#include <GL/glx.h>

#include <dlfcn.h>
#include <unistd.h>

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    using Swap = void (*)(Display*, GLXDrawable);
    const Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (real)
        real(display, drawable);
    // The picture is on screen once the server has taken the swap.
    glXWaitGL();
    XSync(display, False);
    _exit(0);
}
