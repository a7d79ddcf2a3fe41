#include "viewer/environment/sea/LowResolutionPass.h"

#include <osg/GL>
#include <osg/Notify>
#include <osg/State>

#include <algorithm>

namespace osgTAVRI
{

namespace
{
// The target holds colour times coverage and the coverage: laid over the view with the
// blend GL_ONE, GL_ONE_MINUS_SRC_ALPHA.
const char* const vertexSource = "#version 120\n"
                                 "varying vec2 uv;\n"
                                 "void main()\n"
                                 "{\n"
                                 "    uv = gl_Vertex.xy * 0.5 + 0.5;\n"
                                 "    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);\n"
                                 "}\n";
const char* const fragmentSource = "#version 120\n"
                                   "uniform sampler2D image;\n"
                                   "varying vec2 uv;\n"
                                   "void main()\n"
                                   "{\n"
                                   "    gl_FragColor = texture2D(image, uv);\n"
                                   "}\n";

unsigned int compile(const osg::GLExtensions& gl, GLenum type, const char* source)
{
    const GLuint shader = gl.glCreateShader(type);
    gl.glShaderSource(shader, 1, &source, nullptr);
    gl.glCompileShader(shader);
    GLint ok = GL_FALSE;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE)
    {
        gl.glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// The depth buffer of the framebuffer bound for drawing, as a format a copy into ours accepts:
// a copy of depth needs the same number of bits on both sides.
GLenum depthFormatOfCurrentFramebuffer()
{
    GLint depthBits = 24, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    if (depthBits == 16)
        return GL_DEPTH_COMPONENT16;
    if (depthBits == 32)
        return GL_DEPTH_COMPONENT32;
    return stencilBits > 0 ? GL_DEPTH24_STENCIL8_EXT : GL_DEPTH_COMPONENT24;
}
} // namespace

LowResolutionPass::LowResolutionPass(int d) : divisor(std::max(d, 1)) {}

// The GL names belong to a context that may be gone; `release` is the way to free them.
LowResolutionPass::~LowResolutionPass() = default;

bool LowResolutionPass::run(osg::State& state, const std::function<void()>& draw)
{
    const osg::GLExtensions* gl = state.get<osg::GLExtensions>();
    if (!usable || !gl || !gl->isFrameBufferObjectSupported || !gl->glBlitFramebuffer || !gl->isGlslSupported)
    {
        usable = false;
        return false;
    }
    extensions = gl;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLint drawn = 0, read = 0, samples = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &drawn);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING_EXT, &read);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return true;
    while (glGetError() != GL_NO_ERROR)
    {
    }
    const int targetWidth = (viewport[2] + divisor - 1) / divisor;
    const int targetHeight = (viewport[3] + divisor - 1) / divisor;
    if (depthFormat == 0)
        depthFormat = int(depthFormatOfCurrentFramebuffer());
    auto restoreBindings = [&]() {
        gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER_EXT, GLuint(drawn));
        gl->glBindFramebuffer(GL_READ_FRAMEBUFFER_EXT, GLuint(read));
    };
    if (!prepare(*gl, targetWidth, targetHeight) || (samples > 0 && !prepareResolve(*gl, viewport[2], viewport[3])))
    {
        restoreBindings();
        OSG_INFO << "The sea is shaded at full size: no framebuffer of reduced size" << std::endl;
        return usable = false;
    }

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_SCISSOR_TEST);
    // The depth of what is drawn already, so that the reduced drawing is hidden where it was.
    const GLint x0 = viewport[0], y0 = viewport[1], x1 = viewport[0] + viewport[2], y1 = viewport[1] + viewport[3];
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER_EXT, GLuint(drawn));
    if (samples > 0)
    {
        gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER_EXT, resolveFramebuffer);
        gl->glBlitFramebuffer(x0, y0, x1, y1, 0, 0, viewport[2], viewport[3], GL_DEPTH_BUFFER_BIT, GL_NEAREST);
        gl->glBindFramebuffer(GL_READ_FRAMEBUFFER_EXT, resolveFramebuffer);
        gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER_EXT, framebuffer);
        gl->glBlitFramebuffer(0, 0, viewport[2], viewport[3], 0, 0, width, height, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    }
    else
    {
        gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER_EXT, framebuffer);
        gl->glBlitFramebuffer(x0, y0, x1, y1, 0, 0, width, height, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    }
    if (glGetError() != GL_NO_ERROR)
    {
        glPopAttrib();
        restoreBindings();
        OSG_INFO << "The sea is shaded at full size: the depth buffer cannot be copied" << std::endl;
        return usable = false;
    }
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER_EXT, framebuffer);
    glViewport(0, 0, width, height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw();
    glPopAttrib();

    restoreBindings();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    composite(*gl, viewport);
    glPopAttrib();
    return true;
}

