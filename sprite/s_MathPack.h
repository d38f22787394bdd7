#pragma once
// Vectors and matrices in the graphics device's conventions: row vectors multiplied on the
// left (p × M), row-major storage, translation in the fourth row.
#include <array>

struct TVector2 {
  float x = 0, y = 0;
};
struct TVector3 {
  float x = 0, y = 0, z = 0;
};
struct TVector4 {
  float x = 0, y = 0, z = 0, w = 0;
};

// m[row][column], rows and columns counted from 0 (m11 is m[0][0]).
struct TMatrix3 {
  std::array<std::array<float, 3>, 3> m{};
};
struct TMatrix4 {
  std::array<std::array<float, 4>, 4> m{};
};

extern const TMatrix4 IdentityMatrix;

TVector2 MakeVector2(float x, float y);
TVector3 MakeVector3(float x, float y, float z);
TVector4 PointToVector4(const TVector3& p);
TVector3 AddVector3(const TVector3& a, const TVector3& b);
TVector3 TransformPoint(const TVector3& p, const TMatrix4& matrix);
TVector4 TransformVector4(const TVector4& v, const TMatrix4& matrix);
// Leaves `result` untouched when w is 0.
void HomogeneousDivide(const TVector4& v, TVector4& result);
TMatrix4 MultiplyMatrix4(const TMatrix4& a, const TMatrix4& b);
TMatrix4 RigidInverse(const TMatrix4& matrix);
TMatrix3 Upper3x3(const TMatrix4& matrix);
float Determinant3(const TMatrix3& matrix);
