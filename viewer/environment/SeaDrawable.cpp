#include "viewer/environment/SeaDrawable.h"

#include "viewer/environment/SeaUpdateCallback.h"

#include <osg/ContextData>
#include <osg/Depth>
#include <osg/FrameStamp>
#include <osg/GLObjects>
#include <osg/Light>
#include <osg/Notify>
#include <osg/State>
#include <osg/View>

#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"

#include <mutex>
#include <vector>

#ifndef GL_DEPTH_CLAMP
#define GL_DEPTH_CLAMP 0x864F
#endif

namespace osgTAVRI
{

namespace
{
// The texture units the library binds while it draws.
const unsigned int libraryTextureUnits = 8;

// Collects the lines the library writes while it lives. It is put around every call into
// the library, so that what the library says reaches the toolkit's notification stream as
// the viewer decides: once, not in every frame.
class LibraryMessages : public Sea::MessageHandler
{
public:
    LibraryMessages() { Sea::MessageChannel::SetHandler(this); }
    ~LibraryMessages() override { Sea::MessageChannel::SetHandler(nullptr); }
    void Write(const char* line, bool alert) override
    {
        if (!alert)
            lines.emplace_back(line);
    }

    // All lines as one, without their "SEA: " prefixes; a line that ends in a colon runs on
    // into the next ("Failed to load the following resource: <path>").
    std::string joined() const
    {
        const std::string prefix = "SEA: ";
        std::string text;
        for (const std::string& line : lines)
        {
            const std::string words = line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : line;
            if (!text.empty())
                text += text.back() == ':' ? " " : "; ";
            text += words;
        }
        return text;
    }

    std::vector<std::string> lines;
};

void destroy(Sea::Ocean* ocean, Sea::Environment* environment, Sea::ResourceLoader* loader)
{
    delete ocean;
    delete environment;
    delete loader;
}

unsigned int textureName(const osg::Texture* texture, unsigned int contextID)
{
    osg::Texture::TextureObject* object = texture ? texture->getTextureObject(contextID) : nullptr;
    return object ? object->id() : 0;
}

// The upper-left 3 x 3 block, row by row.
void upperLeft(const osg::Matrixd& m, double out[9])
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            out[row * 3 + column] = m(row, column);
}

// The library objects of seas that were let go, kept for their graphics context until it is
// current again: the toolkit flushes this with its own GL objects in every frame and when the
// context closes. The scene itself may outlive the context, so the drawable cannot wait for
// its destructor.
class SeaReleaseQueue : public osg::GraphicsObjectManager
{
public:
    explicit SeaReleaseQueue(unsigned int contextID) : osg::GraphicsObjectManager("SeaReleaseQueue", contextID) {}

    void add(Sea::Ocean* ocean, Sea::Environment* environment, Sea::ResourceLoader* loader)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.push_back({ocean, environment, loader});
    }

    void flushDeletedGLObjects(double, double&) override { flushAllDeletedGLObjects(); }
    void flushAllDeletedGLObjects() override
    {
        std::vector<Objects> due;
        {
            std::lock_guard<std::mutex> lock(mutex);
            due.swap(pending);
        }
        for (const Objects& objects : due)
            destroy(objects.ocean, objects.environment, objects.loader);
    }
    void deleteAllGLObjects() override { flushAllDeletedGLObjects(); }
    // The context is gone: the library's GL calls reach no context, its memory is freed.
    void discardAllGLObjects() override { flushAllDeletedGLObjects(); }

protected:
    ~SeaReleaseQueue() override { flushAllDeletedGLObjects(); }

private:
    struct Objects
    {
        Sea::Ocean* ocean;
        Sea::Environment* environment;
        Sea::ResourceLoader* loader;
    };
    std::mutex mutex;
    std::vector<Objects> pending;
};
} // namespace

SeaDrawable::SeaDrawable() : SeaDrawable(3.0, 0.0, nullptr, nullptr, nullptr, nullptr) {}

SeaDrawable::SeaDrawable(double state, double direction, osg::TextureCubeMap* sky, osg::RefMatrixd* skyMatrix,
                         osg::Texture2D* reflection, osg::RefMatrixd* reflectionTextureMatrix)
    : cubeMap(sky), cubeMapMatrix(skyMatrix ? skyMatrix : new osg::RefMatrixd),
      reflectionTexture(reflection),
      reflectionMatrix(reflectionTextureMatrix ? reflectionTextureMatrix : new osg::RefMatrixd), seaState(state),
      windDirection(direction), fixedFunction(new osg::Program)
{
    setDataVariance(osg::Object::DYNAMIC);
    setUseVertexBufferObjects(false);
    setUseDisplayList(false);
    // The sea runs out to the horizon, far beyond the far plane that the models set: depth
    // clamping keeps it from being cut off there, and LEQUAL lets it cover the sky, which
    // lies at the same clamped depth.
    osg::StateSet* stateSet = getOrCreateStateSet();
    stateSet->setMode(GL_DEPTH_CLAMP, osg::StateAttribute::ON);
    stateSet->setAttributeAndModes(new osg::Depth(osg::Depth::LEQUAL), osg::StateAttribute::ON);
}

