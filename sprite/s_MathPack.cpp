#include "s_MathPack.h"

const TMatrix4 IdentityMatrix{{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}};

TVector2 MakeVector2(float x, float y) { return {x, y}; }
TVector3 MakeVector3(float x, float y, float z) { return {x, y, z}; }
TVector4 PointToVector4(const TVector3& p) { return {p.x, p.y, p.z, 1}; }
TVector3 AddVector3(const TVector3& a, const TVector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

TVector3 TransformPoint(const TVector3& p, const TMatrix4& matrix) {
  const TVector4 result = TransformVector4(PointToVector4(p), matrix);
  return {result.x, result.y, result.z};
}

TVector4 TransformVector4(const TVector4& v, const TMatrix4& matrix) {
  const auto& m = matrix.m;
  std::array<float, 4> out{};
  for (int i = 0; i < 4; ++i) {
    const double sum = double{v.x} * m[0][i] + double{v.y} * m[1][i] + double{v.z} * m[2][i] + double{v.w} * m[3][i];
    out[i] = static_cast<float>(sum);
  }
  return {out[0], out[1], out[2], out[3]};
}

void HomogeneousDivide(const TVector4& v, TVector4& result) {
  if (v.w == 0) return;
  const float reciprocal = 1 / v.w;
  result = {v.x * reciprocal, v.y * reciprocal, v.z * reciprocal, reciprocal};
}

TMatrix4 MultiplyMatrix4(const TMatrix4& a, const TMatrix4& b) {
  TMatrix4 product;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += double{a.m[i][k]} * b.m[k][j];
      product.m[i][j] = static_cast<float>(sum);
    }
  }
  return product;
}

TMatrix4 RigidInverse(const TMatrix4& matrix) {
  const auto& m = matrix.m;
  TMatrix4 inverse;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) inverse.m[i][j] = m[j][i];
    const double dot = double{m[i][0]} * m[3][0] + double{m[i][1]} * m[3][1] + double{m[i][2]} * m[3][2];
    inverse.m[3][i] = static_cast<float>(-dot);
  }
  inverse.m[3][3] = 1;
  return inverse;
}

TMatrix3 Upper3x3(const TMatrix4& matrix) {
  TMatrix3 upper;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) upper.m[i][j] = matrix.m[i][j];
  }
  return upper;
}

float Determinant3(const TMatrix3& matrix) {
  const auto& m = matrix.m;
  const double determinant = double{m[0][0]} * (double{m[1][1]} * m[2][2] - double{m[1][2]} * m[2][1]) -
                             double{m[0][1]} * (double{m[1][0]} * m[2][2] - double{m[1][2]} * m[2][0]) +
                             double{m[0][2]} * (double{m[1][0]} * m[2][1] - double{m[1][1]} * m[2][0]);
  return static_cast<float>(determinant);
}
