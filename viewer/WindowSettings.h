#pragma once

#include <string>

namespace osgTAVRI
{

// The program window's settings as the configuration file keeps them: what the window is
// created from and what is reported back when the configuration is written.
struct WindowSettings
{
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    bool fullscreen = false;
    unsigned int screenNum = 0;
    unsigned int numSamples = 0;
    bool stereo = false;
};

} // namespace osgTAVRI
