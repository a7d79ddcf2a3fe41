#include "viewer/SceneController.h"

#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <cstdio>

namespace osgTAVRI
{

// Minimal stand-in: the full controller (extensions, stored paths, textures, drops) replaces it.
SceneController::SceneController(osg::Group* sceneGroup) : scene(sceneGroup)
{
    osgDB::Registry::instance()->setBuildKdTreesHint(osgDB::Options::BUILD_KDTREES);
}

bool SceneController::handle(const osgGA::GUIEventAdapter&, osgGA::GUIActionAdapter&)
{
    if (!initialised)
        setupContent();
    return false;
}

void SceneController::addModel(const std::string& name, const std::string& filename, int layerNum,
                               bool visible)
{
    osg::ref_ptr<osg::Node> node = osgDB::readNodeFile(filename, osgDB::Registry::instance()->getOptions());
    if (!node)
        return;
    models.push_back({name, filename, layerNum, visible, node});
    while (static_cast<int>(layers.size()) <= layerNum)
    {
        osg::ref_ptr<osg::Switch> layer = new osg::Switch;
        char layerName[32];
        std::snprintf(layerName, sizeof(layerName), "Layer %d", static_cast<int>(layers.size()));
        layer->setName(layerName);
        layers.push_back(layer);
        scene->addChild(layer);
    }
    layers[layerNum]->addChild(node, visible);
}

void SceneController::getModelInfo(unsigned int index, std::string& name, std::string& filename, int& layerNum,
                                   bool& visible) const
{
    const ModelRecord& r = models[index];
    name = r.name;
    filename = r.filename;
    layerNum = r.layerNum;
    visible = r.visible;
}

void SceneController::toggleLayer(unsigned int) {}
void SceneController::nextAlternative(unsigned int) {}
void SceneController::loadDroppedFiles(const std::vector<std::string>&) {}
void SceneController::setupContent() { initialised = true; }

} // namespace osgTAVRI
