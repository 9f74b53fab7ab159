#include "synth/filter.h"

#include <algorithm>
#include <cmath>

namespace synth {

void Svf::setup(float cutoffHz, float resonance, float sampleRate) {
  const float fc = std::clamp(cutoffHz, 10.0f, 0.45f * sampleRate);
  const float g = std::tan(kPi * fc / sampleRate);
  // Damping k = 1/Q; a floor keeps the filter just short of self-oscillation.
  k_ = 2.0f - 2.0f * std::clamp(resonance, 0.0f, 0.985f);
  a1_ = 1.0f / (1.0f + g * (g + k_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

void Svf::processBlock(float* x, int n, int mode) {
  for (int i = 0; i < n; ++i) x[i] = process(x[i], mode);
  flush();
}

template <int Mode>
void Svf::stereoLoop(float* l, float* r, int n, Svf& other) {
  float a1 = ic1_, a2 = ic2_, b1 = other.ic1_, b2 = other.ic2_;
  for (int i = 0; i < n; ++i) {
    const float l3 = l[i] - a2, r3 = r[i] - b2;
    const float l1 = a1_ * a1 + a2_ * l3, r1 = a1_ * b1 + a2_ * r3;
    const float l2 = a2 + a2_ * a1 + a3_ * l3, r2 = b2 + a2_ * b1 + a3_ * r3;
    a1 = 2.0f * l1 - a1;
    a2 = 2.0f * l2 - a2;
    b1 = 2.0f * r1 - b1;
    b2 = 2.0f * r2 - b2;
    if constexpr (Mode == kLowPass) {
      l[i] = l2;
      r[i] = r2;
    } else if constexpr (Mode == kBandPass) {
      l[i] = l1;
      r[i] = r1;
    } else {
      l[i] = l[i] - k_ * l1 - l2;
      r[i] = r[i] - k_ * r1 - r2;
    }
  }
  ic1_ = flushDenormal(a1);
  ic2_ = flushDenormal(a2);
  other.ic1_ = flushDenormal(b1);
  other.ic2_ = flushDenormal(b2);
}

void Svf::processStereo(float* l, float* r, int n, int mode, Svf& other) {
  if (mode == kLowPass) stereoLoop<kLowPass>(l, r, n, other);
  else if (mode == kBandPass) stereoLoop<kBandPass>(l, r, n, other);
  else stereoLoop<kHighPass>(l, r, n, other);
}

void OnePole::setLowPass(float cutoffHz, float sampleRate) {
  const float fc = std::clamp(cutoffHz, 1.0f, 0.49f * sampleRate);
  b_ = 1.0f - std::exp(-kTwoPi * fc / sampleRate);
}

}  // namespace synth
