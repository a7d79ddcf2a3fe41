#pragma once

#include "particles/SprayManager.h"

namespace Sea
{

// Draws the spray as point sprites with the library's particle shaders.
class SprayManagerOpenGL : public SprayManager
{
public:
    SprayManagerOpenGL() = default;
    ~SprayManagerOpenGL() override;

    bool Initialize(ProjectedGrid* grid, Environment* environment) override;
    void Draw() override;

private:
    unsigned int program = 0;
    int modelviewLocation = -1;
    int projectionLocation = -1;
    int ageLocation = -1;
};

} // namespace Sea
