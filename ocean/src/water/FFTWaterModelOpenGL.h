#pragma once

#include "water/FFTWaterModel.h"

namespace Sea
{

// Uploads the FFT sea into two float textures that the grid's shaders sample: displacement
// (x, y, height) and slope/foam (x slope, y slope, foam).
class FFTWaterModelOpenGL : public FFTWaterModel
{
public:
    static const int displacementUnit = 2;
    static const int slopeFoamUnit = 3;

    FFTWaterModelOpenGL(Environment* environment, int type);
    ~FFTWaterModelOpenGL() override;

    bool Initialize(unsigned int shader, unsigned int patchShader) override;
    bool SetShaderValues(unsigned int program, double time) override;

private:
    struct Locations
    {
        unsigned int program = 0;
        int displacementMap = -1, slopeFoamMap = -1, textureSize = -1, textureResolution = -1, noiseAmplitude = -1, invNoiseDistance = -1,
            invDampingDistance = -1, textureLODBias = -1, time = -1, foamThreshold = -1, foamWidth = -1;
    };
    static void FindLocations(unsigned int program, Locations& locations);
    void Upload();

    Locations grid;
    Locations patch;
    unsigned int textures[2] = {0, 0};
    unsigned int uploadedGeneration = 0;
};

} // namespace Sea
