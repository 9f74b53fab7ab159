#include "synth/envelope.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

// Curvature of each segment: the overshoot beyond the target relative to the segment's
// span. Large values give nearly straight lines, small ones strongly exponential curves.
constexpr float kAttackRatio = 0.3f;
constexpr float kDecayRatio = 0.001f;

float segmentCoef(float samples, float ratio) {
  return std::exp(-std::log((1.0f + ratio) / ratio) / std::max(samples, 1.0f));
}

}  // namespace

void Adsr::setup(float attack, float decay, float sustain, float release, float sampleRate) {
  sustain_ = std::clamp(sustain, 0.0f, 1.0f);
  attackCoef_ = segmentCoef(attack * sampleRate, kAttackRatio);
  attackBase_ = (1.0f + kAttackRatio) * (1.0f - attackCoef_);
  decayCoef_ = segmentCoef(decay * sampleRate, kDecayRatio);
  // The decay overshoot scales with its span, so it reaches the sustain level on time.
  decayBase_ = (sustain_ - kDecayRatio * (1.0f - sustain_)) * (1.0f - decayCoef_);
  releaseCoef_ = segmentCoef(release * sampleRate, kDecayRatio);
  releaseBase_ = -kDecayRatio * (1.0f - releaseCoef_);
}

}  // namespace synth
