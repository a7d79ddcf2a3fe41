#include "viewer/ConfigurationFile.h"

#include "common/AtomicFile.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/RecordingController.h"
#include "viewer/scene/SceneController.h"
#include "viewer/window/WindowController.h"

#include <osg/Notify>
#include <osg/Vec3d>

#include <tinyxml2.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <sys/stat.h>

namespace osgTAVRI
{

namespace
{
// Reads the attributes of one element with the value formats of the file. A value that does
// not scan counts as absent: the caller's default stays and one line says why.
class AttributeReader
{
public:
    AttributeReader(const tinyxml2::XMLElement& e, const std::string& p) : element(e), path(p) {}

    void operator()(const char* name, std::string& value) const
    {
        if (const char* text = element.Attribute(name))
            value = text;
    }

    void operator()(const char* name, bool& value) const
    {
        const char* text = element.Attribute(name);
        if (!text)
            return;
        long long number = 0;
        if (scanInteger(text, number))
            value = number != 0;
        else if (std::strcmp(text, "true") == 0)
            value = true;
        else if (std::strcmp(text, "false") == 0)
            value = false;
        else
            unreadable(name, text, "a bool");
    }

    void operator()(const char* name, int& value) const { readInteger(name, value, "an int"); }

    void operator()(const char* name, unsigned int& value) const { readInteger(name, value, "an unsigned int"); }

    // Values that are not finite, or beyond any map's coordinates, would poison the camera and
    // the coordinate readout.
    void operator()(const char* name, double& value) const { readReal(name, value, std::strtod); }
    void operator()(const char* name, float& value) const { readReal(name, value, std::strtof); }

private:
    // An integer that fits T; anything else is unreadable as `type`.
    template <typename T>
    void readInteger(const char* name, T& value, const char* type) const
    {
        const char* text = element.Attribute(name);
        if (!text)
            return;
        long long number = 0;
        if (scanInteger(text, number) && number >= static_cast<long long>(std::numeric_limits<T>::min()) &&
            number <= static_cast<long long>(std::numeric_limits<T>::max()))
            value = static_cast<T>(number);
        else
            unreadable(name, text, type);
    }

    // Like "%d": leading blanks, a sign and digits; trailing text is ignored.
    static bool scanInteger(const char* text, long long& number)
    {
        char* end = nullptr;
        errno = 0;
        number = std::strtoll(text, &end, 10);
        return end != text && errno != ERANGE;
    }

    template <class Real>
    void readReal(const char* name, Real& value, Real (*scan)(const char*, char**)) const
    {
        const char* text = element.Attribute(name);
        if (!text)
            return;
        char* end = nullptr;
        const Real number = scan(text, &end);
        if (end != text && std::isfinite(number) && std::fabs(number) <= Real(1e8))
            value = number;
        else
            unreadable(name, text, "a real number");
    }

    void unreadable(const char* name, const char* text, const char* type) const
    {
        OSG_WARN << "Configuration: " << element.Name() << " " << name << "=\"" << text << "\" in " << path
                 << " is not " << type << ", ignored" << std::endl;
    }

    const tinyxml2::XMLElement& element;
    const std::string& path;
};

// Writes the attributes of one element in the order they are given, in the file's formats.
class AttributeWriter
{
public:
    explicit AttributeWriter(tinyxml2::XMLElement& e) : element(e) {}

    void operator()(const char* name, const std::string& value) const { element.SetAttribute(name, value.c_str()); }
    void operator()(const char* name, bool value) const { element.SetAttribute(name, value ? "1" : "0"); }
    void operator()(const char* name, int value) const { element.SetAttribute(name, std::to_string(value).c_str()); }

    void operator()(const char* name, unsigned int value) const
    {
        element.SetAttribute(name, std::to_string(value).c_str());
    }

    void operator()(const char* name, double value) const
    {
        element.SetAttribute(name, ConfigurationFile::formatReal(value).c_str());
    }

    void operator()(const char* name, float value) const
    {
        element.SetAttribute(name, ConfigurationFile::formatReal(value).c_str());
    }

private:
    tinyxml2::XMLElement& element;
};

// The elements of the file. Each lists its attributes once, in the order they are written;
// `io` is an AttributeReader when loading and an AttributeWriter when saving.
struct OverlayElement
{
    static constexpr const char* tag = "Overlay";
    bool useGeoCoords = false;
    osg::Vec3d offset;

