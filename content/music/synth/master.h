// Mastering: loudness measurement (K-weighted, gated integrated loudness), true-peak
// estimation by 4x oversampling, a look-ahead peak limiter and loudness normalisation.
// Buffers are interleaved stereo.
#pragma once

#include <vector>

namespace synth {

// Integrated loudness in LUFS; -70 or lower for silence.
double integratedLoudness(const std::vector<float>& stereo, float sampleRate);

// Largest absolute sample value.
float samplePeak(const std::vector<float>& stereo);

// Peak of the signal reconstructed between samples (4x oversampled), linear.
float truePeak(const std::vector<float>& stereo);

// Per-frame true-peak envelope: max of the sample and the three interpolated points after it.
std::vector<float> truePeakEnvelope(const std::vector<float>& stereo);

struct LimiterSettings {
  float ceiling = 0.89f;     // linear, applied to the true-peak estimate
  float lookahead = 2.0f;    // ms
  float release = 120.0f;    // ms
};

// Applies a gain to both channels so no true peak exceeds the ceiling. Works on the whole
// buffer at once, so the look-ahead needs no extra delay.
void limit(std::vector<float>& stereo, const LimiterSettings& s, float sampleRate);

struct MasterResult {
  double loudness = 0.0;  // LUFS after limiting
  float gain = 1.0f;      // gain applied before the limiter
  float truePeak = 0.0f;  // linear
};

// Scales the mix towards the target loudness, limits it, and repeats the adjustment a few
// times because limiting lowers the loudness. Returns the final figures.
MasterResult masterToLoudness(std::vector<float>& stereo, double targetLufs,
                              const LimiterSettings& s, float sampleRate);

}  // namespace synth
