// Animation tracks made by the builders, checked against the engine's own
// track evaluation.
#include <gtest/gtest.h>

#include <cmath>

#include "common/scene_builder.h"
#include "scene/scene.h"

using namespace content;

namespace {

// The engine's evaluation of a key list at time t.
Pose engineAt(const std::vector<AnimationKey>& keys, float t) {
  AnimationTrack track;
  track.keys = new AnimationKey[keys.size()];
  std::copy(keys.begin(), keys.end(), track.keys);
  track.keyCount = static_cast<std::int32_t>(keys.size());
  track.evaluate(t);
  Pose p;
  p.position = {track.position.x, track.position.y, track.position.z};
  p.rotation = {track.rotation.x, track.rotation.y, track.rotation.z, track.rotation.w};
  return p;
}

std::vector<Pose> zigzag() {
  return {{0, {0, 0, 0}, {}},
          {10, {5, 2, 0}, axisAngle({0, 1, 0}, 0.5f)},
          {30, {5, 8, -4}, axisAngle({0, 1, 0}, 1.5f)},
          {35, {-2, 8, -6}, axisAngle({1, 0, 0}, 0.3f)}};
}

}  // namespace

TEST(Tracks, PassThroughEveryKeyInTheEngine) {
  const auto poses = zigzag();
  const auto keys = makeTrack(poses);
  for (const Pose& p : poses) {
    const Pose e = engineAt(keys, p.time);
    EXPECT_NEAR(e.position.x, p.position.x, 1e-4f);
    EXPECT_NEAR(e.position.y, p.position.y, 1e-4f);
    EXPECT_NEAR(e.position.z, p.position.z, 1e-4f);
    EXPECT_NEAR(std::fabs(dot(e.rotation, p.rotation)), 1.0f, 1e-4f);
  }
}

TEST(Tracks, OwnEvaluationMatchesTheEngineBetweenKeys) {
  const auto keys = makeTrack(zigzag());
  for (float t = 0; t <= 40; t += 0.7f) {
    const Pose a = evaluateTrack(keys, t), b = engineAt(keys, t);
    EXPECT_NEAR(a.position.x, b.position.x, 1e-4f) << t;
    EXPECT_NEAR(a.position.y, b.position.y, 1e-4f) << t;
    EXPECT_NEAR(a.position.z, b.position.z, 1e-4f) << t;
    EXPECT_NEAR(dot(a.rotation, b.rotation), 1.0f, 1e-4f) << t;
  }
}

TEST(Tracks, SmoothTracksKeepTheirVelocityThroughAKey) {
  const auto keys = makeTrack(zigzag());
  const float h = 1e-2f;
  for (float t : {10.0f, 30.0f}) {
    const V3 before = (evaluateTrack(keys, t).position - evaluateTrack(keys, t - h).position) / h;
    const V3 after = (evaluateTrack(keys, t + h).position - evaluateTrack(keys, t).position) / h;
    EXPECT_LT(length(before - after), 0.05f * (length(before) + 1)) << t;
  }
}

TEST(Tracks, HoldKeysDoNotOvershoot) {
  std::vector<Pose> poses = {{0, {0, 0, 0}, {}, true}, {10, {1, 0, 0}, {}, true}, {20, {1, 0, 0}, {}, true}};
  const auto keys = makeTrack(poses);
  for (float t = 0; t <= 20; t += 0.5f) {
    const float x = evaluateTrack(keys, t).position.x;
    EXPECT_GE(x, -1e-5f);
    EXPECT_LE(x, 1.0f + 1e-5f) << t;
  }
}

TEST(Tracks, CutsKeepTheJumpOutOfTheNeighbouringSegments) {
  // A jump of 1000 between 9.5 and 10 must not bend the segments beside it.
  std::vector<Pose> poses = {{0, {0, 0, 0}, {}}, {9.5f, {1, 0, 0}, {}}, {10, {1000, 0, 0}, {}}, {20, {1001, 0, 0}, {}}};
  poses[2].cut = true;
  const auto keys = makeTrack(poses);
  EXPECT_NEAR(evaluateTrack(keys, 5).position.x, 0.5f, 0.05f);
  EXPECT_NEAR(evaluateTrack(keys, 15).position.x, 1000.5f, 0.05f);
}

TEST(Tracks, LinearTracksMoveAtConstantSpeed) {
  const auto keys = makeTrack({{0, {0, 0, 0}, {}}, {10, {10, 0, 0}, {}}, {20, {10, 20, 0}, {}}}, Interpolation::Linear);
  EXPECT_NEAR(evaluateTrack(keys, 2.5f).position.x, 2.5f, 1e-4f);
  EXPECT_NEAR(evaluateTrack(keys, 15).position.y, 10.0f, 1e-4f);
  EXPECT_NEAR(evaluateTrack(keys, 15).position.x, 10.0f, 1e-4f);
}

TEST(Tracks, QuaternionsAreBroughtIntoOneHemisphere) {
  // The same orientation given with opposite signs must not spin the node.
  const Q q = axisAngle({0, 0, 1}, 0.2f);
  const auto keys = makeTrack({{0, {}, q}, {10, {}, negate(axisAngle({0, 0, 1}, 0.3f))}});
  const Pose mid = evaluateTrack(keys, 5);
  const float angle = 2 * std::acos(std::min(1.0f, std::fabs(mid.rotation.w)));
  EXPECT_NEAR(angle, 0.25f, 0.01f);
}

TEST(Tracks, LookRotationPointsTheCamerasMinusZAlongTheView) {
  const V3 forward = normalize(V3{1, 0.5f, -2});
  const Q q = lookRotation(forward);
  const V3 minusZ = rotate(q, {0, 0, -1});
  EXPECT_NEAR(dot(minusZ, forward), 1.0f, 1e-5f);
  EXPECT_GT(rotate(q, {0, 1, 0}).y, 0.0f);               // up stays up
  EXPECT_NEAR(rotate(q, {1, 0, 0}).y, 0.0f, 1e-5f);      // no roll
}
