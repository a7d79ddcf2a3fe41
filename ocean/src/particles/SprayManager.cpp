#include "particles/SprayManager.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/RandomNumberGenerator.h"
#include "grid/ProjectedGrid.h"
#include "water/WaterModel.h"

#include <cmath>

namespace Sea
{
namespace
{
const int capacity = 4096;
const int samplesPerSecond = 2000;
const float foamThreshold = 0.15f;
const double sampleRadius = 300.0;
} // namespace

SprayManager::SprayManager() {}

bool SprayManager::Initialize(ProjectedGrid* projectedGrid, Environment* env)
{
    if (!projectedGrid || !env)
        return false;
    grid = projectedGrid;
    environment = env;
    Configuration::GetBoolValue("fft-enable-spray", enabled);
    return !enabled || particles.Allocate(capacity);
}

// Samples the sea around the camera and throws particles up from the foaming crests.
void SprayManager::Emit(double dt)
{
    WaterModel* model = grid->GetWaterModel();
    if (!model)
        return;
    RandomNumberGenerator* random = environment->GetRandomNumberGenerator();
    const Vector3 camera = grid->WorldToLocal(environment->GetCameraPosition());
    const Vector3 cameraWorld = environment->GetCameraPosition();
    const double radius = sampleRadius / environment->GetUnitScale();
    int samples = int(samplesPerSecond * dt);
    for (int i = 0; i < samples && count < capacity; ++i)
    {
        double x = camera.x + random->UniformRandomDouble(-radius, radius);
        double y = camera.y + random->UniformRandomDouble(-radius, radius);
        if (model->GetFoam(x, y) < foamThreshold)
            continue;
        Vector3 normal;
        double height = model->GetHeight(x, y, normal);
        const Vector3 offset = grid->LocalToWorldDirection(Vector3(x - camera.x, y - camera.y, height - camera.z));
        const Vector3 p = cameraWorld + offset;
        const Vector3 v = grid->LocalToWorldDirection(
            Vector3(normal.x * 3.0, normal.y * 3.0, random->UniformRandomDouble(1.5, 4.0)));
        Particle& particle = particles[size_t(count++)];
        particle.position[0] = float(p.x);
        particle.position[1] = float(p.y);
        particle.position[2] = float(p.z);
        particle.velocity[0] = float(v.x);
        particle.velocity[1] = float(v.y);
        particle.velocity[2] = float(v.z);
        particle.age = 0.0f;
        particle.life = float(random->UniformRandomDouble(0.8, 2.0));
    }
}

void SprayManager::Update(double time)
{
    if (!enabled || !grid)
        return;
    double dt = started ? time - lastTime : 0.0;
    started = true;
    lastTime = time;
    if (dt <= 0.0)
        return;
    if (dt > 0.1)
        dt = 0.1; // a long pause must not throw a burst of spray
    const Vector3 gravity = grid->LocalToWorldDirection(Vector3(0, 0, -9.81 / environment->GetUnitScale()));
    // Move, then drop the dead by moving the last particle into their place.
    for (int i = 0; i < count;)
    {
        Particle& p = particles[size_t(i)];
        p.age += float(dt);
        const double g[3] = {gravity.x, gravity.y, gravity.z};
        for (int k = 0; k < 3; ++k)
        {
            p.velocity[k] += float(g[k] * dt);
            p.position[k] += float(p.velocity[k] * dt);
        }
        const Vector3 local = grid->WorldToLocal(Vector3(p.position[0], p.position[1], p.position[2]));
        Vector3 normal;
        bool underWater = grid->GetWaterModel() &&
                          local.z < grid->GetWaterModel()->GetHeight(local.x, local.y, normal) && p.velocity[2] < 0.0f;
        if (p.age > p.life || underWater)
            particles[size_t(i)] = particles[size_t(--count)];
        else
            ++i;
    }
    Emit(dt);
}

} // namespace Sea
