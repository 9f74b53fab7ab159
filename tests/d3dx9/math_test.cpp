// The D3DX matrix functions against values worked out independently: where
// projections put the near and far planes and the field of view, which way
// rotations turn the axes, and inverses that undo.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/d3dx9/d3dx9.h"

namespace {

constexpr float kPi = 3.14159265358979f;

struct V4 {
  float x, y, z, w;
};

// p x M with p a row vector.
V4 transform(V4 p, const D3DXMATRIX& m) {
  return {p.x * m._11 + p.y * m._21 + p.z * m._31 + p.w * m._41, p.x * m._12 + p.y * m._22 + p.z * m._32 + p.w * m._42,
          p.x * m._13 + p.y * m._23 + p.z * m._33 + p.w * m._43, p.x * m._14 + p.y * m._24 + p.z * m._34 + p.w * m._44};
}

void expectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = 1e-5f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r << "," << c;
}

TEST(D3DXMatrix, PerspectiveFovRHMapsNearToZeroAndFarToW) {
  D3DXMATRIX p;
  ASSERT_EQ(D3DXMatrixPerspectiveFovRH(&p, kPi / 3, 1.5f, 0.5f, 100.0f), &p);
  // Right-handed: the camera looks down -z; w is the distance.
  V4 nearPoint = transform({0, 0, -0.5f, 1}, p);
  V4 farPoint = transform({0, 0, -100.0f, 1}, p);
  EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-6f);
  EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-5f);
  EXPECT_NEAR(nearPoint.w, 0.5f, 1e-6f);
  // A point on the upper edge of the 60 degree field of view lands at y = 1.
  const float d = 10.0f;
  V4 top = transform({0, d * std::tan(kPi / 6), -d, 1}, p);
  EXPECT_NEAR(top.y / top.w, 1.0f, 1e-5f);
  // The horizontal extent is the aspect ratio times the vertical one.
  V4 right = transform({1.5f * d * std::tan(kPi / 6), 0, -d, 1}, p);
  EXPECT_NEAR(right.x / right.w, 1.0f, 1e-5f);
}

TEST(D3DXMatrix, OrthoRHMapsTheBoxToTheUnitVolume) {
  D3DXMATRIX o;
  D3DXMatrixOrthoRH(&o, 640, 480, 0.0f, 1.0f);
  V4 corner = transform({320, -240, 0, 1}, o);
  EXPECT_NEAR(corner.x, 1.0f, 1e-6f);
  EXPECT_NEAR(corner.y, -1.0f, 1e-6f);
  EXPECT_NEAR(corner.z, 0.0f, 1e-6f);
  EXPECT_NEAR(corner.w, 1.0f, 1e-6f);
  EXPECT_NEAR(transform({0, 0, -1, 1}, o).z, 1.0f, 1e-6f) << "the far plane at z = -far";
  D3DXMatrixOrthoRH(&o, 2, 2, 1.0f, 5.0f);
  EXPECT_NEAR(transform({0, 0, -1, 1}, o).z, 0.0f, 1e-6f);
  EXPECT_NEAR(transform({0, 0, -5, 1}, o).z, 1.0f, 1e-6f);
}

TEST(D3DXMatrix, RotationsTurnAxesCounterClockwiseLookingDownTheAxis) {
  D3DXMATRIX r;
  D3DXMatrixRotationZ(&r, kPi / 2);
  V4 x = transform({1, 0, 0, 1}, r);
  EXPECT_NEAR(x.x, 0, 1e-6f);
  EXPECT_NEAR(x.y, 1, 1e-6f);  // x onto y
  D3DXMatrixRotationX(&r, kPi / 2);
  V4 y = transform({0, 1, 0, 1}, r);
  EXPECT_NEAR(y.z, 1, 1e-6f);  // y onto z
  D3DXMatrixRotationY(&r, kPi / 2);
  V4 z = transform({0, 0, 1, 1}, r);
  EXPECT_NEAR(z.x, 1, 1e-6f);  // z onto x
  EXPECT_NEAR(z.z, 0, 1e-6f);
}

TEST(D3DXMatrix, QuaternionRotationMatchesTheAxisRotation) {
  const float angle = 0.7f;
  D3DXQUATERNION q{0, 0, std::sin(angle / 2), std::cos(angle / 2)};
  D3DXMATRIX fromQuaternion, fromAxis;
  D3DXMatrixRotationQuaternion(&fromQuaternion, &q);
  D3DXMatrixRotationZ(&fromAxis, angle);
  expectMatrixNear(fromQuaternion, fromAxis);
  D3DXQUATERNION qx{std::sin(angle / 2), 0, 0, std::cos(angle / 2)};
  D3DXMatrixRotationQuaternion(&fromQuaternion, &qx);
  D3DXMatrixRotationX(&fromAxis, angle);
  expectMatrixNear(fromQuaternion, fromAxis);
  D3DXQUATERNION identity{0, 0, 0, 1};
  D3DXMatrixRotationQuaternion(&fromQuaternion, &identity);
  D3DXMatrixIdentity(&fromAxis);
  expectMatrixNear(fromQuaternion, fromAxis);
}

TEST(D3DXMatrix, TranslationLivesInTheLastRowAndMultiplyReadsLeftToRight) {
  D3DXMATRIX t, s, st, ts;
  D3DXMatrixTranslation(&t, 1, 2, 3);
  EXPECT_EQ(t._41, 1);
  EXPECT_EQ(t._42, 2);
  EXPECT_EQ(t._43, 3);
  D3DXMatrixScaling(&s, 2, 2, 2);
  D3DXMatrixMultiply(&st, &s, &t);  // scale, then translate
  D3DXMatrixMultiply(&ts, &t, &s);  // translate, then scale
  V4 a = transform({1, 1, 1, 1}, st), b = transform({1, 1, 1, 1}, ts);
  EXPECT_NEAR(a.x, 3, 1e-6f);
  EXPECT_NEAR(b.x, 4, 1e-6f);
  // The output may alias an input.
  D3DXMatrixMultiply(&s, &s, &t);
  expectMatrixNear(s, st);
}

TEST(D3DXMatrix, InverseUndoesAndTransposeSwaps) {
  D3DXMATRIX r, t, m, inv, product, identity;
  D3DXMatrixRotationY(&r, 0.3f);
  D3DXMatrixTranslation(&t, 4, -2, 7);
  D3DXMatrixMultiply(&m, &r, &t);
  m._11 *= 2.0f;  // not orthonormal any more
  float det = 0;
  ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
  EXPECT_NEAR(det, 1.0f + std::cos(0.3f) * std::cos(0.3f), 1e-5f);  // 2c^2 + s^2
  D3DXMatrixMultiply(&product, &m, &inv);
  D3DXMatrixIdentity(&identity);
  expectMatrixNear(product, identity, 1e-5f);
  D3DXMatrixInverse(&m, nullptr, &m);  // in place
  expectMatrixNear(m, inv);

  D3DXMATRIX singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1), untouched = identity;
  EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
  expectMatrixNear(untouched, identity);

  D3DXMATRIX tr;
  D3DXMatrixTranspose(&tr, &t);
  EXPECT_EQ(tr._14, 4);
  EXPECT_EQ(tr._41, 0);
}

}  // namespace
