#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "synth/effects.h"
#include "synth/envelope.h"
#include "synth/filter.h"

using namespace synth;

namespace {

constexpr float kFs = 44100.0f;

// Samples until the envelope leaves the given stage.
int samplesInStage(Adsr& env, Adsr::Stage stage, int limit = 1000000) {
  int n = 0;
  while (env.stage() == stage && n < limit) {
    env.next();
    ++n;
  }
  return n;
}

// Steady-state gain of the filter for a sine at hz.
double sineGain(float cutoff, float res, int mode, float hz) {
  Svf f;
  f.setup(cutoff, res, kFs);
  double inPow = 0.0, outPow = 0.0;
  for (int i = 0; i < 44100; ++i) {
    const float x = std::sin(kTwoPi * hz * i / kFs);
    const float y = f.process(x, mode);
    if (i > 22050) {
      inPow += x * x;
      outPow += y * y;
    }
  }
  return std::sqrt(outPow / inPow);
}

bool isSubnormal(float x) { return std::fpclassify(x) == FP_SUBNORMAL; }

}  // namespace

TEST(Envelope, StagesReachTheirTargetsOnTime) {
  Adsr env;
  env.setup(0.010f, 0.100f, 0.5f, 0.200f, kFs);
  env.gateOn();
  const int attack = samplesInStage(env, Adsr::kAttack);
  EXPECT_NEAR(attack, 441, 2);
  EXPECT_FLOAT_EQ(env.level(), 1.0f);
  const int decay = samplesInStage(env, Adsr::kDecay);
  EXPECT_NEAR(decay, 4410, 22);  // within 0.5%: float rounding of a long exponential
  EXPECT_FLOAT_EQ(env.level(), 0.5f);
  // Sustain holds while the gate is on.
  for (int i = 0; i < 1000; ++i) EXPECT_FLOAT_EQ(env.next(), 0.5f);
  env.gateOff();
  const int release = samplesInStage(env, Adsr::kRelease);
  // From half level the release takes less than its full-scale time, but not instantly.
  EXPECT_GT(release, 441);
  EXPECT_LE(release, 8822);
  EXPECT_EQ(env.stage(), Adsr::kIdle);
  EXPECT_FLOAT_EQ(env.level(), 0.0f);
  EXPECT_FALSE(env.active());
}

TEST(Envelope, FullScaleReleaseTakesTheReleaseTime) {
  Adsr env;
  env.setup(0.001f, 0.001f, 1.0f, 0.050f, kFs);
  env.gateOn();
  for (int i = 0; i < 200; ++i) env.next();
  ASSERT_EQ(env.stage(), Adsr::kSustain);
  env.gateOff();
  EXPECT_NEAR(samplesInStage(env, Adsr::kRelease), 2205, 3);
}

TEST(Envelope, LevelNeverLeavesTheUnitRangeAndRetriggerDoesNotJump) {
  Adsr env;
  env.setup(0.005f, 0.050f, 0.3f, 0.080f, kFs);
  env.gateOn();
  float prev = 0.0f, worstStep = 0.0f;
  for (int i = 0; i < 20000; ++i) {
    if (i == 3000) env.gateOff();
    if (i == 3600) env.gateOn();  // retrigger in the middle of the release
    const float v = env.next();
    ASSERT_GE(v, 0.0f);
    ASSERT_LE(v, 1.0f);
    if (i == 3600) {
      EXPECT_GE(v, prev);  // the attack continues from where the release was
    }
    worstStep = std::max(worstStep, std::fabs(v - prev));
    prev = v;
  }
  // The steepest segment is the 5 ms attack: about 1/220 per sample, never a jump.
  EXPECT_LT(worstStep, 0.01f);
}

TEST(Filter, LowPassPassesLowAndCutsHigh) {
  EXPECT_NEAR(sineGain(1000.0f, 0.0f, kLowPass, 100.0f), 1.0, 0.03);
  EXPECT_LT(sineGain(1000.0f, 0.0f, kLowPass, 10000.0f), 0.02);  // ~40 dB at 3.3 octaves
  EXPECT_LT(sineGain(1000.0f, 0.0f, kHighPass, 100.0f), 0.02);
  EXPECT_NEAR(sineGain(1000.0f, 0.0f, kHighPass, 10000.0f), 1.0, 0.03);
  // Band-pass peaks at its centre.
  const double centre = sineGain(1000.0f, 0.5f, kBandPass, 1000.0f);
  EXPECT_GT(centre, 3.0 * sineGain(1000.0f, 0.5f, kBandPass, 250.0f));
  EXPECT_GT(centre, 3.0 * sineGain(1000.0f, 0.5f, kBandPass, 4000.0f));
}

