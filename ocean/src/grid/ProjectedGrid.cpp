#include "grid/ProjectedGrid.h"

#include "Sea/Configuration.h"
#include "Sea/Environment.h"
#include "water/WaterModel.h"

#include <algorithm>
#include <cmath>

namespace Sea
{
namespace
{
// Shader coordinates stay below about this; the wrap is a whole number of the wave model's
// periods, and the shaders tile their textures by whole fractions of it.
const double wrapLength = WaterModel::wrapLength;

double wholeMultiple(double period)
{
    if (!(period > 0.0) || period >= wrapLength)
        return wrapLength;
    return period * std::floor(wrapLength / period + 0.5);
}
// A round earth's local frame moves with the camera once it is this far away.
const double reanchorDistance = 50000.0;
} // namespace

ProjectedGrid::ProjectedGrid(bool breaking) : breakingWaves(breaking) {}

bool ProjectedGrid::IsFlat() const { return environment && environment->IsFlat(); }

bool ProjectedGrid::Initialize(Environment* env, bool patchOption, unsigned int gridResolution)
{
    if (!env)
        return false;
    environment = env;
    resolution = gridResolution;
    patch = patchOption;
    const double u = env->GetUnitScale();
    Configuration::GetDoubleValue("grid-anti-aliasing", antiAliasing);
    Configuration::GetDoubleValue("grid-pixels-per-point", pixelsPerPoint);
    if (Configuration::GetFloatValue("grid-planar-height", planarHeight))
        planarHeight = float(planarHeight / u);
    if (Configuration::GetFloatValue("planar-adjust", planarAdjust))
        planarAdjust = float(planarAdjust / u);
    Configuration::GetDoubleValue("max-allowable-displacement", maxDisplacement);

    const int code = env->GetCoordinateSystem();
    if (code <= WGS84_YUP)
    {
        double equatorial = 6378137.0, polar = 6356752.3142;
        Configuration::GetDoubleValue("equatorial-earth-radius-meters", equatorial);
        Configuration::GetDoubleValue("polar-earth-radius-meters", polar);
        equatorial /= u;
        polar /= u;
        radii = code == WGS84_ZUP ? Vector3(equatorial, equatorial, polar) : Vector3(equatorial, polar, equatorial);
    }
    else if (code <= SPHERICAL_YUP)
    {
        double mean = 6371009.0;
        Configuration::GetDoubleValue("mean-earth-radius-meters", mean);
        mean /= u;
        radii = Vector3(mean, mean, mean);
    }
    up = northPole = (code == WGS84_YUP || code == SPHERICAL_YUP || code == FLAT_YUP) ? Vector3(0, 1, 0)
                                                                                      : Vector3(0, 0, 1);
    if (code == FLAT_YUP)
    {
        // Local x east, y north, z up onto world x, -z, y.
        const double b[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
        basis = Matrix3(b);
        east = Vector3(1, 0, 0);
        north = Vector3(0, 0, -1);
    }
    inverseBasis = basis.Transposed();
    anchored = false;
    return true;
}

Vector3 ProjectedGrid::GetUp(const Vector3& world) const
{
    if (IsFlat())
        return up;
    return Vector3(world.x / (radii.x * radii.x), world.y / (radii.y * radii.y), world.z / (radii.z * radii.z))
        .Normalized();
}

void ProjectedGrid::GetPlane(double plane[4]) const
{
    const double h = environment ? environment->GetSeaLevel() : 0.0;
    const Vector3 camera = environment ? environment->GetCameraPosition() : Vector3();
    if (IsFlat())
    {
        double level = h;
        double height = environment->GetCoordinateSystem() == FLAT_ZUP ? camera.z : camera.y;
        // A camera exactly at sea level would look along the plane; lift the plane a little.
        if (float(level) == float(height))
            level += 0.1;
        plane[0] = up.x;
        plane[1] = up.y;
        plane[2] = up.z;
        plane[3] = -level;
        return;
    }
    // The point below the camera on the sea-level ellipsoid, found by scaling the camera
    // position onto it, and the tangent plane there.
    const Vector3 r = radii + Vector3(h, h, h);
    const Vector3 scaled(camera.x / r.x, camera.y / r.y, camera.z / r.z);
    const double length = scaled.Length();
    const Vector3 p = length > 0.0 ? camera * (1.0 / length) : Vector3(r.x, 0, 0);
    const Vector3 n = Vector3(p.x / (r.x * r.x), p.y / (r.y * r.y), p.z / (r.z * r.z)).Normalized();
    double d = (camera - p).Length();
    if (camera.Length() < p.Length())
        d = -d;
    plane[0] = n.x;
    plane[1] = n.y;
    plane[2] = n.z;
    plane[3] = d;
}

bool ProjectedGrid::IntersectSurface(const Vector3& origin, const Vector3& direction, double length,
                                     Vector3& hit) const
{
    const double h = environment ? environment->GetSeaLevel() : 0.0;
    if (IsFlat())
    {
        double denominator = up.Dot(direction);
        if (std::fabs(denominator) < 1.0E-12)
            return false;
        double t = (h - up.Dot(origin)) / denominator;
        if (t < 0.0 || t > length)
            return false;
        hit = origin + direction * t;
        return true;
    }
    // In coordinates scaled by the radii the ellipsoid is the unit sphere.
    const Vector3 r = radii + Vector3(h, h, h);
    const Vector3 o(origin.x / r.x, origin.y / r.y, origin.z / r.z);
    const Vector3 d(direction.x / r.x, direction.y / r.y, direction.z / r.z);
    double a = d.Dot(d), b = 2.0 * o.Dot(d), c = o.Dot(o) - 1.0;
    double discriminant = b * b - 4.0 * a * c;
    if (a <= 0.0 || discriminant < 0.0)
        return false;
    double root = std::sqrt(discriminant);
    double t = (-b - root) / (2.0 * a);
    if (t < 0.0)
        t = (-b + root) / (2.0 * a);
    if (t < 0.0 || t > length)
        return false;
    hit = origin + direction * t;
    return true;
}

Vector3 ProjectedGrid::WorldToLocal(const Vector3& world) const
{
    const double h = environment ? environment->GetSeaLevel() : 0.0;
    if (IsFlat())
    {
        Vector3 local = inverseBasis.Transform(world);
        local.z -= h;
        return local;
    }
    Vector3 local = inverseBasis.Transform(world - anchor);
    Vector3 hit;
    const Vector3 upHere = GetUp(world);
    // Height above the sea-level ellipsoid along the local up.
    if (IntersectSurface(world + upHere * 1.0E5, -upHere, 2.0E5, hit))
        local.z = (world - hit).Dot(upHere);
    return local;
}

Vector3 ProjectedGrid::LocalToWorldDirection(const Vector3& local) const { return basis.Transform(local); }

Vector3 ProjectedGrid::GetWrapPeriod() const
{
    double x = 0.0, y = 0.0;
    if (waterModel)
        waterModel->GetPeriod(x, y);
    return Vector3(wholeMultiple(x), wholeMultiple(y), 0.0);
}

// Without an offset: a position's local coordinates in the shaders differ from its world
// coordinates by whole wraps only, so that height queries see the surface that is drawn.
Vector3 ProjectedGrid::GetReferenceLocation() const
{
    Vector3 local = environment ? WorldToLocal(environment->GetCameraPosition()) : Vector3();
    const Vector3 wrap = GetWrapPeriod();
    return Vector3(std::fmod(local.x, wrap.x), std::fmod(local.y, wrap.y), 0.0);
}

// Round earths: the local frame is the tangent frame (east, north, up) at an anchor on the
// surface below the camera, moved only when the camera has gone far from it.
void ProjectedGrid::UpdateFrame(const Vector3& camera)
{
    if (IsFlat())
        return;
    Vector3 hit;
    const Vector3 down = -GetUp(camera);
    Vector3 nadir = camera;
    if (IntersectSurface(camera - down * 1.0E5, down, 1.0E8, hit))
        nadir = hit;
    if (anchored && (nadir - anchor).Length() < reanchorDistance)
        return;
    anchor = nadir;
    anchored = true;
    up = GetUp(anchor);
    Vector3 e = northPole.Cross(up);
    east = e.SquaredLength() > 1.0E-12 ? e.Normalized() : Vector3(1, 0, 0);
    north = up.Cross(east);
    const double b[9] = {east.x, north.x, up.x, east.y, north.y, up.y, east.z, north.z, up.z};
    basis = Matrix3(b);
    inverseBasis = basis.Transposed();
}

// The screen region whose rays meet the sea: a lattice of rays, each column refined towards
// the horizon by bisection, then widened so displaced waves do not uncover the screen edges.
void ProjectedGrid::UpdateVisibleRegion()
{
    Matrix4 inverse;
    if (!environment->GetCombinedMatrix().Inverse(inverse))
    {
        waterVisible = false;
        return;
    }
    const Vector3 camera = environment->GetCameraPosition();
    auto hits = [&](double x, double y) {
        Vector3 nearPoint = inverse.TransformPoint(Vector3(x, y, -1.0));
        Vector3 farPoint = inverse.TransformPoint(Vector3(x, y, 1.0));
        Vector3 direction = (farPoint - nearPoint).Normalized();
        Vector3 hit;
        return IntersectSurface(camera, direction, 1.0E9, hit);
    };
    const int n = 9;
    double xMin = 2, xMax = -2, yMin = 2, yMax = -2;
    for (int i = 0; i < n; ++i)
    {
        double x = -1.0 + 2.0 * i / (n - 1);
        bool previous = false;
        double previousY = -1.0;
        for (int j = 0; j < n; ++j)
        {
            double y = -1.0 + 2.0 * j / (n - 1);
            bool hit = hits(x, y);
            if (hit != previous && j > 0)
            {
                double low = previousY, high = y;
                for (int k = 0; k < 12; ++k)
                {
                    double mid = 0.5 * (low + high);
                    (hits(x, mid) == previous ? low : high) = mid;
                }
                double edge = previous ? low : high;
                xMin = std::min(xMin, x);
                xMax = std::max(xMax, x);
                yMin = std::min(yMin, edge);
                yMax = std::max(yMax, edge);
            }
            if (hit)
            {
                xMin = std::min(xMin, x);
                xMax = std::max(xMax, x);
                yMin = std::min(yMin, y);
                yMax = std::max(yMax, y);
            }
            previous = hit;
            previousY = y;
        }
    }
    waterVisible = xMin <= xMax && yMin <= yMax;
    if (!waterVisible)
        return;
    const double margin = 0.1 * maxDisplacement;
    xMin = std::max(-1.0 - margin, xMin - margin);
    xMax = std::min(1.0 + margin, xMax + margin);
    yMin = std::max(-1.0 - margin, yMin - margin);
    yMax = std::min(1.0 + margin, yMax + margin);
    gridScale = Matrix4();
    gridScale.m[0][0] = 0.5 * (xMax - xMin);
    gridScale.m[1][1] = 0.5 * (yMax - yMin);
    gridScale.m[3][0] = 0.5 * (xMax + xMin);
    gridScale.m[3][1] = 0.5 * (yMax + yMin);
}

void ProjectedGrid::Update()
{
    if (!environment)
        return;
    const Vector3 camera = environment->GetCameraPosition();
    UpdateFrame(camera);
    UpdateVisibleRegion();

    // The floor below the water: a plane at the model's depth under the surface point below
    // the camera (or above it, for a camera under water).
    const Vector3 upHere = GetUp(camera);
    floorPlaneNormal = upHere;
    floorPlanePoint = camera - upHere * 1000.0;
    Vector3 hit;
    cameraAboveWater = IntersectSurface(camera, -upHere, 100000.0, hit);
    if (cameraAboveWater || IntersectSurface(camera, upHere, 100000.0, hit))
    {
        Vector3 floor = waterModel ? waterModel->GetSeaFloorNormal() : Vector3();
        if (floor.SquaredLength() > 0.0)
            floorPlaneNormal = floor.Normalized();
        floorPlanePoint = hit - upHere * (waterModel ? double(waterModel->GetDepth()) : 0.0);
    }
}

void ProjectedGrid::DrawWater(bool) {}

bool ProjectedGrid::DrawPatch(const void*, bool, const Matrix4&) { return false; }

} // namespace Sea
