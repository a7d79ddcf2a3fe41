#include "grid/ProjectedGridOpenGL.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "frame/GLFunctions.h"
#include "grid/OceanLightingModel.h"
#include "grid/ShaderLoader.h"
#include "particles/WakeManager.h"
#include "water/WaterModel.h"

#include <cmath>

namespace Sea
{
namespace
{
const char* const uniformNames[ProjectedGridOpenGL::NUM_UNIFORMS] = {
    "invModelviewProj", "plane", "radii", "oneOverRadii", "basis", "invBasis", "north", "northPole", "east",
    "cameraPos", "gridSize", "gridScale", "antiAliasing", "fogColor", "fogDensity", "fogDensityBelow",
    "cubeMapMatrix", "planarReflectionMapMatrix", "floorPlanePoint", "floorPlaneNormal", "planarHeight",
    "planarAdjust", "referenceLocation", "hasHeightMap", "heightMap", "heightMapMatrix", "seaLevel",
    "planarReflectionBlend", "modelview", "projection", "depthOffset", "kexp", "breakerWavelength",
    "breakerWavelengthVariance", "breakerDirection", "breakerAmplitude", "breakerPhaseConstant", "surgeDepth",
    "steepnessVariance", "modelMatrix", "invRotationProj", "wrapPeriod"};

void setMatrix4(int location, const Matrix4& m)
{
    if (location == -1)
        return;
    float f[16];
    m.ToFloats(f);
    GLFunctions::Get().UniformMatrix4fv(location, 1, GL_FALSE, f);
}

// Our 3 x 3 matrices are row by row, GLSL wants columns: transpose on upload.
void setMatrix3(int location, const Matrix3& m)
{
    if (location == -1)
        return;
    float f[9];
    m.ToFloats(f);
    GLFunctions::Get().UniformMatrix3fv(location, 1, GL_TRUE, f);
}

void setVector3(int location, const Vector3& v)
{
    if (location != -1)
        GLFunctions::Get().Uniform3f(location, float(v.x), float(v.y), float(v.z));
}

void setFloat(int location, double v)
{
    if (location != -1)
        GLFunctions::Get().Uniform1f(location, float(v));
}
} // namespace

ProjectedGridOpenGL::ProjectedGridOpenGL(bool breaking, int type) : ProjectedGrid(breaking), waterModelType(type) {}

ProjectedGridOpenGL::~ProjectedGridOpenGL()
{
    const GLFunctions& gl = GLFunctions::Get();
    if (vertexArray && gl.DeleteVertexArrays)
        gl.DeleteVertexArrays(1, &vertexArray);
    if (vertexBuffer)
        gl.DeleteBuffers(1, &vertexBuffer);
    if (indexBuffer)
        gl.DeleteBuffers(1, &indexBuffer);
    ShaderLoader::Destroy(gridProgram.program);
    ShaderLoader::Destroy(patchProgram.program);
    if (placeholderTexture)
        glDeleteTextures(1, &placeholderTexture);
}

bool ProjectedGridOpenGL::Initialize(Environment* env, bool patchOption, unsigned int gridResolution)
{
    if (!ProjectedGrid::Initialize(env, patchOption, gridResolution))
        return false;
    if (!GLFunctions::Get().complete)
        return false;
    bindless = GLFunctions::HasExtension("GL_NV_vertex_buffer_unified_memory") &&
               GLFunctions::HasExtension("GL_NV_shader_buffer_load");
    multisample = GLFunctions::HasExtension("GL_ARB_multisample");
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || version[0] < '2')
    {
        MessageChannel::Log("OpenGL 2.0 capabilities not present on this system.");
        return false;
    }
    if (!CreateMesh(resolution) || !CreatePrograms())
        return false;
    glGenTextures(1, &placeholderTexture);
    glBindTexture(GL_TEXTURE_2D, placeholderTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    return SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::BuildMesh(unsigned int n, Buffer<float>& vertices, Buffer<unsigned int>& indices)
{
    if (n < 2)
        return false;
    if (!vertices.Allocate(size_t(n) * n * 2))
    {
        MessageChannel::Log("Failed to allocate system memory for OpenGL vertex buffer");
        return false;
    }
    if (!indices.Allocate(2 * size_t(n + 1) * (n - 1)))
    {
        MessageChannel::Log("Failed to allocate system memory for OpenGL index buffer");
        return false;
    }
    for (unsigned int i = 0; i < n; ++i)
        for (unsigned int j = 0; j < n; ++j)
        {
            vertices[(size_t(i) * n + j) * 2] = float(i) / float(n - 1) * 2.0f - 1.0f;
            vertices[(size_t(i) * n + j) * 2 + 1] = float(j) / float(n - 1) * 2.0f - 1.0f;
        }
    // One strip over all rows; the repeated vertices at the joins make empty triangles.
    size_t k = 0;
    for (unsigned int r = 0; r + 1 < n; ++r)
    {
        unsigned int v = r * n;
        indices[k++] = v;
        for (unsigned int c = 0; c < n; ++c, ++v)
        {
            indices[k++] = v;
            indices[k++] = v + n;
        }
        indices[k++] = v - 1 + n;
    }
    return true;
}

unsigned int ProjectedGridOpenGL::ResolutionForViewport(unsigned int configured, int width, int height,
                                                        double pixelsPerPoint)
{
    const int pixels = width > height ? width : height;
    const double points = std::ceil(double(pixels) / (pixelsPerPoint > 0.1 ? pixelsPerPoint : 0.1)) + 1.0;
    const unsigned int wanted = points < double(configured) ? unsigned(points) : configured;
    const unsigned int least = 32;
    return configured < least ? configured : wanted < least ? least : wanted;
}

bool ProjectedGridOpenGL::CreateMesh(unsigned int n)
{
    Buffer<float> vertices;
    Buffer<unsigned int> indices;
    if (!BuildMesh(n, vertices, indices))
        return false;
    const GLFunctions& gl = GLFunctions::Get();
    if (vertexBuffer)
        gl.DeleteBuffers(1, &vertexBuffer);
    if (indexBuffer)
        gl.DeleteBuffers(1, &indexBuffer);
    meshResolution = n;
    gl.GenBuffers(1, &vertexBuffer);
    gl.BindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    gl.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.Size() * sizeof(float)), vertices.Data(), GL_STATIC_DRAW);
    gl.GenBuffers(1, &indexBuffer);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.Size() * sizeof(unsigned int)), indices.Data(),
                  GL_STATIC_DRAW);
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    indexCount = unsigned(indices.Size());
    return SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::BuildProgram(bool patchVariant, Program& out)
{
    char vertexName[256], fragmentName[256];
    if (!ShaderLoader::ComposeName(environment, waterModelType, false, patchVariant, vertexName, sizeof(vertexName)) ||
        !ShaderLoader::ComposeName(environment, waterModelType, true, patchVariant, fragmentName,
                                   sizeof(fragmentName)))
        return false;
    unsigned int vs = ShaderLoader::Compile(environment, vertexName, false, breakingWaves);
    unsigned int fs = ShaderLoader::Compile(environment, fragmentName, true, breakingWaves);
    out.program = ShaderLoader::Link(vs, fs);
    if (!out.program)
    {
        // Link deleted what it was given; a shader it did not get is deleted here.
        const GLFunctions& gl = GLFunctions::Get();
        if (vs && !fs)
            gl.DeleteShader(vs);
        if (fs && !vs)
            gl.DeleteShader(fs);
        return false;
    }
    const GLFunctions& gl = GLFunctions::Get();
    for (int i = 0; i < NUM_UNIFORMS; ++i)
        out.uniforms[i] = gl.GetUniformLocation(out.program, uniformNames[i]);
    out.vertexAttribute = gl.GetAttribLocation(out.program, "vertex");
    return true;
}

