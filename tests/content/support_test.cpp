// The builders' support code: vector maths in the engine's conventions, the
// software rasteriser the previews and the train picture use, images and
// their PNG output, and the scene builder's node records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/image.h"
#include "common/raster.h"
#include "common/scene_builder.h"
#include "common/tunnel_path.h"
#include "common/vmath.h"
#include "scene/matrix4.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using namespace content;

namespace {

void expectNear(V3 a, V3 b, float eps = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

}  // namespace

TEST(Maths, RotationMatrixMatchesTheEnginesAndTheQuaternionRotation) {
  const Q q = normalize(Q{0.2f, -0.4f, 0.3f, 0.8f});
  const M4 mine = M4::rotation(q);
  Matrix4 engine;
  engine.setRotation(q.x, q.y, q.z, q.w);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(mine.m[i][j], engine.m[i][j], 1e-6f);
  expectNear(mine.point({1, 2, 3}), rotate(q, {1, 2, 3}));
}

TEST(Maths, ComposeScalesThenRotatesThenMovesLikeTheEngine) {
  const Q q = axisAngle({0, 0, 1}, kPi * 0.5f);
  const M4 m = M4::compose({2, 1, 1}, q, {10, 0, 0});
  expectNear(m.point({1, 0, 0}), {10, 2, 0});
  const Matrix4 e = composeWorld({2, 1, 1}, {q.x, q.y, q.z, q.w}, {10, 0, 0});
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], e.m[i][j], 1e-5f);
}

TEST(Maths, NormalsStayPerpendicularUnderNonUniformScaleAndMirroring) {
  // A slanted plane x + y = 0 squashed in x: its normal must stay normal to it.
  for (const V3 s : {V3{4, 1, 1}, V3{1, -1, 1}}) {
    const M4 m = M4::scaling(s);
    const V3 n = m.normal(normalize(V3{1, 1, 0}));
    const V3 along = m.vector({1, -1, 0});
    EXPECT_NEAR(dot(n, along), 0.0f, 1e-5f);
    EXPECT_NEAR(length(n), 1.0f, 1e-5f);
  }
  // Mirroring keeps a normal on the outside: +z faces stay +z under y = -y.
  expectNear(M4::scaling({1000, -1000, 1000}).normal({0, 0, 1}), {0, 0, 1});
}

TEST(Maths, FromAxesAndSlerpAgreeWithTheirDefinitions) {
  const Q q = fromAxes({0, 1, 0}, {-1, 0, 0}, {0, 0, 1});  // 90 degrees about z
  expectNear(rotate(q, {1, 0, 0}), {0, 1, 0});
  const Q a = axisAngle({0, 1, 0}, 0.2f), b = axisAngle({0, 1, 0}, 1.2f);
  const Q mid = slerp(a, b, 0.5f);
  EXPECT_NEAR(std::fabs(dot(mid, axisAngle({0, 1, 0}, 0.7f))), 1.0f, 1e-5f);
  EXPECT_NEAR(std::fabs(dot(slerp(a, negate(b), 1.0f), b)), 1.0f, 1e-5f);
}

TEST(Raster, CameraViewBringsTheEyeToTheOriginLookingDownMinusZ) {
  const V3 eye{3, 4, 5};
  const Q look = lookRotation({0, 0, -1});
  const M4 v = cameraView(eye, look);
  expectNear(v.point(eye), {0, 0, 0});
  expectNear(v.point(eye + V3{0, 0, -2}), {0, 0, -2});
}

TEST(Raster, FillsATriangleAndKeepsTheNearerSurface) {
  Image image(40, 40, {0, 0, 0, 1});
  Rasterizer raster(image);
  const M4x proj = M4x::perspectiveFovRH(kPi * 0.5f, 1.0f, 0.1f, 100.0f);
  // A red square at depth 5 and a green one at depth 2 over its left half.
  auto square = [](float x0, float x1, float z, Rgba c) {
    return std::vector<RasterVertex>{{{x0, -1, z}, c}, {{x1, -1, z}, c}, {{x1, 1, z}, c},
                                     {{x0, -1, z}, c}, {{x1, 1, z}, c}, {{x0, 1, z}, c}};
  };
  raster.draw(square(-10, 10, -5, {1, 0, 0, 1}), proj, BlendMode::Opaque);
  raster.draw(square(-10, 0, -2, {0, 1, 0, 1}), proj, BlendMode::Opaque);
  raster.draw(square(-10, 10, -8, {0, 0, 1, 1}), proj, BlendMode::Opaque);  // hidden behind both
  EXPECT_EQ(image.at(10, 20).g, 1.0f);
  EXPECT_EQ(image.at(30, 20).r, 1.0f);
  EXPECT_EQ(image.at(30, 20).b, 0.0f);
  EXPECT_EQ(image.at(20, 2).r, 0.0f);  // above the squares: untouched
}

