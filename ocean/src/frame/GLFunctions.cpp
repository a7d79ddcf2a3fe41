#include "frame/GLFunctions.h"

#include "Sea/MessageChannel.h"

#include <GL/glu.h>
#include <GL/glx.h>

#include <cstring>

namespace Sea
{
namespace
{
GLFunctions functions;
}

void GLFunctions::Resolve()
{
    GLFunctions resolved;
    bool complete = true;
#define SEA_GL_RESOLVE(type, name, required)                                                          \
    resolved.name = reinterpret_cast<type>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("gl" #name))); \
    if (required && !resolved.name)                                                                   \
    {                                                                                                 \
        MessageChannel::Log("Unable to resolve the OpenGL entry point gl" #name ".");                 \
        complete = false;                                                                             \
    }
    SEA_GL_FUNCTIONS(SEA_GL_RESOLVE)
#undef SEA_GL_RESOLVE
    resolved.complete = complete;
    functions = resolved;
}

const GLFunctions& GLFunctions::Get() { return functions; }

bool GLFunctions::HasExtension(const char* name)
{
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!extensions || !name)
        return false;
    size_t length = std::strlen(name);
    for (const char* p = std::strstr(extensions, name); p; p = std::strstr(p + length, name))
        if ((p == extensions || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
            return true;
    return false;
}

bool CheckGLError(const char* file, int line)
{
    const char* name = std::strrchr(file, '/');
    name = name ? name + 1 : file;
    bool clean = true;
    // Bounded: without a current context some drivers report an error for ever.
    for (int i = 0; i < 16; ++i)
    {
        GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        clean = false;
        MessageChannel::LogFormatted("GL error in %s line %d:", name, line);
        const GLubyte* text = gluErrorString(error);
        MessageChannel::Log(text ? reinterpret_cast<const char*>(text) : "unknown error");
    }
    return clean;
}

} // namespace Sea
