#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "synth/dsp.h"
#include "synth/effects.h"
#include "synth/master.h"

using namespace synth;

namespace {

constexpr float kFs = 44100.0f;

std::vector<float> stereoSine(float hz, float amplitude, float seconds) {
  const size_t n = static_cast<size_t>(seconds * kFs);
  std::vector<float> out(2 * n);
  for (size_t i = 0; i < n; ++i) out[2 * i] = out[2 * i + 1] = amplitude * std::sin(kTwoPi * hz * i / kFs);
  return out;
}

}  // namespace

TEST(Loudness, SineReferenceLevels) {
  // A 1 kHz sine at -23 dBFS in both channels reads -23 LUFS; the level follows the gain.
  EXPECT_NEAR(integratedLoudness(stereoSine(1000.0f, dbToGain(-23.0f), 10.0f), kFs), -23.0, 0.1);
  EXPECT_NEAR(integratedLoudness(stereoSine(1000.0f, dbToGain(-13.0f), 10.0f), kFs), -13.0, 0.1);
  // K-weighting: low bass counts less than the same level at 1 kHz, 3 kHz a little more.
  EXPECT_LT(integratedLoudness(stereoSine(40.0f, dbToGain(-23.0f), 10.0f), kFs), -24.0);
  EXPECT_GT(integratedLoudness(stereoSine(3000.0f, dbToGain(-23.0f), 10.0f), kFs), -22.5);
}

TEST(Loudness, GatingIgnoresSilenceAndSilenceReadsAsFloor) {
  std::vector<float> tone = stereoSine(1000.0f, dbToGain(-20.0f), 10.0f);
  std::vector<float> padded(tone.size() * 3, 0.0f);
  std::copy(tone.begin(), tone.end(), padded.begin() + tone.size());
  // Without gating the silence would lower the reading by 4.8 dB; only the few blocks that
  // straddle the edges still count.
  EXPECT_NEAR(integratedLoudness(padded, kFs), integratedLoudness(tone, kFs), 0.25);
  EXPECT_LE(integratedLoudness(std::vector<float>(2 * 44100 * 5, 0.0f), kFs), -70.0);
  EXPECT_LE(integratedLoudness(std::vector<float>(8, 0.5f), kFs), -70.0);  // too short to measure
}

TEST(TruePeak, FindsPeaksBetweenSamples) {
  // A sine at a quarter of the sample rate sampled 45 degrees off its crests: every sample is
  // at 0.707 of the true amplitude.
  std::vector<float> x(2 * 4096);
  for (size_t i = 0; i < 4096; ++i) x[2 * i] = x[2 * i + 1] = std::sin(kPi * 0.5f * i + kPi * 0.25f);
  EXPECT_NEAR(samplePeak(x), 0.7071f, 1e-3f);
  EXPECT_NEAR(truePeak(x), 1.0f, 0.03f);
}

TEST(Limiter, NothingPassesTheCeiling) {
  Rng rng(3);
  std::vector<float> x(2 * 44100 * 3);
  for (size_t i = 0; i < x.size() / 2; ++i) {
    // Loud noise with bursts far over full scale.
    const float burst = (i / 5000) % 3 == 0 ? 4.0f : 0.8f;
    x[2 * i] = burst * rng.bipolar();
    x[2 * i + 1] = burst * rng.bipolar();
  }
  LimiterSettings s;
  s.ceiling = dbToGain(-1.0f);
  limit(x, s, kFs);
  EXPECT_LE(samplePeak(x), s.ceiling * 1.0001f);
  for (float v : x) ASSERT_TRUE(std::isfinite(v));
}

TEST(Limiter, LeavesQuietSignalsAlone) {
  std::vector<float> x = stereoSine(440.0f, 0.5f, 2.0f);
  const std::vector<float> before = x;
  limit(x, LimiterSettings{}, kFs);
  EXPECT_EQ(x, before);
}

