#include "viewer/environment/EnvironmentController.h"

#include "viewer/environment/sea/PlanarReflection.h"
#include "viewer/environment/sea/SeaDrawable.h"
#include "viewer/environment/SkyBox.h"
#include "viewer/environment/Sun.h"
#include "viewer/environment/TexMatCallback.h"

#include <osg/ClipNode>
#include <osg/FrontFace>
#include <osg/Geode>
#include <osg/Light>
#include <osg/LightSource>
#include <osg/MatrixTransform>
#include <osg/View>

namespace osgTAVRI
{

namespace
{
// The sea is drawn into the main view only; the reflection camera sees everything else.
const unsigned int seaNodeMask = 0x80000000u;
const unsigned int reflectionCullMask = 0x7FFFFFFFu;

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

// The sea looks its sky up through rotate(pi, z) * m * rotate(-pi/2, x); with this m that is
// the sky box's own turn from the world's directions to the cube map's, so that the sea
// reflects the sky the box shows and not the sky upside down.
osg::Matrixd skyToSea()
{
    return osg::Matrixd::inverse(osg::Matrixd::rotate(osg::PI, osg::Z_AXIS)) * TexMatCallback::correction() *
           osg::Matrixd::inverse(osg::Matrixd::rotate(-osg::PI_2, osg::X_AXIS));
}

// The world mirrored in the plane z = 0 and cut off below it. The scene itself goes into
// `clip` when the water joins the scene, so that models loaded later are reflected too.
osg::ref_ptr<osg::Node> createMirror(osg::ref_ptr<osg::ClipNode>& clip)
{
    osg::ref_ptr<osg::MatrixTransform> mirror = new osg::MatrixTransform(osg::Matrixd::scale(1.0, 1.0, -1.0));
    // Mirroring turns every face's winding round.
    mirror->getOrCreateStateSet()->setAttributeAndModes(new osg::FrontFace(osg::FrontFace::CLOCKWISE),
                                                        osg::StateAttribute::ON);
    clip = new osg::ClipNode;
    clip->addClipPlane(new osg::ClipPlane(0, 0.0, 0.0, 1.0, 0.0));
    mirror->addChild(clip);
    return mirror;
}

// The places of the water's parts in what its build returns.
enum WaterPart : unsigned int
{
    reflectionPart,
    skyPart,
    seaPart,
    // Where the scene goes: adding it there changes the scene's parents, which only the main
    // thread may do.
    mirrorClipPart
};
} // namespace

EnvironmentController::EnvironmentController() : EnvironmentController(nullptr, nullptr) {}

EnvironmentController::EnvironmentController(osg::Camera* mainCamera, osg::Group* sceneGroup)
    : camera(mainCamera), scene(sceneGroup), backgroundColor(0.8f, 0.8f, 1.0f, 1.0f)
{
}

EnvironmentController::EnvironmentController(const EnvironmentController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      initialised(other.initialised), camera(other.camera), scene(other.scene),
      backgroundColor(other.backgroundColor), waterEnabled(other.waterEnabled), seaState(other.seaState),
      windDirection(other.windDirection)
{
}

bool EnvironmentController::handle(const osgGA::GUIEventAdapter&, osgGA::GUIActionAdapter&)
{
    if (!initialised)
        setupEnvironment();
    mergeWater(false);
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
                                Sun::position));
    osg::Vec4 counterPosition(-Sun::position.x(), -Sun::position.y(), -Sun::position.z(), 0.0f);
    scene->addChild(createLight(1, osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f), osg::Vec4(0.2f, 0.2f, 0.2f, 0.5f),
                                counterPosition));

    osg::StateSet* stateSet = scene->getOrCreateStateSet();
    stateSet->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    stateSet->setMode(GL_LIGHT0, osg::StateAttribute::ON);
    stateSet->setMode(GL_LIGHT1, osg::StateAttribute::ON);

    if (camera.valid())
        camera->setClearColor(backgroundColor);

    // The sky's images and the sea's set-up take long: the first frames go on without them.
    if (waterEnabled && camera.valid() && scene.valid() && scene->getNumParents() > 0)
        waterBuild.start([this]() -> osg::ref_ptr<osg::Node> { return buildWater(); });

    initialised = true;
}

void EnvironmentController::mergeWater(bool wait)
{
    osg::ref_ptr<osg::Node> built;
    if (!waterBuild.take(built, wait) || !built)
        return;
    osg::Group* parts = built->asGroup();
    osg::Group* sceneRoot = scene->getParent(0);
    parts->getChild(mirrorClipPart)->asGroup()->addChild(scene.get());
    sceneRoot->addChild(parts->getChild(reflectionPart));
    sceneRoot->addChild(parts->getChild(skyPart));
    scene->addChild(parts->getChild(seaPart));

    // The view's own light is not used for the scene's lighting; it carries the sun to the sea.
    if (osg::View* view = camera->getView())
        if (osg::Light* light = view->getLight())
        {
            light->setPosition(Sun::position);
            light->setDiffuse(Sun::colour);
            light->setAmbient(Sun::ambient);
        }
}

osg::ref_ptr<osg::Group> EnvironmentController::buildWater() const
{
    osg::ref_ptr<osg::Group> parts = new osg::Group;
    osg::ref_ptr<PlanarReflection> reflection = new PlanarReflection(camera);
    reflection->setCullMask(reflectionCullMask);
    osg::ref_ptr<osg::ClipNode> clip;
    reflection->addChild(createMirror(clip));
    parts->addChild(reflection);

    osg::ref_ptr<osg::TextureCubeMap> cubeMap;
    osg::ref_ptr<osg::ClearNode> sky = SkyBox::createSkyBox(cubeMap);
    // The sky's node clears the view; where the sky has no images, the background shows.
    sky->setClearColor(backgroundColor);
    parts->addChild(sky);

    // The drawable has no bounds, so culling must never drop it while the water is in view.
    osg::ref_ptr<osg::Geode> ocean = new osg::Geode;
    ocean->setNodeMask(seaNodeMask);
    ocean->setCullingActive(false);
    // The configuration gives the wind's direction in degrees, the library takes radians.
    ocean->addDrawable(new SeaDrawable(seaState, osg::DegreesToRadians(windDirection), cubeMap,
                                       new osg::RefMatrixd(skyToSea()), reflection->getReflectionTexture(),
                                       reflection->getTextureMatrix()));
    parts->addChild(ocean);
    parts->addChild(clip);
    return parts;
}

} // namespace osgTAVRI
