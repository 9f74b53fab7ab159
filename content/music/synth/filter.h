// Filters: a resonant state-variable filter in trapezoidal (zero-delay feedback) form, which
// stays stable for any cutoff below Nyquist and any resonance short of self-oscillation and
// tolerates fast modulation; plus one-pole low/high-pass sections for tone shaping.
#pragma once

#include "synth/dsp.h"

namespace synth {

enum FilterMode : int { kLowPass = 0, kBandPass = 1, kHighPass = 2 };

class Svf {
 public:
  // resonance in [0, 1): 0 is a gentle Q of 0.5, values near 1 ring strongly.
  void setup(float cutoffHz, float resonance, float sampleRate);

  float process(float v0, int mode) {
    const float v3 = v0 - ic2_;
    const float v1 = a1_ * ic1_ + a2_ * v3;
    const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0f * v1 - ic1_;
    ic2_ = 2.0f * v2 - ic2_;
    if (mode == kLowPass) return v2;
    if (mode == kBandPass) return v1;
    return v0 - k_ * v1 - v2;
  }

  // Filters a buffer in place.
  void processBlock(float* x, int n, int mode);
  // Filters two channels in place with this filter's coefficients; `other` holds the second
  // channel's state. Interleaving the two recursions lets them run side by side.
  void processStereo(float* l, float* r, int n, int mode, Svf& other);

  // Called once per block: keeps the integrator state out of subnormal range.
  void flush() {
    ic1_ = flushDenormal(ic1_);
    ic2_ = flushDenormal(ic2_);
  }
  void reset() { ic1_ = ic2_ = 0.0f; }

 private:
  template <int Mode>
  void stereoLoop(float* l, float* r, int n, Svf& other);

  float ic1_ = 0.0f, ic2_ = 0.0f;
  float a1_ = 1.0f, a2_ = 0.0f, a3_ = 0.0f, k_ = 2.0f;
};

// First-order sections (matched-pole).
class OnePole {
 public:
  void setLowPass(float cutoffHz, float sampleRate);
  float lowPass(float x) {
    z_ = flushDenormal(z_ + b_ * (x - z_));
    return z_;
  }
  float highPass(float x) { return x - lowPass(x); }
  void reset() { z_ = 0.0f; }

 private:
  float z_ = 0.0f;
  float b_ = 1.0f;
};

// Direct-form-I biquad in double precision, for measurement filters.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double process(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

}  // namespace synth
