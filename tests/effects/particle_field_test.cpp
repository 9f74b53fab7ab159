// Particle fields: the grid layout drawn from the shared generator, the two
// update rules, and the points handed to the emitter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/effects_test_support.h"
#include "effects/particle_field.h"
#include "effects/random.h"
#include "ui2d/primitive_capture.h"

namespace {

struct Expected {
  Vec3 position, velocity;
};

// Replays creation with the reference generator up to particle `target`.
Expected predict(int target, bool scaled, float size, std::uint32_t seed) {
  ReferenceRand r(seed);
  Expected e;
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j)
      for (int k = 0; k < 10; ++k) {
        Expected p;
        p.velocity.z = r.unit();
        p.velocity.y = r.unit();
        p.velocity.x = r.unit();
        const float rz = r.unit(), ry = r.unit(), rx = r.unit();
        if (scaled) {
          p.position = Vec3{static_cast<float>(i) - size / 2 + size * rx, static_cast<float>(j) - size / 2 + size * ry,
                            static_cast<float>(k) - size / 2 + size * rz};
        } else {
          p.position = Vec3{static_cast<float>(i - 5) + rx, static_cast<float>(j - 5) + ry,
                            static_cast<float>(k - 5) + rz};
        }
        if (i * 100 + j * 10 + k == target) e = p;
      }
  return e;
}

void expectVec(const Vec3& actual, const Vec3& expected) {
  EXPECT_FLOAT_EQ(actual.x, expected.x);
  EXPECT_FLOAT_EQ(actual.y, expected.y);
  EXPECT_FLOAT_EQ(actual.z, expected.z);
}

class ParticleFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vornSeedRandom(1);
    ResetEmitter();
  }
  void TearDown() override { field.freeParticles(); }
  ParticleField field;
};

TEST_F(ParticleFieldTest, UnitGridTakesItsValuesInCreationOrder) {
  field.createUnitGrid();
  EXPECT_EQ(field.gridSide, 10.0f);
  EXPECT_EQ(field.particleCount, 1000);
  EXPECT_EQ(field.wrapLimit, 0.0f);
  for (int index : {0, 1, 10, 100, 537, 999}) {
    const Expected e = predict(index, false, 0.0f, 1);
    SCOPED_TRACE(index);
    expectVec(field.particles[index].position, e.position);
    expectVec(field.particles[index].velocity, e.velocity);
  }
  // The very first draw (41 / 32767) is particle 0's velocity.z.
  EXPECT_FLOAT_EQ(field.particles[0].velocity.z, 41.0f / 32767.0f);
  // Six draws per particle: the next value follows the 6000th.
  ReferenceRand r(1);
  for (int i = 0; i < 6000; ++i) r.next();
  EXPECT_EQ(vornRand(), r.next());
}

TEST_F(ParticleFieldTest, UnitGridFillsItsCells) {
  field.createUnitGrid();
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j)
      for (int k = 0; k < 10; ++k) {
        const Particle& p = field.particles[i * 100 + j * 10 + k];
        ASSERT_GE(p.position.x, i - 5.0f);
        ASSERT_LE(p.position.x, i - 4.0f);
        ASSERT_GE(p.position.z, k - 5.0f);
        ASSERT_LE(p.position.z, k - 4.0f);
        ASSERT_GE(p.velocity.y, 0.0f);
        ASSERT_LE(p.velocity.y, 1.0f);
      }
}

TEST_F(ParticleFieldTest, ScaledGridFollowsTheSharedSequence) {
  vornSeedRandom(777);
  field.createScaledGrid(40.0f);
  for (int index : {0, 455, 999}) {
    const Expected e = predict(index, true, 40.0f, 777);
    SCOPED_TRACE(index);
    expectVec(field.particles[index].position, e.position);
    expectVec(field.particles[index].velocity, e.velocity);
  }
  const Particle& last = field.particles[999];
  EXPECT_GE(last.position.x, 9.0f - 20.0f);
  EXPECT_LE(last.position.x, 9.0f + 20.0f);
}

TEST_F(ParticleFieldTest, DrawingWithoutUpdateLeavesPositionsAlone) {
  field.createUnitGrid();
  field.drift = Vec3{1, 2, 3};
  const Vec3 before = field.particles[321].position;
  field.drawTimed(false, 1.0f);
  field.drawFixed(false);
  expectVec(field.particles[321].position, before);
}

