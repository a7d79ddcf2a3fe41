#include "water/WaterModel.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"

namespace Sea
{

WaterModel::WaterModel(Environment* env) : environment(env)
{
    if (!environment)
    {
        MessageChannel::Log("Null environment passed into WaterModel constructor");
        configured = false;
        return;
    }
    Configuration::GetFloatValue("fft-choppiness", choppiness);
    if (choppiness < 0.0f)
    {
        MessageChannel::Log("Negative fft-choppiness specified");
        configured = false;
    }
    if (Configuration::GetFloatValue("fft-depth", depth))
        depth = float(depth / environment->GetUnitScale());
}

bool WaterModel::SetShaderValues(unsigned int, double) { return true; }

float WaterModel::GetFoam(double, double) const { return 0.0f; }

void WaterModel::GetWindAtCamera(double& speed, double& direction, double& fetchLength) const
{
    environment->GetWind(environment->GetCameraPosition(), speed, direction, fetchLength);
}

} // namespace Sea
