// Sea shaders. The library puts "#version" and its feature defines (KELVIN_WAKES,
// PROPELLER_WASH, BREAKING_WAVES, HDR, MAX_WAKE_WAVES, OPENGL32) in front of this text.
// Matrices that come from the scene graph (cube map, planar reflection) act on row vectors:
// write v * M. The library's own (basis, invBasis) act on columns: write M * v.
#ifdef OPENGL32
#define texture2D texture
#define texture2DLod textureLod
#define textureCube texture
#endif
