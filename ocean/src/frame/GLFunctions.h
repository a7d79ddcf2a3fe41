#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace Sea
{

// The OpenGL 1.2 and later entry points the library calls, resolved by name. The X macro
// keeps the list in one place: type, member name, required.
#define SEA_GL_FUNCTIONS(X)                                                                \
    X(PFNGLACTIVETEXTUREARBPROC, ActiveTexture, true)                                      \
    X(PFNGLCLIENTACTIVETEXTUREARBPROC, ClientActiveTexture, true)                          \
    X(PFNGLCREATESHADERPROC, CreateShader, true)                                           \
    X(PFNGLSHADERSOURCEPROC, ShaderSource, true)                                           \
    X(PFNGLCOMPILESHADERPROC, CompileShader, true)                                         \
    X(PFNGLGETSHADERIVPROC, GetShaderiv, true)                                             \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog, true)                                   \
    X(PFNGLDELETESHADERPROC, DeleteShader, true)                                           \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram, true)                                         \
    X(PFNGLATTACHSHADERPROC, AttachShader, true)                                           \
    X(PFNGLDETACHSHADERPROC, DetachShader, true)                                           \
    X(PFNGLGETATTACHEDSHADERSPROC, GetAttachedShaders, true)                               \
    X(PFNGLLINKPROGRAMPROC, LinkProgram, true)                                             \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv, true)                                           \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog, true)                                 \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram, true)                                         \
    X(PFNGLUSEPROGRAMPROC, UseProgram, true)                                               \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation, true)                               \
    X(PFNGLGETATTRIBLOCATIONPROC, GetAttribLocation, true)                                 \
    X(PFNGLUNIFORM1IPROC, Uniform1i, true)                                                 \
    X(PFNGLUNIFORM1FPROC, Uniform1f, true)                                                 \
    X(PFNGLUNIFORM2FPROC, Uniform2f, true)                                                 \
    X(PFNGLUNIFORM3FPROC, Uniform3f, true)                                                 \
    X(PFNGLUNIFORM4FPROC, Uniform4f, true)                                                 \
    X(PFNGLUNIFORMMATRIX3FVPROC, UniformMatrix3fv, true)                                   \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv, true)                                   \
    X(PFNGLGENBUFFERSPROC, GenBuffers, true)                                               \
    X(PFNGLBINDBUFFERPROC, BindBuffer, true)                                               \
    X(PFNGLBUFFERDATAPROC, BufferData, true)                                               \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData, true)                                         \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers, true)                                         \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer, true)                             \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray, true)                     \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray, true)                   \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays, false)                                    \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray, false)                                    \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays, false)                              \
    X(PFNGLGENERATEMIPMAPEXTPROC, GenerateMipmapEXT, false)                               \
    X(PFNGLBLENDFUNCSEPARATEPROC, BlendFuncSeparate, true)

struct GLFunctions
{
#define SEA_GL_MEMBER(type, name, required) type name = nullptr;
    SEA_GL_FUNCTIONS(SEA_GL_MEMBER)
#undef SEA_GL_MEMBER

    // True when every required entry point was found.
    bool complete = false;

    // Looks every entry point up; cheap to repeat.
    static void Resolve();
    static const GLFunctions& Get();
    static bool HasExtension(const char* name);
};

// Drains the OpenGL error queue, reporting each error with the place it was found.
// Returns true when there was none.
bool CheckGLError(const char* file, int line);

#define SEA_CHECK_GL_ERROR() ::Sea::CheckGLError(__FILE__, __LINE__)

} // namespace Sea
