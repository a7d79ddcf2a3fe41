#pragma once

#include <cmath>

namespace Sea
{

struct Vector3
{
    double x = 0.0, y = 0.0, z = 0.0;

    Vector3() = default;
    Vector3(double ax, double ay, double az) : x(ax), y(ay), z(az) {}

    Vector3 operator+(const Vector3& v) const { return Vector3(x + v.x, y + v.y, z + v.z); }
    Vector3 operator-(const Vector3& v) const { return Vector3(x - v.x, y - v.y, z - v.z); }
    Vector3 operator*(double s) const { return Vector3(x * s, y * s, z * s); }
    Vector3 operator-() const { return Vector3(-x, -y, -z); }
    double Dot(const Vector3& v) const { return x * v.x + y * v.y + z * v.z; }
    Vector3 Cross(const Vector3& v) const
    {
        return Vector3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    double SquaredLength() const { return Dot(*this); }
    double Length() const { return std::sqrt(SquaredLength()); }
    // Unit length unless the vector is zero, which stays zero.
    Vector3 Normalized() const
    {
        double l = Length();
        return l > 0.0 ? *this * (1.0 / l) : *this;
    }
};

} // namespace Sea