bool ProjectedGridOpenGL::CreatePrograms()
{
    const GLFunctions& gl = GLFunctions::Get();
    if (gl.GenVertexArrays && GLFunctions::HasExtension("GL_ARB_vertex_array_object"))
        gl.GenVertexArrays(1, &vertexArray);
    if (!BuildProgram(false, gridProgram))
        return false;
    if (patch && !BuildProgram(true, patchProgram))
        return false;
    return SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::SetProgramValues(Program& p, const Matrix4* modelMatrix)
{
    const GLFunctions& gl = GLFunctions::Get();
    const int* u = p.uniforms;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    aspectRatio = viewport[3] > 0 ? double(viewport[2]) / double(viewport[3]) : 1.0;
    viewportWidth = viewport[2];
    viewportHeight = viewport[3];
    gl.UseProgram(p.program);

    setFloat(u[ANTI_ALIASING], antiAliasing);
    setVector3(u[CAMERA_POS], environment->GetCameraPosition());
    setFloat(u[GRID_SIZE], double(ResolutionForViewport(resolution, viewportWidth, viewportHeight, pixelsPerPoint)));
    const Matrix4& modelview = environment->GetCameraMatrix();
    const Matrix4& projection = environment->GetProjectionMatrix();
    Matrix4 inverse;
    (modelview * projection).Inverse(inverse);
    setMatrix4(u[INV_MODELVIEW_PROJ], inverse);
    Matrix4 rotation = modelview;
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0;
    Matrix4 inverseRotation;
    (rotation * projection).Inverse(inverseRotation);
    setMatrix4(u[INV_ROTATION_PROJ], inverseRotation);
    setMatrix4(u[MODELVIEW], modelview);
    setMatrix4(u[PROJECTION], projection);
    setMatrix4(u[GRID_SCALE], gridScale);
    setFloat(u[DEPTH_OFFSET], depthOffset);
    setFloat(u[PLANAR_REFLECTION_BLEND], planarReflectionBlend);
    setFloat(u[PLANAR_HEIGHT], planarHeight);
    setFloat(u[PLANAR_ADJUST], planarAdjust);
    setFloat(u[SEA_LEVEL], environment->GetSeaLevel());
    setMatrix3(u[CUBE_MAP_MATRIX], environment->GetEnvironmentMapMatrix());
    setMatrix3(u[PLANAR_REFLECTION_MAP_MATRIX], environment->GetPlanarReflectionMapMatrix());
    setMatrix3(u[BASIS], basis);
    setMatrix3(u[INV_BASIS], inverseBasis);
    if (modelMatrix)
        setMatrix4(u[MODEL_MATRIX], *modelMatrix);

    gl.ActiveTexture(GL_TEXTURE0 + heightMapUnit);
    if (environment->GetHeightMap())
    {
        glBindTexture(GL_TEXTURE_2D, environment->GetHeightMap());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        if (u[HAS_HEIGHT_MAP] != -1)
            gl.Uniform1i(u[HAS_HEIGHT_MAP], 1);
        setMatrix4(u[HEIGHT_MAP_MATRIX], environment->GetHeightMapMatrix());
    }
    else
    {
        glBindTexture(GL_TEXTURE_2D, placeholderTexture);
        if (u[HAS_HEIGHT_MAP] != -1)
            gl.Uniform1i(u[HAS_HEIGHT_MAP], 0);
        setMatrix4(u[HEIGHT_MAP_MATRIX], Matrix4());
    }
    if (u[HEIGHT_MAP] != -1)
        gl.Uniform1i(u[HEIGHT_MAP], heightMapUnit);
    gl.ActiveTexture(GL_TEXTURE0);

    setVector3(u[FLOOR_PLANE_NORMAL], floorPlaneNormal);
    setVector3(u[FLOOR_PLANE_POINT], floorPlanePoint);

    // Fog thins light to 2 % (e^-3.912) at the visibility distance.
    const FogSettings& above = environment->GetAboveWaterFog();
    const FogSettings& below = environment->GetBelowWaterFog();
    const FogSettings& side = cameraAboveWater ? above : below;
    setVector3(u[FOG_COLOR], Vector3(side.r, side.g, side.b));
    setFloat(u[FOG_DENSITY], 3.912 / side.visibility);
    setFloat(u[FOG_DENSITY_BELOW], 3.912 / below.visibility);

    if (breakingWaves)
    {
        const BreakingWaveSettings& b = environment->GetBreakingWaveSettings();
        setFloat(u[KEXP], b.kexp);
        setFloat(u[BREAKER_WAVELENGTH], b.wavelength);
        setFloat(u[BREAKER_WAVELENGTH_VARIANCE], b.wavelengthVariance);
        setVector3(u[BREAKER_DIRECTION], b.direction);
        setFloat(u[BREAKER_AMPLITUDE], b.amplitude);
        setFloat(u[BREAKER_PHASE_CONSTANT], b.phaseConstant);
        setFloat(u[SURGE_DEPTH], b.surgeDepth);
        setFloat(u[STEEPNESS_VARIANCE], b.steepnessVariance);
    }

    double plane[4];
    GetPlane(plane);
    if (u[PLANE] != -1)
        gl.Uniform4f(u[PLANE], float(plane[0]), float(plane[1]), float(plane[2]), float(plane[3]));
    setVector3(u[REFERENCE_LOCATION], GetReferenceLocation());
    if (u[WRAP_PERIOD] != -1)
    {
        const Vector3 wrap = GetWrapPeriod();
        gl.Uniform2f(u[WRAP_PERIOD], float(wrap.x), float(wrap.y));
    }
    if (!IsFlat())
    {
        const double h = environment->GetSeaLevel();
        const Vector3 r = radii + Vector3(h, h, h);
        setVector3(u[RADII], r);
        setVector3(u[ONE_OVER_RADII], Vector3(1.0 / r.x, 1.0 / r.y, 1.0 / r.z));
        setVector3(u[NORTH], north);
        setVector3(u[NORTH_POLE], northPole);
        setVector3(u[EAST], east);
    }
    return SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::SetModelValues(unsigned int program)
{
    return wakeManager->SetShaderValues(program) && waterModel->SetShaderValues(program, waterModel->GetTime()) &&
           lightingModel->SetShaderValues(program);
}

void ProjectedGridOpenGL::DrawWater(bool depthWrites)
{
    if (!waterModel || !lightingModel || !wakeManager || !gridProgram.program)
        return;
    if (!SetProgramValues(gridProgram, nullptr) || !SetModelValues(gridProgram.program))
    {
        GLFunctions::Get().UseProgram(0);
        return;
    }
    const unsigned int drawn = ResolutionForViewport(resolution, viewportWidth, viewportHeight, pixelsPerPoint);
    if ((drawn != meshResolution && !CreateMesh(drawn)) || !vertexBuffer || !indexBuffer)
    {
        GLFunctions::Get().UseProgram(0);
        return;
    }
    const GLFunctions& gl = GLFunctions::Get();
    gl.UseProgram(gridProgram.program);
    gl.BindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    const bool fixedFunction = environment->GetRenderer() == OPENGL_2_0;
    const GLuint attribute = GLuint(gridProgram.vertexAttribute);
    if (fixedFunction)
    {
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, nullptr);
    }
    else if (gridProgram.vertexAttribute >= 0)
    {
        if (vertexArray)
            gl.BindVertexArray(vertexArray);
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        gl.EnableVertexAttribArray(attribute);
        gl.VertexAttribPointer(attribute, 2, GL_FLOAT, GL_FALSE, 8, nullptr);
    }
    if (wireframe)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

    // The strip's triangles run clockwise on the screen (each starts at an odd place of the
    // strip), so folded-over triangles of choppy waves turn their backs and are culled.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(depthWrites ? GL_TRUE : GL_FALSE);
    glEnable(GL_BLEND);
    // Coverage adds up as colour does: drawn into a transparent target, the sea leaves its
    // colour times its coverage and the coverage, ready to be laid over a view.
    gl.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDrawElements(GL_TRIANGLE_STRIP, GLsizei(indexCount), GL_UNSIGNED_INT, nullptr);

    glDepthMask(GL_TRUE);
    if (wireframe)
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (fixedFunction)
        glDisableClientState(GL_VERTEX_ARRAY);
    else if (gridProgram.vertexAttribute >= 0)
    {
        gl.DisableVertexAttribArray(attribute);
        if (vertexArray)
            gl.BindVertexArray(0);
    }
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl.UseProgram(0);
    SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::DrawPatch(const void* vertices, bool doublePrecision, const Matrix4& modelMatrix)
{
    const GLFunctions& gl = GLFunctions::Get();
    if (!patchProgram.program)
        return false;
    gl.UseProgram(patchProgram.program);
    if (!waterModel || !lightingModel || !wakeManager)
        return false;
    if (!SetProgramValues(patchProgram, &modelMatrix) || !SetModelValues(patchProgram.program))
        return false;
    gl.UseProgram(patchProgram.program);
    if (environment->GetRenderer() != OPENGL_2_0 && patchProgram.vertexAttribute >= 0 && vertices)
    {
        const GLuint attribute = GLuint(patchProgram.vertexAttribute);
        gl.EnableVertexAttribArray(attribute);
        gl.VertexAttribPointer(attribute, 3, doublePrecision ? GL_DOUBLE : GL_FLOAT, GL_FALSE, 0, vertices);
    }
    glEnable(GL_BLEND);
    gl.BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    return SEA_CHECK_GL_ERROR();
}

bool ProjectedGridOpenGL::ReleaseProgram()
{
    GLFunctions::Get().UseProgram(0);
    return true;
}

void ProjectedGridOpenGL::SaveRenderState()
{
    if (environment->GetRenderer() != OPENGL_2_0)
        return;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    if (savedCount < maxSavedPrograms)
        savedPrograms[savedCount] = program;
    ++savedCount;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}

void ProjectedGridOpenGL::RestoreRenderState()
{
    if (environment->GetRenderer() != OPENGL_2_0 || savedCount == 0)
        return;
    --savedCount;
    if (savedCount < maxSavedPrograms)
        GLFunctions::Get().UseProgram(GLuint(savedPrograms[savedCount]));
    glPopClientAttrib();
    glPopAttrib();
}

void ProjectedGridOpenGL::SetDefaultRenderState()
{
    if (environment->GetRenderer() != OPENGL_2_0)
        return;
    const GLFunctions& gl = GLFunctions::Get();
    static const GLenum off[] = {GL_ALPHA_TEST,     GL_AUTO_NORMAL,          GL_BLEND,
                                 GL_COLOR_MATERIAL, GL_DITHER,               GL_FOG,
                                 GL_LIGHT0,         GL_LIGHT1,               GL_LIGHT2,
                                 GL_LIGHT3,         GL_LIGHTING,             GL_LINE_STIPPLE,
                                 GL_COLOR_LOGIC_OP, GL_INDEX_LOGIC_OP,       GL_NORMALIZE,
                                 GL_POINT_SMOOTH,   GL_POLYGON_OFFSET_FILL,  GL_POLYGON_OFFSET_LINE,
                                 GL_POLYGON_OFFSET_POINT, GL_POLYGON_SMOOTH, GL_POLYGON_STIPPLE,
                                 GL_SCISSOR_TEST,   GL_TEXTURE_1D,           GL_TEXTURE_2D,
                                 GL_TEXTURE_GEN_S,  GL_TEXTURE_GEN_T,        GL_TEXTURE_GEN_R,
                                 GL_TEXTURE_GEN_Q};
    for (GLenum cap : off)
        glDisable(cap);
    GLint clipPlanes = 0;
    glGetIntegerv(GL_MAX_CLIP_PLANES, &clipPlanes);
    for (GLint i = 0; i < clipPlanes; ++i)
        glDisable(GLenum(GL_CLIP_PLANE0 + i));
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LINE_SMOOTH);
    glFrontFace(GL_CCW);
    if (multisample)
        glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    for (GLint i = 0; i < units; ++i)
    {
        gl.ActiveTexture(GLenum(GL_TEXTURE0 + i));
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_3D);
    }
    gl.ActiveTexture(GL_TEXTURE0);
    gl.ClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_FOG_COORDINATE_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_SECONDARY_COLOR_ARRAY);
    if (bindless)
        glDisableClientState(GL_VERTEX_ATTRIB_ARRAY_UNIFIED_NV);
    SEA_CHECK_GL_ERROR();
}

} // namespace Sea
