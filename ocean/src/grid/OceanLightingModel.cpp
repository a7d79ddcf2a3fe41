#include "grid/OceanLightingModel.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"

namespace Sea
{

OceanLightingModel::OceanLightingModel(Environment* env) : environment(env) {}

bool OceanLightingModel::Initialize(unsigned int grid, unsigned int patch)
{
    if (!environment)
        return false;
    gridProgram = grid;
    patchProgram = patch;
    Configuration::GetDoubleValue("refract-color-red", refractionColor.x);
    Configuration::GetDoubleValue("refract-color-green", refractionColor.y);
    Configuration::GetDoubleValue("refract-color-blue", refractionColor.z);
    if (refractionColor.x < 0.0 || refractionColor.y < 0.0 || refractionColor.z < 0.0)
    {
        MessageChannel::Log("Negative refraction color value specified.");
        return false;
    }
    return ReadFrameSettings();
}

bool OceanLightingModel::ReadFrameSettings()
{
    bool ok = true;
    double newShininess = 5.0;
    float scale = 16.0f, blend = 0.5f;
    Configuration::GetDoubleValue("shininess", newShininess);
    Configuration::GetFloatValue("foam-scale", scale);
    Configuration::GetFloatValue("foam-blend", blend);
    if (newShininess < 0.0)
    {
        MessageChannel::Log("Negative shininess specified.");
        ok = false;
    }
    if (scale < 0.0f)
    {
        MessageChannel::Log("Negative foam-scale specified.");
        ok = false;
    }
    if (blend < 0.0f)
    {
        MessageChannel::Log("Negative foam-blend specified.");
        ok = false;
    }
    shininess = newShininess;
    foamScale = float(scale / environment->GetUnitScale());
    foamBlend = blend;
    return ok;
}

bool OceanLightingModel::SetShaderValues(unsigned int) { return environment != nullptr; }

} // namespace Sea
