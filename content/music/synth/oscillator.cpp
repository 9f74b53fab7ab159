#include "synth/oscillator.h"

namespace synth {

void addWave(int wave, float* outL, float* outR, int n, float& phase, float dt, float width,
             float gl, float gr, Rng& rng) {
  // Keep the increment below Nyquist so the BLEP corrections stay two samples wide.
  if (dt > 0.49f) dt = 0.49f;
  switch (wave) {
    case kWaveSaw:
      for (int i = 0; i < n; ++i) {
        const float v = sawStep(phase, dt);
        outL[i] += v * gl;
        outR[i] += v * gr;
      }
      break;
    case kWavePulse:
      for (int i = 0; i < n; ++i) {
        const float v = pulseStep(phase, dt, width);
        outL[i] += v * gl;
        outR[i] += v * gr;
      }
      break;
    case kWaveSine:
      for (int i = 0; i < n; ++i) {
        const float v = sineStep(phase, dt);
        outL[i] += v * gl;
        outR[i] += v * gr;
      }
      break;
    case kWaveNoise:
      for (int i = 0; i < n; ++i) {
        const float v = rng.bipolar();
        outL[i] += v * gl;
        outR[i] += v * gr;
      }
      break;
    default:
      break;
  }
}

float naiveSawStep(float& phase, float dt) {
  const float v = 2.0f * phase - 1.0f;
  phase += dt;
  if (phase >= 1.0f) phase -= 1.0f;
  return v;
}

}  // namespace synth
