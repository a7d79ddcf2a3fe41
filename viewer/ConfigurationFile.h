#pragma once

#include "viewer/window/WindowSettings.h"

#include <optional>
#include <string>

namespace osgTAVRI
{

class OverlayController;
class SceneController;
class EnvironmentController;
class NavigationController;
class WindowController;
class RecordingController;

// Reads the viewer's XML settings into its controllers at start-up and writes the running
// state back. Top-level elements, no root: Overlay, Scene, Environment, Navigation, Window, and
// Path (the recorded flight that F9 plays) when one is configured.
// Each element's attributes are listed once, and that one list serves reading and writing.
namespace ConfigurationFile
{
// The controllers that the elements belong to. An element whose controller is missing is
// still read and checked, and then left unused. The window controller is only asked for
// what is written; the window itself is created by the program.
struct Controllers
{
    OverlayController* overlay = nullptr;
    SceneController* scene = nullptr;
    EnvironmentController* environment = nullptr;
    NavigationController* navigation = nullptr;
    WindowController* window = nullptr;
    RecordingController* recording = nullptr;
};

// Hands every setting to the controllers and returns the window the file asks for, or
// nothing when it names none. A missing or broken file leaves the defaults in force.
std::optional<WindowSettings> load(const std::string& path, const Controllers& controllers);
// The same for a file's text already in memory; `path` names it in the messages.
std::optional<WindowSettings> loadText(const std::string& text, const std::string& path,
                                       const Controllers& controllers);

// Writes the current state of the controllers that are there; false (with a warning
// line) when the file cannot be written, in which case the old file is kept as it was.
bool save(const std::string& path, const Controllers& controllers);
// The text that save writes.
std::string format(const Controllers& controllers);

// Real values as written: the "%g" form with six significant digits, or as many more as
// it takes to read back the same value; settings held in single precision are written so.
std::string formatReal(double value);
std::string formatReal(float value);
} // namespace ConfigurationFile

} // namespace osgTAVRI
