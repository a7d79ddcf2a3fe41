#include "viewer/ConfigurationFile.h"

#include "common/AtomicFile.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/SceneController.h"
#include "viewer/TAVRIview.h"
#include "viewer/WindowController.h"

#include <osg/Camera>
#include <osg/DisplaySettings>
#include <osg/GraphicsContext>
#include <osg/Notify>

#include <tinyxml2.h>

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
const int maxLayerNum = 999;

// Reads the attributes of one element with the value formats of the file. A value that does
// not scan counts as absent: the caller's default stays and one line says why.
class AttributeReader
{
public:
    AttributeReader(const tinyxml2::XMLElement* e, const std::string& p) : element(e), path(p) {}

    bool has(const char* name) const { return element->Attribute(name) != nullptr; }

    void readString(const char* name, std::string& value) const
    {
        if (const char* text = element->Attribute(name))
            value = text;
    }

    void readBool(const char* name, bool& value) const
    {
        const char* text = element->Attribute(name);
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

    void readInt(const char* name, int& value) const { readInteger(name, value, "an int"); }

    void readUnsigned(const char* name, unsigned int& value) const { readInteger(name, value, "an unsigned int"); }

    // Scanned in single precision like the file has always been read; values that are not
    // finite would poison the camera and the coordinate readout.
    void readReal(const char* name, float& value) const
    {
        const char* text = element->Attribute(name);
        if (!text)
            return;
        char* end = nullptr;
        errno = 0;
        float number = std::strtof(text, &end);
        if (end != text && std::isfinite(number))
            value = number;
        else
            unreadable(name, text, "a real number");
    }

private:
    // An integer that fits T; anything else is unreadable as `type`.
    template <typename T>
    void readInteger(const char* name, T& value, const char* type) const
    {
        const char* text = element->Attribute(name);
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

    void unreadable(const char* name, const char* text, const char* type) const
    {
        OSG_WARN << "Configuration: " << element->Name() << " " << name << "=\"" << text << "\" in " << path
                 << " is not " << type << ", ignored" << std::endl;
    }

    const tinyxml2::XMLElement* element;
    const std::string& path;
};

void loadScene(const AttributeReader& reader, const tinyxml2::XMLElement* sceneElement, const std::string& path,
               SceneController& scene)
{
    bool loadInfoPoints = false, generatePowerline = false;
    reader.readBool("loadInfoPoints", loadInfoPoints);
    reader.readBool("generatePowerline", generatePowerline);
    scene.setLoadInfoPoints(loadInfoPoints);
    scene.setGeneratePowerline(generatePowerline);

    for (const tinyxml2::XMLElement* model = sceneElement->FirstChildElement("Model"); model;
         model = model->NextSiblingElement("Model"))
    {
        AttributeReader modelReader(model, path);
        std::string filename, name;
        bool visible = false;
        int layerNum = 0;
        modelReader.readString("filename", filename);
        modelReader.readString("name", name);
        modelReader.readBool("visible", visible);
        modelReader.readInt("layerNum", layerNum);
        if (filename.empty())
        {
            OSG_WARN << "Configuration: a Model without filename in " << path << " is skipped" << std::endl;
            continue;
        }
        if (!modelReader.has("name"))
            name = filename;
        if (layerNum < 0 || layerNum > maxLayerNum)
        {
            OSG_WARN << "Configuration: layerNum " << layerNum << " of model " << filename
                     << " is out of range, using layer 0" << std::endl;
            layerNum = 0;
        }
        scene.addModel(name, filename, layerNum, visible);
    }
}

void loadEnvironment(const AttributeReader& reader, EnvironmentController& environment)
{
    float red = 0.0f, green = 0.0f, blue = 0.0f, seaState = 0.0f, windDirection = 0.0f;
    bool enableWater = false;
    reader.readReal("backgroundColorRed", red);
    reader.readReal("backgroundColorGreen", green);
    reader.readReal("backgroundColorBlue", blue);
    environment.setBackgroundColor(osg::Vec4f(red, green, blue, 1.0f));
    reader.readBool("enableWater", enableWater);
    reader.readReal("seaState", seaState);
    reader.readReal("windDirection", windDirection);
    environment.setWaterEnabled(enableWater);
    environment.setSeaState(seaState);
    environment.setWindDirection(windDirection);
}

void loadOverlay(const AttributeReader& reader, OverlayController& overlay, SceneController& scene)
{
    bool useGeoCoords = false;
    float offsetX = 0.0f, offsetY = 0.0f, offsetZ = 0.0f;
    reader.readBool("useGeoCoords", useGeoCoords);
    reader.readReal("offsetZ", offsetZ);
    reader.readReal("offsetY", offsetY);
    reader.readReal("offsetX", offsetX);
    overlay.setUseGeoCoords(useGeoCoords);
    overlay.setCoordinateOffset(osg::Vec3f(offsetX, offsetY, offsetZ));
    scene.setOffsetX(offsetX);
    scene.setOffsetY(offsetY);
    scene.setOffsetZ(offsetZ);
}

void loadNavigation(const tinyxml2::XMLElement* element, const std::string& path, NavigationController& navigation)
{
    float eyeX = 0.0f, eyeY = 0.0f, eyeZ = 0.0f, centerX = 0.0f, centerY = 1.0f, centerZ = 0.0f;
    if (element)
    {
        AttributeReader reader(element, path);
        centerY = 0.0f;
        reader.readReal("homeEyeX", eyeX);
        reader.readReal("homeEyeY", eyeY);
        reader.readReal("homeEyeZ", eyeZ);
        reader.readReal("homeCenterX", centerX);
        reader.readReal("homeCenterY", centerY);
        reader.readReal("homeCenterZ", centerZ);
    }
    osg::Vec3d eye(eyeX, eyeY, eyeZ), center(centerX, centerY, centerZ);
    if ((center - eye).length() == 0.0)
        center.y() += 1.0;
    navigation.setHome(eye, center);
    navigation.home();
}

void loadWindow(const tinyxml2::XMLElement* element, const std::string& path, WindowController& window,
                osg::Camera* camera)
{
    const std::string defaultTitle = std::string(TAVRIview::programName()) + TAVRIview::programVersion();
    if (!element)
    {
        unsigned int screenWidth = 0, screenHeight = 0;
        if (!WindowController::getScreenSize(0, screenWidth, screenHeight))
        {
            OSG_FATAL << "Unable to get WindowingSystemInterface" << std::endl;
            return;
        }
        // Centred; on a screen smaller than the window its top left corner stays visible.
        int x = (static_cast<int>(screenWidth) - 1024) / 2;
        int y = (static_cast<int>(screenHeight) - 768) / 2;
        WindowSettings settings;
        settings.title = defaultTitle;
        settings.x = x < 0 ? 0 : x;
        settings.y = y < 0 ? 0 : y;
        settings.width = 1024;
        settings.height = 768;
        settings.numSamples = 4;
        window.createWindow(settings);
        return;
    }

    AttributeReader reader(element, path);
    WindowSettings settings;
    settings.title = defaultTitle;
    reader.readString("title", settings.title);
    reader.readInt("x", settings.x);
    reader.readInt("y", settings.y);
    reader.readInt("width", settings.width);
    reader.readInt("height", settings.height);
    reader.readBool("maximized", settings.maximized);
    reader.readBool("fullscreen", settings.fullscreen);
    reader.readUnsigned("screenNum", settings.screenNum);
    reader.readUnsigned("numSamples", settings.numSamples);
    reader.readBool("stereo", settings.stereo);
    if (settings.numSamples > 32)
    {
        OSG_WARN << "Configuration: numSamples " << settings.numSamples
                 << " is more than any display offers, using 4" << std::endl;
        settings.numSamples = 4;
    }
    window.createWindow(settings);
    // Stereo drawing into a window without left and right buffers draws nothing.
    const osg::GraphicsContext* context = camera->getGraphicsContext();
    if (settings.stereo && context && context->getTraits() && context->getTraits()->quadBufferStereo)
    {
        osg::DisplaySettings* display = osg::DisplaySettings::instance().get();
        display->setStereo(true);
        display->setStereoMode(osg::DisplaySettings::QUAD_BUFFER);
        display->setEyeSeparation(0.05f);
        display->setScreenDistance(0.5f);
    }
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
    const char* text = document.ErrorStr();
    return std::string("is not valid XML (") + (text ? text : "parse error") + ")";
}

void setAttribute(tinyxml2::XMLElement* element, const char* name, double value)
{
    element->SetAttribute(name, ConfigurationFile::formatReal(value).c_str());
}

void setAttribute(tinyxml2::XMLElement* element, const char* name, bool value)
{
    element->SetAttribute(name, value ? "1" : "0");
}

void setAttribute(tinyxml2::XMLElement* element, const char* name, int value)
{
    element->SetAttribute(name, std::to_string(value).c_str());
}

void setAttribute(tinyxml2::XMLElement* element, const char* name, unsigned int value)
{
    element->SetAttribute(name, std::to_string(value).c_str());
}

void setAttribute(tinyxml2::XMLElement* element, const char* name, const std::string& value)
{
    element->SetAttribute(name, value.c_str());
}
} // namespace

std::string ConfigurationFile::formatReal(double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

void ConfigurationFile::load(const std::string& path, TAVRIview& view)
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

    if (const tinyxml2::XMLElement* scene = document.FirstChildElement("Scene"))
        loadScene(AttributeReader(scene, path), scene, path, *view.getSceneController());
    if (const tinyxml2::XMLElement* environment = document.FirstChildElement("Environment"))
        loadEnvironment(AttributeReader(environment, path), *view.getEnvironmentController());
    if (const tinyxml2::XMLElement* overlay = document.FirstChildElement("Overlay"))
        loadOverlay(AttributeReader(overlay, path), *view.getOverlayController(), *view.getSceneController());
    loadNavigation(document.FirstChildElement("Navigation"), path, *view.getNavigationController());
    loadWindow(document.FirstChildElement("Window"), path, *view.getWindowController(), view.getViewer().getCamera());
}

bool ConfigurationFile::save(const std::string& path, TAVRIview& view)
{
    tinyxml2::XMLDocument document;

    OverlayController& overlayController = *view.getOverlayController();
    tinyxml2::XMLElement* overlay = document.NewElement("Overlay");
    const osg::Vec3f offset = overlayController.getCoordinateOffset();
    setAttribute(overlay, "useGeoCoords", overlayController.getUseGeoCoords());
    setAttribute(overlay, "offsetX", static_cast<double>(offset.x()));
    setAttribute(overlay, "offsetY", static_cast<double>(offset.y()));
    setAttribute(overlay, "offsetZ", static_cast<double>(offset.z()));
    document.InsertEndChild(overlay);

    SceneController& sceneController = *view.getSceneController();
    tinyxml2::XMLElement* scene = document.NewElement("Scene");
    setAttribute(scene, "loadInfoPoints", sceneController.getLoadInfoPoints());
    setAttribute(scene, "generatePowerline", sceneController.getGeneratePowerline());
    for (unsigned int i = 0; i < sceneController.getNumModels(); ++i)
    {
        std::string name, filename;
        int layerNum = 0;
        bool visible = false;
        sceneController.getModelInfo(i, name, filename, layerNum, visible);
        tinyxml2::XMLElement* model = document.NewElement("Model");
        setAttribute(model, "name", name);
        setAttribute(model, "filename", filename);
        setAttribute(model, "layerNum", layerNum);
        setAttribute(model, "visible", visible);
        scene->InsertEndChild(model);
    }
    document.InsertEndChild(scene);

    EnvironmentController& environmentController = *view.getEnvironmentController();
    tinyxml2::XMLElement* environment = document.NewElement("Environment");
    const osg::Vec4f color = environmentController.getBackgroundColor();
    setAttribute(environment, "backgroundColorRed", static_cast<double>(color.r()));
    setAttribute(environment, "backgroundColorGreen", static_cast<double>(color.g()));
    setAttribute(environment, "backgroundColorBlue", static_cast<double>(color.b()));
    setAttribute(environment, "enableWater", environmentController.getWaterEnabled());
    setAttribute(environment, "seaState", environmentController.getSeaState());
    setAttribute(environment, "windDirection", environmentController.getWindDirection());
    document.InsertEndChild(environment);

    osg::Vec3d eye, center;
    view.getNavigationController()->getCurrentLookAt(eye, center);
    tinyxml2::XMLElement* navigation = document.NewElement("Navigation");
    setAttribute(navigation, "homeEyeX", eye.x());
    setAttribute(navigation, "homeEyeY", eye.y());
    setAttribute(navigation, "homeEyeZ", eye.z());
    setAttribute(navigation, "homeCenterX", center.x());
    setAttribute(navigation, "homeCenterY", center.y());
    setAttribute(navigation, "homeCenterZ", center.z());
    document.InsertEndChild(navigation);

    const WindowSettings settings = view.getWindowController()->getWindowSettings();
    tinyxml2::XMLElement* window = document.NewElement("Window");
    setAttribute(window, "title", settings.title);
    setAttribute(window, "x", settings.x < 0 ? 0 : settings.x);
    setAttribute(window, "y", settings.y < 0 ? 0 : settings.y);
    setAttribute(window, "width", settings.width);
    setAttribute(window, "height", settings.height);
    setAttribute(window, "maximized", settings.maximized);
    setAttribute(window, "fullscreen", settings.fullscreen);
    setAttribute(window, "screenNum", settings.screenNum);
    setAttribute(window, "numSamples", settings.numSamples);
    setAttribute(window, "stereo", settings.stereo);
    document.InsertEndChild(window);

    tinyxml2::XMLPrinter printer(nullptr, false);
    document.Print(&printer);
    if (!AtomicFile::write(path, std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1))))
    {
        OSG_WARN << "Could not save configuration file to \"" << path << "\"" << std::endl;
        return false;
    }
    return true;
}

} // namespace osgTAVRI
