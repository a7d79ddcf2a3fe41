uniform vec3 L; // towards the sun
uniform vec3 lightColor;
uniform vec3 ambientColor;
uniform vec3 refractColor;
uniform float shininess;
uniform samplerCube cubeMap;
uniform mat3 cubeMapMatrix;
uniform int hasEnvMap;
uniform sampler2D planarReflectionMap;
uniform mat3 planarReflectionMapMatrix;
uniform int hasPlanarReflectionMap;
uniform float planarReflectionDisplacementScale;
uniform float planarReflectionBlend;
uniform float planarHeight; // height of what the reflection typically shows above the sea
uniform float planarAdjust; // distance within which the reflection's distortion grows no more
uniform sampler2D foamTex;
uniform float foamScale;
uniform float foamBlend;
uniform sampler2D noiseTex;
uniform sampler2D washTex;
uniform vec3 fogColor;
uniform float fogDensity;
uniform float fogDensityBelow;
uniform mat3 basis;
uniform float time;

varying vec3 vRelative;
varying vec2 vLocal;
varying float vWake;
varying float vAbove;
varying float vDepth;

uniform vec2 wrapPeriod; // where the local coordinates wrap round

// Texture coordinates per metre for a tiling of about `period` metres that fits a whole number
// of times into the wrap, so that no pattern jumps where the coordinates wrap.
vec2 tiling(float period) { return floor(wrapPeriod / period + 0.5) / wrapPeriod; }

// Detail ripples from the noise texture (stored 0..1 for -1..1): two drifting layers.
vec2 ripples(vec2 local)
{
    vec2 a = texture2D(noiseTex, local * tiling(23.0) + vec2(time * 0.013, time * 0.007)).xy;
    vec2 b = texture2D(noiseTex, local * tiling(61.0) - vec2(time * 0.005, time * 0.011)).xy;
    return (a + b) - 1.0;
}