TEST(Raster, ClipsTrianglesThatReachBehindTheEye) {
  Image image(20, 20, {0, 0, 0, 1});
  Rasterizer raster(image);
  const M4x proj = M4x::perspectiveFovRH(kPi * 0.5f, 1.0f, 0.1f, 100.0f);
  // A floor running from behind the camera to far in front of it.
  const Rgba c{1, 1, 1, 1};
  raster.draw({{{-50, -1, 50}, c}, {{50, -1, 50}, c}, {{50, -1, -50}, c}, {{-50, -1, 50}, c}, {{50, -1, -50}, c},
               {{-50, -1, -50}, c}},
              proj, BlendMode::Opaque);
  EXPECT_EQ(image.at(10, 19).r, 1.0f);  // the floor under the eye
  EXPECT_EQ(image.at(10, 2).r, 0.0f);   // the sky above the horizon
}

TEST(Images, BlendingAndBlurKeepWhatTheyShould) {
  Image image(9, 9, {0, 0, 0, 0});
  image.blend(4, 4, {1, 0.5f, 0, 0.5f});
  EXPECT_NEAR(image.at(4, 4).a, 0.5f, 1e-6f);
  EXPECT_NEAR(image.at(4, 4).g, 0.5f, 1e-6f);  // straight alpha over nothing keeps the colour
  image.blend(4, 4, {0, 0, 1, 0.5f});
  EXPECT_NEAR(image.at(4, 4).a, 0.75f, 1e-6f);
  // Blurring spreads the alpha but keeps its total.
  Image spot(21, 21, {0, 0, 0, 0});
  spot.at(10, 10) = {1, 1, 1, 1};
  spot.blur(2.0f);
  float total = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) total += spot.at(x, y).a;
  EXPECT_NEAR(total, 1.0f, 1e-3f);
  EXPECT_LT(spot.at(10, 10).a, 0.1f);
  EXPECT_GT(spot.at(12, 10).a, 0.0f);
}

TEST(Images, PngRoundTripsThroughTheDecoder) {
  Image image(3, 2, {0, 0, 0, 0});
  image.at(0, 0) = {1, 0, 0, 1};
  image.at(2, 1) = {0, 0, 1, 0.5f};
  image.drawText("", 0, 0, 1, {1, 1, 1, 1});
  const std::string path = (std::filesystem::temp_directory_path() / "vorn_content_roundtrip.png").string();
  ASSERT_TRUE(image.writePng(path));
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(data[0], 255);
  EXPECT_EQ(data[3], 255);
  EXPECT_EQ(data[(1 * 3 + 2) * 4 + 2], 255);
  EXPECT_EQ(data[(1 * 3 + 2) * 4 + 3], 128);
  stbi_image_free(data);
  std::filesystem::remove(path);
  EXPECT_FALSE(image.writePng("/nonexistent-folder/x.png"));
}

TEST(SceneBuilderNodes, AnimatedNodesStartInTheirFirstKeysPose) {
  SceneBuilder scene;
  const std::uint32_t m = scene.material("m", {1, 1, 1, 1}, 0);
  Mesh mesh;
  addBox(mesh, {1, 1, 1});
  const std::uint32_t node = scene.object("box", mesh, Layout::Shaded, {m}, {9, 9, 9});
  scene.animate(node, makeTrack({{0, {1, 2, 3}, axisAngle({0, 1, 0}, 1)}, {10, {4, 5, 6}, {}}}));
  const auto& record = scene.record().nodes[node];
  EXPECT_EQ(record.flags, NODE_MODEL | NODE_ANIMATED);
  EXPECT_EQ(record.position.x, 1.0f);
  EXPECT_EQ(record.keys.size(), 2u);
  const std::uint32_t cam = scene.cameraNode("eye", scene.camera("eye"), {0, 0, 5}, {});
  EXPECT_EQ(scene.record().nodes[cam].flags, NODE_CAMERA);
  EXPECT_EQ(scene.record().nodes[cam].cameraIndex, 0u);
  // The writer refuses a record that does not hold together.
  scene.record().models[0].vertexData.pop_back();
  EXPECT_FALSE(scene.write((std::filesystem::temp_directory_path() / "vorn_bad.nc").string()));
}

TEST(TunnelPath, FramesAreOrthonormalAndTheTracksLieOnEitherSide) {
  namespace tn = content::tunnel;
  for (float s = 0; s <= tn::kLength; s += 17) {
    const Frame f = tn::frame(s);
    EXPECT_NEAR(length(f.t), 1.0f, 1e-4f);
    EXPECT_NEAR(dot(f.t, f.right), 0.0f, 1e-4f);
    EXPECT_NEAR(dot(f.right, f.up), 0.0f, 1e-4f);
    const V3 left = tn::trackPoint(s, -tn::kTrackOffset, 0), right = tn::trackPoint(s, tn::kTrackOffset, 0);
    EXPECT_NEAR(length(left - right), 2 * tn::kTrackOffset, 1e-3f);
    // Both within the tube, at its floor.
    EXPECT_LT(length(left - f.p), tn::kRadius);
    EXPECT_NEAR(left.y, f.p.y + tn::kFloor, 1e-3f);
  }
  EXPECT_LT(tn::cameraS(0), tn::cameraS(tn::kKeyTimeEnd));
  EXPECT_LT(tn::cameraS(tn::kKeyTimeEnd), tn::kLength);
}
