#pragma once

#include <string>

namespace osgTAVRI
{

class OverlayController;
class SceneController;
class EnvironmentController;
class NavigationController;
class WindowController;

// Reads the viewer's XML settings into its controllers at start-up and writes the running
// state back. Five top-level elements, no root: Overlay, Scene, Environment, Navigation, Window.
// Each element's attributes are listed once, and that one list serves reading and writing.
class ConfigurationFile
{
public:
    // The controllers that the elements belong to. An element whose controller is missing is
    // still read and checked, and then left unused; without a window controller no window
    // is created.
    struct Controllers
    {
        OverlayController* overlay = nullptr;
        SceneController* scene = nullptr;
        EnvironmentController* environment = nullptr;
        NavigationController* navigation = nullptr;
        WindowController* window = nullptr;
    };

    // Hands every setting to the controllers and creates the window. A missing or broken
    // file leaves the defaults in force.
    static void load(const std::string& path, const Controllers& controllers);
    // The same for a file's text already in memory; `path` names it in the messages.
    static void loadText(const std::string& text, const std::string& path, const Controllers& controllers);

    // Writes the current state of the controllers that are there; false (with a warning
    // line) when the file cannot be written, in which case the old file is kept as it was.
    static bool save(const std::string& path, const Controllers& controllers);
    // The text that save writes.
    static std::string format(const Controllers& controllers);

    // Real values as written: the "%g" form with six significant digits, or as many more as
    // it takes to read back the same value; settings held in single precision are written so.
    static std::string formatReal(double value);
    static std::string formatReal(float value);
};

} // namespace osgTAVRI
