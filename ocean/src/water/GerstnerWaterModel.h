#pragma once

#include "Sea/Buffer.h"
#include "water/WaterModel.h"

namespace Sea
{

// A sum of a few trochoidal waves whose wavelengths and directions are drawn around the
// configured medians and whose amplitudes follow the wind.
class GerstnerWaterModel : public WaterModel
{
public:
    struct Wave
    {
        float amplitude;
        float phaseSpeed; // the angular frequency sqrt(g k)
        float frequency;  // the wave number 2 pi / L
        float dx, dy;     // unit direction of travel
        float steepness;
        float directionOffset; // radians, from the wind
        float wavelength;
    };

    explicit GerstnerWaterModel(Environment* environment);

    bool Initialize(unsigned int shader, unsigned int patchShader) override;
    bool UpdateSimulation(double time) override;
    double GetHeight(double x, double y, Vector3& normal) const override;
    float GetFoam(double x, double y) const override;
    // Every wave fits a whole number of times into the wrap along x and along y.
    bool GetPeriod(double& x, double& y) const override
    {
        x = y = wrapLength;
        return true;
    }

    bool InitializeWaves();
    int GetNumWaves() const { return numWaves; }
    const Wave* GetWaves() const { return waves.Data(); }
    double GetTotalAmplitude() const { return totalAmplitude; }

protected:
    // Sets the wave's direction and wave number for travel towards `theta` (clockwise from
    // +y), the wave vector moved to the nearest one with a whole number of wavelengths in the
    // wrap along x and along y; the angular frequency follows.
    void aim(Wave& wave, double theta) const;

    int numWaves = 4;
    double medianWavelength = 100.0;
    double medianAmplitude = 3.0;
    double ratio = 0.0;
    double totalAmplitude = 0.0;
    Buffer<Wave> waves;
};

} // namespace Sea
