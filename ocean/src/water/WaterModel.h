#pragma once

#include "Sea/MemObject.h"
#include "Sea/Vector3.h"

namespace Sea
{

class Environment;

// Base of the wave models. They work in the sea's local frame: x east, y north, z up, in
// the environment's units; the projected grid converts world positions into it.
class WaterModel : public MemObject
{
public:
    explicit WaterModel(Environment* environment);

    // Initialises with the grid's two shader programs (0 when there is no renderer).
    virtual bool Initialize(unsigned int shader, unsigned int patchShader) = 0;
    // Brings the simulation to `time` (seconds) for the wind at the camera. Makes no
    // graphics calls, so it may run on any thread.
    virtual bool UpdateSimulation(double time) = 0;
    // Hands the model's values to the program being drawn; called with the context current.
    virtual bool SetShaderValues(unsigned int program, double time);
    // Height above sea level at a local position and the unit normal there.
    virtual double GetHeight(double x, double y, Vector3& normal) const = 0;
    // How much the water foams at a local position, from 0 to 1.
    virtual float GetFoam(double x, double y) const;
    // The shaders' local coordinates wrap round after this many units, a whole number of every
    // model's periods, so that the surface is the same on either side of the wrap.
    static constexpr double wrapLength = 65536.0;

    // The lengths along x and y after which the surface repeats; false when it does not.
    virtual bool GetPeriod(double& x, double& y) const
    {
        x = y = 0.0;
        return false;
    }
    // Normal of the sea floor below a flat sea, zero when the model has none.
    virtual Vector3 GetSeaFloorNormal() const { return Vector3(); }

    Environment* GetEnvironment() const { return environment; }
    float GetChoppiness() const { return choppiness; }
    float GetDepth() const { return depth; }
    double GetTime() const { return time; }
    // False when the configuration was unusable; Initialize then fails.
    bool IsConfigured() const { return configured; }

protected:
    // Speed, direction and fetch length at the camera.
    void GetWindAtCamera(double& speed, double& direction, double& fetchLength) const;

    Environment* environment;
    float choppiness = 0.2f;
    float depth = 1000.0f;
    double time = 0.0;
    bool configured = true;
};

} // namespace Sea
