#pragma once

#include <cstddef>

namespace Sea
{

class Environment;

// Names, loads, compiles and links the library's shader files.
class ShaderLoader
{
public:
    // The file name of the grid's vertex or fragment shader for a water model type, with
    // "-patch" for the patch variant; false when the name does not fit `size`.
    static bool ComposeName(const Environment* environment, int waterModelType, bool fragment, bool patch, char* out,
                            size_t size);
    static bool ComposeParticleName(const Environment* environment, bool fragment, char* out, size_t size);

    // Loads and compiles one shader with the library's defines in front; 0 on failure, after
    // logging the compiler's information log.
    static unsigned int Compile(const Environment* environment, const char* name, bool fragment, bool breakingWaves);
    // Links two compiled shaders; 0 on failure, after logging the linker's information log.
    static unsigned int Link(unsigned int vertexShader, unsigned int fragmentShader);
    // Detaches and deletes the shaders of a program, then the program.
    static void Destroy(unsigned int program);
};

} // namespace Sea
