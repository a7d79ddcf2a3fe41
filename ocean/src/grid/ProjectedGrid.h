#pragma once

#include "Sea/Matrix4.h"
#include "Sea/MemObject.h"
#include "Sea/Vector3.h"

namespace Sea
{

class Environment;
class OceanLightingModel;
class WakeManager;
class WaterModel;

// The surface on which the sea is drawn: a fixed grid over the part of the screen where
// water can be seen, which the vertex shader casts onto the sea surface (a plane, or the
// sea-level ellipsoid on round earths). This base does the geometry on the processor; the
// renderer's grid draws.
class ProjectedGrid : public MemObject
{
public:
    explicit ProjectedGrid(bool breakingWaves);

    virtual bool Initialize(Environment* environment, bool patch, unsigned int resolution);
    // Follows the camera: local frame, visible part of the screen, fog side.
    virtual void Update();
    bool IsWaterVisible() const { return waterVisible; }

    virtual void DrawWater(bool depthWrites);
    virtual bool DrawPatch(const void* vertices, bool doublePrecision, const Matrix4& modelMatrix);
    virtual bool ReleaseProgram() { return true; }
    virtual unsigned int GetGridProgram() const { return 0; }
    virtual unsigned int GetPatchProgram() const { return 0; }
    virtual void SaveRenderState() {}
    virtual void RestoreRenderState() {}
    virtual void SetDefaultRenderState() {}

    void SetWaterModel(WaterModel* model) { waterModel = model; }
    void SetLightingModel(OceanLightingModel* model) { lightingModel = model; }
    void SetWakeManager(WakeManager* manager) { wakeManager = manager; }
    WaterModel* GetWaterModel() const { return waterModel; }
    void SetWireframe(bool on) { wireframe = on; }
    // Pushes the sea back in depth by this share of the depth range, so that a coast drawn
    // at the water line wins over it.
    void SetDepthOffset(float offset) { depthOffset = offset; }
    float GetDepthOffset() const { return depthOffset; }

    // World position to the sea's local frame (x east, y north, z above sea level), and a
    // local direction back to the world.
    Vector3 WorldToLocal(const Vector3& world) const;
    Vector3 LocalToWorldDirection(const Vector3& local) const;
    // Up at a world position: the plane's normal, or the ellipsoid's.
    Vector3 GetUp(const Vector3& world) const;
    // The first point where the segment from `origin` along the unit `direction` meets the
    // sea surface within `length`.
    bool IntersectSurface(const Vector3& origin, const Vector3& direction, double length, Vector3& hit) const;

    unsigned int GetResolution() const { return resolution; }
    const Vector3& GetRadii() const { return radii; }
    const Matrix3& GetBasis() const { return basis; }
    const Matrix3& GetInverseBasis() const { return inverseBasis; }
    // Maps grid points in [-1, 1] onto the part of the screen with water (normalised device
    // coordinates), row-vector layout.
    const Matrix4& GetGridScale() const { return gridScale; }
    // The sea surface as (n, d) for the shaders.
    void GetPlane(double plane[4]) const;
    // The camera's local position wrapped to keep shader coordinates small, and the wrap
    // along x and y.
    Vector3 GetReferenceLocation() const;
    Vector3 GetWrapPeriod() const;
    bool IsCameraAboveWater() const { return cameraAboveWater; }
    const Vector3& GetFloorPlanePoint() const { return floorPlanePoint; }
    const Vector3& GetFloorPlaneNormal() const { return floorPlaneNormal; }
    bool IsFlat() const;

protected:
    void UpdateFrame(const Vector3& camera);
    void UpdateVisibleRegion();

    Environment* environment = nullptr;
    unsigned int resolution = 128;
    Vector3 radii;
    Vector3 up = Vector3(0, 0, 1);
    Vector3 northPole = Vector3(0, 0, 1);
    Vector3 north = Vector3(0, 1, 0);
    Vector3 east = Vector3(1, 0, 0);
    Matrix3 basis;
    Matrix3 inverseBasis;
    Vector3 anchor; // origin of the local frame on round earths
    bool anchored = false;
    double antiAliasing = 1.0;
    double pixelsPerPoint = 8.0;
    float planarHeight = 100.0f;
    double maxDisplacement = 1.5;
    float planarAdjust = 10.0f;
    float planarReflectionBlend = 1.0f;
    bool breakingWaves;
    float depthOffset = 0.0f;
    bool patch = false;
    WaterModel* waterModel = nullptr;
    OceanLightingModel* lightingModel = nullptr;
    WakeManager* wakeManager = nullptr;
    bool wireframe = false;
    double aspectRatio = 1.0;

    Matrix4 gridScale;
    bool waterVisible = false;
    bool cameraAboveWater = true;
    Vector3 floorPlanePoint;
    Vector3 floorPlaneNormal = Vector3(0, 0, 1);
};

} // namespace Sea
