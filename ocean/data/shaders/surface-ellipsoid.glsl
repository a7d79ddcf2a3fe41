// A round earth: the sea-level ellipsoid with these radii, centred at the origin.
uniform vec3 radii;
uniform vec3 oneOverRadii;
uniform vec3 north;
uniform vec3 northPole;
uniform vec3 east;

// The tangent plane below the camera carries the camera's height in its d.
float cameraHeight() { return plane.w; }

vec3 castRay(vec3 direction)
{
    // Scaled by the radii, the ellipsoid is the unit sphere.
    vec3 o = cameraPos * oneOverRadii;
    vec3 d = direction * oneOverRadii;
    float a = dot(d, d);
    float b = 2.0 * dot(o, d);
    float c = dot(o, o) - 1.0;
    float discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0)
    {
        // Beyond the horizon: the point where the ray passes closest to the surface, brought
        // down onto it.
        vec3 p = cameraPos + direction * max(-b / (2.0 * a), 0.0);
        return p / length(p * oneOverRadii) - cameraPos;
    }
    float root = sqrt(discriminant);
    float t = (-b - root) / (2.0 * a);
    if (t < 0.0)
        t = (-b + root) / (2.0 * a);
    return direction * max(t, 0.0);
}

vec2 localCoordinates(vec3 relative) { return referenceLocation.xy + (invBasis * relative).xy; }

// The local frame turns with the surface: up is the ellipsoid's normal at the point.
vec3 localToWorld(vec3 v, vec3 relative)
{
    vec3 p = cameraPos + relative;
    vec3 up = normalize(p * oneOverRadii * oneOverRadii);
    vec3 e = cross(northPole, up);
    e = dot(e, e) > 1.0e-12 ? normalize(e) : east;
    vec3 n = cross(up, e);
    return e * v.x + n * v.y + up * v.z;
}
