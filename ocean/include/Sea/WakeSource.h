#pragma once

#include "Sea/MemObject.h"
#include "Sea/StlAllocator.h"
#include "Sea/Vector3.h"

#include <vector>

namespace Sea
{

// A moving hull that leaves a Kelvin wake and a propeller wash behind it. The application
// owns it, moves it every frame and hands it to Ocean::AddWakeSource.
class WakeSource : public MemObject
{
public:
    // Length of the hull in metres; it sets the size of the wake's waves.
    explicit WakeSource(double hullLength = 50.0) : length(hullLength) {}

    void Update(const Vector3& newPosition, const Vector3& newVelocity)
    {
        position = newPosition;
        velocity = newVelocity;
    }
    const Vector3& GetPosition() const { return position; }
    const Vector3& GetVelocity() const { return velocity; }
    double GetLength() const { return length; }

private:
    double length;
    Vector3 position;
    Vector3 velocity;
};

using WakeSourceList = std::vector<WakeSource*, StlAllocator<WakeSource*>>;

} // namespace Sea
