#include "water/GerstnerWaterModel.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "Sea/MessageChannel.h"
#include "Sea/RandomNumberGenerator.h"

#include <cmath>

namespace Sea
{
namespace
{
const double twoPi = 6.283185307179586;
}

GerstnerWaterModel::GerstnerWaterModel(Environment* env) : WaterModel(env) {}

bool GerstnerWaterModel::Initialize(unsigned int, unsigned int) { return configured && InitializeWaves(); }

bool GerstnerWaterModel::InitializeWaves()
{
    if (!environment)
        return false;
    const double unitScale = environment->GetUnitScale();
    Configuration::GetIntValue("num-gerstner-waves", numWaves);
    if (numWaves <= 0)
    {
        MessageChannel::Log("Invalid num-gerstner-waves specified.");
        return false;
    }
    if (!waves.Allocate(size_t(numWaves)))
        return false;
    double steepness = 0.7;
    Configuration::GetDoubleValue("gerstner-wave-steepness", steepness);
    if (steepness < 0.0 || steepness > 1.0)
        MessageChannel::Log("gerstner-waves-steepness should be between 0 and 1.");
    Configuration::GetDoubleValue("gerstner-median-wavelength-meters", medianWavelength);
    medianWavelength /= unitScale;
    if (medianWavelength <= 0.0)
    {
        MessageChannel::Log("Invalid gerstner-median-wavelength-meters specified.");
        return false;
    }
    Configuration::GetDoubleValue("gerstner-median-amplitude-meters", medianAmplitude);
    medianAmplitude /= unitScale;
    double variance = 20.0;
    Configuration::GetDoubleValue("gerstner-directional-variance-degrees", variance);

    ratio = medianAmplitude / medianWavelength;
    RandomNumberGenerator* random = environment->GetRandomNumberGenerator();
    totalAmplitude = 0.0;
    for (int i = 0; i < numWaves; ++i)
    {
        Wave& w = waves[size_t(i)];
        w.wavelength = float(random->UniformRandomDouble(medianWavelength * 0.5, medianWavelength * 2.0));
        w.amplitude = float(w.wavelength * ratio);
        totalAmplitude += w.amplitude;
        w.frequency = float(twoPi / w.wavelength);
        w.directionOffset = float(random->UniformRandomDouble(-variance * 0.5, variance * 0.5) * 0.0174532925);
        aim(w, w.directionOffset);
        w.steepness = float(steepness / (w.frequency * w.amplitude * numWaves));
    }
    return true;
}

void GerstnerWaterModel::aim(Wave& w, double theta) const
{
    const double k = twoPi / w.wavelength;
    const double step = twoPi / wrapLength;
    double kx = step * std::round(k * std::sin(theta) / step);
    double ky = step * std::round(k * std::cos(theta) / step);
    if (kx == 0.0 && ky == 0.0)
        ky = step;
    const double length = std::hypot(kx, ky);
    w.frequency = float(length);
    w.dx = float(kx / length);
    w.dy = float(ky / length);
    w.phaseSpeed = float(std::sqrt(9.8 / environment->GetUnitScale() * length));
}

bool GerstnerWaterModel::UpdateSimulation(double t)
{
    time = t;
    if (waves.Empty())
        return false;
    double speed, direction, fetch;
    GetWindAtCamera(speed, direction, fetch);
    // Amplitudes in proportion to the wavelengths, scaled so that the waves' significant
    // height, 4 sqrt(sum A^2 / 2), is the Pierson-Moskowitz height 0.21 V^2 / g of the wind.
    const double g = 9.81 / environment->GetUnitScale();
    double squares = 0.0;
    for (int i = 0; i < numWaves; ++i)
        squares += double(waves[size_t(i)].wavelength) * waves[size_t(i)].wavelength;
    ratio = squares > 0.0 ? 0.21 * speed * speed / g / (4.0 * std::sqrt(squares / 2.0)) : 0.0;
    totalAmplitude = 0.0;
    for (int i = 0; i < numWaves; ++i)
    {
        Wave& w = waves[size_t(i)];
        w.amplitude = float(w.wavelength * ratio);
        totalAmplitude += w.amplitude;
        // Directions as the wind's: clockwise from +y.
        aim(w, w.directionOffset + direction);
    }
    return true;
}

double GerstnerWaterModel::GetHeight(double x, double y, Vector3& normal) const
{
    // Taken into the wrap as the shaders' coordinates are: the phase of a far position would
    // otherwise carry the rounding of the wave vector to the float the shaders are given,
    // times millions of metres.
    x -= wrapLength * std::floor(x / wrapLength);
    y -= wrapLength * std::floor(y / wrapLength);
    float height = 0.0f, nx = 0.0f, ny = 0.0f, nz = 0.0f;
    for (int i = 0; i < numWaves; ++i)
    {
        const Wave& w = waves[size_t(i)];
        float phase = float((w.dx * x + w.dy * y) * w.frequency + w.phaseSpeed * time);
        float s = std::sin(phase), c = std::cos(phase);
        float wa = w.frequency * w.amplitude;
        height += w.amplitude * s;
        nx += w.dx * wa * c;
        ny += w.dy * wa * c;
        nz += w.steepness * wa * s;
    }
    normal = Vector3(-nx, -ny, 1.0 - nz).Normalized();
    return height;
}

// Crests foam where the waves together come close to folding over.
float GerstnerWaterModel::GetFoam(double x, double y) const
{
    Vector3 n;
    GetHeight(x, y, n);
    float foam = float(1.0 - n.z) * 4.0f;
    return foam > 1.0f ? 1.0f : foam;
}

} // namespace Sea
