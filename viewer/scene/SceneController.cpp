#include "viewer/scene/SceneController.h"

#include "viewer/scene/DropFiles.h"
#include "viewer/content/builders/InfoPointsBuilder.h"
#include "viewer/content/builders/PowerlineBuilder.h"

#include <osg/Notify>
#include <osgDB/AuthenticationMap>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgUtil/Optimizer>

#include <cstdio>

namespace osgTAVRI
{

SceneController::SceneController() : SceneController(nullptr) {}

SceneController::SceneController(osg::Group* sceneGroup) : scene(sceneGroup)
{
    osgDB::Registry::instance()->setBuildKdTreesHint(osgDB::Options::BUILD_KDTREES);
}

SceneController::SceneController(const SceneController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      models(other.models), scene(other.scene), layers(other.layers), initialised(other.initialised),
      loadInfoPoints(other.loadInfoPoints), generatePowerline(other.generatePowerline), offsetX(other.offsetX),
      offsetY(other.offsetY), offsetZ(other.offsetZ), modelFolder(other.modelFolder),
      infoPointsBuilder(other.infoPointsBuilder),
      powerlineBuilder(other.powerlineBuilder)
{
}

bool SceneController::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter&)
{
    if (!initialised)
        startContent();
    mergeContent(false);

    if (ea.getEventType() == osgGA::GUIEventAdapter::KEYUP && ea.getKey() >= '0' && ea.getKey() <= '9')
    {
        const unsigned int index = static_cast<unsigned int>(ea.getKey() - '0');
        // Lock states are no modifiers: Num Lock is on on most desktops, and a digit typed
        // with it must still toggle its layer.
        const int lockStates = osgGA::GUIEventAdapter::MODKEY_NUM_LOCK | osgGA::GUIEventAdapter::MODKEY_CAPS_LOCK;
        if ((ea.getModKeyMask() & ~lockStates) != 0)
            nextAlternative(index);
        else
            toggleLayer(index);
    }
    else if (isDropEvent(ea))
    {
        loadDroppedFiles(getDropFiles(ea));
    }
    return false;
}

bool SceneController::isSupportedExtension(const std::string& path)
{
    const std::string ext = osgDB::convertToLowerCase(osgDB::getFileExtension(path));
    return ext == "ive" || ext == "osg" || ext == "zip" || ext == "dxf" || ext == "curl" || ext == "3ds";
}

std::string SceneController::storedPath(const std::string& path, const std::string& workingDirectory)
{
    // Only a working directory that is the Bin folder itself says where the installation is;
    // shortening against anything else would record a path that no longer leads to the file.
    std::string dir = workingDirectory;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (osgDB::getSimpleFileName(dir) != "Bin")
        return path;
    const std::string root = dir.substr(0, dir.size() - 3);
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0)
        return path;
    return "../" + path.substr(root.size());
}

void SceneController::registerZipPassword()
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    if (registry->getAuthenticationMap())
        return;
    osg::ref_ptr<osgDB::AuthenticationMap> map = new osgDB::AuthenticationMap;
    map->addAuthenticationDetails("ZipPlugin", new osgDB::AuthenticationDetails("", "mossrock",
                                                                                 osgDB::AuthenticationDetails::BASIC));
    registry->setAuthenticationMap(map.get());
}

void SceneController::addModel(const std::string& name, const std::string& filename, int layerNum, bool visible)
{
    const bool relative = !osgDB::isAbsolutePath(filename) && filename.find("://") == std::string::npos;
    osg::ref_ptr<osg::Node> node =
        readModel(name, relative && !modelFolder.empty() ? osgDB::concatPaths(modelFolder, filename) : filename);
    models.push_back({name, filename, layerNum, visible, node});
    if (!node)
        return;
    int layer = layerNum;
    if (layer < 0 || layer > maxLayerNum)
    {
        OSG_WARN << "Layer " << layerNum << " of model " << filename << " is out of range (0 to " << maxLayerNum
                 << "), using layer 0" << std::endl;
        layer = 0;
    }
    getOrCreateLayer(layer)->addChild(node.get(), visible);
}

