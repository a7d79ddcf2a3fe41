#include "viewer/environment/sea/SeaDrawable.h"

#include "viewer/environment/sea/LowResolutionPass.h"
#include "viewer/environment/sea/SeaMessages.h"
#include "viewer/environment/sea/SeaUpdateCallback.h"

#include <osg/ContextData>
#include <osg/Depth>
#include <osg/FrameStamp>
#include <osg/GLExtensions>
#include <osg/GLObjects>
#include <osg/Light>
#include <osg/Notify>
#include <osg/State>
#include <osg/View>

#include "Sea/Environment.h"
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
// The texture units the library binds on.
const unsigned int libraryTextureUnits = 8;

// The library binds buffers, textures and texture units of its own, also while it starts,
// outside any push and pop of state. The toolkit would go on believing its own objects bound
// (its State::dirtyAllVertexArrays does not reset that record), so the bindings are put back
// to none and the toolkit is told so.
void forgetBindings(osg::State& state)
{
    const osg::GLExtensions* gl = state.get<osg::GLExtensions>();
    if (gl->isVBOSupported)
    {
        gl->glBindBuffer(GL_ARRAY_BUFFER_ARB, 0);
        gl->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    state.setCurrentVertexBufferObject(nullptr);
    state.setCurrentElementBufferObject(nullptr);
    for (unsigned int unit = 0; unit < libraryTextureUnits; ++unit)
        state.haveAppliedTextureAttribute(unit, osg::StateAttribute::TEXTURE);
    if (gl->isMultiTexturingSupported)
    {
        gl->glActiveTexture(GL_TEXTURE0 + state.getActiveTextureUnit());
        gl->glClientActiveTexture(GL_TEXTURE0 + state.getClientActiveTextureUnit());
    }
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

// The library objects of one sea, destroyed ocean first, and the GL names of its pass at
// reduced size.
struct SeaObjects
{
    std::unique_ptr<LowResolutionPass> pass;
    std::unique_ptr<Sea::ResourceLoader> loader;
    std::unique_ptr<Sea::Environment> environment;
    std::unique_ptr<Sea::Ocean> ocean;
};

// The library objects of seas that were let go, kept for their graphics context until it is
// current again: the toolkit flushes this with its own GL objects in every frame and when the
// context closes. The scene itself may outlive the context, so the drawable cannot wait for
// its destructor.
class SeaReleaseQueue : public osg::GraphicsObjectManager
{
public:
    explicit SeaReleaseQueue(unsigned int contextID) : osg::GraphicsObjectManager("SeaReleaseQueue", contextID) {}

    void add(SeaObjects objects)
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.push_back(std::move(objects));
    }

    void flushDeletedGLObjects(double, double&) override { flushAllDeletedGLObjects(); }
    void flushAllDeletedGLObjects() override { flush(true); }
    void deleteAllGLObjects() override { flush(true); }
    // The context is gone: the library's GL calls reach no context, its memory is freed.
    void discardAllGLObjects() override { flush(false); }

protected:
    ~SeaReleaseQueue() override { flush(false); }

private:
    void flush(bool contextCurrent)
    {
        std::vector<SeaObjects> due;
        {
            std::lock_guard<std::mutex> lock(mutex);
            due.swap(pending);
        }
        if (contextCurrent)
            for (SeaObjects& objects : due)
                if (objects.pass)
                    objects.pass->release();
    }

    std::mutex mutex;
    std::vector<SeaObjects> pending;
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
    SeaMessages::install();
    setDataVariance(osg::Object::DYNAMIC);
    setUseVertexBufferObjects(false);
    setUseDisplayList(false);
    setUpdateCallback(new SeaUpdateCallback);
    // The sea runs out to the horizon, far beyond the far plane that the models set: depth
    // clamping keeps it from being cut off there, and LEQUAL lets it cover the sky, which
    // lies at the same clamped depth.
    osg::StateSet* stateSet = getOrCreateStateSet();
    stateSet->setMode(GL_DEPTH_CLAMP, osg::StateAttribute::ON);
    stateSet->setAttributeAndModes(new osg::Depth(osg::Depth::LEQUAL), osg::StateAttribute::ON);
    // After the opaque models, whose depth then spares the shading of the water they hide,
    // and before the transparent ones, over which it would not blend.
    stateSet->setRenderBinDetails(5, "RenderBin");
}

SeaDrawable::SeaDrawable(const SeaDrawable& other, const osg::CopyOp& copyop)
    : osg::Drawable(other, copyop), cubeMap(other.cubeMap), cubeMapMatrix(new osg::RefMatrixd(*other.cubeMapMatrix)),
      reflectionTexture(other.reflectionTexture), reflectionMatrix(other.reflectionMatrix), seaState(other.seaState),
      windDirection(other.windDirection), shading(other.shading), fixedFunction(new osg::Program)
{
}

SeaDrawable::~SeaDrawable() = default;

void SeaDrawable::advance(double simulationTime) const
{
    if (Sea::Ocean* sea = advancing.load())
        sea->Advance(simulationTime);
}

void SeaDrawable::drawImplementation(osg::RenderInfo& renderInfo) const
{
    osg::State& state = *renderInfo.getState();
    state.disableAllVertexArrays();
    state.dirtyAllVertexArrays();

    const osg::FrameStamp* frameStamp = state.getFrameStamp();
    const double now = frameStamp ? frameStamp->getSimulationTime() : 0.0;
    if (!ocean && (!failed || now - lastAttempt >= retryInterval || now < lastAttempt))
        initOcean(renderInfo);

    if (ocean)
    {
        const osg::Matrixd modelView(state.getModelViewMatrix());
        const osg::Matrixd projection(state.getProjectionMatrix());
        environment->SetCameraMatrix(modelView.ptr());
        environment->SetProjectionMatrix(projection.ptr());
        state.dirtyAllVertexArrays();
        handOver(renderInfo);
        if (frameStamp)
            speed.judge(*frameStamp);
        render(state, now);
        forgetBindings(state);
    }
    restoreRenderState(state);
}

void SeaDrawable::render(osg::State& state, double time) const
{
    auto draw = [this, time]() { ocean->Render(time, true, true, true); };
    const bool reduce = shading == Shading::reduced || (shading == Shading::whenSlow && speed.isSlow());
    reducedLastDraw = reduce && lowResolution->run(state, draw);
    if (!reducedLastDraw)
        draw();
}

void SeaDrawable::initOcean(osg::RenderInfo& renderInfo) const
{
    osg::State& state = *renderInfo.getState();
    contextID = state.getContextID();
    lastAttempt = state.getFrameStamp() ? state.getFrameStamp()->getSimulationTime() : 0.0;

    SeaMessages::Collector messages;
    SeaObjects made;
    made.loader.reset(new Sea::ResourceLoader(resourcePath(), false));
    made.environment.reset(new Sea::Environment);
    // Without its configuration the library could make no sea, only more messages.
    if (made.environment->Setup(Sea::FLAT_ZUP, Sea::OPENGL_2_0, made.loader.get(), nullptr, false) ==
        Sea::SUCCEEDED)
    {
        made.environment->SimulateSeaState(seaState, windDirection);
        made.ocean.reset(Sea::Ocean::Create(made.environment.get(), Sea::FFT_JONSWAP, false, false));
    }
    forgetBindings(state);

    if (!made.ocean)
    {
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
    // What the library had to say about a start-up that worked (a doubtful setting) is shown.
    messages.report();
    resourceLoader = std::move(made.loader);
    environment = std::move(made.environment);
    ocean = std::move(made.ocean);
    lowResolution.reset(new LowResolutionPass(reducedShadingDivisor));
    advancing.store(ocean.get());
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
    advancing.store(nullptr);
    SeaObjects objects;
    objects.pass = std::move(lowResolution);
    objects.ocean = std::move(ocean);
    objects.environment = std::move(environment);
    objects.loader = std::move(resourceLoader);
    osg::get<SeaReleaseQueue>(contextID)->add(std::move(objects));
}

} // namespace osgTAVRI
