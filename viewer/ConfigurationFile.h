#pragma once

#include <string>

namespace osgTAVRI
{

class TAVRIview;

// Reads the viewer's XML settings into its controllers at start-up and writes the running
// state back. Five top-level elements, no root: Overlay, Scene, Environment, Navigation, Window.
class ConfigurationFile
{
public:
    // Hands every setting to the controllers and creates the window. A missing or broken
    // file leaves the defaults in force.
    static void load(const std::string& path, TAVRIview& view);

    // Writes the current state; false (with a warning line) when the file cannot be written,
    // in which case the old file is kept as it was.
    static bool save(const std::string& path, TAVRIview& view);

    // Real values as written: the shortest "%g" form, six significant digits.
    static std::string formatReal(double value);
};

} // namespace osgTAVRI
