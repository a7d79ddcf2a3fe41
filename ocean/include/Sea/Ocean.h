#pragma once

#include "Sea/Matrix4.h"
#include "Sea/MemObject.h"
#include "Sea/StlAllocator.h"
#include "Sea/Vector3.h"
#include "Sea/WakeSource.h"

#include <mutex>
#include <vector>

namespace Sea
{

class Environment;
class OceanLightingModel;
class ProjectedGrid;
class SprayManager;
class WakeManager;
class WaterModel;

// Water models: a few Gerstner waves, or an FFT sea from one of three wave spectra.
enum WaterModelType
{
    GERSTNER = 0,
    FFT_PHILLIPS = 1,
    FFT_PIERSON_MOSKOWITZ = 2,
    FFT_JONSWAP = 3
};

// One sea: its water model, lighting model, projected grid, wakes and spray. Advancing and
// drawing are guarded by one mutex, so the simulation may be advanced from another thread.
class Ocean : public MemObject
{
public:
    // Null when the ocean cannot be made (the reason goes through the message channel).
    // Must run where the graphics context is current for the OpenGL renderers.
    static Ocean* Create(Environment* environment, int waterModelType, bool enableBreakingWaves = false,
                         bool enablePatch = false);
    ~Ocean() override;

    // Advances the sea to `time` if nobody did this frame, then draws it with the current
    // camera of the environment.
    virtual bool Render(double time, bool depthWrites = true, bool drawWater = true, bool drawSpray = true);
    // Makes the patch program current and sets its values for the caller's vertices (three
    // floats or doubles each) under `modelMatrix`; the caller draws, then calls EndPatch.
    virtual bool RenderPatch(const void* vertices, bool doublePrecision, const Matrix4& modelMatrix);
    virtual void EndPatch();
    virtual void Advance(double time);

    // Height of the water above sea level at a world position, and the unit normal there.
    bool GetHeight(const Vector3& position, double& height, Vector3& normal);

    // The source is not owned and must stay alive while it is added.
    void AddWakeSource(WakeSource* source);
    void RemoveWakeSource(WakeSource* source);

    // A finer grid than this costs memory and time and shows nothing more on any screen.
    static constexpr int maxGridResolution = 2048;

    bool IsValid() const { return valid; }
    int GetWaterModelType() const { return type; }
    double GetDisplacementDampingDistance() const { return displacementDampingDistance; }
    int GetGridResolution() const { return gridResolution; }
    bool GetKelvinWakes() const { return kelvinWakes; }
    WaterModel* GetWaterModel() const { return waterModel; }
    ProjectedGrid* GetProjectedGrid() const { return grid; }
    WakeManager* GetWakeManager() const { return wakeManager; }
    SprayManager* GetSprayManager() const { return sprayManager; }
    OceanLightingModel* GetLightingModel() const { return lightingModel; }

private:
    Ocean(Environment* environment, int waterModelType, bool enableBreakingWaves, bool enablePatch);
    void Construct();
    void AdvanceLocked(double time);

    Environment* environment;
    int type;
    bool breakingWaves;
    bool patch;
    bool valid = false;
    bool advancedThisFrame = false;
    double lastSimulationTime = -1.0E300;
    std::mutex mutex;
    ProjectedGrid* grid = nullptr;
    WakeManager* wakeManager = nullptr;
    SprayManager* sprayManager = nullptr;
    WaterModel* waterModel = nullptr;
    OceanLightingModel* lightingModel = nullptr;
    WakeSourceList wakeSources;
    bool kelvinWakes = true;
    double displacementDampingDistance = 1000.0;
    int gridResolution = 512;
};

} // namespace Sea
