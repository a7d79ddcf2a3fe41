uniform mat4 modelview;
uniform mat4 projection;
attribute vec2 ageLife; // seconds lived, seconds to live

varying float vAlpha;

// Spray droplets: points that shrink with distance and fade as they age.
void main()
{
    vec4 eye = modelview * vec4(VERTEX.xyz, 1.0);
    gl_Position = projection * eye;
    gl_PointSize = clamp(300.0 / max(-eye.z, 1.0), 1.0, 12.0);
    vAlpha = 0.8 * (1.0 - ageLife.x / max(ageLife.y, 1.0e-3));
}