osg::ref_ptr<osg::Node> SceneController::readModel(const std::string& name, const std::string& filename) const
{
    if (filename.empty())
    {
        OSG_WARN << "Model " << name << " names no file" << std::endl;
        return nullptr;
    }
    if (!isSupportedExtension(filename))
    {
        OSG_WARN << "Unsupported file dropped " << filename << std::endl;
        return nullptr;
    }
    OSG_NOTICE << "Laddar " << name << std::endl;

    // Configured archives are read before the first event, so the password must be there already.
    if (osgDB::convertToLowerCase(osgDB::getFileExtension(filename)) == "zip")
        registerZipPassword();

    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(filename, osgDB::Registry::instance()->getOptions());
    if (!node)
    {
        OSG_WARN << "Unable to load model " << storedPath(filename, osgDB::getCurrentWorkingDirectory())
                 << std::endl;
        return nullptr;
    }

    // Release image data once it is on the card, and filter textures anisotropically.
    osgUtil::Optimizer::TextureVisitor textures(true, true, false, false, true, 4.0f);
    node->accept(textures);
    return node;
}

osg::Switch* SceneController::getOrCreateLayer(int layerNum)
{
    while (static_cast<int>(layers.size()) <= layerNum)
    {
        osg::ref_ptr<osg::Switch> layer = new osg::Switch;
        char layerName[32];
        std::snprintf(layerName, sizeof(layerName), "Layer %d", static_cast<int>(layers.size()));
        layer->setName(layerName);
        layers.push_back(layer);
        scene->addChild(layer.get());
        OSG_INFO << "Adding new layer " << layer->getName() << std::endl;
    }
    return layers[layerNum].get();
}

void SceneController::getModelInfo(unsigned int index, std::string& name, std::string& filename, int& layerNum,
                                   bool& visible) const
{
    if (index >= models.size())
        return;
    const ModelRecord& r = models[index];
    name = r.name;
    filename = r.filename;
    layerNum = r.layerNum;
    visible = r.visible;
}

void SceneController::toggleLayer(unsigned int index)
{
    if (index >= layers.size())
        return;
    osg::Switch* layer = layers[index].get();
    bool anyOn = false;
    for (unsigned int i = 0; i < layer->getNumChildren(); ++i)
        anyOn = anyOn || layer->getValue(i);
    if (anyOn)
        layer->setAllChildrenOff();
    else
        layer->setAllChildrenOn();
}

void SceneController::nextAlternative(unsigned int index)
{
    if (index >= layers.size())
        return;
    osg::Switch* layer = layers[index].get();
    const unsigned int count = layer->getNumChildren();
    int first = -1;
    for (unsigned int i = 0; i < count && first < 0; ++i)
        if (layer->getValue(i))
            first = static_cast<int>(i);
    layer->setAllChildrenOff();
    if (count == 0)
        return;
    layer->setValue(first < 0 ? 0 : (static_cast<unsigned int>(first) + 1) % count, true);
}

void SceneController::loadDroppedFiles(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
    {
        const std::string name = osgDB::getStrippedName(path);
        osg::ref_ptr<osg::Node> node = readModel(name, path);
        if (!node)
            continue;
        models.push_back({name, storedPath(path, osgDB::getCurrentWorkingDirectory()), 0, true, node});
        getOrCreateLayer(0)->addChild(node.get(), true);
    }
}

osg::ref_ptr<osg::Node> SceneController::createPowerline()
{
    if (powerlineBuilder)
        return powerlineBuilder(*this);
    PowerlineBuilder::Settings settings;
    settings.offset.set(offsetX, offsetY, offsetZ);
    return PowerlineBuilder(settings).build();
}

void SceneController::startContent()
{
    if (initialised)
        return;
    registerZipPassword();
    initialised = true;
    // The builders read this controller's settings while the frames go on. The builds are its
    // last members, so they wait for their jobs before anything a job reads goes away.
    if (loadInfoPoints)
        infoPointsBuild.start([this]() -> osg::ref_ptr<osg::Node> {
            if (infoPointsBuilder)
                return infoPointsBuilder(*this);
            return createInfoPoints();
        });
    if (generatePowerline)
        powerlineBuild.start([this]() { return createPowerline(); });
}

void SceneController::mergeContent(bool wait)
{
    // In this order, whichever is ready first, so that the scene's order does not depend on
    // timing: a part waits for those before it.
    for (BackgroundBuild* build : {&infoPointsBuild, &powerlineBuild})
    {
        osg::ref_ptr<osg::Node> part;
        if (build->isPending() && !build->take(part, wait))
            return;
        if (part && scene.valid())
            scene->addChild(part.get());
    }
}

void SceneController::setupContent()
{
    startContent();
    mergeContent(true);
}

} // namespace osgTAVRI
