uniform mat4 invModelviewProj;
uniform mat4 invRotationProj; // the same without the camera's translation: rays from the camera
uniform mat4 modelview;
uniform mat4 projection;
uniform mat4 gridScale;
uniform mat3 basis;
uniform mat3 invBasis;
uniform vec3 cameraPos;
uniform vec3 referenceLocation;
uniform vec4 plane;
uniform float gridSize;
uniform float antiAliasing;
uniform float time;
uniform float seaLevel;
uniform int hasHeightMap;
uniform sampler2D heightMap;   // terrain heights in red, metres
uniform mat4 heightMapMatrix;  // world position to its texture coordinates
uniform vec3 floorPlanePoint;  // the sea floor below the camera: a point and the normal
uniform vec3 floorPlaneNormal;
uniform float depthOffset;     // pushes the sea back in depth, a share of the depth range

varying vec3 vRelative;  // surface point minus camera, world axes
varying vec2 vLocal;     // surface point in the sea's local frame, for texturing
varying float vWake;     // strength of wake turbulence
varying float vAbove;    // 1 when the camera is above the water
varying float vDepth;    // water depth from the height map; large without one

// From the surface piece: where a ray from the camera meets the sea, as an offset from the
// camera, and the sea's frame there.
vec3 castRay(vec3 direction);
float cameraHeight();
vec2 localCoordinates(vec3 relative);
vec3 localToWorld(vec3 v, vec3 relative);
// From the wave model piece: displacement in the local frame (x east, y north, z up).
vec3 waveDisplacement(vec2 local, float distance);

#ifdef KELVIN_WAKES
struct Wake
{
    vec3 position;
    vec2 direction;
    float speed;
    float amplitude;
    float wavelength;
    float length;
};
uniform int numKelvinWakes;
uniform Wake wakes[MAX_WAKE_WAVES];

// The transverse waves of a Kelvin wake inside its 19.47 degree wedge, fading behind the hull.
float kelvinWakes(vec3 relative)
{
    float height = 0.0;
    vWake = 0.0;
    vec3 world = cameraPos + relative;
    for (int i = 0; i < MAX_WAKE_WAVES; ++i)
    {
        if (i >= numKelvinWakes)
            break;
        vec2 d = (invBasis * (world - wakes[i].position)).xy;
        float behind = -dot(d, wakes[i].direction);
        float across = dot(d, vec2(-wakes[i].direction.y, wakes[i].direction.x));
        if (behind <= 0.0)
            continue;
        float edge = behind * 0.3536;
        float inside = clamp(1.0 - abs(across) / max(edge, 1.0e-3), 0.0, 1.0);
        float fade = exp(-behind / (20.0 * wakes[i].wavelength + 1.0));
        float k = 6.2831853 / max(wakes[i].wavelength, 0.1);
        height += wakes[i].amplitude * fade * inside * sin(k * behind);
        // The churned water behind the hull: about its beam wide, spreading slowly.
        float width = 0.1 * wakes[i].length + 0.05 * behind;
        vWake = max(vWake, exp(-across * across / (width * width)) * exp(-behind / (8.0 * wakes[i].length)));
    }
    return height;
}
#endif

#ifdef BREAKING_WAVES
uniform float kexp;
uniform float breakerWavelength;
uniform float breakerWavelengthVariance;
uniform vec3 breakerDirection;
uniform float breakerAmplitude;
uniform float breakerPhaseConstant;
uniform float surgeDepth;
uniform float steepnessVariance;

// A train of waves running towards the shore: it grows as the water gets shallow (shoaling,
// exp(-kexp depth)), slows by the shallow-water dispersion, and its crests lean forward and
// break where the water is shallower than the surge depth.
vec3 breakingWave(vec2 local, float depth)
{
    float shoal = exp(-kexp * depth);
    if (shoal < 1.0e-3)
        return vec3(0.0);
    vec2 direction = normalize(breakerDirection.xy + vec2(0.0, 1.0e-6));
    float along = dot(local, direction);
    float across = dot(local, vec2(-direction.y, direction.x));
    // Crests not quite parallel: the wavelength and steepness vary slowly along them.
    float wavelength = max(breakerWavelength + breakerWavelengthVariance * sin(across * 0.013), 1.0);
    float k = 6.2831853 / wavelength;
    // tanh, which GLSL 1.20 lacks, of k d: deep water beyond k d = 10.
    float e = exp(-2.0 * min(k * max(depth, 0.1), 10.0));
    float omega = sqrt(9.81 * k * (1.0 - e) / (1.0 + e));
    float phase = k * along - omega * time + breakerPhaseConstant;
    float amplitude = breakerAmplitude * shoal;
    float lean = clamp(1.0 - depth / max(surgeDepth, 1.0e-3), 0.0, 1.0) *
                 (1.0 + steepnessVariance * sin(across * 0.031));
    return vec3(direction * lean * amplitude * cos(phase), amplitude * sin(phase));
}
#endif

// Displaces the surface point, adds the wakes and projects it.
void emit(vec3 relative)
{
    float distance = length(relative);
    vec2 local = localCoordinates(relative);
    vec3 offset = waveDisplacement(local, distance);
    // The water's depth: down to the sea floor plane, or to the terrain of the height map
    // where it is shallower. Waves die down where the water gets shallow.
    vDepth = dot(relative - (floorPlanePoint - cameraPos), floorPlaneNormal);
    if (hasHeightMap != 0)
    {
        vec4 uv = heightMapMatrix * vec4(cameraPos + relative, 1.0);
        vDepth = min(vDepth, seaLevel - texture2DLod(heightMap, uv.xy, 0.0).r);
    }
    offset *= clamp(vDepth / 10.0, 0.0, 1.0);
#ifdef BREAKING_WAVES
    offset += breakingWave(local, max(vDepth, 0.0));
#endif
    vWake = 0.0;
#ifdef KELVIN_WAKES
    offset.z += kelvinWakes(relative);
#endif
    vec3 displaced = relative + localToWorld(offset, relative);
    vRelative = displaced;
    vAbove = cameraHeight() >= 0.0 ? 1.0 : 0.0;
    vLocal = local;
    // Relative to the camera the view is a rotation alone: no large world coordinates in floats.
    gl_Position = projection * vec4(mat3(modelview) * displaced, 1.0);
    gl_Position.z += depthOffset * gl_Position.w;
}
