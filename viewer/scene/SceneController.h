#pragma once

#include "viewer/scene/BackgroundBuild.h"
#include "viewer/scene/PagedTerrain.h"

#include <osg/Group>
#include <osg/Switch>
#include <osgGA/GUIEventHandler>

#include <functional>
#include <string>
#include <vector>

namespace osgTAVRI
{

// Holds the models of the scene in numbered layers whose children are alternatives:
// digit keys show or hide a layer, a digit with a modifier (Alt) steps to its next model.
class SceneController : public osgGA::GUIEventHandler
{
public:
    // One model of the project. A configured model keeps its values as configured, whether
    // or not it could be loaded (node is then null); a dropped file is recorded once loaded,
    // with its path relative to Bin when it lies inside the installation.
    struct ModelRecord
    {
        std::string name;
        std::string filename;
        int layerNum = 0;
        bool visible = false;
        osg::ref_ptr<osg::Node> node;
    };

    // Layers beyond this are refused: a stray number would create a million empty switches.
    static constexpr int maxLayerNum = 999;

    // Builds optional content; a null result adds nothing. Without one set, the information
    // points and the power line come from the content tree. The first event starts the builds
    // on threads of their own (a builder must not touch the scene), and each part joins the
    // scene on the first event after it is ready, so that no frame waits for it.
    using ContentBuilder = std::function<osg::ref_ptr<osg::Node>(SceneController&)>;

    SceneController();
    explicit SceneController(osg::Group* scene);
    SceneController(const SceneController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SceneController);

    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    void setLoadInfoPoints(bool value) { loadInfoPoints = value; }
    bool getLoadInfoPoints() const { return loadInfoPoints; }
    void setGeneratePowerline(bool value) { generatePowerline = value; }
    bool getGeneratePowerline() const { return generatePowerline; }
    void setOffsetX(double value) { offsetX = value; }
    void setOffsetY(double value) { offsetY = value; }
    void setOffsetZ(double value) { offsetZ = value; }
    double getOffsetX() const { return offsetX; }
    double getOffsetY() const { return offsetY; }
    double getOffsetZ() const { return offsetZ; }

    // MB of memory that the pager may fill with the files of paged databases.
    void setPagedMemory(unsigned megabytes) { pagedMemory = megabytes; }
    unsigned getPagedMemory() const { return pagedMemory; }

    void setInfoPointsBuilder(ContentBuilder builder) { infoPointsBuilder = std::move(builder); }
    void setPowerlineBuilder(ContentBuilder builder) { powerlineBuilder = std::move(builder); }
    osg::ref_ptr<osg::Node> createPowerline();

    // The folder that relative model paths are read from; empty for the working directory.
    // Models keep their paths as configured.
    void setModelFolder(const std::string& folder) { modelFolder = folder; }

    // Loads a configured model into its layer (layer 0 when layerNum is out of range) and
    // records it, also when it cannot be loaded.
    void addModel(const std::string& name, const std::string& filename, int layerNum, bool visible);
    unsigned int getNumModels() const { return static_cast<unsigned int>(models.size()); }
    void getModelInfo(unsigned int index, std::string& name, std::string& filename, int& layerNum,
                      bool& visible) const;

    void toggleLayer(unsigned int index);
    void nextAlternative(unsigned int index);
    void loadDroppedFiles(const std::vector<std::string>& paths);
    // Starts building the asked content in the background; done once.
    void startContent();
    // Adds the content that is ready; with `wait`, waits for all of it first.
    void mergeContent(bool wait);
    // Starts the content and waits for it.
    void setupContent();
    // Content was asked for that has not joined the scene yet.
    bool isContentPending() const { return infoPointsBuild.isPending() || powerlineBuild.isPending(); }

    unsigned int getNumLayers() const { return static_cast<unsigned int>(layers.size()); }
    osg::Switch* getLayer(unsigned int index) const { return index < layers.size() ? layers[index].get() : nullptr; }
    const ModelRecord& getModel(unsigned int index) const { return models[index]; }
    bool isInitialised() const { return initialised; }

    // The form in which a model path is recorded, given the working directory.
    static std::string storedPath(const std::string& path, const std::string& workingDirectory);
    static bool isSupportedExtension(const std::string& path);
    // Puts the zip-archive password into the registry unless a map is already there.
    static void registerZipPassword();

protected:
    ~SceneController() override = default;

    // Reads a model file with the messages of a load; null when it cannot be read.
    osg::ref_ptr<osg::Node> readModel(const std::string& name, const std::string& filename) const;
    osg::Switch* getOrCreateLayer(int layerNum);

    std::vector<ModelRecord> models;
    osg::ref_ptr<osg::Group> scene;
    std::vector<osg::ref_ptr<osg::Switch>> layers;
    bool initialised = false;
    bool loadInfoPoints = false;
    bool generatePowerline = false;
    double offsetX = 0.0;
    double offsetY = 0.0;
    double offsetZ = 0.0;
    std::string modelFolder;
    unsigned pagedMemory = PagedTerrain::defaultMemoryMB;
    ContentBuilder infoPointsBuilder;
    ContentBuilder powerlineBuilder;
    BackgroundBuild infoPointsBuild;
    BackgroundBuild powerlineBuild;
};

} // namespace osgTAVRI
