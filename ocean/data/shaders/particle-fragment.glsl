varying float vAlpha;

void main()
{
    vec2 d = gl_PointCoord * 2.0 - 1.0;
    float round = 1.0 - smoothstep(0.6, 1.0, dot(d, d));
    FRAG_COLOR = vec4(0.95, 0.97, 1.0, vAlpha * round);
}
