#include "viewer/EnvironmentController.h"

#include <osg/Light>
#include <osg/LightSource>

namespace osgTAVRI
{

namespace
{
const osg::Vec4 mainLightPosition(-1.0f, -1.0f, 2.0f, 0.0f);

osg::LightSource* createLight(int number, const osg::Vec4& ambient, const osg::Vec4& diffuse,
                              const osg::Vec4& position)
{
    osg::ref_ptr<osg::Light> light = new osg::Light(number);
    light->setAmbient(ambient);
    light->setDiffuse(diffuse);
    light->setPosition(position);
    osg::LightSource* source = new osg::LightSource;
    source->setLight(light);
    return source;
}
} // namespace

EnvironmentController::EnvironmentController(osg::Camera* mainCamera, osg::Group* sceneGroup)
    : camera(mainCamera), scene(sceneGroup), backgroundColor(0.8f, 0.8f, 1.0f, 1.0f)
{
}

bool EnvironmentController::handle(const osgGA::GUIEventAdapter&, osgGA::GUIActionAdapter&)
{
    if (!initialised)
        setupEnvironment();
    return false;
}

void EnvironmentController::setBackgroundColor(const osg::Vec4f& color)
{
    backgroundColor = color;
    if (camera.valid())
        camera->setClearColor(backgroundColor);
}

void EnvironmentController::setupEnvironment()
{
    // Directional lights (w = 0) fixed in world coordinates: the counter light shines
    // from the opposite side so that faces turned away from the main light are not black.
    scene->addChild(createLight(0, osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f), osg::Vec4(0.4f, 0.4f, 0.4f, 1.0f),
                                mainLightPosition));
    osg::Vec4 counterPosition(-mainLightPosition.x(), -mainLightPosition.y(), -mainLightPosition.z(), 0.0f);
    scene->addChild(createLight(1, osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f), osg::Vec4(0.2f, 0.2f, 0.2f, 0.5f),
                                counterPosition));

    osg::StateSet* stateSet = scene->getOrCreateStateSet();
    stateSet->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    stateSet->setMode(GL_LIGHT0, osg::StateAttribute::ON);
    stateSet->setMode(GL_LIGHT1, osg::StateAttribute::ON);

    if (camera.valid())
        camera->setClearColor(backgroundColor);

    initialised = true;
}

} // namespace osgTAVRI
