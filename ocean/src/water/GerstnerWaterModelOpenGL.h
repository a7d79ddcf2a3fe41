#pragma once

#include "water/GerstnerWaterModel.h"

namespace Sea
{

// Hands the Gerstner waves to the grid's vertex shader, which sums them per vertex.
class GerstnerWaterModelOpenGL : public GerstnerWaterModel
{
public:
    explicit GerstnerWaterModelOpenGL(Environment* environment);

    bool Initialize(unsigned int shader, unsigned int patchShader) override;
    bool SetShaderValues(unsigned int program, double time) override;

private:
    struct Locations
    {
        unsigned int program = 0;
        int numWaves = -1;
        int time = -1;
        // frequency, phase speed, amplitude, direction, steepness per wave
        Buffer<int> waves;
    };
    bool FindLocations(unsigned int program, Locations& locations);

    Locations grid;
    Locations patch;
};

} // namespace Sea
