#pragma once

#include "viewer/ResourcePaths.h"
#include "viewer/environment/sea/FrameSpeed.h"

#include <osg/Drawable>
#include <osg/Matrixd>
#include <osg/Program>
#include <osg/Texture2D>
#include <osg/TextureCubeMap>

#include <atomic>
#include <memory>
#include <string>

namespace Sea
{
class Environment;
class Ocean;
class ResourceLoader;
} // namespace Sea

namespace osgTAVRI
{
class LowResolutionPass;

// The sea of the ocean library in the scene graph. The library's objects are made on the
// first draw, where the graphics context is current; every draw hands the library the
// camera, the sun, the sky's cube map and the planar reflection, lets it draw, and puts the
// toolkit's render state back. The drawable has no bounds: the sea reaches the horizon.
// Its update callback, installed here, advances the sea to the frame's simulation time once
// the sea exists; the frame stamp is the sea's only clock.
class SeaDrawable : public osg::Drawable
{
public:
    static const char* resourcePath() { return ResourcePaths::sea; }
    static const char* failureMessage()
    {
        return "Failed to initialize the sea - is the resource path passed in to the ResourceLoader constructor "
               "valid?";
    }
    // A failed start-up is tried again quietly after this many seconds of simulation time.
    static constexpr double retryInterval = 1.0;
    // The sea is shaded at full size, or at this fraction of the width and height and scaled
    // up over the view (on a software renderer the cost is in its shading), or so on slow
    // frames.
    static const int reducedShadingDivisor = 3;
    enum class Shading
    {
        full,
        reduced,
        whenSlow
    };

    SeaDrawable();
    // windDirection in radians, as the library takes it.
    SeaDrawable(double seaState, double windDirection, osg::TextureCubeMap* cubeMap, osg::RefMatrixd* cubeMapMatrix,
                osg::Texture2D* reflectionTexture, osg::RefMatrixd* reflectionMatrix);
    // A copy shares the settings and textures but starts a sea of its own on its first draw.
    SeaDrawable(const SeaDrawable& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SeaDrawable);

    void drawImplementation(osg::RenderInfo& renderInfo) const override;
    // Hands the library's objects to their graphics context, which destroys them when it is
    // current next (at the latest when it closes); the next draw starts a new sea.
    void releaseGLObjects(osg::State* state = nullptr) const override;

    // Advances the sea, if there is one yet; called by the update callback.
    void advance(double simulationTime) const;

    void setShading(Shading mode) { shading = mode; }
    Shading getShading() const { return shading; }
    // Whether the last draw shaded the sea at reduced size.
    bool wasReduced() const { return reducedLastDraw; }

    double getSeaState() const { return seaState; }
    double getWindDirection() const { return windDirection; }
    Sea::Ocean* getOcean() const { return ocean.get(); }
    Sea::Environment* getEnvironment() const { return environment.get(); }

protected:
    // Destroys what no graphics context took (a drawable that was never released).
    ~SeaDrawable() override;

    void initOcean(osg::RenderInfo& renderInfo) const;
    void handOver(osg::RenderInfo& renderInfo) const;
    void restoreRenderState(osg::State& state) const;
    void render(osg::State& state, double time) const;

    osg::ref_ptr<osg::TextureCubeMap> cubeMap;
    osg::ref_ptr<osg::RefMatrixd> cubeMapMatrix;
    osg::ref_ptr<osg::Texture2D> reflectionTexture;
    osg::ref_ptr<osg::RefMatrixd> reflectionMatrix;
    // Declared in the order of making, so that they go in the reverse: ocean, environment,
    // loader. The library's `delete` returns their memory to its allocator.
    mutable std::unique_ptr<Sea::ResourceLoader> resourceLoader;
    mutable std::unique_ptr<Sea::Environment> environment;
    mutable std::unique_ptr<Sea::Ocean> ocean;
    // The ocean as the update traversal sees it, which may run on another thread than drawing.
    mutable std::atomic<Sea::Ocean*> advancing{nullptr};
    double seaState = 3.0;
    double windDirection = 0.0;
    Shading shading = Shading::whenSlow;
    mutable FrameSpeed speed;
    mutable bool reducedLastDraw = false;
    // Made with the sea, handed over with it for release.
    mutable std::unique_ptr<LowResolutionPass> lowResolution;

    // The graphics context that holds the library's GL objects.
    mutable unsigned int contextID = 0;
    // When the last start-up failed, and the reason it gave (empty after a success).
    mutable double lastAttempt = 0.0;
    mutable bool failed = false;
    mutable std::string failureReason;
    osg::ref_ptr<osg::Program> fixedFunction;
};

} // namespace osgTAVRI
