#pragma once

#include <string>

namespace osgTAVRI
{

// The program window's settings as the configuration file keeps them: what the window is
// created from and what is reported back when the configuration is written.
struct WindowSettings
{
    std::string title;
    // The window's top left corner and size in pixels; in full screen, the rectangle that F11
    // returns to.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    bool fullscreen = false;
    unsigned int screenNum = 0;
    unsigned int numSamples = 0; // multisampling of the graphics context
    bool stereo = false;         // quad-buffer stereo
};

} // namespace osgTAVRI
