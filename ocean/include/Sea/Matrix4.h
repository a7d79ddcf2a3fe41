#pragma once

#include "Sea/Vector3.h"

namespace Sea
{

// A 4 x 4 matrix in the row-vector layout of the scene-graph toolkit and of OpenGL's
// column-major arrays alike: m[3][0..2] is the translation and points transform as p * M.
struct Matrix4
{
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Matrix4() = default;
    explicit Matrix4(const double* values);

    const double* Data() const { return &m[0][0]; }
    Matrix4 operator*(const Matrix4& b) const;
    // False when the matrix is singular; the result is then left unchanged.
    bool Inverse(Matrix4& result) const;
    Vector3 TransformPoint(const Vector3& p) const; // with the division by w
    Vector3 TransformDirection(const Vector3& d) const;
    void TransformHomogeneous(const double in[4], double out[4]) const;
    void ToFloats(float out[16]) const;
};

// A 3 x 3 matrix, row by row.
struct Matrix3
{
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    Matrix3() = default;
    explicit Matrix3(const double* rowByRow);
    Vector3 Transform(const Vector3& v) const; // M * v, v a column
    Matrix3 Transposed() const;
    void ToFloats(float out[9]) const; // row by row
};

} // namespace Sea
