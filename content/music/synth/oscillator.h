// Oscillators: band-limited sawtooth and pulse (polyBLEP), sine and white noise. Each runs
// over a chunk of samples at one phase increment and adds its output, scaled, into two
// channel buffers, so a unison stack pans every copy on its own.
#pragma once

#include "synth/dsp.h"

namespace synth {

enum Wave : int { kWaveSaw = 0, kWavePulse = 1, kWaveSine = 2, kWaveNoise = 3, kWaveOff = 4 };

// Two-sample polynomial correction of a unit step at phase 0; t is the phase in [0, 1),
// dt the phase increment per sample.
inline float polyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

inline float wrapPhase(float p) { return p - std::floor(p); }

// One step of each waveform; the phase advances by dt and wraps into [0, 1).
inline float sawStep(float& phase, float dt) {
  const float v = 2.0f * phase - 1.0f - polyBlep(phase, dt);
  phase += dt;
  if (phase >= 1.0f) phase -= 1.0f;
  return v;
}

inline float pulseStep(float& phase, float dt, float width) {
  float v = phase < width ? 1.0f : -1.0f;
  v += polyBlep(phase, dt);
  float falling = phase - width;
  if (falling < 0.0f) falling += 1.0f;
  v -= polyBlep(falling, dt);
  phase += dt;
  if (phase >= 1.0f) phase -= 1.0f;
  return v - (2.0f * width - 1.0f);  // remove the DC of an asymmetric pulse
}

inline float sineStep(float& phase, float dt) {
  const float v = sinTurn(phase);
  phase += dt;
  if (phase >= 1.0f) phase -= 1.0f;
  return v;
}

// Adds n samples of wave into outL/outR with the gains gl/gr; returns nothing, advances phase.
void addWave(int wave, float* outL, float* outR, int n, float& phase, float dt, float width,
             float gl, float gr, Rng& rng);

// The same waveform without band limiting, kept for comparison in the tests.
float naiveSawStep(float& phase, float dt);

}  // namespace synth