    template <class Io>
    void attributes(const Io& io)
    {
        io("useGeoCoords", useGeoCoords);
        io("offsetX", offset.x());
        io("offsetY", offset.y());
        io("offsetZ", offset.z());
    }
};

struct SceneElement
{
    static constexpr const char* tag = "Scene";
    bool loadInfoPoints = false;
    bool generatePowerline = false;
    unsigned pagedMemory = PagedTerrain::defaultMemoryMB;

    template <class Io>
    void attributes(const Io& io)
    {
        io("loadInfoPoints", loadInfoPoints);
        io("generatePowerline", generatePowerline);
        io("pagedMemory", pagedMemory);
    }
};

struct ModelElement
{
    static constexpr const char* tag = "Model";
    std::string name;
    std::string filename;
    int layerNum = 0;
    bool visible = false;

    template <class Io>
    void attributes(const Io& io)
    {
        io("name", name);
        io("filename", filename);
        io("layerNum", layerNum);
        io("visible", visible);
    }
};

struct EnvironmentElement
{
    static constexpr const char* tag = "Environment";
    osg::Vec3f backgroundColor;
    bool enableWater = false;
    double seaState = 0.0;
    double windDirection = 0.0;

    template <class Io>
    void attributes(const Io& io)
    {
        io("backgroundColorRed", backgroundColor.x());
        io("backgroundColorGreen", backgroundColor.y());
        io("backgroundColorBlue", backgroundColor.z());
        io("enableWater", enableWater);
        io("seaState", seaState);
        io("windDirection", windDirection);
    }
};

struct NavigationElement
{
    static constexpr const char* tag = "Navigation";
    osg::Vec3d eye;
    osg::Vec3d center;

    template <class Io>
    void attributes(const Io& io)
    {
        io("homeEyeX", eye.x());
        io("homeEyeY", eye.y());
        io("homeEyeZ", eye.z());
        io("homeCenterX", center.x());
        io("homeCenterY", center.y());
        io("homeCenterZ", center.z());
    }
};

struct WindowElement
{
    static constexpr const char* tag = "Window";
    WindowSettings settings;

    template <class Io>
    void attributes(const Io& io)
    {
        io("title", settings.title);
        io("x", settings.x);
        io("y", settings.y);
        io("width", settings.width);
        io("height", settings.height);
        io("maximized", settings.maximized);
        io("fullscreen", settings.fullscreen);
        io("screenNum", settings.screenNum);
        io("numSamples", settings.numSamples);
        io("stereo", settings.stereo);
    }
};

struct PathElement
{
    static constexpr const char* tag = "Path";
    std::string filename;
    bool playAtStart = false;

