#define MAX_WAVES 8
struct GerstnerWave
{
    float frequency;  // wave number
    float phaseSpeed; // angular frequency
    float amplitude;
    vec2 direction;
    float steepness;
};
uniform GerstnerWave waves[MAX_WAVES];
uniform int numWaves;

varying vec3 vNormal; // local frame

// The sum of the Gerstner waves: each moves points on circles, crests sharpened by the
// steepness; the normal follows in closed form.
vec3 waveDisplacement(vec2 local, float distance)
{
    vec3 p = vec3(0.0);
    vec3 n = vec3(0.0);
    for (int i = 0; i < MAX_WAVES; ++i)
    {
        if (i >= numWaves)
            break;
        float phase = dot(waves[i].direction, local) * waves[i].frequency + waves[i].phaseSpeed * time;
        float s = sin(phase), c = cos(phase);
        float qa = waves[i].steepness * waves[i].amplitude;
        float wa = waves[i].frequency * waves[i].amplitude;
        p.xy += qa * waves[i].direction * c;
        p.z += waves[i].amplitude * s;
        n.xy += waves[i].direction * wa * c;
        n.z += waves[i].steepness * wa * s;
    }
    vNormal = normalize(vec3(-n.xy, 1.0 - n.z));
    return p;
}
