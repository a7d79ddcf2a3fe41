#include "tests/ocean/SeaTestSupport.h"

#include "tests/support/TestSupport.h"

#include "Sea/Configuration.h"

#include <osg/Image>
#include <osgDB/WriteFile>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <stdexcept>

namespace seatest
{

std::string resourceDirectory() { return tavritest::buildDir() + "/Resources/Sea"; }

MessageCapture::MessageCapture() { Sea::MessageChannel::SetHandler(this); }

MessageCapture::~MessageCapture() { Sea::MessageChannel::SetHandler(nullptr); }

void MessageCapture::Write(const char* line, bool alert)
{
    lines.push_back(line);
    alerts.push_back(alert);
}

bool MessageCapture::contains(const std::string& text) const
{
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

std::string MessageCapture::all() const
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

CountingAllocator::CountingAllocator() : previous(Sea::Allocator::GetAllocator())
{
    Sea::Allocator::SetAllocator(this);
}

CountingAllocator::~CountingAllocator() { Sea::Allocator::SetAllocator(previous == this ? nullptr : previous); }

void* CountingAllocator::Allocate(size_t bytes)
{
    void* p = previous->Allocate(bytes);
    std::lock_guard<std::mutex> lock(mutex);
    if (p)
    {
        live[p] = bytes;
        ++count;
    }
    return p;
}

// Memory from before this allocator was installed goes back to the same heap.
void CountingAllocator::Free(void* pointer)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        live.erase(pointer);
    }
    previous->Free(pointer);
}

size_t CountingAllocator::outstanding() const
{
    std::lock_guard<std::mutex> lock(mutex);
    size_t bytes = 0;
    for (const auto& entry : live)
        bytes += entry.second;
    return bytes;
}

void SeaTest::SetUp() { Sea::Configuration::Clear(); }

void SeaTest::TearDown() { Sea::Configuration::Clear(); }

void SeaTest::loadShippedConfiguration(const char* overrides)
{
    std::string text = tavritest::readFile(resourceDirectory() + "/Sea.config");
    ASSERT_FALSE(text.empty()) << "no Sea.config in " << resourceDirectory();
    Sea::Configuration::Parse(text.c_str());
    if (overrides)
        Sea::Configuration::Parse(overrides);
}

struct GLWindow::X11
{
    Display* display = nullptr;
    Window window = 0;
    Colormap colormap = 0;
    GLXContext context = nullptr;
};

GLWindow::GLWindow(int width, int height) : w(width), h(height), x11(new X11)
{
    tavritest::ensureDisplay();
    Display*& display = x11->display;
    Window& window = x11->window;
    Colormap& colormap = x11->colormap;
    GLXContext& context = x11->context;
    display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("cannot open the X display");
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                        GLX_DEPTH_SIZE, 24, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (!visual)
        throw std::runtime_error("no GLX visual");
    Window root = RootWindow(display, visual->screen);
    colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    XSetWindowAttributes set = {};
    set.colormap = colormap;
    window = XCreateWindow(display, root, 0, 0, unsigned(w), unsigned(h), 0, visual->depth, InputOutput,
                           visual->visual, CWColormap, &set);
    XMapWindow(display, window);
    XSync(display, False);
    context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    if (!context || !glXMakeCurrent(display, window, context))
        throw std::runtime_error("cannot make a GLX context current");
    glViewport(0, 0, w, h);
}

GLWindow::~GLWindow()
{
    if (x11->display)
    {
        glXMakeCurrent(x11->display, None, nullptr);
        if (x11->context)
            glXDestroyContext(x11->display, x11->context);
        if (x11->window)
            XDestroyWindow(x11->display, x11->window);
        if (x11->colormap)
            XFreeColormap(x11->display, x11->colormap);
        XCloseDisplay(x11->display);
    }
    delete x11;
}

std::vector<unsigned char> GLWindow::readPixels() const
{
    std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void GLWindow::writePNG(const std::string& path) const
{
    std::vector<unsigned char> pixels = readPixels();
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(w, h, 1, GL_RGB, GL_UNSIGNED_BYTE);
    std::copy(pixels.begin(), pixels.end(), image->data());
    osgDB::writeImageFile(*image, path);
}

} // namespace seatest
