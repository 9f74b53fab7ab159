// Matrix4 operations and the node world rule.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/matrix4.h"

namespace {

Vec3 transformPoint(const Matrix4& m, Vec3 p) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

void expectNear(Vec3 a, Vec3 b, float tolerance = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

bool isIdentity(const Matrix4& m) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
  return true;
}

}  // namespace

TEST(Matrix4, DefaultIsIdentityAndSetIsRowMajor) {
  Matrix4 m;
  EXPECT_TRUE(isIdentity(m));
  float values[16];
  for (int i = 0; i < 16; ++i) values[i] = float(i);
  Matrix4 copy = m.set(values);
  EXPECT_EQ(m.m[0][1], 1.0f);
  EXPECT_EQ(m.m[1][0], 4.0f);
  EXPECT_EQ(m.m[3][2], 14.0f);
  EXPECT_EQ(copy.m[2][3], 11.0f);
  EXPECT_EQ(m.data()[7], 7.0f);
}

TEST(Matrix4, SetOperationsOverwriteTheWholeMatrix) {
  Matrix4 m;
  float junk[16];
  for (float& v : junk) v = 9.0f;
  m.set(junk);
  m.setTranslation(1, 2, 3);
  Matrix4 expected;
  expected.m[3][0] = 1;
  expected.m[3][1] = 2;
  expected.m[3][2] = 3;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.data()[i], expected.data()[i]) << i;

  m.set(junk);
  Matrix4 returned = m.setScaling(2, 3, 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      const float want = r != c ? 0.0f : (r == 3 ? 1.0f : float(r + 2));
      EXPECT_EQ(m.m[r][c], want);
      EXPECT_EQ(returned.m[r][c], want);
    }

  m.set(junk);
  m.setRotation(0, 0, 0, 1);
  EXPECT_TRUE(isIdentity(m));
}

TEST(Matrix4, RotationFollowsTheRowVectorQuaternionFormula) {
  const float h = std::sin(float(M_PI) / 4);
  Matrix4 r;
  r.setRotation(0, 0, h, std::cos(float(M_PI) / 4));
  // A quarter turn about z takes the x axis onto the y axis.
  expectNear(transformPoint(r, {1, 0, 0}), {0, 1, 0});
  expectNear(transformPoint(r, {0, 1, 0}), {-1, 0, 0});

  // Every entry against the formula, for a quaternion that is not unit
  // length (nothing normalises it).
  const float x = 0.5f, y = -1.0f, z = 2.0f, w = 0.25f;
  r.setRotation(x, y, z, w);
  const float want[4][4] = {
      {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0},
      {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0},
      {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0},
      {0, 0, 0, 1},
  };
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(r.m[i][j], want[i][j]) << i << "," << j;
}

TEST(Matrix4, MultiplyIsRowTimesColumn) {
  Matrix4 a, b;
  float av[16], bv[16];
  for (int i = 0; i < 16; ++i) {
    av[i] = float(i + 1);
    bv[i] = float((i * 7) % 5 - 2);
  }
  a.set(av);
  b.set(bv);
  const Matrix4 p = Matrix4::multiply(a, b);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += av[r * 4 + k] * bv[k * 4 + c];
      EXPECT_EQ(p.m[r][c], sum);
    }
  // Not commutative: the order of the arguments matters.
  const Matrix4 q = Matrix4::multiply(b, a);
  EXPECT_NE(p.m[0][0], q.m[0][0]);
}

TEST(Matrix4, WorldScalesThenRotatesThenTranslates) {
  const float h = std::sin(float(M_PI) / 4);
  const Matrix4 world = composeWorld({2, 3, 4}, {0, 0, h, std::cos(float(M_PI) / 4)}, {10, 20, 30});
  // (1,0,0) scaled to (2,0,0), turned to (0,2,0), moved to (10,22,30).
  expectNear(transformPoint(world, {1, 0, 0}), {10, 22, 30});
  // (0,1,0) scaled to (0,3,0), turned to (-3,0,0).
  expectNear(transformPoint(world, {0, 1, 0}), {7, 20, 30});
  expectNear(transformPoint(world, {0, 0, 1}), {10, 20, 34});
  EXPECT_TRUE(isIdentity(composeWorld({1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0})));
}
