#include "Sea/WindFetch.h"

namespace Sea
{

void WindFetch::GetWindAtLocation(const Vector3& position, double& outSpeed, double& outDirection,
                                  double& outFetchLength) const
{
    outDirection = direction;
    outFetchLength = fetchLength;
    outSpeed = speed;
    if (radius > 0.0)
    {
        double dx = position.x - center.x, dy = position.y - center.y;
        if (dx * dx + dy * dy > radius * radius)
            outSpeed = 0.0;
    }
}

} // namespace Sea
