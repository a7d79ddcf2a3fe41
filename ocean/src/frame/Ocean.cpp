#include "Sea/Ocean.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "grid/OceanLightingModelOpenGL.h"
#include "grid/ProjectedGridOpenGL.h"
#include "particles/SprayManagerOpenGL.h"
#include "particles/WakeManagerOpenGL.h"
#include "water/FFTWaterModelOpenGL.h"
#include "water/GerstnerWaterModelOpenGL.h"

#include <algorithm>

namespace Sea
{

Ocean* Ocean::Create(Environment* environment, int waterModelType, bool enableBreakingWaves, bool enablePatch)
{
    if (!environment)
    {
        MessageChannel::Log("Null environment passed into Ocean::Create");
        return nullptr;
    }
    Ocean* ocean = new (std::nothrow) Ocean(environment, waterModelType, enableBreakingWaves, enablePatch);
    if (!ocean)
        return nullptr;
    ocean->Construct();
    if (!ocean->valid)
    {
        // Whatever the failed start-up created goes with it.
        delete ocean;
        return nullptr;
    }
    environment->RegisterOcean(ocean);
    return ocean;
}

Ocean::Ocean(Environment* env, int waterModelType, bool enableBreakingWaves, bool enablePatch) :
    environment(env), type(waterModelType), breakingWaves(enableBreakingWaves), patch(enablePatch)
{
}

void Ocean::Construct()
{
    Configuration::GetBoolValue("wake-kelvin-wakes", kelvinWakes);
    if (Configuration::GetDoubleValue("fft-displacement-damping-distance", displacementDampingDistance))
        displacementDampingDistance /= environment->GetUnitScale();
    Configuration::GetIntValue("default-grid-resolution", gridResolution);
    if (gridResolution > maxGridResolution)
    {
        MessageChannel::LogFormatted("default-grid-resolution %d is above %d; %d is used.", gridResolution,
                                     maxGridResolution, maxGridResolution);
        gridResolution = maxGridResolution;
    }

    const int renderer = environment->GetRenderer();
    const bool openGL = renderer >= OPENGL_2_0 && renderer <= OPENGL_4_1;
    if (openGL)
    {
        grid = new (std::nothrow) ProjectedGridOpenGL(breakingWaves, type);
        wakeManager = new (std::nothrow) WakeManagerOpenGL(&wakeSources);
        sprayManager = new (std::nothrow) SprayManagerOpenGL;
    }
    else if (renderer == NO_RENDERER)
    {
        grid = new (std::nothrow) ProjectedGrid(breakingWaves);
        wakeManager = new (std::nothrow) WakeManager(&wakeSources);
    }
    else
    {
        MessageChannel::Log("Invalid renderer in Ocean constructor.");
        return;
    }

    const unsigned int resolution = gridResolution >= 2 ? unsigned(gridResolution) : 2u;
    if (grid && !grid->Initialize(environment, patch, resolution))
    {
        MessageChannel::Log("Failed to initialize projected grid. Did you create your Ocean from a different "
                            "thread than the one you created your graphics context in?");
        return;
    }
    if (grid && wakeManager && sprayManager)
    {
        if (!wakeManager->Initialize(grid, environment))
        {
            MessageChannel::Log("Failed to initialize the wake manager.");
            return;
        }
        if (!sprayManager->Initialize(grid, environment))
        {
            MessageChannel::Log("Failed to initialize the spray manager.");
            return;
        }
    }

    switch (type)
    {
    case GERSTNER:
        waterModel = openGL ? new (std::nothrow) GerstnerWaterModelOpenGL(environment)
                            : new (std::nothrow) GerstnerWaterModel(environment);
        break;
    case FFT_PHILLIPS:
    case FFT_PIERSON_MOSKOWITZ:
    case FFT_JONSWAP:
        waterModel = openGL ? new (std::nothrow) FFTWaterModelOpenGL(environment, type)
                            : new (std::nothrow) FFTWaterModel(environment, type);
        break;
    default:
        MessageChannel::Log("Invalid water model type in Ocean constructor.");
        return;
    }
    lightingModel = openGL ? new (std::nothrow) OceanLightingModelOpenGL(environment)
                           : new (std::nothrow) OceanLightingModel(environment);
    if (!grid || !waterModel || !lightingModel)
    {
        MessageChannel::Log("Unable to create grid and associated models.");
        return;
    }
    if (!waterModel->Initialize(grid->GetGridProgram(), grid->GetPatchProgram()))
    {
        MessageChannel::Log("Water model failed to initialize.");
        return;
    }
    grid->SetWaterModel(waterModel);
    // An ocean that cannot be lit cannot be drawn, so it is valid only with its lighting.
    if (!lightingModel->Initialize(grid->GetGridProgram(), grid->GetPatchProgram()))
    {
        MessageChannel::Log("Lighting model failed to initialize.");
        return;
    }
    grid->SetLightingModel(lightingModel);
    grid->SetWakeManager(wakeManager);
    valid = true;
}

Ocean::~Ocean()
{
    if (environment)
        environment->UnregisterOcean(this);
    delete sprayManager;
    delete wakeManager;
    delete lightingModel;
    delete waterModel;
    delete grid;
}

void Ocean::AdvanceLocked(double time)
{
    if (time == lastSimulationTime)
        return;
    if (waterModel)
        waterModel->UpdateSimulation(time);
    advancedThisFrame = true;
    lastSimulationTime = time;
}

void Ocean::Advance(double time)
{
    std::lock_guard<std::mutex> lock(mutex);
    AdvanceLocked(time);
}

bool Ocean::Render(double time, bool depthWrites, bool drawWater, bool drawSpray)
{
    if (!valid)
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!advancedThisFrame && drawWater)
        AdvanceLocked(time);
    // The next frame must be advanced again, by the application or here.
    advancedThisFrame = false;

    wakeManager->Update(environment->GetCameraPosition());
    grid->Update();
    grid->SaveRenderState();
    grid->SetDefaultRenderState();
    if (drawWater)
        grid->DrawWater(depthWrites);
    if (drawSpray && sprayManager && grid->IsWaterVisible())
    {
        sprayManager->Update(time);
        sprayManager->Draw();
    }
    grid->RestoreRenderState();
    return true;
}

bool Ocean::RenderPatch(const void* vertices, bool doublePrecision, const Matrix4& modelMatrix)
{
    if (!valid)
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    wakeManager->Update(environment->GetCameraPosition());
    grid->Update();
    return grid->DrawPatch(vertices, doublePrecision, modelMatrix);
}

void Ocean::EndPatch()
{
    if (valid)
        grid->ReleaseProgram();
}

bool Ocean::GetHeight(const Vector3& position, double& height, Vector3& normal)
{
    if (!valid)
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    const Vector3 local = grid->WorldToLocal(position);
    Vector3 localNormal;
    height = waterModel->GetHeight(local.x, local.y, localNormal);
    normal = grid->LocalToWorldDirection(localNormal);
    return true;
}

void Ocean::AddWakeSource(WakeSource* source)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (source && std::find(wakeSources.begin(), wakeSources.end(), source) == wakeSources.end())
        wakeSources.push_back(source);
}

void Ocean::RemoveWakeSource(WakeSource* source)
{
    std::lock_guard<std::mutex> lock(mutex);
    wakeSources.erase(std::remove(wakeSources.begin(), wakeSources.end(), source), wakeSources.end());
}

} // namespace Sea
