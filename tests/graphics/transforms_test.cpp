// Transform operations and projection set-ups on the device's current
// transform, checked against matrices computed here from their formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_device.h"
#include "graphics/transforms.h"

namespace {

struct Vec4 {
  double x, y, z, w;
};

// Row vector times matrix: p' = p x M.
Vec4 apply(const D3DMATRIX& m, Vec4 p) {
  return {p.x * m._11 + p.y * m._21 + p.z * m._31 + p.w * m._41, p.x * m._12 + p.y * m._22 + p.z * m._32 + p.w * m._42,
          p.x * m._13 + p.y * m._23 + p.z * m._33 + p.w * m._43, p.x * m._14 + p.y * m._24 + p.z * m._34 + p.w * m._44};
}

D3DXMATRIX rows(std::initializer_list<float> values) {
  D3DXMATRIX m;
  std::copy(values.begin(), values.end(), &m._11);
  return m;
}

void expectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, double tolerance = 1e-5) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "element " << r + 1 << c + 1;
    }
  }
}

class TransformsTest : public ::testing::Test {
 protected:
  D3DMATRIX current() { return fake.device.transforms[fake.graphics.currentTransform]; }
  D3DMATRIX view() { return fake.device.transforms[D3DTS_VIEW]; }
  D3DMATRIX projection() { return fake.device.transforms[D3DTS_PROJECTION]; }
  FakeGraphics fake;
};

TEST_F(TransformsTest, MultiplyPutsTheNewMatrixOnTheLeft) {
  fake.graphics.currentTransform = D3DTS_VIEW;
  loadIdentity();
  const D3DXMATRIX a = rows({1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1});  // shear + move x by 5
  const D3DXMATRIX b = rows({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1});  // turn 90 about z, move z by 3
  multiplyTransform(a);
  multiplyTransform(b);
  // B x A: a point moves by B first, then by A.
  const D3DXMATRIX expected = rows({0, 1, 0, 0, -1, -2, 0, 0, 0, 0, 1, 0, 5, 0, 3, 1});
  expectMatrixNear(view(), expected);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(fake.graphics.objectMatrix[i], (&b._11)[i]);
  // The projection is untouched.
  EXPECT_EQ(fake.device.transforms.count(D3DTS_PROJECTION), 0u);
}

TEST_F(TransformsTest, LoadIdentityActsOnTheCurrentTransformOnly) {
  fake.graphics.currentTransform = D3DTS_PROJECTION;
  const D3DXMATRIX m = rows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  multiplyTransform(m);
  fake.graphics.currentTransform = D3DTS_VIEW;
  multiplyTransform(m);
  loadIdentity();
  expectMatrixNear(view(), rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  expectMatrixNear(projection(), m);
}

TEST_F(TransformsTest, GetTransformOrViewport) {
  fake.device.viewport = D3DVIEWPORT9{10, 20, 300, 400, 0.0f, 1.0f};
  float out[16] = {};
  getTransformOrViewport(0, out);
  EXPECT_EQ(out[0], 10.0f);
  EXPECT_EQ(out[1], 20.0f);
  EXPECT_EQ(out[2], 300.0f);
  EXPECT_EQ(out[3], 400.0f);

  const D3DXMATRIX p = rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const D3DXMATRIX v = rows({-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13, -14, -15, -16});
  fake.device.transforms[D3DTS_PROJECTION] = p;
  fake.device.transforms[D3DTS_VIEW] = v;
  getTransformOrViewport(1, out);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], (&p._11)[i]);
  getTransformOrViewport(2, out);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], (&v._11)[i]);
}