    template <class Io>
    void attributes(const Io& io)
    {
        io("filename", filename);
        io("playAtStart", playAtStart);
    }
};

template <class Element>
void readAttributes(const tinyxml2::XMLElement& element, const std::string& path, Element& values)
{
    values.attributes(AttributeReader(element, path));
}

// The first element of its kind directly below `parent`, read into `values`; null (and the
// values untouched) when there is none.
template <class Element>
const tinyxml2::XMLElement* readElement(const tinyxml2::XMLNode& parent, const std::string& path, Element& values)
{
    const tinyxml2::XMLElement* element = parent.FirstChildElement(Element::tag);
    if (element)
        readAttributes(*element, path, values);
    return element;
}

template <class Element>
tinyxml2::XMLElement* writeElement(tinyxml2::XMLNode& parent, Element& values)
{
    tinyxml2::XMLElement* element = parent.GetDocument()->NewElement(Element::tag);
    values.attributes(AttributeWriter(*element));
    parent.InsertEndChild(element);
    return element;
}

void loadScene(const tinyxml2::XMLDocument& document, const std::string& path, SceneController* controller)
{
    SceneElement scene;
    const tinyxml2::XMLElement* element = readElement(document, path, scene);
    if (!element)
        return;
    if (controller)
    {
        controller->setLoadInfoPoints(scene.loadInfoPoints);
        controller->setGeneratePowerline(scene.generatePowerline);
        controller->setPagedMemory(scene.pagedMemory);
    }
    for (const tinyxml2::XMLElement* child = element->FirstChildElement(ModelElement::tag); child;
         child = child->NextSiblingElement(ModelElement::tag))
    {
        ModelElement model;
        readAttributes(*child, path, model);
        if (!child->Attribute("name"))
            model.name = model.filename;
        if (controller)
            controller->addModel(model.name, model.filename, model.layerNum, model.visible);
    }
}

void loadEnvironment(const tinyxml2::XMLDocument& document, const std::string& path,
                     EnvironmentController* controller)
{
    EnvironmentElement environment;
    if (!readElement(document, path, environment) || !controller)
        return;
    const osg::Vec3f& color = environment.backgroundColor;
    controller->setBackgroundColor(osg::Vec4f(color.x(), color.y(), color.z(), 1.0f));
    controller->setWaterEnabled(environment.enableWater);
    controller->setSeaState(environment.seaState);
    controller->setWindDirection(environment.windDirection);
}

void loadOverlay(const tinyxml2::XMLDocument& document, const std::string& path, OverlayController* overlay,
                 SceneController* scene)
{
    OverlayElement values;
    if (!readElement(document, path, values))
        return;
    if (overlay)
    {
        overlay->setUseGeoCoords(values.useGeoCoords);
        overlay->setCoordinateOffset(values.offset);
    }
    if (scene)
    {
        scene->setOffsetX(values.offset.x());
        scene->setOffsetY(values.offset.y());
        scene->setOffsetZ(values.offset.z());
    }
}

void loadNavigation(const tinyxml2::XMLDocument& document, const std::string& path,
                    NavigationController* controller)
{
    NavigationElement navigation;
    if (!readElement(document, path, navigation))
        navigation.center.set(0.0, 1.0, 0.0);
    if ((navigation.center - navigation.eye).length() == 0.0)
        navigation.center.y() += 1.0;
    if (!controller)
        return;
    controller->setHome(navigation.eye, navigation.center);
    controller->home();
}

// The window the file asks for, or nothing when it has no Window element.
std::optional<WindowSettings> loadWindow(const tinyxml2::XMLDocument& document, const std::string& path)
{
    WindowElement window;
    window.settings.title = WindowController::defaultTitle();
    if (!readElement(document, path, window))
        return std::nullopt;
    if (window.settings.numSamples > 32)
    {
        OSG_WARN << "Configuration: numSamples " << window.settings.numSamples
                 << " is more than any display offers, using 4" << std::endl;
        window.settings.numSamples = 4;
    }
    return window.settings;
}

void saveScene(tinyxml2::XMLDocument& document, const SceneController& controller)
{
    SceneElement scene;
    scene.loadInfoPoints = controller.getLoadInfoPoints();
    scene.generatePowerline = controller.getGeneratePowerline();
    scene.pagedMemory = controller.getPagedMemory();
    tinyxml2::XMLElement* element = writeElement(document, scene);
    for (unsigned int i = 0; i < controller.getNumModels(); ++i)
    {
        ModelElement model;
        controller.getModelInfo(i, model.name, model.filename, model.layerNum, model.visible);
        writeElement(*element, model);
    }
}

std::string invalidXml(const tinyxml2::XMLDocument& document)
{
    const char* text = document.ErrorStr();
    return std::string("is not valid XML (") + (text ? text : "parse error") + ")";
}

// Why a file that exists could not be used; empty when it simply is not there.
std::string loadFailureReason(const std::string& path, const tinyxml2::XMLDocument& document)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return std::string();
    if (!S_ISREG(info.st_mode))
        return "is not a file";
    if (document.ErrorID() == tinyxml2::XML_ERROR_FILE_COULD_NOT_BE_OPENED ||
        document.ErrorID() == tinyxml2::XML_ERROR_FILE_READ_ERROR)
        return "cannot be read";
    return invalidXml(document);
}

std::optional<WindowSettings> loadDocument(const tinyxml2::XMLDocument& document, const std::string& path,
                                           const ConfigurationFile::Controllers& controllers)
{
    loadScene(document, path, controllers.scene);
    loadEnvironment(document, path, controllers.environment);
    loadOverlay(document, path, controllers.overlay, controllers.scene);
    loadNavigation(document, path, controllers.navigation);
    PathElement flight;
    if (readElement(document, path, flight) && controllers.recording)
        controllers.recording->setPath(flight.filename, flight.playAtStart);
    return loadWindow(document, path);
}
} // namespace