SeaDrawable::SeaDrawable(const SeaDrawable& other, const osg::CopyOp& copyop)
    : osg::Drawable(other, copyop), cubeMap(other.cubeMap), cubeMapMatrix(new osg::RefMatrixd(*other.cubeMapMatrix)),
      reflectionTexture(other.reflectionTexture), reflectionMatrix(other.reflectionMatrix), seaState(other.seaState),
      windDirection(other.windDirection), fixedFunction(new osg::Program)
{
    setUpdateCallback(nullptr);
}

SeaDrawable::~SeaDrawable() { destroy(ocean, environment, resourceLoader); }

void SeaDrawable::drawImplementation(osg::RenderInfo& renderInfo) const
{
    osg::State& state = *renderInfo.getState();
    state.disableAllVertexArrays();
    state.dirtyAllVertexArrays();

    const osg::FrameStamp* frameStamp = state.getFrameStamp();
    const double now = frameStamp ? frameStamp->getReferenceTime() : 0.0;
    if (!ocean && (!failed || now - lastAttempt >= retryInterval))
        initOcean(renderInfo);

    if (ocean)
    {
        LibraryMessages messages;
        const osg::Matrixd modelView(state.getModelViewMatrix());
        const osg::Matrixd projection(state.getProjectionMatrix());
        environment->SetCameraMatrix(modelView.ptr());
        environment->SetProjectionMatrix(projection.ptr());
        state.dirtyAllVertexArrays();
        handOver(renderInfo);
        ocean->Render(frameStamp ? frameStamp->getSimulationTime() : 0.0, true, true, true);
        for (unsigned int unit = 0; unit < libraryTextureUnits; ++unit)
            state.haveAppliedTextureAttribute(unit, osg::StateAttribute::TEXTURE);
        // A GL error in every frame would otherwise flood the console.
        for (const std::string& line : messages.lines)
            if (reportedLines.insert(line).second)
                OSG_WARN << line << std::endl;
    }
    restoreRenderState(state);
}

void SeaDrawable::initOcean(osg::RenderInfo& renderInfo) const
{
    osg::State& state = *renderInfo.getState();
    contextID = state.getContextID();
    lastAttempt = state.getFrameStamp() ? state.getFrameStamp()->getReferenceTime() : 0.0;

    LibraryMessages messages;
    resourceLoader = new Sea::ResourceLoader(resourcePath(), false);
    environment = new Sea::Environment;
    // Without its configuration the library could make no sea, only more messages.
    if (environment->Setup(Sea::FLAT_ZUP, Sea::OPENGL_2_0, resourceLoader, nullptr, false) == Sea::SUCCEEDED)
    {
        environment->SimulateSeaState(seaState, windDirection);
        ocean = Sea::Ocean::Create(environment, Sea::FFT_JONSWAP, false, false);
    }

    if (!ocean)
    {
        destroy(nullptr, environment, resourceLoader);
        environment = nullptr;
        resourceLoader = nullptr;
        // Written once, and again only when the reason changes; the retries are quiet.
        const std::string reason = messages.joined();
        if (!failed || reason != failureReason)
            OSG_FATAL << failureMessage() << (reason.empty() ? std::string() : " (SEA: " + reason + ")")
                      << std::endl;
        failed = true;
        failureReason = reason;
        return;
    }

    failed = false;
    failureReason.clear();
    for (const std::string& line : messages.lines)
        OSG_INFO << line << std::endl;
    const_cast<SeaDrawable*>(this)->setUpdateCallback(new SeaUpdateCallback(ocean));
}

void SeaDrawable::handOver(osg::RenderInfo& renderInfo) const
{
    const osg::View* view = renderInfo.getView();
    const osg::Light* light = view ? view->getLight() : nullptr;
    if (light && light->getPosition().w() == 0.0f)
    {
        const osg::Vec4& p = light->getPosition();
        const osg::Vec4& diffuse = light->getDiffuse();
        const osg::Vec4& ambient = light->getAmbient();
        environment->SetDirectionalLight(Sea::Vector3(p.x(), p.y(), p.z()),
                                         Sea::Vector3(diffuse.r(), diffuse.g(), diffuse.b()));
        environment->SetAmbientColor(Sea::Vector3(ambient.r(), ambient.g(), ambient.b()));
    }

    osg::Matrixd sky = (*cubeMapMatrix) * osg::Matrixd::rotate(-osg::PI_2, osg::X_AXIS);
    sky.preMult(osg::Matrixd::rotate(osg::PI, osg::Z_AXIS));
    double m[9];
    upperLeft(sky, m);
    environment->SetEnvironmentMap(textureName(cubeMap.get(), contextID), m);

    upperLeft(*reflectionMatrix, m);
    environment->SetPlanarReflectionMap(textureName(reflectionTexture.get(), contextID), m, 0.125);
}

void SeaDrawable::restoreRenderState(osg::State& state) const
{
    state.dirtyAllVertexArrays();
    state.setLastAppliedProgramObject(nullptr);
    fixedFunction->apply(state);
}

void SeaDrawable::releaseGLObjects(osg::State* state) const
{
    osg::Drawable::releaseGLObjects(state);
    if (!ocean || (state && state->getContextID() != contextID))
        return;
    const_cast<SeaDrawable*>(this)->setUpdateCallback(nullptr);
    osg::get<SeaReleaseQueue>(contextID)->add(ocean, environment, resourceLoader);
    ocean = nullptr;
    environment = nullptr;
    resourceLoader = nullptr;
}

} // namespace osgTAVRI