TEST(Limiter, MasteringHitsTheLoudnessTargetUnderTheCeiling) {
  // A kick-like signal: loud short bursts over a quieter bed, hard to make loud.
  std::vector<float> x(2 * 44100 * 8);
  Rng rng(5);
  for (size_t i = 0; i < x.size() / 2; ++i) {
    const float t = static_cast<float>(i % 22050) / kFs;
    const float v = std::exp(-t * 12.0f) * std::sin(kTwoPi * 60.0f * t) + 0.05f * rng.bipolar();
    x[2 * i] = x[2 * i + 1] = 0.2f * v;
  }
  LimiterSettings s;
  s.ceiling = dbToGain(-1.0f);
  const MasterResult r = masterToLoudness(x, -12.0, s, kFs);
  EXPECT_NEAR(r.loudness, -12.0, 0.3);
  EXPECT_NEAR(integratedLoudness(x, kFs), r.loudness, 1e-6);
  EXPECT_LE(samplePeak(x), s.ceiling * 1.0001f);
  EXPECT_LE(r.truePeak, s.ceiling * 1.05f);
}

TEST(Sidechain, KeyDucksAndReleaseRecovers) {
  DuckSettings d;
  d.threshold = -20.0f;
  d.ratio = 4.0f;
  d.attack = 1.0f;
  d.release = 100.0f;
  SidechainCompressor comp(d, kFs);
  std::vector<float> key(44100, 0.0f), gain(44100);
  for (int i = 0; i < 2205; ++i) key[i] = (i % 2 ? 1.0f : -1.0f);  // 50 ms at full scale
  comp.computeGain(key.data(), key.data(), gain.data(), 44100);
  // Full-scale key is 20 dB over; at 4:1 the gain falls by 15 dB.
  EXPECT_NEAR(20.0f * std::log10(gain[2000]), -15.0f, 0.5f);
  for (float g : gain) {
    ASSERT_LE(g, 1.0f);
    ASSERT_GT(g, 0.0f);
  }
  EXPECT_GT(gain[2205 + 4410], gain[2300]);  // recovering
  EXPECT_FLOAT_EQ(gain[44099], 1.0f);         // back to unity long after the key stopped
  // A key under the threshold leaves the gain at unity.
  SidechainCompressor quiet(d, kFs);
  std::vector<float> soft(4410, 0.05f), g2(4410);
  quiet.computeGain(soft.data(), soft.data(), g2.data(), 4410);
  for (float g : g2) ASSERT_FLOAT_EQ(g, 1.0f);
}

TEST(Delay, EchoesArriveOnTheBeatGridAndAlternateSides) {
  DelaySettings s;
  s.rowsLeft = s.rowsRight = 3.0f;  // a dotted eighth
  s.feedback = 0.5f;
  s.lowCut = 1.0f;
  s.highCut = 20000.0f;
  const float row = 5512.5f;
  StereoDelay delay(s, row, kFs);
  const int n = 44100;
  std::vector<float> l(n, 0.0f), r(n, 0.0f);
  l[0] = r[0] = 1.0f;
  delay.process(l.data(), r.data(), n);
  const int echo = static_cast<int>(std::lround(3 * row));
  auto argmaxAbs = [](const std::vector<float>& v, int from, int to) {
    int best = from;
    for (int i = from; i < to; ++i)
      if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
    return best;
  };
  EXPECT_EQ(argmaxAbs(l, 0, echo + 100), echo);        // first echo on the left
  EXPECT_LT(std::fabs(r[echo]), 1e-6f);
  EXPECT_NEAR(argmaxAbs(r, echo + 100, 2 * echo + 100), 2 * echo, 3);  // then on the right
  EXPECT_LT(std::fabs(r[2 * echo]), std::fabs(l[echo]));                // and quieter
}

TEST(Reverb, TailIsWideAndDecays) {
  Reverb rev(ReverbSettings{}, kFs);
  const int n = 44100 * 4;
  std::vector<float> l(n, 0.0f), r(n, 0.0f);
  for (int i = 0; i < 100; ++i) l[i] = r[i] = (i % 2 ? 0.5f : -0.5f) + 0.3f;
  rev.process(l.data(), r.data(), n);
  double early = 0.0, late = 0.0, diff = 0.0, sum = 0.0;
  for (int i = 0; i < n; ++i) {
    if (i < 44100) early += l[i] * l[i];
    if (i > 3 * 44100) late += l[i] * l[i];
    diff += (l[i] - r[i]) * (l[i] - r[i]);
    sum += (l[i] + r[i]) * (l[i] + r[i]);
  }
  EXPECT_GT(early, 0.0);
  EXPECT_LT(late, early * 0.05);
  EXPECT_GT(diff, 0.1 * sum);  // decorrelated channels
}
