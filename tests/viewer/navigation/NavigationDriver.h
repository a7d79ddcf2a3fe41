#pragma once

#include "tests/support/TestSupport.h"
#include "viewer/navigation/NavigationController.h"

#include <osg/Camera>
#include <osg/Notify>
#include <osgGA/GUIEventAdapter>
#include <osgViewer/Viewer>

#include <string>
#include <vector>

// Drives a NavigationController the way the viewer's frame loop does: events
// from a real view (the action adapter), then the camera's view matrix from
// the controller, so the next terrain intersection sees the previous frame.
namespace navtest
{

class NavigationDriver
{
public:
    explicit NavigationDriver(osg::Node* scene)
        : viewer(new osgViewer::Viewer), camera(new osg::Camera), capture(osg::NOTICE)
    {
        camera->setProjectionMatrixAsPerspective(30.0, 1280.0 / 1024.0, 1.0, 10000.0);
        if (scene)
            camera->addChild(scene);
        controller = new osgTAVRI::NavigationController(camera.get());
    }

    NavigationDriver(const NavigationDriver&) = delete;
    NavigationDriver& operator=(const NavigationDriver&) = delete;

    osg::ref_ptr<osgGA::GUIEventAdapter> event(osgGA::GUIEventAdapter::EventType type) const
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = new osgGA::GUIEventAdapter;
        ea->setEventType(type);
        ea->setInputRange(-1.0f, -1.0f, 1.0f, 1.0f);
        ea->setMouseYOrientation(osgGA::GUIEventAdapter::Y_INCREASING_UPWARDS);
        ea->setTime(time);
        return ea;
    }

    void send(const osgGA::GUIEventAdapter& ea) { controller->handle(ea, *viewer); }

    void keyDown(int key, int modKeyMask = 0)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = event(osgGA::GUIEventAdapter::KEYDOWN);
        ea->setKey(key);
        ea->setModKeyMask(modKeyMask);
        send(*ea);
    }

    void keyUp(int key, int modKeyMask = 0)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = event(osgGA::GUIEventAdapter::KEYUP);
        ea->setKey(key);
        ea->setModKeyMask(modKeyMask);
        send(*ea);
    }

    void press(int key)
    {
        keyDown(key);
        keyUp(key);
    }

    // Pointer positions in normalised window coordinates, -1..1, y up.
    void mouse(osgGA::GUIEventAdapter::EventType type, float x, float y)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = event(type);
        ea->setX(x);
        ea->setY(y);
        ea->setButton(osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
        ea->setButtonMask(type == osgGA::GUIEventAdapter::RELEASE ? 0 : osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
        send(*ea);
    }

    void scroll(osgGA::GUIEventAdapter::ScrollingMotion motion)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = event(osgGA::GUIEventAdapter::SCROLL);
        ea->setScrollingMotion(motion);
        send(*ea);
    }

    // One frame at `t` seconds.
    void frameAt(double t)
    {
        time = t;
        send(*event(osgGA::GUIEventAdapter::FRAME));
        camera->setViewMatrix(controller->getInverseMatrix());
    }

    // `count` frames at `rate` frames per second.
    void frames(int count, double rate = 60.0)
    {
        for (int i = 0; i < count; ++i)
        {
            ++frameNumber;
            frameAt(frameNumber / rate);
        }
    }

    // Sets the home view and puts the camera there, as the configuration loader does.
    void goHome(const osg::Vec3d& eye, const osg::Vec3d& center)
    {
        controller->setHome(eye, center);
        controller->home();
        camera->setViewMatrix(controller->getInverseMatrix());
    }

    osg::Vec3d eye() const { return controller->getMatrix().getTrans(); }

    osg::Vec3d viewDirection() const
    {
        osg::Vec3d e, c, up;
        controller->getInverseMatrix().getLookAt(e, c, up, 1.0);
        return c - e;
    }

    // The console lines written so far, line ends removed.
    std::vector<std::string> notices() const { return capture.texts(osg::NOTICE); }

    osg::Vec3d upDirection() const
    {
        osg::Vec3d e, c, up;
        controller->getInverseMatrix().getLookAt(e, c, up, 1.0);
        return up;
    }

    osg::ref_ptr<osgViewer::Viewer> viewer;
    osg::ref_ptr<osg::Camera> camera;
    osg::ref_ptr<osgTAVRI::NavigationController> controller;
    tavritest::NotifyCapture capture;
    double time = 0.0;
    long frameNumber = 0;
};

} // namespace navtest
