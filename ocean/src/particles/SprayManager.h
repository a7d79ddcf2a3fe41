#pragma once

#include "Sea/Buffer.h"
#include "Sea/MemObject.h"

namespace Sea
{

class Environment;
class ProjectedGrid;

// Spray thrown up where crests break near the camera: particles that fly and fall back into
// the sea. Off unless "fft-enable-spray" is set; then nothing is simulated or drawn.
class SprayManager : public MemObject
{
public:
    struct Particle
    {
        float position[3]; // world
        float velocity[3];
        float age;
        float life;
    };

    SprayManager();

    virtual bool Initialize(ProjectedGrid* grid, Environment* environment);
    virtual void Update(double time);
    virtual void Draw() {}

    bool IsEnabled() const { return enabled; }
    int GetNumParticles() const { return count; }
    const Particle* GetParticles() const { return particles.Data(); }

protected:
    void Emit(double dt);

    ProjectedGrid* grid = nullptr;
    Environment* environment = nullptr;
    bool enabled = false;
    Buffer<Particle> particles;
    int count = 0;
    double lastTime = 0.0;
    bool started = false;
};

} // namespace Sea
