#pragma once

#include "grid/OceanLightingModel.h"

namespace Sea
{

// Owns the foam, noise and propeller-wash textures and sets the lighting uniforms of the
// grid and patch programs every frame.
class OceanLightingModelOpenGL : public OceanLightingModel
{
public:
    enum Uniform
    {
        L,
        LIGHT_COLOR,
        AMBIENT_COLOR,
        REFRACT_COLOR,
        CUBE_MAP,
        SHININESS,
        FOAM_TEX,
        FOAM_SCALE,
        FOAM_BLEND,
        NOISE_TEX,
        HAS_ENV_MAP,
        PLANAR_REFLECTION_MAP,
        HAS_PLANAR_REFLECTION_MAP,
        PLANAR_REFLECTION_DISPLACEMENT_SCALE,
        WASH_TEX,
        NUM_UNIFORMS
    };

    explicit OceanLightingModelOpenGL(Environment* environment);
    ~OceanLightingModelOpenGL() override;

    bool Initialize(unsigned int gridProgram, unsigned int patchProgram) override;
    bool SetShaderValues(unsigned int program) override;

private:
    bool LoadTexture(const char* name, bool signedTexels, bool clampS, unsigned int& texture);

    int gridUniforms[NUM_UNIFORMS];
    int patchUniforms[NUM_UNIFORMS];
    unsigned int foamTexture = 0;
    unsigned int noiseTexture = 0;
    unsigned int washTexture = 0;
};

} // namespace Sea
