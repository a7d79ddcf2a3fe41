#include "water/FFTWaterModelOpenGL.h"

#include "Sea/MessageChannel.h"
#include "frame/GLFunctions.h"

namespace Sea
{

FFTWaterModelOpenGL::FFTWaterModelOpenGL(Environment* env, int spectrum) : FFTWaterModel(env, spectrum) {}

FFTWaterModelOpenGL::~FFTWaterModelOpenGL()
{
    if (textures[0])
        glDeleteTextures(2, textures);
}

bool FFTWaterModelOpenGL::Initialize(unsigned int shader, unsigned int patchShader)
{
    if (!GLFunctions::HasExtension("GL_EXT_framebuffer_object") || !GLFunctions::Get().GenerateMipmapEXT)
    {
        MessageChannel::Log("The FFT water model needs the OpenGL extension GL_EXT_framebuffer_object.");
        return false;
    }
    if (!FFTWaterModel::Initialize(shader, patchShader))
        return false;
    FindLocations(shader, grid);
    if (patchShader)
        FindLocations(patchShader, patch);

    glGenTextures(2, textures);
    for (unsigned int texture : textures)
    {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB32F_ARB, GetColumns(), GetRows(), 0, GL_RGB, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    uploadedGeneration = GetGeneration() - 1;
    return SEA_CHECK_GL_ERROR();
}

void FFTWaterModelOpenGL::FindLocations(unsigned int program, Locations& l)
{
    const GLFunctions& gl = GLFunctions::Get();
    l.program = program;
    l.displacementMap = gl.GetUniformLocation(program, "displacementMap");
    l.slopeFoamMap = gl.GetUniformLocation(program, "slopeFoamMap");
    l.textureSize = gl.GetUniformLocation(program, "textureSize");
    l.textureResolution = gl.GetUniformLocation(program, "textureResolution");
    l.noiseAmplitude = gl.GetUniformLocation(program, "noiseAmplitude");
    l.invNoiseDistance = gl.GetUniformLocation(program, "invNoiseDistance");
    l.invDampingDistance = gl.GetUniformLocation(program, "invDampingDistance");
    l.textureLODBias = gl.GetUniformLocation(program, "textureLODBias");
    l.time = gl.GetUniformLocation(program, "time");
    l.foamThreshold = gl.GetUniformLocation(program, "foamThreshold");
    l.foamWidth = gl.GetUniformLocation(program, "foamWidth");
}

// The simulation may have run on another thread; the textures follow it here, where the
// context is current.
void FFTWaterModelOpenGL::Upload()
{
    if (uploadedGeneration == GetGeneration())
        return;
    const float* data[2] = {GetDisplacement(), GetSlopeFoam()};
    const GLFunctions& gl = GLFunctions::Get();
    for (int i = 0; i < 2; ++i)
    {
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GetColumns(), GetRows(), GL_RGB, GL_FLOAT, data[i]);
        gl.GenerateMipmapEXT(GL_TEXTURE_2D);
    }
    uploadedGeneration = GetGeneration();
}

bool FFTWaterModelOpenGL::SetShaderValues(unsigned int program, double t)
{
    const Locations* l = program == grid.program ? &grid : program == patch.program ? &patch : nullptr;
    if (!l || !textures[0])
        return false;
    const GLFunctions& gl = GLFunctions::Get();
    gl.ActiveTexture(GL_TEXTURE0 + displacementUnit);
    Upload();
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    gl.ActiveTexture(GL_TEXTURE0 + slopeFoamUnit);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    gl.ActiveTexture(GL_TEXTURE0);

    gl.UseProgram(program);
    if (l->displacementMap != -1)
        gl.Uniform1i(l->displacementMap, displacementUnit);
    if (l->slopeFoamMap != -1)
        gl.Uniform1i(l->slopeFoamMap, slopeFoamUnit);
    if (l->textureSize != -1)
        gl.Uniform2f(l->textureSize, GetPatchSizeX(), GetPatchSizeY());
    if (l->textureResolution != -1)
        gl.Uniform2f(l->textureResolution, float(GetColumns()), float(GetRows()));
    if (l->noiseAmplitude != -1)
        gl.Uniform1f(l->noiseAmplitude, noiseAmplitude);
    if (l->invNoiseDistance != -1)
        gl.Uniform1f(l->invNoiseDistance, noiseDistance > 0.0f ? 1.0f / noiseDistance : 0.0f);
    if (l->invDampingDistance != -1)
        gl.Uniform1f(l->invDampingDistance, dampingDistance > 0.0f ? 1.0f / dampingDistance : 0.0f);
    if (l->textureLODBias != -1)
        gl.Uniform1f(l->textureLODBias, lodBias);
    if (l->time != -1)
        gl.Uniform1f(l->time, float(t));
    if (l->foamThreshold != -1)
        gl.Uniform1f(l->foamThreshold, GetFoamThreshold());
    if (l->foamWidth != -1)
        gl.Uniform1f(l->foamWidth, foamWidth);
    return SEA_CHECK_GL_ERROR();
}

} // namespace Sea
