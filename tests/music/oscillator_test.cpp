#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "music_test_util.h"
#include "synth/dsp.h"
#include "synth/oscillator.h"

using namespace synth;

namespace {

constexpr float kFs = 44100.0f;

// Share of the spectrum's power that lies away from the harmonics of f0 (aliases), in dB.
double aliasShareDb(const std::vector<float>& x, double f0) {
  const std::vector<double> p = music_test::powerSpectrum(x);
  const double binHz = kFs / static_cast<double>(x.size());
  double total = 0.0, alias = 0.0;
  for (size_t k = 4; k < p.size(); ++k) {
    const double f = k * binHz;
    const double h = std::round(f / f0);
    const bool harmonic = h >= 1.0 && std::fabs(f - h * f0) <= 4.0 * binHz;
    total += p[k];
    if (!harmonic) alias += p[k];
  }
  return music_test::toDb(alias / total);
}

template <typename Step>
std::vector<float> run(Step step, size_t n) {
  std::vector<float> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = step();
  return out;
}

}  // namespace

TEST(Oscillator, BandLimitedSawHasFarLessAliasingThanNaiveSaw) {
  const double f0 = 3101.0;  // high enough that a naive saw folds many harmonics back
  const float dt = static_cast<float>(f0 / kFs);
  float pb = 0.0f, pn = 0.0f;
  const auto blep = run([&] { return sawStep(pb, dt); }, 4096);
  const auto naive = run([&] { return naiveSawStep(pn, dt); }, 4096);
  const double blepAlias = aliasShareDb(blep, f0);
  const double naiveAlias = aliasShareDb(naive, f0);
  EXPECT_LT(blepAlias, naiveAlias - 10.0) << "blep " << blepAlias << " dB, naive " << naiveAlias << " dB";
  EXPECT_LT(blepAlias, -25.0);
}

TEST(Oscillator, SawAndPulseStayBoundedAndFreeOfDc) {
  for (float hz : {55.0f, 440.0f, 5000.0f, 15000.0f}) {
    const float dt = hz / kFs;
    float ps = 0.0f, pp = 0.0f;
    double sumSaw = 0.0, sumPulse = 0.0;
    float peak = 0.0f;
    const int n = 44100;
    for (int i = 0; i < n; ++i) {
      const float s = sawStep(ps, dt);
      const float p = pulseStep(pp, dt, 0.3f);
      ASSERT_TRUE(std::isfinite(s) && std::isfinite(p));
      sumSaw += s;
      sumPulse += p;
      peak = std::max({peak, std::fabs(s), std::fabs(p)});
    }
    EXPECT_LT(std::fabs(sumSaw / n), 0.01) << hz << " Hz saw";
    EXPECT_LT(std::fabs(sumPulse / n), 0.02) << hz << " Hz pulse";
    EXPECT_LT(peak, 1.8f) << hz << " Hz";  // the asymmetric pulse sits off-centre by design
    EXPECT_GE(ps, 0.0f);
    EXPECT_LT(ps, 1.0f);
  }
}

TEST(Oscillator, FastSineMatchesTheLibrarySine) {
  float worst = 0.0f;
  for (int i = 0; i < 1000; ++i) {
    const float phase = i / 1000.0f;
    worst = std::max(worst, std::fabs(sinTurn(phase) - std::sin(kTwoPi * phase)));
  }
  EXPECT_LT(worst, 2e-3f);
}

TEST(Oscillator, AddWaveMixesIntoBothChannelsWithTheirGains) {
  std::vector<float> l(64, 0.0f), r(64, 0.0f);
  Rng rng(1);
  float phase = 0.25f;
  addWave(kWaveSine, l.data(), r.data(), 64, phase, 0.01f, 0.5f, 1.0f, 0.5f, rng);
  for (int i = 0; i < 64; ++i) EXPECT_FLOAT_EQ(r[i], 0.5f * l[i]);
  EXPECT_NEAR(phase, 0.25f + 0.64f, 1e-5f);
  EXPECT_NEAR(l[0], 1.0f, 2e-3f);  // sin at a quarter turn
}

TEST(Oscillator, NoiseIsDeterministicUniformAndCentred) {
  Rng a(42), b(42), c(43);
  double sum = 0.0;
  float lo = 1.0f, hi = -1.0f;
  bool differs = false;
  for (int i = 0; i < 100000; ++i) {
    const float x = a.bipolar();
    ASSERT_EQ(x, b.bipolar());
    differs |= x != c.bipolar();
    sum += x;
    lo = std::min(lo, x);
    hi = std::max(hi, x);
  }
  EXPECT_TRUE(differs);
  EXPECT_LT(std::fabs(sum / 100000), 0.01);
  EXPECT_GE(lo, -1.0f);
  EXPECT_LT(hi, 1.0f);
  EXPECT_LT(lo, -0.99f);
  EXPECT_GT(hi, 0.99f);
}
