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

void OnePole::setLowPass(float cutoffHz, float sampleRate) {
  const float fc = std::clamp(cutoffHz, 1.0f, 0.49f * sampleRate);
  b_ = 1.0f - std::exp(-kTwoPi * fc / sampleRate);
}

}  // namespace synth
