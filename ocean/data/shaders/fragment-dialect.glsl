// Fragment shaders: varyings and the output colour in either dialect.
#ifdef OPENGL32
#define varying in
out vec4 fragColor;
#define FRAG_COLOR fragColor
#else
#define FRAG_COLOR gl_FragColor
#endif
