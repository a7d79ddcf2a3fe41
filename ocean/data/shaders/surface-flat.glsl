// A flat sea: the plane (n, d) with n the local up.
float cameraHeight() { return dot(plane.xyz, cameraPos) + plane.w; }

vec3 castRay(vec3 direction)
{
    vec3 up = plane.xyz;
    float height = cameraHeight();
    float side = height >= 0.0 ? 1.0 : -1.0;
    float along = dot(direction, up) * side;
    // Rays that would miss the plane are bent to meet it just short of the horizon.
    if (along > -1.0e-4)
    {
        direction = normalize(direction - up * side * (along + 1.0e-4));
        along = -1.0e-4;
    }
    return direction * (abs(height) / -along);
}

vec2 localCoordinates(vec3 relative) { return referenceLocation.xy + (invBasis * relative).xy; }

vec3 localToWorld(vec3 v, vec3 relative) { return basis * v; }