TEST_F(ParticleFieldTest, DrawEmitsOnePointPerParticleBeforeMovingIt) {
  field.createUnitGrid();
  field.drift = Vec3{0.001f, 0.002f, 0.005f};
  std::vector<Vec3> before(1000);
  for (int i = 0; i < 1000; ++i) before[i] = field.particles[i].position;
  PrimitiveCapture capture;
  field.drawTimed(true, 2.0f);
  ASSERT_EQ(capture.primitives.size(), 1000u);
  for (int index : {0, 42, 999}) {
    const CapturedPrimitive& point = capture.primitives[index];
    EXPECT_EQ(point.type, D3DPT_POINTLIST);
    ASSERT_EQ(point.vertices.size(), 1u);
    EXPECT_EQ(point.vertices[0].x, before[index].x);
    EXPECT_EQ(point.vertices[0].y, before[index].y);
    EXPECT_EQ(point.vertices[0].z, before[index].z);
  }
  // Every unit-grid coordinate is within the bound 10: no mirroring.
  const Particle& p = field.particles[42];
  EXPECT_FLOAT_EQ(p.position.x, before[42].x + 0.001f + 0.05f * 2.0f * p.velocity.x);
  EXPECT_FLOAT_EQ(p.position.z, before[42].z + 0.005f + 0.05f * 2.0f * p.velocity.z);
  // The batch is left zeroed.
  EXPECT_EQ(immediateEmitter().batch[0].x, 0.0f);
}

TEST_F(ParticleFieldTest, TimedUpdateMirrorsStrictlyBeyondTheGridSide) {
  field.createUnitGrid();
  field.drift = Vec3{0.5f, 0.0f, 0.0f};
  Particle& p = field.particles[0];
  p.position = Vec3{10.0f, -10.5f, 3.0f};
  p.velocity = Vec3{1.0f, 1.0f, 0.0f};
  field.drawTimed(true, 0.0f);  // dt 0 still adds the drift
  EXPECT_FLOAT_EQ(p.position.x, 10.5f);  // exactly 10 is not mirrored
  EXPECT_FLOAT_EQ(p.position.y, 10.5f);  // mirrored, no drift on y
  EXPECT_FLOAT_EQ(p.position.z, 3.0f);
  field.drawTimed(true, 0.0f);
  EXPECT_FLOAT_EQ(p.position.x, -10.0f);  // now beyond: -10.5 + 0.5
}

TEST_F(ParticleFieldTest, FixedUpdateAlternatesBetweenTwoPlaces) {
  field.createScaledGrid(40.0f);
  field.drift = Vec3{0.5f, 0.5f, -1.35f};
  Particle& p = field.particles[700];
  const Vec3 start = p.position;
  const Vec3 v = p.velocity;
  field.drawFixed(true);
  EXPECT_FLOAT_EQ(p.position.x, -start.x + 0.5f + 0.05f * v.x);
  EXPECT_FLOAT_EQ(p.position.z, -start.z - 1.35f + 0.05f * v.z);
  field.drawFixed(true);
  EXPECT_NEAR(p.position.x, start.x, 1e-4f);
  EXPECT_NEAR(p.position.y, start.y, 1e-4f);
  EXPECT_NEAR(p.position.z, start.z, 1e-4f);
}

TEST_F(ParticleFieldTest, TheGridSideBoundsTheDrawingLoops) {
  field.createUnitGrid();
  PrimitiveCapture capture;
  field.gridSide = 0.0f;
  field.drawFixed(false);
  EXPECT_TRUE(capture.primitives.empty());
  field.gridSide = 0.5f;  // the counter 0 is below it: one point
  field.drawFixed(false);
  EXPECT_EQ(capture.primitives.size(), 1u);
  capture.primitives.clear();
  field.gridSide = 2.0f;  // i, j, k in 0..1
  field.drawFixed(false);
  EXPECT_EQ(capture.primitives.size(), 8u);
  capture.primitives.clear();
  field.gridSide = 12.0f;  // never past the 1000 particles
  field.drawTimed(true, 1.0f);
  EXPECT_EQ(capture.primitives.size(), 1000u);
}

TEST_F(ParticleFieldTest, AnEmptyFieldDrawsNothing) {
  PrimitiveCapture capture;
  field.gridSide = 10.0f;
  field.drawTimed(true, 1.0f);
  EXPECT_TRUE(capture.primitives.empty());
}

}  // namespace
