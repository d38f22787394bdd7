#include <gtest/gtest.h>

#include "s_MathPack.h"

namespace {

TMatrix4 Translation(float x, float y, float z) {
  TMatrix4 matrix = IdentityMatrix;
  matrix.m[3] = {x, y, z, 1};
  return matrix;
}

// Rotation about z by 90 degrees in the row-vector convention: (1, 0, 0) goes to (0, 1, 0).
TMatrix4 RotationZ90() {
  TMatrix4 matrix = IdentityMatrix;
  matrix.m[0] = {0, 1, 0, 0};
  matrix.m[1] = {-1, 0, 0, 0};
  return matrix;
}

void ExpectPoint(const TVector3& p, float x, float y, float z) {
  EXPECT_FLOAT_EQ(p.x, x);
  EXPECT_FLOAT_EQ(p.y, y);
  EXPECT_FLOAT_EQ(p.z, z);
}

}  // namespace

TEST(MathPack, RigidInverseUndoesTranslationAndRotation) {
  ExpectPoint(TransformPoint({1, 1, 1}, RigidInverse(Translation(3, 4, 5))), -2, -3, -4);
  const TMatrix4 rotation = RotationZ90();
  const TMatrix4 inverse = RigidInverse(rotation);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(inverse.m[i][j], rotation.m[j][i]);
  }
  const TMatrix4 pose = MultiplyMatrix4(rotation, Translation(7, -2, 1));
  ExpectPoint(TransformPoint(TransformPoint({0.5f, 2, -3}, pose), RigidInverse(pose)), 0.5f, 2, -3);
}

TEST(MathPack, ProductAppliesTheLeftMatrixFirst) {
  const TMatrix4 a = RotationZ90();
  const TMatrix4 b = Translation(10, 0, 0);
  ExpectPoint(TransformPoint({1, 0, 0}, MultiplyMatrix4(a, b)), 10, 1, 0);
  ExpectPoint(TransformPoint({1, 0, 0}, MultiplyMatrix4(b, a)), 0, 11, 0);
  const TMatrix4 same = MultiplyMatrix4(IdentityMatrix, MultiplyMatrix4(a, IdentityMatrix));
  EXPECT_EQ(same.m, a.m);
}

TEST(MathPack, TranslationRowAddsToPoints) {
  ExpectPoint(TransformPoint({1, 0, 0}, Translation(10, 20, 30)), 11, 20, 30);
}

TEST(MathPack, HomogeneousDivideSkipsZeroW) {
  TVector4 result{9, 9, 9, 9};
  HomogeneousDivide({2, 4, 6, 2}, result);
  EXPECT_FLOAT_EQ(result.x, 1);
  EXPECT_FLOAT_EQ(result.y, 2);
  EXPECT_FLOAT_EQ(result.z, 3);
  EXPECT_FLOAT_EQ(result.w, 0.5f);
  TVector4 untouched{9, 9, 9, 9};
  HomogeneousDivide({1, 1, 1, 0}, untouched);
  EXPECT_FLOAT_EQ(untouched.x, 9);
}

TEST(MathPack, DeterminantOfRotationIsOne) {
  EXPECT_FLOAT_EQ(Determinant3(Upper3x3(RotationZ90())), 1);
  TMatrix4 scale = IdentityMatrix;
  scale.m[0][0] = 2;
  scale.m[2][2] = 3;
  EXPECT_FLOAT_EQ(Determinant3(Upper3x3(scale)), 6);
}
