#include "water/GerstnerWaterModelOpenGL.h"

#include "Sea/MessageChannel.h"
#include "frame/GLFunctions.h"

#include <cstdio>

namespace Sea
{
namespace
{
const char* const waveFields[5] = {"frequency", "phaseSpeed", "amplitude", "direction", "steepness"};
}

GerstnerWaterModelOpenGL::GerstnerWaterModelOpenGL(Environment* env) : GerstnerWaterModel(env) {}

bool GerstnerWaterModelOpenGL::Initialize(unsigned int shader, unsigned int patchShader)
{
    if (!shader)
    {
        MessageChannel::Log("Null shader passed into GerstnerWaterModel::Initialize");
        return false;
    }
    if (!configured || !InitializeWaves())
        return false;
    if (!FindLocations(shader, grid) || (patchShader && !FindLocations(patchShader, patch)))
        return false;
    return SEA_CHECK_GL_ERROR();
}

bool GerstnerWaterModelOpenGL::FindLocations(unsigned int program, Locations& locations)
{
    const GLFunctions& gl = GLFunctions::Get();
    locations.program = program;
    if (!locations.waves.Allocate(size_t(numWaves) * 5))
        return false;
    char name[64];
    for (int i = 0; i < numWaves; ++i)
        for (int f = 0; f < 5; ++f)
        {
            std::snprintf(name, sizeof(name), "waves[%d].%s", i, waveFields[f]);
            int location = gl.GetUniformLocation(program, name);
            if (location == -1)
            {
                MessageChannel::Log("One or more wave parameters not found in the OpenGL Gerstner shader. Did you "
                                    "change the number of waves in the config file but not update the MAX_WAVES "
                                    "definition in the .glsl files?");
                return false;
            }
            locations.waves[size_t(i * 5 + f)] = location;
        }
    locations.numWaves = gl.GetUniformLocation(program, "numWaves");
    if (locations.numWaves == -1)
    {
        MessageChannel::Log("numWavesLoc parameter not found in the Gerstner GL shader.");
        return false;
    }
    locations.time = gl.GetUniformLocation(program, "time");
    if (locations.time == -1)
    {
        MessageChannel::Log("time parameter not found in the Gerstner GL shader.");
        return false;
    }
    return true;
}

bool GerstnerWaterModelOpenGL::SetShaderValues(unsigned int program, double t)
{
    const Locations* l = program == grid.program ? &grid : program == patch.program ? &patch : nullptr;
    if (!l || l->waves.Empty())
        return false;
    const GLFunctions& gl = GLFunctions::Get();
    gl.UseProgram(program);
    gl.Uniform1f(l->time, float(t));
    gl.Uniform1i(l->numWaves, numWaves);
    for (int i = 0; i < numWaves; ++i)
    {
        const Wave& w = waves[size_t(i)];
        const int* loc = &l->waves[size_t(i * 5)];
        gl.Uniform1f(loc[0], w.frequency);
        gl.Uniform1f(loc[1], w.phaseSpeed);
        gl.Uniform1f(loc[2], w.amplitude);
        gl.Uniform2f(loc[3], w.dx, w.dy);
        gl.Uniform1f(loc[4], w.steepness);
    }
    return SEA_CHECK_GL_ERROR();
}

} // namespace Sea
