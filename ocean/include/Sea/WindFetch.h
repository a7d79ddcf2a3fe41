#pragma once

#include "Sea/MemObject.h"
#include "Sea/Vector3.h"

namespace Sea
{

// Wind over the sea. A direction is where the wind comes from, in radians clockwise from +y
// (0: from +y, pi/2: from +x), as compass bearings are. A fetch without an area covers the
// whole sea.
class WindFetch : public MemObject
{
public:
    WindFetch(double windSpeed, double windDirection, double length = 0.0) :
        speed(windSpeed), direction(windDirection), fetchLength(length)
    {
    }

    void SetWind(double newSpeed, double newDirection)
    {
        speed = newSpeed;
        direction = newDirection;
    }
    void SetFetchLength(double length) { fetchLength = length; }
    // Limits the fetch to a circle in the sea plane around `center`.
    void SetArea(const Vector3& newCenter, double newRadius)
    {
        center = newCenter;
        radius = newRadius;
    }

    // Speed, direction and fetch length at a position; speed 0 outside the fetch's area.
    virtual void GetWindAtLocation(const Vector3& position, double& outSpeed, double& outDirection,
                                   double& outFetchLength) const;

private:
    double speed;
    double direction;
    double fetchLength;
    Vector3 center;
    double radius = 0.0;
};

} // namespace Sea
