// The values each block derives from the music time, at the edges of their
// windows and at the moments the show's choreography depends on.
#include <gtest/gtest.h>

#include <cmath>

#include "blocks/block_values.h"

namespace {

void expectColor(ColorRGBA actual, int r, int g, int b, int a) {
  EXPECT_EQ(actual.r, r);
  EXPECT_EQ(actual.g, g);
  EXPECT_EQ(actual.b, b);
  EXPECT_EQ(actual.a, a);
}

TEST(Block1Values, StartOfWindowShowsOpaqueTrainAndDimGlow) {
  Block1Values v = block1Values(17500, 17500, 52500);
  EXPECT_EQ(v.f, 0.0f);
  EXPECT_EQ(v.g, 0.0);
  EXPECT_EQ(v.trainAlpha, 255);
  expectColor(v.glow, 155, 100, 0, 255);
  EXPECT_EQ(v.animationTime, 0.0f);
}

TEST(Block1Values, TrainFadesOverTheLastThird) {
  // f = 0.9: alpha = trunc(255 * (3 - 2.7)^4) = trunc(2.06) = 2.
  Block1Values late = block1Values(17500 + 31500, 17500, 52500);
  EXPECT_NEAR(late.f, 0.9f, 1e-6);
  EXPECT_EQ(late.trainAlpha, 2);
  // Just before two thirds the picture is still opaque; just after it fades.
  EXPECT_EQ(block1Values(17500 + 23333, 17500, 52500).trainAlpha, 255);
  Block1Values after = block1Values(17500 + 24000, 17500, 52500);
  EXPECT_LT(after.trainAlpha, 255);
  EXPECT_GT(after.trainAlpha, 150);
  EXPECT_NEAR(block1Values(52499, 17500, 52500).animationTime, 191.0f, 0.01f);
}

TEST(Block1Values, GlowPeaksAtOddMultiplesOfHalfPi) {
  // |sin(10 f)| = 1 at f = pi / 20: red 255, green 200.
  std::int32_t peak = 17500 + static_cast<std::int32_t>(std::lround(M_PI / 20.0 * 35000.0));
  Block1Values v = block1Values(peak, 17500, 52500);
  EXPECT_GE(v.glow.r, 254);
  EXPECT_GE(v.glow.g, 199);
  EXPECT_EQ(v.glow.b, 0);
}

TEST(Block4Values, EdgesOfTheBridgeWindow) {
  Block4Values first = block4Values(60000, 60000, 78000);
  EXPECT_FLOAT_EQ(first.auxiliar, 0.1f);
  expectColor(first.glow, 155, 100, 0, 255);
  EXPECT_EQ(first.animationTime, 0.0f);
  Block4Values last = block4Values(77999, 60000, 78000);
  EXPECT_NEAR(last.p, 0.99994f, 1e-5);
  EXPECT_NEAR(last.animationTime, 584.97f, 0.01f);
  // Back to the dim colour at p = pi / 10 (about 65655 ms).
  Block4Values trough = block4Values(65655, 60000, 78000);
  EXPECT_LE(trough.glow.r, 156);
}

TEST(Block3Values, TunnelRunsItsTracksFromZeroTo1115) {
  Block3Values first = block3Values(78000, 78000, 113500);
  expectColor(first.glow, 155, 100, 0, 255);
  EXPECT_EQ(first.animationTime, 0.0f);
  Block3Values last = block3Values(113499, 78000, 113500);
  EXPECT_LT(last.p, 1.0f);
  EXPECT_NEAR(last.animationTime, 1115.0f, 0.05f);
}

TEST(FinalValues, FramesCrossFadeOverTheWindow) {
  FinalValues first = finalValues(113500, 113500, 148500);
  EXPECT_EQ(first.sv, 0.0f);
  EXPECT_EQ(first.cv, 1.0f);
  EXPECT_FLOAT_EQ(first.auxiliar, 0.1f);
  EXPECT_EQ(first.frameAlpha, 255);
  EXPECT_EQ(first.frame2Alpha, 0);
  expectColor(first.glow, 155, 100, 0, 255);
  FinalValues last = finalValues(148499, 113500, 148500);
  EXPECT_EQ(last.frameAlpha, 0);
  EXPECT_EQ(last.frame2Alpha, 255);  // k is vanishingly small: 1 - k rounds to 1
  EXPECT_NEAR(last.auxiliar, 1.1f, 1e-4);
  EXPECT_NEAR(last.guiTime, 500.0f, 0.05f);
  EXPECT_NEAR(last.sceneTime, 646.0f, 0.05f);
  // The two frames always add up to about one opaque frame.
  for (std::int32_t t = 113500; t < 148500; t += 1750) {
    FinalValues v = finalValues(t, 113500, 148500);
    EXPECT_NEAR(v.frameAlpha + v.frame2Alpha, 255, 1) << t;
  }
}

TEST(CreditsValues, VeilFadesAsTheEighthPower) {
  CreditsValues first = creditsValues(148500, 148500, 174500);
  EXPECT_EQ(first.auxiliar, 1.0f);
  EXPECT_EQ(first.fadeAlpha, 255);
  EXPECT_EQ(first.animationTime, 0.0f);
  // p = 0.25: 0.75^8 x 255 = 25.5, truncated.
  CreditsValues quarter = creditsValues(155000, 148500, 174500);
  EXPECT_EQ(quarter.fadeAlpha, 25);
  EXPECT_FLOAT_EQ(quarter.auxiliar, 0.0f);
  CreditsValues half = creditsValues(161500, 148500, 174500);
  EXPECT_EQ(half.fadeAlpha, 0);
  EXPECT_FLOAT_EQ(half.auxiliar, -1.0f);
  EXPECT_FLOAT_EQ(half.animationTime, 175.0f);
  // The wipe parameter keeps falling towards -3, unclamped.
  EXPECT_LT(creditsValues(174499, 148500, 174500).auxiliar, -2.99f);
}

TEST(FitaValues, StripRunsFromZeroToJustUnder130) {
  FitaValues first = fitaValues(52500, 52500, 60000);
  EXPECT_EQ(first.animationTime, 0.0f);
  expectColor(first.glow, 155, 100, 0, 255);
  FitaValues last = fitaValues(59999, 52500, 60000);
  EXPECT_LT(last.animationTime, 130.0f);
  EXPECT_GT(last.animationTime, 129.9f);
}

}  // namespace