TEST_F(TransformsTest, Ortho2DMapsTheVirtualScreenCorners) {
  fake.graphics.currentTransform = D3DTS_PROJECTION;
  beginOrtho2D(640.0f, 480.0f);
  const D3DMATRIX m = projection();
  struct Case {
    double x, y, clipX, clipY;
  } cases[] = {{0, 0, -1, 1}, {640, 480, 1, -1}, {320, 240, 0, 0}, {640, 0, 1, 1}, {160, 360, -0.5, -0.5}};
  for (const Case& c : cases) {
    const Vec4 clip = apply(m, {c.x, c.y, 0, 1});
    EXPECT_NEAR(clip.x / clip.w, c.clipX, 1e-6) << c.x << "," << c.y;
    EXPECT_NEAR(clip.y / clip.w, c.clipY, 1e-6) << c.x << "," << c.y;
    EXPECT_NEAR(clip.z / clip.w, 0.5, 1e-6);
  }
  // The centring translation is the last matrix multiplied in.
  EXPECT_FLOAT_EQ(fake.graphics.objectMatrix[12], -320.0f);
  EXPECT_FLOAT_EQ(fake.graphics.objectMatrix[13], -240.0f);
  EXPECT_EQ(fake.graphics.inScene, 1);
}

TEST_F(TransformsTest, Ortho2DOfOtherSizes) {
  fake.graphics.currentTransform = D3DTS_PROJECTION;
  beginOrtho2D(350.0f, 290.0f);
  const Vec4 corner = apply(projection(), {350, 290, 0, 1});
  EXPECT_NEAR(corner.x, 1.0, 1e-6);
  EXPECT_NEAR(corner.y, -1.0, 1e-6);
}

TEST_F(TransformsTest, PerspectiveFollowsTheRightHandedFormula) {
  fake.graphics.currentTransform = D3DTS_PROJECTION;
  fake.device.renderStates[D3DRS_ZENABLE] = D3DZB_FALSE;
  const float aspect = 1.7777778f, fov = 35.0f, zn = 0.2f, zf = 487.0f;
  beginPerspective(aspect, fov, zn, zf);
  const double fovy = static_cast<double>(fov * 0.017453292f);
  const double yScale = 1.0 / std::tan(fovy / 2.0);
  const double xScale = yScale / aspect;
  D3DMATRIX expected{};
  expected._11 = static_cast<float>(xScale);
  expected._22 = static_cast<float>(yScale);
  expected._33 = zf / (zn - zf);
  expected._34 = -1.0f;
  expected._43 = zn * zf / (zn - zf);
  expectMatrixNear(projection(), expected);
  EXPECT_EQ(fake.device.renderStates[D3DRS_ZENABLE], static_cast<DWORD>(D3DZB_TRUE));
  // A point on the near plane lands at depth 0, one on the far plane at 1.
  const Vec4 nearPoint = apply(projection(), {0, 0, -zn, 1});
  const Vec4 farPoint = apply(projection(), {0, 0, -zf, 1});
  EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0, 1e-5);
  EXPECT_NEAR(farPoint.z / farPoint.w, 1.0, 1e-5);
}

TEST_F(TransformsTest, SceneSetUpsEndAnOpenSceneFirst) {
  fake.graphics.currentTransform = D3DTS_PROJECTION;
  beginPerspective(1.0f, 60.0f, 1.0f, 10.0f);
  EXPECT_EQ(fake.graphics.inScene, 1);
  EXPECT_EQ(fake.device.count("EndScene"), 0);
  EXPECT_EQ(fake.device.count("BeginScene"), 1);
  fake.device.calls.clear();
  beginOrtho2D(640.0f, 480.0f);
  beginPerspective(1.0f, 60.0f, 1.0f, 10.0f);
  EXPECT_EQ(fake.graphics.inScene, 1);
  std::vector<std::string> scenes;
  for (const std::string& c : fake.device.calls) {
    if (c == "BeginScene" || c == "EndScene") scenes.push_back(c);
  }
  EXPECT_EQ(scenes, (std::vector<std::string>{"EndScene", "BeginScene", "EndScene", "BeginScene"}));
}

