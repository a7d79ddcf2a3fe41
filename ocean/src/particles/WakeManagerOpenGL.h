#pragma once

#include "particles/WakeManager.h"

namespace Sea
{

// Sets "numKelvinWakes" and the "wakes[i]" structures of the grid's programs.
class WakeManagerOpenGL : public WakeManager
{
public:
    explicit WakeManagerOpenGL(const WakeSourceList* sources);

    bool Initialize(ProjectedGrid* grid, Environment* environment) override;
    bool SetShaderValues(unsigned int program) override;

private:
    struct Locations
    {
        unsigned int program = 0;
        int count = -1;
        Buffer<int> wakes; // position, direction, speed, amplitude, wavelength, length per wake
    };
    void FindLocations(unsigned int program, Locations& locations);

    Locations grid;
    Locations patch;
};

} // namespace Sea
