#pragma once

#include "Sea/Buffer.h"
#include "Sea/MemObject.h"
#include "Sea/WakeSource.h"

namespace Sea
{

class Environment;
class ProjectedGrid;

// Chooses the wake sources nearest the camera every frame and turns them into the Kelvin
// wake parameters that the grid's shaders add to the sea.
class WakeManager : public MemObject
{
public:
    struct Wake
    {
        float position[3];  // world
        float direction[2]; // unit direction of travel in the local frame
        float speed;
        float amplitude;
        float wavelength;   // of the transverse waves, 2 pi v^2 / g
        float length;       // of the hull
    };

    explicit WakeManager(const WakeSourceList* sources);

    virtual bool Initialize(ProjectedGrid* grid, Environment* environment);
    virtual void Update(const Vector3& cameraPosition);
    // Hands the active wakes to a program being drawn; the base has no renderer.
    virtual bool SetShaderValues(unsigned int program);

    int GetNumActiveWakes() const { return activeCount; }
    const Wake* GetActiveWakes() const { return active.Data(); }

protected:
    const WakeSourceList* sources;
    ProjectedGrid* grid = nullptr;
    Environment* environment = nullptr;
    bool kelvinWakes = true;
    int maxWakes = 25;
    double range = 20000.0;
    Buffer<Wake> active;
    Buffer<double> distances;
    int activeCount = 0;
};

} // namespace Sea