TEST(Filter, ResonanceRaisesThePeakButStaysFinite) {
  const double flat = sineGain(2000.0f, 0.0f, kLowPass, 2000.0f);
  const double ringing = sineGain(2000.0f, 0.95f, kLowPass, 2000.0f);
  EXPECT_GT(ringing, 5.0 * flat);
  EXPECT_TRUE(std::isfinite(ringing));
}

TEST(Filter, StableAtMaximumResonanceUnderFastModulation) {
  Svf f;
  Rng rng(7);
  float peak = 0.0f;
  for (int block = 0; block < 44100 * 10 / 16; ++block) {
    // Cutoff jumps around the whole range every 16 samples, resonance beyond the limit.
    const float cutoff = 20.0f * std::pow(1000.0f, rng.unipolar());
    f.setup(cutoff, 1.5f, kFs);
    for (int i = 0; i < 16; ++i) {
      const float y = f.process(rng.bipolar(), block % 3);
      ASSERT_TRUE(std::isfinite(y));
      peak = std::max(peak, std::fabs(y));
    }
  }
  EXPECT_LT(peak, 200.0f);
}

TEST(Filter, CutoffBeyondNyquistIsClampedNotUnstable) {
  Svf f;
  f.setup(1e6f, 0.9f, kFs);
  float y = 0.0f;
  for (int i = 0; i < 10000; ++i) y = f.process(i % 2 ? 1.0f : -1.0f, kLowPass);
  EXPECT_TRUE(std::isfinite(y));
  EXPECT_LT(std::fabs(y), 100.0f);
}

// After an impulse, feedback paths decay; without flushing they would sit in subnormal floats
// for a long time. They must reach exact zero and never produce subnormals.
TEST(Denormals, FeedbackPathsDecayToExactZero) {
  Reverb reverb(ReverbSettings{}, kFs);
  DelaySettings ds;
  ds.feedback = 0.9f;
  StereoDelay delay(ds, 5512.5f, kFs);
  Svf svf;
  svf.setup(500.0f, 0.9f, kFs);
  OnePole pole;
  pole.setLowPass(10.0f, kFs);

  std::vector<float> l(256), r(256), dl(256), dr(256);
  int subnormals = 0;
  float lastRev = 1.0f, lastDelay = 1.0f, lastSvf = 1.0f, lastPole = 1.0f;
  const int blocks = 44100 * 120 / 256;  // two minutes of silence after the impulse
  for (int b = 0; b < blocks; ++b) {
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    if (b == 0) l[0] = r[0] = 1.0f;
    dl = l;
    dr = r;
    reverb.process(l.data(), r.data(), 256);
    delay.process(dl.data(), dr.data(), 256);
    for (int i = 0; i < 256; ++i) {
      const float s = svf.process(b == 0 && i == 0 ? 1.0f : 0.0f, kLowPass);
      const float p = pole.lowPass(b == 0 && i == 0 ? 1.0f : 0.0f);
      subnormals += isSubnormal(l[i]) + isSubnormal(r[i]) + isSubnormal(dl[i]) + isSubnormal(dr[i]) +
                    isSubnormal(s) + isSubnormal(p);
      ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(dl[i]) && std::isfinite(s));
      lastRev = std::max(std::fabs(l[i]), std::fabs(r[i]));
      lastDelay = std::max(std::fabs(dl[i]), std::fabs(dr[i]));
      lastSvf = std::fabs(s);
      lastPole = std::fabs(p);
    }
    svf.flush();
  }
  EXPECT_EQ(subnormals, 0);
  EXPECT_EQ(lastRev, 0.0f);
  EXPECT_EQ(lastDelay, 0.0f);
  EXPECT_EQ(lastSvf, 0.0f);
  EXPECT_EQ(lastPole, 0.0f);
}

TEST(Denormals, FlushKeepsAudibleValues) {
  EXPECT_EQ(flushDenormal(1e-30f), 0.0f);
  EXPECT_EQ(flushDenormal(-1e-25f), 0.0f);
  EXPECT_EQ(flushDenormal(1e-6f), 1e-6f);
  EXPECT_EQ(flushDenormal(-0.5f), -0.5f);
}