namespace
{

// Six significant digits where they hold the value, more where they would move it: a grid
// northing such as 6399347.25 needs nine, and a saved view must come back where it was.
template <class Real>
std::string shortestReal(Real value)
{
    char text[64];
    for (int digits = 6; digits <= 17; ++digits)
    {
        std::snprintf(text, sizeof(text), "%.*g", digits, static_cast<double>(value));
        if (!std::isfinite(value) || static_cast<Real>(std::strtod(text, nullptr)) == value)
            break;
    }
    return text;
}

} // namespace

std::string ConfigurationFile::formatReal(double value)
{
    return shortestReal(value);
}

std::string ConfigurationFile::formatReal(float value)
{
    return shortestReal(value);
}

std::optional<WindowSettings> ConfigurationFile::load(const std::string& path, const Controllers& controllers)
{
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.LoadFile(path.c_str()) == tinyxml2::XML_SUCCESS)
    {
        OSG_INFO << "Loaded configuration file successfully" << std::endl;
    }
    else
    {
        const std::string reason = loadFailureReason(path, document);
        if (!reason.empty())
            OSG_WARN << "Configuration file " << path << " " << reason << ", using defaults" << std::endl;
        OSG_INFO << "No configuration file found, using defaults" << std::endl;
        document.Clear();
    }
    return loadDocument(document, path, controllers);
}

std::optional<WindowSettings> ConfigurationFile::loadText(const std::string& text, const std::string& path,
                                                          const Controllers& controllers)
{
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    {
        OSG_WARN << "Configuration file " << path << " " << invalidXml(document) << ", using defaults" << std::endl;
        document.Clear();
    }
    return loadDocument(document, path, controllers);
}

bool ConfigurationFile::save(const std::string& path, const Controllers& controllers)
{
    if (!AtomicFile::write(path, format(controllers)))
    {
        OSG_WARN << "Could not save configuration file to \"" << path << "\"" << std::endl;
        return false;
    }
    return true;
}

std::string ConfigurationFile::format(const Controllers& controllers)
{
    tinyxml2::XMLDocument document;

    if (const OverlayController* controller = controllers.overlay)
    {
        OverlayElement overlay;
        overlay.useGeoCoords = controller->getUseGeoCoords();
        overlay.offset = controller->getCoordinateOffset();
        writeElement(document, overlay);
    }
    if (controllers.scene)
        saveScene(document, *controllers.scene);
    if (const EnvironmentController* controller = controllers.environment)
    {
        EnvironmentElement environment;
        const osg::Vec4f& color = controller->getBackgroundColor();
        environment.backgroundColor.set(color.r(), color.g(), color.b());
        environment.enableWater = controller->getWaterEnabled();
        environment.seaState = controller->getSeaState();
        environment.windDirection = controller->getWindDirection();
        writeElement(document, environment);
    }
    if (const NavigationController* controller = controllers.navigation)
    {
        NavigationElement navigation;
        controller->getCurrentLookAt(navigation.eye, navigation.center);
        writeElement(document, navigation);
    }
    if (const WindowController* controller = controllers.window)
    {
        WindowElement window;
        window.settings = controller->getWindowSettings();
        window.settings.x = std::max(0, window.settings.x);
        window.settings.y = std::max(0, window.settings.y);
        writeElement(document, window);
    }
    if (const RecordingController* controller = controllers.recording)
    {
        PathElement flight;
        flight.filename = controller->getPathFilename();
        flight.playAtStart = controller->getPlayAtStart();
        if (!flight.filename.empty())
            writeElement(document, flight);
    }

    tinyxml2::XMLPrinter printer(nullptr, false);
    document.Print(&printer);
    return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
}

} // namespace osgTAVRI
