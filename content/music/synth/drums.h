// Drum voices, all one-shot: a kick from a pitch-swept sine with a click, a snare from two
// tones and filtered noise, hats from six detuned square partials (or noise) through a
// band-pass, and a clap from noise bursts.
#pragma once

#include <cstdint>

#include "synth/filter.h"
#include "synth/patch.h"

namespace synth {

class DrumVoice {
 public:
  void init(const Patch& patch, float sampleRate, uint32_t seed);
  // note 60 plays the patch as written; other notes shift the pitch.
  void start(float note, float velocity, float colorShift, uint64_t order);
  // Fades the voice out within a few milliseconds (open hat cut by a closed one).
  void choke() { choking_ = true; }
  void render(float* outL, float* outR, int n);

  bool active() const { return active_; }
  uint64_t order() const { return order_; }

 private:
  void renderKick(float* outL, float* outR, int n);
  void renderSnare(float* outL, float* outR, int n);
  void renderHat(float* outL, float* outR, int n);
  void renderClap(float* outL, float* outR, int n);
  // Applies the choke fade; returns the gain for this sample.
  float chokeGain() {
    if (!choking_) return 1.0f;
    chokeLevel_ *= chokeCoef_;
    if (chokeLevel_ < 1e-4f) active_ = false;
    return chokeLevel_;
  }

  const Patch* p_ = nullptr;
  float fs_ = 44100.0f;
  Rng rng_;
  bool active_ = false, choking_ = false;
  uint64_t order_ = 0;
  float velocity_ = 1.0f, pitch_ = 1.0f;
  float phase_ = 0.0f, phase2_ = 0.0f;
  float partials_[6] = {};
  float sweepLevel_ = 0.0f, bodyLevel_ = 0.0f, noiseLevel_ = 0.0f, clickLevel_ = 0.0f;
  float chokeLevel_ = 1.0f;
  int64_t t_ = 0;
  Svf noiseFilter_;
  OnePole highPass_;
  // Derived per-sample coefficients.
  float sweepCoef_ = 0.0f, bodyCoef_ = 0.0f, noiseCoef_ = 0.0f, clickCoef_ = 0.0f;
  float chokeCoef_ = 0.0f, gain_ = 1.0f, driveNorm_ = 1.0f;
};

}  // namespace synth