bool LowResolutionPass::prepare(const osg::GLExtensions& gl, int targetWidth, int targetHeight)
{
    if (!program && !makeProgram(gl))
        return false;
    if (framebuffer && (targetWidth != width || targetHeight != height))
    {
        gl.glDeleteFramebuffers(1, &framebuffer);
        gl.glDeleteRenderbuffers(1, &depth);
        glDeleteTextures(1, &colour);
        framebuffer = depth = colour = 0;
    }
    if (!framebuffer)
    {
        width = targetWidth;
        height = targetHeight;
        return makeTarget(gl, framebuffer, depth, &colour, width, height);
    }
    return true;
}

bool LowResolutionPass::prepareResolve(const osg::GLExtensions& gl, int viewportWidth, int viewportHeight)
{
    if (resolveFramebuffer && viewportWidth == resolveWidth && viewportHeight == resolveHeight)
        return true;
    if (resolveFramebuffer)
    {
        gl.glDeleteFramebuffers(1, &resolveFramebuffer);
        gl.glDeleteRenderbuffers(1, &resolveDepth);
        resolveFramebuffer = resolveDepth = 0;
    }
    resolveWidth = viewportWidth;
    resolveHeight = viewportHeight;
    return makeTarget(gl, resolveFramebuffer, resolveDepth, nullptr, resolveWidth, resolveHeight);
}

bool LowResolutionPass::makeTarget(const osg::GLExtensions& gl, unsigned int& target, unsigned int& depthBuffer,
                                   unsigned int* colourTexture, int targetWidth, int targetHeight)
{
    GLint previous = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &previous);
    gl.glGenFramebuffers(1, &target);
    gl.glBindFramebuffer(GL_FRAMEBUFFER_EXT, target);
    gl.glGenRenderbuffers(1, &depthBuffer);
    gl.glBindRenderbuffer(GL_RENDERBUFFER_EXT, depthBuffer);
    gl.glRenderbufferStorage(GL_RENDERBUFFER_EXT, GLenum(depthFormat), targetWidth, targetHeight);
    gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depthBuffer);
    if (depthFormat == GL_DEPTH24_STENCIL8_EXT)
        gl.glFramebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depthBuffer);
    if (colourTexture)
    {
        glGenTextures(1, colourTexture);
        glBindTexture(GL_TEXTURE_2D, *colourTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, targetWidth, targetHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glBindTexture(GL_TEXTURE_2D, 0);
        gl.glFramebufferTexture2D(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, *colourTexture, 0);
    }
    else
    {
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    }
    const bool complete = gl.glCheckFramebufferStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    gl.glBindFramebuffer(GL_FRAMEBUFFER_EXT, GLuint(previous));
    return complete && glGetError() == GL_NO_ERROR;
}

bool LowResolutionPass::makeProgram(const osg::GLExtensions& gl)
{
    const GLuint vertex = compile(gl, GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compile(gl, GL_FRAGMENT_SHADER, fragmentSource);
    if (vertex && fragment)
    {
        program = gl.glCreateProgram();
        gl.glAttachShader(program, vertex);
        gl.glAttachShader(program, fragment);
        gl.glLinkProgram(program);
        GLint ok = GL_FALSE;
        gl.glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE)
        {
            gl.glDeleteProgram(program);
            program = 0;
        }
    }
    if (vertex)
        gl.glDeleteShader(vertex);
    if (fragment)
        gl.glDeleteShader(fragment);
    if (program)
        textureLocation = gl.glGetUniformLocation(program, "image");
    return program != 0;
}

void LowResolutionPass::composite(const osg::GLExtensions& gl, const int viewport[4])
{
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    gl.glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, colour);
    gl.glUseProgram(program);
    gl.glUniform1i(textureLocation, 0);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glEnd();
    gl.glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void LowResolutionPass::release()
{
    if (!extensions)
        return;
    const osg::GLExtensions& gl = *extensions;
    if (framebuffer)
        gl.glDeleteFramebuffers(1, &framebuffer);
    if (resolveFramebuffer)
        gl.glDeleteFramebuffers(1, &resolveFramebuffer);
    if (depth)
        gl.glDeleteRenderbuffers(1, &depth);
    if (resolveDepth)
        gl.glDeleteRenderbuffers(1, &resolveDepth);
    if (colour)
        glDeleteTextures(1, &colour);
    if (program)
        gl.glDeleteProgram(program);
    framebuffer = resolveFramebuffer = depth = resolveDepth = colour = program = 0;
    width = height = resolveWidth = resolveHeight = 0;
}

} // namespace osgTAVRI
