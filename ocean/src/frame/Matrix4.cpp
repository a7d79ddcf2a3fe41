#include "Sea/Matrix4.h"

#include <cmath>
#include <cstring>

namespace Sea
{

Matrix4::Matrix4(const double* values) { std::memcpy(m, values, sizeof(m)); }

Matrix4 Matrix4::operator*(const Matrix4& b) const
{
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j] + m[i][3] * b.m[3][j];
    return r;
}

// Gauss-Jordan elimination with partial pivoting.
bool Matrix4::Inverse(Matrix4& result) const
{
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            a[i][j] = m[i][j];
            a[i][j + 4] = i == j ? 1.0 : 0.0;
        }
    for (int c = 0; c < 4; ++c)
    {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (std::fabs(a[pivot][c]) < 1.0E-300)
            return false;
        if (pivot != c)
            for (int j = 0; j < 8; ++j)
                std::swap(a[c][j], a[pivot][j]);
        double inv = 1.0 / a[c][c];
        for (int j = 0; j < 8; ++j)
            a[c][j] *= inv;
        for (int r = 0; r < 4; ++r)
        {
            if (r == c || a[r][c] == 0.0)
                continue;
            double f = a[r][c];
            for (int j = 0; j < 8; ++j)
                a[r][j] -= f * a[c][j];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[i][j] = a[i][j + 4];
    return true;
}

void Matrix4::TransformHomogeneous(const double in[4], double out[4]) const
{
    for (int j = 0; j < 4; ++j)
        out[j] = in[0] * m[0][j] + in[1] * m[1][j] + in[2] * m[2][j] + in[3] * m[3][j];
}

Vector3 Matrix4::TransformPoint(const Vector3& p) const
{
    double in[4] = {p.x, p.y, p.z, 1.0};
    double out[4];
    TransformHomogeneous(in, out);
    double w = out[3] != 0.0 ? 1.0 / out[3] : 1.0;
    return Vector3(out[0] * w, out[1] * w, out[2] * w);
}

Vector3 Matrix4::TransformDirection(const Vector3& d) const
{
    return Vector3(d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0], d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
                   d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]);
}

void Matrix4::ToFloats(float out[16]) const
{
    for (int i = 0; i < 16; ++i)
        out[i] = float(Data()[i]);
}

Matrix3::Matrix3(const double* rowByRow) { std::memcpy(m, rowByRow, sizeof(m)); }

Vector3 Matrix3::Transform(const Vector3& v) const
{
    return Vector3(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                   m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
}

Matrix3 Matrix3::Transposed() const
{
    Matrix3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[j][i];
    return r;
}

void Matrix3::ToFloats(float out[9]) const
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i * 3 + j] = float(m[i][j]);
}

} // namespace Sea
