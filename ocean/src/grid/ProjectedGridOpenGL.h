#pragma once

#include "Sea/Buffer.h"
#include "grid/ProjectedGrid.h"

namespace Sea
{

// The projected grid drawn with OpenGL: one static mesh and index strip, the grid program
// (and with the patch option the patch program), and the values the shaders need per frame.
class ProjectedGridOpenGL : public ProjectedGrid
{
public:
    static const int heightMapUnit = 5;

    enum Uniform
    {
        INV_MODELVIEW_PROJ,
        PLANE,
        RADII,
        ONE_OVER_RADII,
        BASIS,
        INV_BASIS,
        NORTH,
        NORTH_POLE,
        EAST,
        CAMERA_POS,
        GRID_SIZE,
        GRID_SCALE,
        ANTI_ALIASING,
        FOG_COLOR,
        FOG_DENSITY,
        FOG_DENSITY_BELOW,
        CUBE_MAP_MATRIX,
        PLANAR_REFLECTION_MAP_MATRIX,
        FLOOR_PLANE_POINT,
        FLOOR_PLANE_NORMAL,
        PLANAR_HEIGHT,
        PLANAR_ADJUST,
        REFERENCE_LOCATION,
        HAS_HEIGHT_MAP,
        HEIGHT_MAP,
        HEIGHT_MAP_MATRIX,
        SEA_LEVEL,
        PLANAR_REFLECTION_BLEND,
        MODELVIEW,
        PROJECTION,
        DEPTH_OFFSET,
        KEXP,
        BREAKER_WAVELENGTH,
        BREAKER_WAVELENGTH_VARIANCE,
        BREAKER_DIRECTION,
        BREAKER_AMPLITUDE,
        BREAKER_PHASE_CONSTANT,
        SURGE_DEPTH,
        STEEPNESS_VARIANCE,
        MODEL_MATRIX,
        INV_ROTATION_PROJ,
        WRAP_PERIOD,
        NUM_UNIFORMS
    };

    ProjectedGridOpenGL(bool breakingWaves, int waterModelType);
    ~ProjectedGridOpenGL() override;

    bool Initialize(Environment* environment, bool patch, unsigned int resolution) override;
    void DrawWater(bool depthWrites) override;
    bool DrawPatch(const void* vertices, bool doublePrecision, const Matrix4& modelMatrix) override;
    bool ReleaseProgram() override;
    unsigned int GetGridProgram() const override { return gridProgram.program; }
    unsigned int GetPatchProgram() const override { return patchProgram.program; }
    void SaveRenderState() override;
    void RestoreRenderState() override;
    void SetDefaultRenderState() override;

    unsigned int GetIndexCount() const { return indexCount; }
    // The grid is drawn with one point per "grid-pixels-per-point" pixels of the viewport's
    // longer side, and at most the configured resolution: finer grids cost a software
    // renderer dearly and show no more.
    static unsigned int ResolutionForViewport(unsigned int configured, int width, int height, double pixelsPerPoint);
    unsigned int GetDrawnResolution() const { return meshResolution; }
    // The mesh as built, for checks: vertices (two floats each) and strip indices.
    static bool BuildMesh(unsigned int resolution, Buffer<float>& vertices, Buffer<unsigned int>& indices);

private:
    struct Program
    {
        unsigned int program = 0;
        int uniforms[NUM_UNIFORMS];
        int vertexAttribute = -1;
    };

    bool CreateMesh(unsigned int n);
    bool CreatePrograms();
    bool BuildProgram(bool patchVariant, Program& out);
    bool SetProgramValues(Program& p, const Matrix4* modelMatrix);
    bool SetModelValues(unsigned int program);

    int waterModelType;
    unsigned int vertexBuffer = 0;
    unsigned int indexBuffer = 0;
    unsigned int indexCount = 0;
    unsigned int meshResolution = 0;
    int viewportWidth = 0, viewportHeight = 0;
    unsigned int placeholderTexture = 0;
    unsigned int vertexArray = 0;
    Program gridProgram;
    Program patchProgram;
    bool bindless = false;
    bool multisample = false;
    static const int maxSavedPrograms = 16;
    int savedPrograms[maxSavedPrograms] = {};
    int savedCount = 0;
};

} // namespace Sea
