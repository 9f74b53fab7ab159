// Track evaluation: segment search, Bezier curves, extrapolation and the
// degenerate tracks.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/scene.h"

namespace {

AnimationKey key(float time, Vec3 position, Quat rotation = {0, 0, 0, 1}) {
  AnimationKey k;
  k.time = time;
  k.positionIn = k.position = k.positionOut = position;
  k.rotationIn = k.rotation = k.rotationOut = rotation;
  return k;
}

// A track owning a copy of the keys.
struct Track {
  AnimationTrack track;
  explicit Track(const std::vector<AnimationKey>& keys) {
    track.keyCount = static_cast<std::int32_t>(keys.size());
    if (!keys.empty()) {
      track.keys = new AnimationKey[keys.size()];
      for (size_t i = 0; i < keys.size(); ++i) track.keys[i] = keys[i];
    }
  }
};

// Keys at 0, 10, 20, 30 with x equal to the time: the position curve is then
// linear in s, and x tells which segment and parameter were used.
std::vector<AnimationKey> rampKeys() {
  std::vector<AnimationKey> keys;
  for (int i = 0; i < 4; ++i) keys.push_back(key(10.0f * i, {10.0f * i, 0, 0}));
  // Control points a third of the way along make the curve exactly linear.
  for (int i = 0; i < 4; ++i) {
    keys[i].positionIn.x = 10.0f * i - 10.0f / 3;
    keys[i].positionOut.x = 10.0f * i + 10.0f / 3;
  }
  return keys;
}

}  // namespace

TEST(AnimationTrack, BezierUsesOutgoingAndIncomingControlPoints) {
  AnimationKey a = key(0, {0, 0, 0});
  AnimationKey b = key(1, {1, 2, 3});
  a.positionOut = {4, 0, 0};
  b.positionIn = {-2, 0, 0};
  a.positionIn = {100, 100, 100};   // must not be used
  b.positionOut = {100, 100, 100};  // must not be used
  Track t({a, b});
  t.track.evaluate(0.5f);
  // B(0, 4, -2, 1; 0.5) = (0 + 3*4 + 3*(-2) + 1) / 8
  EXPECT_FLOAT_EQ(t.track.position.x, (12.0f - 6.0f + 1.0f) / 8.0f);
  // y: B(0, 0, 0, 2; 0.5) = 2 / 8
  EXPECT_FLOAT_EQ(t.track.position.y, 0.25f);
}

TEST(AnimationTrack, KeyTimesGiveTheKeyPoses) {
  Track t(rampKeys());
  for (int i = 0; i < 4; ++i) {
    t.track.evaluate(10.0f * i);
    EXPECT_FLOAT_EQ(t.track.position.x, 10.0f * i) << i;
  }
  t.track.evaluate(15.0f);
  EXPECT_NEAR(t.track.position.x, 15.0f, 1e-4f);
  EXPECT_EQ(t.track.segment, 1);
}

TEST(AnimationTrack, ForwardPlaybackSteps) {
  Track t(rampKeys());
  t.track.evaluate(5.0f);
  EXPECT_EQ(t.track.segment, 0);
  // At key time 10 both segments 0 and 1 hold the time: the cached one wins.
  t.track.evaluate(10.0f);
  EXPECT_EQ(t.track.segment, 0);
  t.track.evaluate(12.0f);
  EXPECT_EQ(t.track.segment, 1);
  t.track.evaluate(25.0f);
  EXPECT_EQ(t.track.segment, 2);
  // Stepping back by one segment uses the previous one.
  t.track.evaluate(15.0f);
  EXPECT_EQ(t.track.segment, 1);
  // A jump is found by the scan.
  t.track.segment = 2;
  t.track.evaluate(3.0f);
  EXPECT_EQ(t.track.segment, 0);
  EXPECT_NEAR(t.track.position.x, 3.0f, 1e-4f);
}

TEST(AnimationTrack, ScanFindsTheFirstSegmentAtASharedKeyTime) {
  Track t(rampKeys());
  t.track.evaluate(25.0f);
  ASSERT_EQ(t.track.segment, 2);
  // Time 10 lies in segments 0 and 1; from segment 2 the previous-segment
  // rule reaches 1 before any scan would find 0.
  t.track.evaluate(10.0f);
  EXPECT_EQ(t.track.segment, 1);
  EXPECT_FLOAT_EQ(t.track.position.x, 10.0f);
  // From the last segment, the first key's time scans back to segment 0.
  t.track.evaluate(25.0f);
  t.track.evaluate(0.0f);
  EXPECT_EQ(t.track.segment, 0);
  EXPECT_FLOAT_EQ(t.track.position.x, 0.0f);
}

TEST(AnimationTrack, NextSegmentRuleStopsBeforeTheLastKey) {
  // With keys 0, 10, 20 the cached segment 1 is the last; a time in segment
  // 0 is reached through the previous-segment rule.
  std::vector<AnimationKey> keys = rampKeys();
  keys.pop_back();
  Track t(keys);
  t.track.evaluate(15.0f);
  EXPECT_EQ(t.track.segment, 1);
  t.track.evaluate(5.0f);
  EXPECT_EQ(t.track.segment, 0);
}

