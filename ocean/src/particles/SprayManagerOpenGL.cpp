#include "particles/SprayManagerOpenGL.h"

#include "Sea/Environment.h"
#include "frame/GLFunctions.h"
#include "grid/ShaderLoader.h"

namespace Sea
{

SprayManagerOpenGL::~SprayManagerOpenGL() { ShaderLoader::Destroy(program); }

bool SprayManagerOpenGL::Initialize(ProjectedGrid* projectedGrid, Environment* env)
{
    if (!SprayManager::Initialize(projectedGrid, env))
        return false;
    if (!enabled)
        return true;
    char vertexName[256], fragmentName[256];
    if (!ShaderLoader::ComposeParticleName(env, false, vertexName, sizeof(vertexName)) ||
        !ShaderLoader::ComposeParticleName(env, true, fragmentName, sizeof(fragmentName)))
        return false;
    unsigned int vs = ShaderLoader::Compile(env, vertexName, false, false);
    unsigned int fs = ShaderLoader::Compile(env, fragmentName, true, false);
    program = ShaderLoader::Link(vs, fs);
    if (!program)
        return false;
    const GLFunctions& gl = GLFunctions::Get();
    modelviewLocation = gl.GetUniformLocation(program, "modelview");
    projectionLocation = gl.GetUniformLocation(program, "projection");
    ageLocation = gl.GetAttribLocation(program, "ageLife");
    return SEA_CHECK_GL_ERROR();
}

void SprayManagerOpenGL::Draw()
{
    if (!enabled || !program || count == 0)
        return;
    const GLFunctions& gl = GLFunctions::Get();
    gl.UseProgram(program);
    float m[16];
    environment->GetCameraMatrix().ToFloats(m);
    if (modelviewLocation != -1)
        gl.UniformMatrix4fv(modelviewLocation, 1, GL_FALSE, m);
    environment->GetProjectionMatrix().ToFloats(m);
    if (projectionLocation != -1)
        gl.UniformMatrix4fv(projectionLocation, 1, GL_FALSE, m);
    glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
    glEnable(GL_POINT_SPRITE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    const GLsizei stride = sizeof(Particle);
    const GLuint age = GLuint(ageLocation);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, particles[0].position);
    if (ageLocation >= 0)
    {
        gl.EnableVertexAttribArray(age);
        gl.VertexAttribPointer(age, 2, GL_FLOAT, GL_FALSE, stride, &particles[0].age);
    }
    glDrawArrays(GL_POINTS, 0, count);
    if (ageLocation >= 0)
        gl.DisableVertexAttribArray(age);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDepthMask(GL_TRUE);
    glDisable(GL_VERTEX_PROGRAM_POINT_SIZE);
    glDisable(GL_POINT_SPRITE);
    gl.UseProgram(0);
    SEA_CHECK_GL_ERROR();
}

} // namespace Sea
