// The projected grid: each point of the fixed mesh is a place on the screen (through the grid
// scale), cast from the camera onto the sea.
void main()
{
    vec4 screen = gridScale * vec4(VERTEX.xy, 0.0, 1.0);
    vec4 nearPoint = invRotationProj * vec4(screen.xy, -1.0, 1.0);
    vec4 farPoint = invRotationProj * vec4(screen.xy, 1.0, 1.0);
    vec3 direction = normalize(farPoint.xyz / farPoint.w - nearPoint.xyz / nearPoint.w);
    emit(castRay(direction));
}