TEST_F(TransformsTest, SetupCameraLeavesAnIdentityViewCurrent) {
  fake.graphics.currentTransform = D3DTS_VIEW;
  fake.device.transforms[D3DTS_VIEW] = rows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 4, 4, 4, 1});
  fake.device.transforms[D3DTS_PROJECTION] = rows({3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 4, 4, 4, 1});
  setupCamera(1.3333334f, 60.0f, 2.0f, 5000.0f);
  EXPECT_EQ(fake.graphics.currentTransform, D3DTS_VIEW);
  expectMatrixNear(view(), rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  // The projection was replaced, not multiplied onto the old one.
  EXPECT_EQ(projection()._34, -1.0f);
  EXPECT_EQ(projection()._41, 0.0f);
  EXPECT_EQ(fake.device.renderStates[D3DRS_ZENABLE], static_cast<DWORD>(D3DZB_TRUE));
  EXPECT_EQ(fake.graphics.inScene, 1);
}

TEST_F(TransformsTest, EulerViewFromZNine) {
  setupCamera(1.0f, 35.0f, 0.2f, 487.0f);
  setEulerView(0.0f, 0.0f, 9.0f, 0.0f, 0.0f, 0.0f);
  const Vec4 origin = apply(view(), {0, 0, 0, 1});
  EXPECT_NEAR(origin.x, 0.0, 1e-6);
  EXPECT_NEAR(origin.y, 0.0, 1e-6);
  EXPECT_NEAR(origin.z, -9.0, 1e-6);
  // The last matrix multiplied in is the translation by the negated eye.
  EXPECT_EQ(fake.graphics.objectMatrix[14], -9.0f);
}

TEST_F(TransformsTest, EulerViewTurnsAfterMoving) {
  fake.graphics.currentTransform = D3DTS_VIEW;
  // Turned 90 degrees about y, the eye at (0, 0, 9) looks along -x: a
  // point 5 units along -x from it is straight ahead.
  setEulerView(0.0f, 0.0f, 9.0f, 0.0f, 90.0f, 0.0f);
  const Vec4 ahead = apply(view(), {-5, 0, 9, 1});
  EXPECT_NEAR(ahead.x, 0.0, 1e-5);
  EXPECT_NEAR(ahead.y, 0.0, 1e-5);
  EXPECT_NEAR(ahead.z, -5.0, 1e-5);

  // All three angles: view = T(-p) x Rz(-z) x Ry(-y) x Rx(-x).
  const float p[3] = {1.5f, -2.0f, 4.0f};
  const float a[3] = {30.0f, -45.0f, 60.0f};
  setEulerView(p[0], p[1], p[2], a[0], a[1], a[2]);
  auto angle = [](float degrees) {
    return static_cast<double>(static_cast<float>(-static_cast<double>(degrees) * 6.2831854820251465 / 360.0));
  };
  const double cx = std::cos(angle(a[0])), sx = std::sin(angle(a[0]));
  const double cy = std::cos(angle(a[1])), sy = std::sin(angle(a[1]));
  const double cz = std::cos(angle(a[2])), sz = std::sin(angle(a[2]));
  const Vec4 world{0.25, 0.5, -3.0, 1.0};
  Vec4 q{world.x - p[0], world.y - p[1], world.z - p[2], 1.0};
  q = {q.x * cz - q.y * sz, q.x * sz + q.y * cz, q.z, 1.0};   // about z
  q = {q.x * cy + q.z * sy, q.y, -q.x * sy + q.z * cy, 1.0};  // about y
  q = {q.x, q.y * cx - q.z * sx, q.y * sx + q.z * cx, 1.0};   // about x
  const Vec4 got = apply(view(), world);
  EXPECT_NEAR(got.x, q.x, 1e-5);
  EXPECT_NEAR(got.y, q.y, 1e-5);
  EXPECT_NEAR(got.z, q.z, 1e-5);
}

TEST_F(TransformsTest, NoDeviceMeansNoWork) {
  GraphicsDevice* saved = g_graphicsDevice;
  g_graphicsDevice = nullptr;
  loadIdentity();
  multiplyTransform(rows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  beginOrtho2D(640.0f, 480.0f);
  setupCamera(1.0f, 60.0f, 1.0f, 10.0f);
  g_graphicsDevice = saved;
  EXPECT_TRUE(fake.device.calls.empty());
}

}  // namespace
