// The sea's colour: sky and scene reflected by Fresnel's law over the deep-water colour,
// the sun's glitter, foam on the crests and in wakes, and fog by distance.
void main()
{
    float distance = length(vRelative);
    vec3 V = -vRelative / max(distance, 1.0e-3);
    float foam;
    vec3 nLocal = surfaceNormal(vLocal, distance, foam);
    vec3 up = normalize(basis[2]);
    vec3 N = normalize(basis * nLocal);
    bool above = vAbove > 0.5;
    if (!above)
        N = -N;
    if (dot(N, V) < 0.0)
        N = normalize(N + V * (0.01 - dot(N, V)));

    // Schlick's approximation for water (n = 1.33).
    float fresnel = 0.02 + 0.98 * pow(1.0 - max(dot(N, V), 0.0), 5.0);
    vec3 R = reflect(-V, N);
    float below = dot(R, up);
    if (below < 0.02)
        R = normalize(R + up * (0.02 - below));

    float sunUp = max(dot(L, up), 0.0);
    vec3 sky = mix(fogColor, vec3(0.25, 0.45, 0.75), clamp(dot(R, up) * 2.0, 0.0, 1.0));
    if (hasEnvMap != 0)
        sky = textureCube(cubeMap, R * cubeMapMatrix).rgb;
    if (hasPlanarReflectionMap != 0)
    {
        vec3 t = vRelative * planarReflectionMapMatrix;
        // A tilted facet mirrors a point beside the one above it, by the height of what it
        // mirrors times the tilt, which looks the smaller the farther away it is.
        float shift = planarHeight / max(distance, max(planarAdjust, 1.0e-3));
        vec2 uv = t.xy / t.z + nLocal.xy * planarReflectionDisplacementScale * shift;
        vec4 scene = texture2D(planarReflectionMap, uv);
        sky = mix(sky, scene.rgb, scene.a * planarReflectionBlend);
    }

    vec3 light = ambientColor + lightColor * (0.3 + 0.7 * sunUp);
    // Shallow water takes the colour of the light sand below it.
    vec3 deep = mix(vec3(0.25, 0.55, 0.5), refractColor, clamp(vDepth / 8.0, 0.0, 1.0)) * light;
    // Light scattered back through the water where a wave faces the sun.
    deep += refractColor * lightColor * 0.4 * max(dot(nLocal.xy, -L.xy), 0.0) * sunUp;
    vec3 color = mix(deep, sky, fresnel);

    // The sun's glitter comes from facets far smaller than the simulated waves: fine noise,
    // made rough, breaks the highlight into a path of sparkles (one look-up: on software
    // renderers every texture read counts).
    vec2 roughness = texture2D(noiseTex, vLocal * tiling(5.75)).xy - 0.5;
    vec3 facet = normalize(N + basis * vec3(roughness * 0.5, 0.0));
    float glitter = pow(max(dot(reflect(-V, facet), L), 0.0), 40.0 * shininess);
    color += lightColor * glitter * (1.0 + 0.3 * shininess) * step(0.0, dot(L, up));

    float lace = texture2D(foamTex, vLocal * tiling(foamScale)).a;
    float foamAmount = clamp((foam * foamBlend * 2.0 + vWake) * lace, 0.0, 1.0);
#ifdef PROPELLER_WASH
    foamAmount = max(foamAmount, vWake * texture2D(washTex, vec2(0.5, vLocal.y / 50.0)).r * 2.0);
#endif
    color = mix(color, light * 0.95, foamAmount);

    float density = above ? fogDensity : fogDensityBelow;
    color = mix(fogColor, color, exp(-density * distance));
#ifndef HDR
    color = clamp(color, 0.0, 1.0);
#endif
    // Over the shore the water thins out and lets the terrain show through.
    FRAG_COLOR = vec4(color, clamp(vDepth * 0.5, 0.0, 1.0));
}
