#include "Sea/Environment.h"

#include "Sea/Configuration.h"
#include "Sea/DefaultRandomNumberGenerator.h"
#include "Sea/MessageChannel.h"
#include "Sea/ResourceLoader.h"

#include "frame/GLFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Sea
{

Environment::Environment()
{
    defaultRandomNumberGenerator = new DefaultRandomNumberGenerator;
    randomNumberGenerator = defaultRandomNumberGenerator;
}

Environment::~Environment()
{
    ClearWindFetches();
    delete defaultRandomNumberGenerator;
}

int Environment::Setup(int coordinateSystemCode, int rendererCode, ResourceLoader* loader, void* deviceHandle,
                       bool hdr)
{
    if (!loader)
    {
        MessageChannel::Log("Null ResourceLoader passed into the Environment constructor.");
        return NULL_RESOURCE_LOADER;
    }
    if (rendererCode >= DIRECT3D9 && rendererCode <= DIRECT3D11 && !deviceHandle)
    {
        MessageChannel::Log("No device was passed into the Environment constructor, and you're using a DirectX "
                            "renderer.");
        return NO_DEVICE;
    }
    coordinateSystem = coordinateSystemCode;
    renderer = rendererCode;
    resourceLoader = loader;
    device = deviceHandle;
    highDynamicRange = hdr;

    if (!Configuration::LoadFile(loader))
    {
        MessageChannel::Log("Sea.config failed to load - did you set the correct path to the resources folder?");
        return CONFIGURATION_FAILED;
    }
    if (IsOpenGL())
        GLFunctions::Resolve();

    Configuration::GetDoubleValue("default-fog-color-above-r", fogAbove.r);
    Configuration::GetDoubleValue("default-fog-color-above-g", fogAbove.g);
    Configuration::GetDoubleValue("default-fog-color-above-b", fogAbove.b);
    Configuration::GetDoubleValue("default-fog-color-below-r", fogBelow.r);
    Configuration::GetDoubleValue("default-fog-color-below-g", fogBelow.g);
    Configuration::GetDoubleValue("default-fog-color-below-b", fogBelow.b);
    if (Configuration::GetDoubleValue("default-visibility-above", fogAbove.visibility))
        fogAbove.visibility /= unitScale;
    if (Configuration::GetDoubleValue("default-visibility-below", fogBelow.visibility))
        fogBelow.visibility /= unitScale;
    return SUCCEEDED;
}

void Environment::SimulateSeaState(double seaState, double windDirection)
{
    if (!(windDirection <= 6.2831853 && windDirection >= -6.2831853))
        MessageChannel::Log("You passed in a wind direction greater than 2PI to Environment::SimulateSeaState. "
                            "Technically this is OK, but are you sure you're using radians instead of degrees "
                            "here?");
    // A negative or undefined sea state would give an undefined wind; it counts as calm.
    if (!(seaState > 0.0))
        seaState = 0.0;
    // Beyond hurricane force the relation means nothing, and the waves would outgrow the patch.
    if (seaState > maxSeaState)
    {
        MessageChannel::LogFormatted("Sea state %g is above %g; %g is used.", seaState, maxSeaState, maxSeaState);
        seaState = maxSeaState;
    }
    // The Beaufort relation between wind speed and sea state.
    double speed = 0.836 * std::pow(seaState, 1.5) / unitScale;
    ClearWindFetches();
    AddWindFetch(WindFetch(speed, windDirection));
}

void Environment::AddWindFetch(const WindFetch& fetch) { windFetches.push_back(new WindFetch(fetch)); }

void Environment::ClearWindFetches()
{
    for (WindFetch* fetch : windFetches)
        delete fetch;
    windFetches.clear();
}

void Environment::GetWind(const Vector3& position, double& speed, double& direction, double& fetchLength) const
{
    double x = 0.0, y = 0.0, strongest = 0.0;
    fetchLength = 0.0;
    for (const WindFetch* fetch : windFetches)
    {
        double s, d, f;
        fetch->GetWindAtLocation(position, s, d, f);
        if (!(s > 0.0))
            continue;
        x += std::sin(d) * s;
        y += std::cos(d) * s;
        if (s > strongest)
        {
            strongest = s;
            fetchLength = f;
        }
    }
    speed = std::sqrt(x * x + y * y);
    // The inverse of the split above, so one fetch gives back its own direction.
    direction = speed > 0.0 ? std::atan2(x, y) : 0.0;
}

void Environment::SetDirectionalLight(const Vector3& direction, const Vector3& color)
{
    const double c[3] = {color.x, color.y, color.z};
    for (double v : c)
        if (!(v >= 0.0 && v <= 1.0))
        {
            MessageChannel::Log("You passed in a color to Environment::SetDirectionalLight with a component "
                                "outside the range of 0-1.");
            break;
        }
    lightColor = color;
    lightDirection = direction.SquaredLength() > 0.0 ? direction.Normalized() : direction;
}

void Environment::SetCameraMatrix(const double* matrix)
{
    if (!matrix)
    {
        MessageChannel::Log("Null matrix received in Environment::SetCameraMatrix.");
        return;
    }
    if (std::memcmp(matrix, cameraMatrix.Data(), sizeof(cameraMatrix.m)) == 0)
        return;
    cameraMatrix = Matrix4(matrix);
    Matrix4 inverse;
    if (cameraMatrix.Inverse(inverse))
        cameraPosition = Vector3(inverse.m[3][0], inverse.m[3][1], inverse.m[3][2]);
    UpdateDerivedMatrices();
}

void Environment::SetProjectionMatrix(const double* matrix)
{
    if (!matrix)
    {
        MessageChannel::Log("Null matrix received in Environment::SetProjectionMatrix.");
        return;
    }
    if (std::memcmp(matrix, projectionMatrix.Data(), sizeof(projectionMatrix.m)) == 0)
        return;
    projectionMatrix = Matrix4(matrix);
    UpdateDerivedMatrices();
}

// The planes come from the combined matrix: a point p is inside when p * M gives clip
// coordinates with -w <= x, y, z <= w, so each plane is the fourth column plus or minus one
// of the first three.
void Environment::UpdateDerivedMatrices()
{
    combinedMatrix = cameraMatrix * projectionMatrix;
    const double(*m)[4] = combinedMatrix.m;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
        {
            double* plane = frustumPlanes[axis * 2 + side];
            double sign = side == 0 ? 1.0 : -1.0;
            for (int i = 0; i < 4; ++i)
                plane[i] = m[i][3] + sign * m[i][axis];
            double length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
            if (length > 0.0)
                for (int i = 0; i < 4; ++i)
                    plane[i] /= length;
        }
    ++matrixUpdateCount;
}

void Environment::SetEnvironmentMap(unsigned int texture, const double* matrix)
{
    environmentMap = texture;
    environmentMapMatrix = matrix ? Matrix3(matrix) : Matrix3();
}

void Environment::SetPlanarReflectionMap(unsigned int texture, const double* matrix, double displacementScale)
{
    planarReflectionMap = texture;
    planarReflectionMapMatrix = matrix ? Matrix3(matrix) : Matrix3();
    planarReflectionDisplacementScale = displacementScale;
}

void Environment::SetHeightMap(unsigned int texture, const Matrix4& worldToTexture)
{
    heightMap = texture;
    heightMapMatrix = worldToTexture;
}

void Environment::SetRandomNumberGenerator(RandomNumberGenerator* generator)
{
    randomNumberGenerator = generator ? generator : defaultRandomNumberGenerator;
}

void Environment::RegisterOcean(Ocean* ocean) { oceans.push_back(ocean); }

void Environment::UnregisterOcean(Ocean* ocean)
{
    oceans.erase(std::remove(oceans.begin(), oceans.end(), ocean), oceans.end());
}

} // namespace Sea
