varying vec3 vNormal;

// Normal of the Gerstner sum from the vertex shader, with ripples; foam where the summed
// waves tilt the surface most.
vec3 surfaceNormal(vec2 local, float distance, out float foam)
{
    vec3 n = normalize(vNormal);
    foam = smoothstep(0.25, 0.5, 1.0 - n.z);
    vec2 detail = ripples(local) * 0.06 / (1.0 + distance * 0.002);
    return normalize(n + vec3(detail, 0.0));
}
