#pragma once

#include "Sea/MemObject.h"
#include "Sea/Vector3.h"

namespace Sea
{

class Environment;

// What the water shaders need to shade the sea besides the waves: deep-water colour,
// highlight, foam; the renderer's model adds its textures.
class OceanLightingModel : public MemObject
{
public:
    explicit OceanLightingModel(Environment* environment);

    virtual bool Initialize(unsigned int gridProgram, unsigned int patchProgram);
    // Sets the values of one of the two programs; the base has none to set.
    virtual bool SetShaderValues(unsigned int program);

    const Vector3& GetRefractionColor() const { return refractionColor; }
    double GetShininess() const { return shininess; }
    float GetFoamScale() const { return foamScale; }
    float GetFoamBlend() const { return foamBlend; }

protected:
    // Reads shininess, foam scale and blend again, so a changed table applies at once.
    bool ReadFrameSettings();

    Environment* environment;
    unsigned int gridProgram = 0;
    unsigned int patchProgram = 0;
    Vector3 refractionColor = Vector3(0.0, 0.2, 0.3);
    double shininess = 5.0;
    float foamScale = 16.0f;
    float foamBlend = 0.5f;
};

} // namespace Sea
