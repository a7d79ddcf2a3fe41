uniform sampler2D displacementMap;
uniform vec2 textureSize;
uniform vec2 textureResolution; // points of the simulated patch
uniform float invDampingDistance;
uniform float textureLODBias;

// The FFT sea: displacement (x, y, height) from the simulated patch, with the mipmap level
// chosen by the spacing of the grid at this distance and faded out far away.
vec3 waveDisplacement(vec2 local, float distance)
{
    // Anti-aliasing above 1 blurs the waves more than the grid's spacing asks for.
    float spacing = distance * 2.0 / (gridSize * projection[1][1]) * max(antiAliasing, 1.0e-3);
    float texel = textureSize.x / textureResolution.x;
    float lod = max(log2(max(spacing / texel, 1.0e-6)) + textureLODBias, 0.0);
    vec3 d = texture2DLod(displacementMap, local / textureSize, lod).xyz;
    float damping = 1.0 - smoothstep(0.5, 1.5, distance * invDampingDistance);
    return d * damping;
}
