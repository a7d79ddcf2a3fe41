#pragma once

#include "Sea/Matrix4.h"
#include "Sea/MemObject.h"
#include "Sea/StlAllocator.h"
#include "Sea/Vector3.h"
#include "Sea/WindFetch.h"

#include <vector>

namespace Sea
{

class Ocean;
class RandomNumberGenerator;
class ResourceLoader;

// Coordinate systems: 0 to 3 are round earths (WGS84 ellipsoid or sphere, z or y up),
// 4 and 5 are flat seas with z or y up.
enum CoordinateSystem
{
    WGS84_ZUP = 0,
    WGS84_YUP = 1,
    SPHERICAL_ZUP = 2,
    SPHERICAL_YUP = 3,
    FLAT_ZUP = 4,
    FLAT_YUP = 5
};

// Renderers: 0 to 3 draw with OpenGL (0 with GLSL 1.20, the others with GLSL 1.50); 4 to 6
// are Direct3D and not available on this platform; 7 simulates without drawing.
enum Renderer
{
    OPENGL_2_0 = 0,
    OPENGL_3_2 = 1,
    OPENGL_4_0 = 2,
    OPENGL_4_1 = 3,
    DIRECT3D9 = 4,
    DIRECT3D9_EX = 5,
    DIRECT3D11 = 6,
    NO_RENDERER = 7
};

// Results of Environment::Setup.
enum SetupResult
{
    SUCCEEDED = 0,
    CONFIGURATION_FAILED = 1,
    NULL_RESOURCE_LOADER = 2,
    NO_DEVICE = 3
};

struct FogSettings
{
    double r = 1.0, g = 1.0, b = 1.0;
    double visibility = 1.0E6;
};

// Settings of the waves that break on a shore; used only by oceans created with breaking waves.
struct BreakingWaveSettings
{
    float kexp = 0.2f;
    float wavelength = 100.0f;
    float wavelengthVariance = 40.0f;
    Vector3 direction = Vector3(0, 1, 0);
    float amplitude = 0.5f;
    float phaseConstant = 1.0f;
    float surgeDepth = 10.0f;
    float steepnessVariance = 0.5f;
};

// Everything the sea knows about the world: renderer, light, camera, fog and wind. Created by
// the application, shared by its oceans, and destroyed after them.
class Environment : public MemObject
{
public:
    Environment();
    ~Environment() override;

    // Returns a SetupResult. Must run where the graphics context is current for OpenGL.
    virtual int Setup(int coordinateSystem, int renderer, ResourceLoader* loader, void* device = nullptr,
                      bool highDynamicRange = false);

    int GetCoordinateSystem() const { return coordinateSystem; }
    int GetRenderer() const { return renderer; }
    bool IsOpenGL() const { return renderer < DIRECT3D9; }
    bool IsFlat() const { return coordinateSystem >= FLAT_ZUP; }
    ResourceLoader* GetResourceLoader() const { return resourceLoader; }
    bool GetHighDynamicRange() const { return highDynamicRange; }

    // Lengths read from the configuration in metres are divided by the unit scale; set it
    // before Setup.
    void SetUnitScale(double scale) { unitScale = scale; }
    double GetUnitScale() const { return unitScale; }

    // The top of the Beaufort scale; higher sea states are reported and taken as this.
    static constexpr double maxSeaState = 12.0;
    // One wind over the whole sea for a sea state on the Beaufort scale; direction in radians.
    virtual void SimulateSeaState(double seaState, double windDirection);
    void AddWindFetch(const WindFetch& fetch);
    void ClearWindFetches();
    // The fetches with wind at the position added as vectors; direction as in WindFetch.
    void GetWind(const Vector3& position, double& speed, double& direction, double& fetchLength) const;
    // Waves that ignore the wind's direction.
    void SetWindAlignedWaves(bool aligned) { windAlignedWaves = aligned; }
    bool GetWindAlignedWaves() const { return windAlignedWaves; }

    // Direction towards the light and its colour; colour components belong in [0, 1].
    virtual void SetDirectionalLight(const Vector3& direction, const Vector3& color);
    const Vector3& GetLightDirection() const { return lightDirection; }
    const Vector3& GetDirectionalLightColor() const { return lightColor; }
    virtual void SetAmbientColor(const Vector3& color) { ambientColor = color; }
    const Vector3& GetAmbientColor() const { return ambientColor; }

    void SetAboveWaterFog(const FogSettings& fog) { fogAbove = fog; }
    void SetBelowWaterFog(const FogSettings& fog) { fogBelow = fog; }
    const FogSettings& GetAboveWaterFog() const { return fogAbove; }
    const FogSettings& GetBelowWaterFog() const { return fogBelow; }

