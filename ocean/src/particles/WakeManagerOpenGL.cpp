#include "particles/WakeManagerOpenGL.h"

#include "frame/GLFunctions.h"
#include "grid/ProjectedGrid.h"

#include <cstdio>

namespace Sea
{
namespace
{
const int fieldCount = 6;
const char* const fields[fieldCount] = {"position", "direction", "speed", "amplitude", "wavelength", "length"};
} // namespace

WakeManagerOpenGL::WakeManagerOpenGL(const WakeSourceList* list) : WakeManager(list) {}

bool WakeManagerOpenGL::Initialize(ProjectedGrid* projectedGrid, Environment* env)
{
    if (!WakeManager::Initialize(projectedGrid, env))
        return false;
    FindLocations(projectedGrid->GetGridProgram(), grid);
    FindLocations(projectedGrid->GetPatchProgram(), patch);
    return SEA_CHECK_GL_ERROR();
}

void WakeManagerOpenGL::FindLocations(unsigned int program, Locations& l)
{
    l.program = program;
    if (!program || !l.wakes.Allocate(size_t(maxWakes) * fieldCount))
        return;
    const GLFunctions& gl = GLFunctions::Get();
    l.count = gl.GetUniformLocation(program, "numKelvinWakes");
    char name[64];
    for (int i = 0; i < maxWakes; ++i)
        for (int f = 0; f < fieldCount; ++f)
        {
            std::snprintf(name, sizeof(name), "wakes[%d].%s", i, fields[f]);
            l.wakes[size_t(i * fieldCount + f)] = gl.GetUniformLocation(program, name);
        }
}

bool WakeManagerOpenGL::SetShaderValues(unsigned int program)
{
    const Locations* l = program == grid.program ? &grid : program == patch.program ? &patch : nullptr;
    if (!l)
        return false;
    // A shader built without wakes has nothing to set.
    if (l->count == -1)
        return true;
    const GLFunctions& gl = GLFunctions::Get();
    gl.UseProgram(program);
    gl.Uniform1i(l->count, activeCount);
    for (int i = 0; i < activeCount; ++i)
    {
        const Wake& w = active[size_t(i)];
        const int* loc = &l->wakes[size_t(i * fieldCount)];
        if (loc[0] != -1)
            gl.Uniform3f(loc[0], w.position[0], w.position[1], w.position[2]);
        if (loc[1] != -1)
            gl.Uniform2f(loc[1], w.direction[0], w.direction[1]);
        if (loc[2] != -1)
            gl.Uniform1f(loc[2], w.speed);
        if (loc[3] != -1)
            gl.Uniform1f(loc[3], w.amplitude);
        if (loc[4] != -1)
            gl.Uniform1f(loc[4], w.wavelength);
        if (loc[5] != -1)
            gl.Uniform1f(loc[5], w.length);
    }
    return SEA_CHECK_GL_ERROR();
}

} // namespace Sea
