uniform mat4 modelMatrix;

// A patch of the caller's own vertices, displaced like the grid.
void main()
{
    vec4 world = modelMatrix * vec4(VERTEX.xyz, 1.0);
    emit(world.xyz / world.w - cameraPos);
}