    // Sixteen doubles in the toolkit's layout (that of glLoadMatrixd). Setting the matrix
    // that is already there does nothing.
    virtual void SetCameraMatrix(const double* matrix);
    virtual void SetProjectionMatrix(const double* matrix);
    const Matrix4& GetCameraMatrix() const { return cameraMatrix; }
    const Matrix4& GetProjectionMatrix() const { return projectionMatrix; }
    const Matrix4& GetCombinedMatrix() const { return combinedMatrix; }
    // Plane i (left, right, bottom, top, near, far) as a, b, c, d with a unit normal that
    // points into the frustum.
    const double* GetFrustumPlane(int i) const { return frustumPlanes[i]; }
    const Vector3& GetCameraPosition() const { return cameraPosition; }
    // How often the derived camera values were computed; for diagnostics.
    unsigned int GetMatrixUpdateCount() const { return matrixUpdateCount; }

    // A cube-map texture of the sky and the 3 x 3 matrix (nine doubles, row by row) that turns
    // directions into cube-map directions; texture 0 removes it.
    virtual void SetEnvironmentMap(unsigned int texture, const double* matrix = nullptr);
    unsigned int GetEnvironmentMap() const { return environmentMap; }
    const Matrix3& GetEnvironmentMapMatrix() const { return environmentMapMatrix; }
    // A 2-D texture of the scene mirrored in the sea, the matrix that maps positions into it
    // and how far the waves displace the look-up.
    virtual void SetPlanarReflectionMap(unsigned int texture, const double* matrix = nullptr,
                                        double displacementScale = 0.125);
    unsigned int GetPlanarReflectionMap() const { return planarReflectionMap; }
    const Matrix3& GetPlanarReflectionMapMatrix() const { return planarReflectionMapMatrix; }
    double GetPlanarReflectionDisplacementScale() const { return planarReflectionDisplacementScale; }

    // A texture of terrain heights (in its red channel, metres) and the matrix from world
    // positions to its texture coordinates; texture 0 removes it.
    void SetHeightMap(unsigned int texture, const Matrix4& worldToTexture);
    unsigned int GetHeightMap() const { return heightMap; }
    const Matrix4& GetHeightMapMatrix() const { return heightMapMatrix; }

    void SetSeaLevel(double level) { seaLevel = level; }
    double GetSeaLevel() const { return seaLevel; }
    void SetBreakingWaveSettings(const BreakingWaveSettings& settings) { breakingWaves = settings; }
    const BreakingWaveSettings& GetBreakingWaveSettings() const { return breakingWaves; }

    // The generator is not owned; null restores the default one.
    void SetRandomNumberGenerator(RandomNumberGenerator* generator);
    RandomNumberGenerator* GetRandomNumberGenerator() const { return randomNumberGenerator; }

    void RegisterOcean(Ocean* ocean);
    void UnregisterOcean(Ocean* ocean);
    size_t GetNumOceans() const { return oceans.size(); }

private:
    void UpdateDerivedMatrices();

    int coordinateSystem = FLAT_ZUP;
    int renderer = OPENGL_2_0;
    ResourceLoader* resourceLoader = nullptr;
    void* device = nullptr;
    bool highDynamicRange = false;
    double unitScale = 1.0;

    Vector3 lightDirection = Vector3(0, 0, 1);
    Vector3 lightColor = Vector3(1, 1, 1);
    Vector3 ambientColor = Vector3(0, 0, 0);
    FogSettings fogAbove;
    FogSettings fogBelow;

    Matrix4 cameraMatrix;
    Matrix4 projectionMatrix;
    Matrix4 combinedMatrix;
    double frustumPlanes[6][4] = {};
    Vector3 cameraPosition;
    unsigned int matrixUpdateCount = 0;

    unsigned int environmentMap = 0;
    Matrix3 environmentMapMatrix;
    unsigned int planarReflectionMap = 0;
    Matrix3 planarReflectionMapMatrix;
    double planarReflectionDisplacementScale = 0.125;
    unsigned int heightMap = 0;
    Matrix4 heightMapMatrix;

    double seaLevel = 0.0;
    bool windAlignedWaves = true;
    BreakingWaveSettings breakingWaves;
    std::vector<WindFetch*, StlAllocator<WindFetch*>> windFetches;
    RandomNumberGenerator* randomNumberGenerator = nullptr;
    RandomNumberGenerator* defaultRandomNumberGenerator = nullptr;
    std::vector<Ocean*, StlAllocator<Ocean*>> oceans;
};

} // namespace Sea
