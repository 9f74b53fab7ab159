// The noise overlay's tile grid and the transition veil's alpha curve.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/effects_test_support.h"
#include "effects/noise_overlay.h"
#include "effects/random.h"
#include "effects/veil.h"
#include "ui2d/primitive_capture.h"

namespace {

class NoiseOverlayTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEmitter(); }
  PrimitiveCapture capture;
};

TEST_F(NoiseOverlayTest, ThirtyTwoTilesShiftedByTwoRandomDraws) {
  vornSeedRandom(4242);
  ReferenceRand r(4242);
  const float ox = static_cast<float>(r.next() / 32767.0 * 20.0 - 10.0);
  const float oy = static_cast<float>(r.next() / 32767.0 * 20.0 - 10.0);
  const ColorRGBA tint{200, 180, 160, 90};
  drawNoiseOverlay(tint);
  ASSERT_EQ(capture.primitives.size(), 32u);
  int tile = 0;
  for (int x = -128; x < 896; x += 128) {
    for (int y = 0; y < 512; y += 128, ++tile) {
      const CapturedPrimitive& quad = capture.primitives[tile];
      const float left = std::trunc(x + ox), top = std::trunc(y + oy);
      EXPECT_EQ(quad.vertices[0].x, left) << tile;
      EXPECT_EQ(quad.vertices[0].y, top) << tile;
      EXPECT_EQ(quad.vertices[2].x, left + 128) << tile;
      EXPECT_EQ(quad.vertices[2].y, top + 128) << tile;
      EXPECT_EQ(quad.vertices[2].u, 1.0f);
      EXPECT_EQ(quad.vertices[1].diffuse, tint.toD3D());
    }
  }
  // Exactly two values consumed.
  EXPECT_EQ(vornRand(), r.next());
}

TEST_F(NoiseOverlayTest, OffsetsTruncateTowardZero) {
  // 491 / 32767 x 20 - 10 = -9.70, for both offsets.
  vornSeedRandom(ReferenceRand::stateBefore(491));
  ReferenceRand r(ReferenceRand::stateBefore(491));
  r.next();
  const int second = r.next();
  drawNoiseOverlay(ColorRGBA{255, 255, 255, 255});
  ASSERT_EQ(capture.primitives.size(), 32u);
  EXPECT_EQ(capture.primitives[0].vertices[0].x, -128.0f - 9.0f);  // trunc(-137.7)
  EXPECT_EQ(capture.primitives[4].vertices[0].x, 0.0f - 9.0f);     // trunc(-9.7): 9 left, not 10
  const float oy = static_cast<float>(second / 32767.0 * 20.0 - 10.0);
  EXPECT_EQ(capture.primitives[0].vertices[0].y, std::trunc(oy));
}

TEST_F(NoiseOverlayTest, TwoCallsUseDifferentOffsets) {
  vornSeedRandom(1);
  drawNoiseOverlay(ColorRGBA{});
  drawNoiseOverlay(ColorRGBA{});
  ASSERT_EQ(capture.primitives.size(), 64u);
  // Seed 1 gives 41, 18467 then 6334, 26500: offsets -9.97, 1.27, -6.13, 6.17.
  EXPECT_EQ(capture.primitives[4].vertices[0].x, -9.0f);
  EXPECT_EQ(capture.primitives[4].vertices[0].y, 1.0f);
  EXPECT_EQ(capture.primitives[36].vertices[0].x, -6.0f);
  EXPECT_EQ(capture.primitives[36].vertices[0].y, 6.0f);
}

TEST(VeilTest, FadesInOverTheFirstHalfAndOutOverTheSecond) {
  const VeilFrame atStart = veilAt(15450, 19550, 15450);
  EXPECT_EQ(atStart.shape, VeilShape::None);  // the first half needs t > s

  const VeilFrame quarter = veilAt(15450, 19550, 16475);
  EXPECT_EQ(quarter.shape, VeilShape::ScreenRect);
  EXPECT_EQ(quarter.alpha, 15);  // trunc(255 x 0.5^4)

  const VeilFrame middle = veilAt(15450, 19550, 17500);
  EXPECT_EQ(middle.shape, VeilShape::ScreenRect);
  EXPECT_EQ(middle.alpha, 255);

  const VeilFrame after = veilAt(15450, 19550, 17501);
  EXPECT_EQ(after.shape, VeilShape::TexturedRect);
  EXPECT_EQ(after.alpha, 254);

  const VeilFrame threeQuarters = veilAt(15450, 19550, 18525);
  EXPECT_EQ(threeQuarters.shape, VeilShape::TexturedRect);
  EXPECT_EQ(threeQuarters.alpha, 15);

  const VeilFrame atEnd = veilAt(15450, 19550, 19550);
  EXPECT_EQ(atEnd.shape, VeilShape::TexturedRect);
  EXPECT_EQ(atEnd.alpha, 0);
  EXPECT_EQ(veilAt(15450, 19550, 19551).shape, VeilShape::None);
  EXPECT_EQ(veilAt(15450, 19550, 15000).shape, VeilShape::None);
}

TEST(VeilTest, TheShowOpensOnBlack) {
  const VeilFrame zero = veilAt(-2050, 2050, 0);
  EXPECT_EQ(zero.shape, VeilShape::ScreenRect);
  EXPECT_EQ(zero.alpha, 255);
  EXPECT_EQ(veilAt(-2050, 2050, 1025).alpha, 15);
}

TEST(VeilTest, SymmetricAboutTheMiddle) {
  for (int d = 1; d < 2050; d += 7) {
    const int before = veilAt(57950, 62050, 60000 - d).alpha;
    const int after = veilAt(57950, 62050, 60000 + d).alpha;
    ASSERT_EQ(before, after) << d;
    const double x = (2050.0 - d) / 2050.0;
    ASSERT_EQ(before, static_cast<int>(255.0 * x * x * x * x)) << d;
  }
}

TEST(VeilTest, AnEmptyWindowDrawsNothing) {
  EXPECT_EQ(veilAt(1000, 1000, 1000).shape, VeilShape::None);
  EXPECT_EQ(veilAt(1000, 999, 1000).shape, VeilShape::None);
}

}  // namespace
