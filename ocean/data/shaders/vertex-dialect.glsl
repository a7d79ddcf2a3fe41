// Vertex shaders: the vertex and varyings in either dialect.
#ifdef OPENGL32
#define attribute in
#define varying out
in vec4 vertex;
#define VERTEX vertex
#else
#define VERTEX gl_Vertex
#endif
