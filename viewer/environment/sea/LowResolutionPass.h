#pragma once

#include <osg/GLExtensions>
#include <osg/ref_ptr>

#include <functional>

namespace osg
{
class State;
}

namespace osgTAVRI
{

// Draws something into a framebuffer of a fraction of the viewport's width and height, tested
// against the depth of what the viewport already shows, and lays the result over the viewport
// scaled up. On a software renderer the cost of a fragment shader grows with the pixels it
// shades; shading a fourth or a ninth of them and filtering up costs far less, and a smooth
// surface such as the sea looks much the same. The depth test is at the reduced size, so the
// edges of what hides the result are a block of pixels coarse; and the result leaves the
// viewport's depth as it was (laying its depth too would cost a full-size pass with depth
// written per fragment).
//
// What is drawn must blend its colour with GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, as over the
// viewport, and its alpha with GL_ONE, GL_ONE_MINUS_SRC_ALPHA: the target starts transparent,
// so it then holds colours times their coverage and the coverage, which lay the same blend
// over the viewport.
//
// Works with the graphics context current and keeps GL names of its own for that context;
// `release` gives them back. The toolkit's record of state is not touched: the caller
// restores what it tracks (texture bindings on unit 0, the program).
class LowResolutionPass
{
public:
    // Each side of the target is the viewport's divided by `divisor`.
    explicit LowResolutionPass(int divisor = 2);
    ~LowResolutionPass();

    LowResolutionPass(const LowResolutionPass&) = delete;
    LowResolutionPass& operator=(const LowResolutionPass&) = delete;

    // Draws `draw` at the reduced size and composites it. False, with nothing drawn, when this
    // context cannot (no framebuffer objects, a depth buffer it cannot copy): the caller then
    // draws at full size, and the pass does not try again.
    bool run(osg::State& state, const std::function<void()>& draw);

    // Deletes the GL names; the context they were made in must be current.
    void release();

    int getDivisor() const { return divisor; }
    bool isUsable() const { return usable; }

private:
    bool prepare(const osg::GLExtensions& gl, int width, int height);
    bool prepareResolve(const osg::GLExtensions& gl, int viewportWidth, int viewportHeight);
    bool makeTarget(const osg::GLExtensions& gl, unsigned int& framebuffer, unsigned int& depth, unsigned int* colour,
                    int width, int height);
    bool makeProgram(const osg::GLExtensions& gl);
    void composite(const osg::GLExtensions& gl, const int viewport[4]);

    int divisor;
    bool usable = true;
    const osg::GLExtensions* extensions = nullptr;
    int depthFormat = 0;
    // The reduced target: colour texture and depth.
    unsigned int framebuffer = 0, colour = 0, depth = 0;
    int width = 0, height = 0;
    // A multisampled viewport's depth is resolved at full size first, as a scaled copy from
    // multisampled buffers is not allowed.
    unsigned int resolveFramebuffer = 0, resolveDepth = 0;
    int resolveWidth = 0, resolveHeight = 0;
    unsigned int program = 0;
    int textureLocation = -1;
};

} // namespace osgTAVRI
