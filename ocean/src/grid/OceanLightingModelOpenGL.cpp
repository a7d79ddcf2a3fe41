#include "grid/OceanLightingModelOpenGL.h"

#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "frame/GLFunctions.h"
#include "frame/TGAReader.h"

#include <GL/glu.h>

namespace Sea
{
namespace
{
const char* const uniformNames[OceanLightingModelOpenGL::NUM_UNIFORMS] = {
    "L", "lightColor", "ambientColor", "refractColor", "cubeMap", "shininess", "foamTex", "foamScale", "foamBlend",
    "noiseTex", "hasEnvMap", "planarReflectionMap", "hasPlanarReflectionMap", "planarReflectionDisplacementScale",
    "washTex"};

const int environmentMapUnit = 0;
const int foamUnit = 1;
const int washUnit = 4;
const int planarReflectionUnit = 6;
const int noiseUnit = 7;

void findUniforms(unsigned int program, int* uniforms)
{
    for (int i = 0; i < OceanLightingModelOpenGL::NUM_UNIFORMS; ++i)
        uniforms[i] = program ? GLFunctions::Get().GetUniformLocation(program, uniformNames[i]) : -1;
}
} // namespace

OceanLightingModelOpenGL::OceanLightingModelOpenGL(Environment* env) : OceanLightingModel(env)
{
    for (int i = 0; i < NUM_UNIFORMS; ++i)
        gridUniforms[i] = patchUniforms[i] = -1;
}

OceanLightingModelOpenGL::~OceanLightingModelOpenGL()
{
    const unsigned int textures[3] = {foamTexture, noiseTexture, washTexture};
    for (unsigned int texture : textures)
        if (texture)
            glDeleteTextures(1, &texture);
}

bool OceanLightingModelOpenGL::LoadTexture(const char* name, bool signedTexels, bool clampS, unsigned int& texture)
{
    TGAReader image;
    if (!environment || !image.Load(environment->GetResourceLoader(), name))
        return false;
    const bool rgb = image.GetBitsPerPixel() == 24;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, clampS ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    int failed = gluBuild2DMipmaps(GL_TEXTURE_2D, rgb ? GL_RGB : GL_RGBA, image.GetWidth(), image.GetHeight(),
                                   rgb ? GL_RGB : GL_RGBA, signedTexels ? GL_BYTE : GL_UNSIGNED_BYTE,
                                   image.GetPixels());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return failed == 0;
}

bool OceanLightingModelOpenGL::Initialize(unsigned int grid, unsigned int patch)
{
    findUniforms(grid, gridUniforms);
    findUniforms(patch, patchUniforms);
    if (!LoadTexture("foam.tga", false, false, foamTexture))
    {
        MessageChannel::Log("Could not load the OpenGL whitecaps texture.");
        return false;
    }
    if (!LoadTexture("perlin.tga", true, false, noiseTexture))
    {
        MessageChannel::Log("Could not load the OpenGL noise texture.");
        return false;
    }
    if (!LoadTexture("wash.tga", true, true, washTexture))
    {
        MessageChannel::Log("Could not load the OpenGL propellor wash texture.");
        return false;
    }
    if (!SEA_CHECK_GL_ERROR())
        return false;
    return OceanLightingModel::Initialize(grid, patch);
}

bool OceanLightingModelOpenGL::SetShaderValues(unsigned int program)
{
    if (!environment)
        return false;
    const int* u = program == gridProgram ? gridUniforms : program == patchProgram ? patchUniforms : nullptr;
    if (!u || !program)
        return false;
    // A bad value found here is reported and the frame still drawn with it.
    ReadFrameSettings();
    const GLFunctions& gl = GLFunctions::Get();
    gl.UseProgram(program);
    auto set3 = [&](int uniform, const Vector3& v) {
        if (u[uniform] != -1)
            gl.Uniform3f(u[uniform], float(v.x), float(v.y), float(v.z));
    };
    auto set1f = [&](int uniform, double v) {
        if (u[uniform] != -1)
            gl.Uniform1f(u[uniform], float(v));
    };
    auto set1i = [&](int uniform, int v) {
        if (u[uniform] != -1)
            gl.Uniform1i(u[uniform], v);
    };
    set3(L, environment->GetLightDirection());
    set3(LIGHT_COLOR, environment->GetDirectionalLightColor());
    set3(AMBIENT_COLOR, environment->GetAmbientColor());
    set3(REFRACT_COLOR, refractionColor);
    set1f(SHININESS, shininess);
    set1f(FOAM_SCALE, foamScale);
    set1f(FOAM_BLEND, foamBlend);

    if (environment->GetEnvironmentMap())
    {
        gl.ActiveTexture(GL_TEXTURE0 + environmentMapUnit);
        glBindTexture(GL_TEXTURE_CUBE_MAP, environment->GetEnvironmentMap());
        set1i(CUBE_MAP, environmentMapUnit);
        set1i(HAS_ENV_MAP, 1);
    }
    else
        set1i(HAS_ENV_MAP, 0);

    set1f(PLANAR_REFLECTION_DISPLACEMENT_SCALE, environment->GetPlanarReflectionDisplacementScale());
    gl.ActiveTexture(GL_TEXTURE0 + planarReflectionUnit);
    glBindTexture(GL_TEXTURE_2D, environment->GetPlanarReflectionMap());
    set1i(PLANAR_REFLECTION_MAP, planarReflectionUnit);
    set1i(HAS_PLANAR_REFLECTION_MAP, environment->GetPlanarReflectionMap() ? 1 : 0);

    gl.ActiveTexture(GL_TEXTURE0 + foamUnit);
    glBindTexture(GL_TEXTURE_2D, foamTexture);
    set1i(FOAM_TEX, foamUnit);
    gl.ActiveTexture(GL_TEXTURE0 + washUnit);
    glBindTexture(GL_TEXTURE_2D, washTexture);
    set1i(WASH_TEX, washUnit);
    gl.ActiveTexture(GL_TEXTURE0 + noiseUnit);
    glBindTexture(GL_TEXTURE_2D, noiseTexture);
    set1i(NOISE_TEX, noiseUnit);
    gl.ActiveTexture(GL_TEXTURE0);
    return SEA_CHECK_GL_ERROR();
}

} // namespace Sea