TEST(AnimationTrack, PastTheLastKeyGivesItsPoseUnnormalised) {
  std::vector<AnimationKey> keys = rampKeys();
  keys[3].rotation = {0, 0, 2, 0};  // not unit length
  Track t(keys);
  t.track.evaluate(12.0f);
  t.track.evaluate(1000.0f);
  EXPECT_EQ(t.track.position.x, 30.0f);
  EXPECT_EQ(t.track.rotation.z, 2.0f);
  EXPECT_EQ(t.track.segment, 1);  // unchanged
}

TEST(AnimationTrack, BeforeTheFirstKeyExtrapolatesAndKeepsTheSegment) {
  Track t(rampKeys());
  t.track.evaluate(25.0f);
  t.track.evaluate(-5.0f);
  EXPECT_EQ(t.track.segment, 2);
  // Segment 2 runs from 20 to 30: s = (-5 - 20) / 10 = -2.5, x = 20 + 10 s.
  EXPECT_NEAR(t.track.position.x, -5.0f, 1e-3f);

  Track fresh(rampKeys());
  fresh.track.evaluate(-5.0f);
  EXPECT_EQ(fresh.track.segment, 0);
  EXPECT_NEAR(fresh.track.position.x, -5.0f, 1e-3f);
}

TEST(AnimationTrack, RotationIsNormalised) {
  const float h = std::sqrt(0.5f);
  AnimationKey a = key(0, {}, {0, 0, 0, 1});
  AnimationKey b = key(1, {}, {0, 0, h, h});
  Track t({a, b});
  t.track.evaluate(0.5f);
  const Quat q = t.track.rotation;
  EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-6f);
  // Weights 1/8, 3/8, 3/8, 1/8: z = h / 2, w = 1 / 2 + h / 2 before normalising.
  EXPECT_NEAR(q.z / q.w, (h * 0.5f) / (0.5f + h * 0.5f), 1e-5f);
  EXPECT_GT(q.z, 0.0f);
}

TEST(AnimationTrack, ZeroLengthRotationStaysUnnormalised) {
  AnimationKey a = key(0, {}, {0, 0, 0, 0});
  AnimationKey b = key(1, {}, {0, 0, 0, 0});
  Track t({a, b});
  t.track.evaluate(0.5f);
  EXPECT_EQ(t.track.rotation.x, 0.0f);
  EXPECT_EQ(t.track.rotation.w, 0.0f);
  EXPECT_FALSE(std::isnan(t.track.rotation.w));
}

TEST(AnimationTrack, EqualKeyTimesGiveTheLaterKey) {
  std::vector<AnimationKey> keys = {key(0, {0, 0, 0}), key(5, {1, 0, 0}), key(5, {2, 0, 0}, {0, 0, 0, 3}),
                                    key(10, {3, 0, 0})};
  Track t(keys);
  t.track.segment = 1;
  t.track.evaluate(5.0f);  // segment 1 [5, 5] holds the time; its span is zero
  EXPECT_EQ(t.track.segment, 1);
  EXPECT_TRUE(std::isfinite(t.track.position.x));
  EXPECT_EQ(t.track.position.x, 2.0f);
  EXPECT_FLOAT_EQ(t.track.rotation.w, 1.0f);  // the later key's rotation, normalised like any key pose

  // A track that starts with two keys at one time, evaluated before them.
  Track early({key(5, {1, 0, 0}), key(5, {2, 0, 0})});
  early.track.evaluate(0.0f);
  EXPECT_EQ(early.track.position.x, 2.0f);
}

TEST(AnimationTrack, ShortTracks) {
  Track one({key(3, {4, 5, 6}, {0, 0, 0, 2})});
  one.track.evaluate(-100.0f);
  EXPECT_EQ(one.track.position.y, 5.0f);
  EXPECT_EQ(one.track.rotation.w, 2.0f);

  Track none({});
  none.track.position = {7, 7, 7};
  none.track.evaluate(1.0f);
  EXPECT_EQ(none.track.position.x, 7.0f);
}

TEST(SceneAnimate, NodesTakeTheTrackPoseAndPassItToTheirCamera) {
  Scene scene;
  Camera camera;
  auto* animated = new SceneNode;
  animated->flags = NODE_ANIMATED | NODE_CAMERA;
  animated->attachment = &camera;
  animated->track = new AnimationTrack;
  animated->track->keyCount = 2;
  animated->track->keys = new AnimationKey[2]{key(0, {0, 0, 0}), key(1, {0, 8, 0}, {0, 0, 0, 1})};
  auto* still = new SceneNode;  // a track without NODE_ANIMATED is not evaluated
  still->track = new AnimationTrack;
  still->track->keyCount = 1;
  still->track->keys = new AnimationKey[1]{key(0, {9, 9, 9})};
  auto* empty = new SceneNode;  // NODE_ANIMATED with no keys keeps its pose
  empty->flags = NODE_ANIMATED;
  empty->position = {1, 2, 3};
  empty->track = new AnimationTrack;
  scene.nodes = {animated, still, empty};

  scene.animate(0.5f);
  EXPECT_FLOAT_EQ(animated->position.y, 4.0f);
  EXPECT_FLOAT_EQ(camera.position.y, 4.0f);
  EXPECT_EQ(still->position.x, 0.0f);
  EXPECT_EQ(empty->position.x, 1.0f);
  EXPECT_EQ(empty->rotation.w, 1.0f);

  scene.animate(2.0f);
  EXPECT_EQ(camera.position.y, 8.0f);
  scene.nodes.clear();
  delete animated;
  delete still;
  delete empty;
}
