uniform sampler2D slopeFoamMap;
uniform vec2 textureSize;
uniform float textureLODBias;
uniform float noiseAmplitude;
uniform float invNoiseDistance;
uniform float foamThreshold; // the compression (1 - J) where whitecaps begin at this wind
uniform float foamWidth;
uniform float antiAliasing;

// Normal from the simulated slopes, with ripples where the simulation is too coarse (near)
// or blurred away (beyond the noise distance); foam from the compression of the surface.
vec3 surfaceNormal(vec2 local, float distance, out float foam)
{
    vec3 s = texture2D(slopeFoamMap, local / textureSize, textureLODBias + log2(max(antiAliasing, 1.0e-3))).xyz;
    float far = clamp(distance * invNoiseDistance, 0.0, 1.0);
    vec2 detail = ripples(local) * (0.06 * (1.0 - far) + noiseAmplitude * 2.0 * far);
    foam = smoothstep(foamThreshold, foamThreshold + foamWidth, s.z);
    return normalize(vec3(-s.xy + detail, 1.0));
}
