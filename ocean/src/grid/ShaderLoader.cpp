#include "grid/ShaderLoader.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "Sea/Ocean.h"
#include "Sea/ResourceLoader.h"
#include "frame/GLFunctions.h"

#include <cstdio>
#include <cstring>

namespace Sea
{
namespace
{
const char* prefix()
{
    const char* p = "";
    Configuration::GetStringValue("shader-filename-prefix", p);
    return p;
}

bool fits(int written, size_t size) { return written >= 0 && size_t(written) < size; }

void logInfo(const char* heading, const char* log)
{
    MessageChannel::LogFormatted("%s%s", heading, log);
}
} // namespace

bool ShaderLoader::ComposeName(const Environment* env, int type, bool fragment, bool patch, char* out, size_t size)
{
    const bool gl = env->IsOpenGL();
    const char* role = gl ? (fragment ? "ocean-frag-" : "projgrid-") : "";
    const char* model = type == GERSTNER ? "gerstner" : "fft";
    // The OpenGL Gerstner fragment shader serves flat and round seas alike.
    const char* surface = gl && fragment && type == GERSTNER ? "" : env->IsFlat() ? "flat-" : "ellipsoid-";
    int n = std::snprintf(out, size, "%s%s%s%s%s%s", prefix(), role, surface, model, patch ? "-patch" : "",
                          gl ? ".glsl" : ".fx");
    return fits(n, size);
}

bool ShaderLoader::ComposeParticleName(const Environment* env, bool fragment, char* out, size_t size)
{
    int n = std::snprintf(out, size, "%sparticle%s%s", prefix(), fragment ? "-frag" : "",
                          env->IsOpenGL() ? ".glsl" : ".fx");
    return fits(n, size);
}

unsigned int ShaderLoader::Compile(const Environment* env, const char* name, bool fragment, bool breakingWaves)
{
    char* text = nullptr;
    unsigned int size = 0;
    if (!env->GetResourceLoader() || !env->GetResourceLoader()->Load(name, text, size, true))
        return 0;
    bool propellerWash = false, kelvinWakes = true;
    int maxWakeWaves = 25;
    Configuration::GetBoolValue("wake-propeller-backwash", propellerWash);
    Configuration::GetBoolValue("wake-kelvin-wakes", kelvinWakes);
    Configuration::GetIntValue("max-wake-waves-opengl", maxWakeWaves);
    char defines[512];
    std::snprintf(defines, sizeof(defines), "%s%s%s%s%s#define MAX_WAKE_WAVES %d\n",
                  env->GetRenderer() >= OPENGL_3_2 ? "#version 150\n#define OPENGL32\n" : "#version 120\n",
                  propellerWash ? "#define PROPELLER_WASH\n" : "", kelvinWakes ? "#define KELVIN_WAKES\n" : "",
                  breakingWaves ? "#define BREAKING_WAVES\n" : "", env->GetHighDynamicRange() ? "#define HDR\n" : "",
                  maxWakeWaves);

    const GLFunctions& gl = GLFunctions::Get();
    GLuint shader = gl.CreateShader(fragment ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
    const GLchar* sources[2] = {defines, text};
    gl.ShaderSource(shader, 2, sources, nullptr);
    gl.CompileShader(shader);
    env->GetResourceLoader()->Release(text);
    GLint status = GL_FALSE;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE)
    {
        char log[4096] = "";
        gl.GetShaderInfoLog(shader, sizeof(log), nullptr, log);
        logInfo("GLSL error detected in projected grid!\n", log);
        MessageChannel::LogFormatted("(in %s)", name);
        // The shader object stays: linking fails on it and reports, as callers expect.
    }
    return shader;
}

unsigned int ShaderLoader::Link(unsigned int vertexShader, unsigned int fragmentShader)
{
    const GLFunctions& gl = GLFunctions::Get();
    GLuint program = gl.CreateProgram();
    if (vertexShader)
        gl.AttachShader(program, vertexShader);
    if (fragmentShader)
        gl.AttachShader(program, fragmentShader);
    gl.LinkProgram(program);
    GLint status = GL_FALSE;
    gl.GetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_TRUE || !vertexShader || !fragmentShader)
    {
        char log[4096] = "";
        gl.GetProgramInfoLog(program, sizeof(log), nullptr, log);
        logInfo("Failed to link shader program for OpenGL.\n", log);
        Destroy(program);
        return 0;
    }
    return program;
}

void ShaderLoader::Destroy(unsigned int program)
{
    if (!program)
        return;
    const GLFunctions& gl = GLFunctions::Get();
    GLuint shaders[4];
    GLsizei count = 0;
    gl.GetAttachedShaders(program, 4, &count, shaders);
    for (GLsizei i = 0; i < count; ++i)
    {
        gl.DetachShader(program, shaders[i]);
        gl.DeleteShader(shaders[i]);
    }
    gl.DeleteProgram(program);
}

} // namespace Sea
