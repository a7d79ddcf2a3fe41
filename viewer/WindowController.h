#pragma once

#include <osg/Camera>
#include <osgGA/GUIEventHandler>
#include <osgViewer/GraphicsWindow>

#include <string>

namespace osgTAVRI
{

// Owns the program's one window: creates it from the configured settings, keeps the master
// camera's projection in step with its size, toggles full screen on F11 and reports its
// current settings back for the configuration file.
class WindowController : public osgGA::GUIEventHandler
{
public:
    WindowController() = default;
    explicit WindowController(osg::Camera* camera);
    WindowController(const WindowController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, WindowController);

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    void createWindow(const std::string& title, int x, int y, int width, int height, bool maximized,
                      bool fullscreen, unsigned int screenNum, unsigned int numSamples, bool stereo);
    void getWindowSettings(std::string& title, int& x, int& y, int& width, int& height, bool& maximized,
                           bool& fullscreen, unsigned int& screenNum, unsigned int& numSamples,
                           bool& stereo) const;
    void toggleFullscreen(osgViewer::GraphicsWindow* window);
    void resize(int width, int height);

    float getFieldOfView() const { return fieldOfView; }

    // The screen's resolution in pixels, or false when there is no windowing-system interface.
    static bool getScreenSize(unsigned int screenNum, unsigned int& width, unsigned int& height);

protected:
    ~WindowController() override = default;

    bool isWindowOpen() const;
    void rememberLastState();

    // The window's state at its last resize or move, for when it is already gone.
    struct LastState
    {
        bool valid = false;
        std::string title;
        int x = 0, y = 0, width = 0, height = 0;
        bool maximized = false, fullscreen = false, stereo = false;
        unsigned int numSamples = 0;
    };

    osg::ref_ptr<osg::Camera> camera;
    float fieldOfView = 60.0f;
    int windowX = 0;
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    std::string title;
    bool fullscreen = false;
    bool maximized = false;
    unsigned int screenNum = 0;
    unsigned int numSamples = 0;
    bool stereo = false;
    LastState lastState;
};

} // namespace osgTAVRI
