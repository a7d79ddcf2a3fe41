#include "particles/WakeManager.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "grid/ProjectedGrid.h"

#include <cmath>

namespace Sea
{
namespace
{
// Slower hulls leave no wake worth drawing.
const double minimumSpeed = 0.5;
} // namespace

WakeManager::WakeManager(const WakeSourceList* list) : sources(list) {}

bool WakeManager::Initialize(ProjectedGrid* projectedGrid, Environment* env)
{
    if (!projectedGrid || !env)
        return false;
    grid = projectedGrid;
    environment = env;
    Configuration::GetBoolValue("wake-kelvin-wakes", kelvinWakes);
    Configuration::GetIntValue("max-wake-waves-opengl", maxWakes);
    if (maxWakes < 0)
        maxWakes = 0;
    range /= env->GetUnitScale();
    return active.Allocate(size_t(maxWakes)) && distances.Allocate(size_t(maxWakes));
}

// Keeps the nearest sources, by insertion into a list sorted by distance: the list is short.
void WakeManager::Update(const Vector3& camera)
{
    activeCount = 0;
    if (!grid || !sources || !kelvinWakes || maxWakes == 0)
        return;
    const double g = 9.81 / environment->GetUnitScale();
    for (const WakeSource* source : *sources)
    {
        const Vector3 velocity = grid->WorldToLocal(source->GetPosition() + source->GetVelocity()) -
                                 grid->WorldToLocal(source->GetPosition());
        const double speed = std::sqrt(velocity.x * velocity.x + velocity.y * velocity.y);
        const double distance = (source->GetPosition() - camera).Length();
        if (speed < minimumSpeed || distance > range)
            continue;
        int slot = activeCount < maxWakes ? activeCount : maxWakes - 1;
        if (activeCount == maxWakes && distance >= distances[size_t(slot)])
            continue;
        while (slot > 0 && distances[size_t(slot - 1)] > distance)
        {
            active[size_t(slot)] = active[size_t(slot - 1)];
            distances[size_t(slot)] = distances[size_t(slot - 1)];
            --slot;
        }
        Wake& w = active[size_t(slot)];
        const Vector3& p = source->GetPosition();
        w.position[0] = float(p.x);
        w.position[1] = float(p.y);
        w.position[2] = float(p.z);
        w.direction[0] = float(velocity.x / speed);
        w.direction[1] = float(velocity.y / speed);
        w.speed = float(speed);
        w.wavelength = float(2.0 * 3.14159265358979 * speed * speed / g);
        w.length = float(source->GetLength());
        // The wake grows with the hull and with its Froude number until it planes.
        const double froude = speed / std::sqrt(g * source->GetLength());
        w.amplitude = float(0.02 * source->GetLength() * (froude < 0.5 ? froude / 0.5 : 1.0));
        distances[size_t(slot)] = distance;
        if (activeCount < maxWakes)
            ++activeCount;
    }
}

bool WakeManager::SetShaderValues(unsigned int) { return true; }

} // namespace Sea
