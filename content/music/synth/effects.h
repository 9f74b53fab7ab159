// Send effects and dynamics: a tempo-synced stereo (ping-pong) delay, a Freeverb-style
// reverb (parallel damped combs into series all-passes) and a sidechain compressor.
#pragma once

#include <vector>

#include "synth/filter.h"

namespace synth {

struct DelaySettings {
  float rowsLeft = 3.0f, rowsRight = 3.0f;  // delay times in rows of the song grid
  float feedback = 0.4f;
  float pingPong = 1.0f;    // 1: the echo alternates sides; 0: each side feeds itself
  float lowCut = 200.0f;    // high-pass in the loop (Hz)
  float highCut = 6000.0f;  // low-pass in the loop (Hz)
  float level = 1.0f;       // return level
};

class StereoDelay {
 public:
  StereoDelay(const DelaySettings& s, float samplesPerRow, float sampleRate);
  // In place: the buffers hold the send on entry and the wet return on exit.
  void process(float* l, float* r, int n);

 private:
  DelaySettings s_;
  std::vector<float> bufL_, bufR_;
  size_t posL_ = 0, posR_ = 0;
  OnePole lpL_, lpR_, hpL_, hpR_;
};

struct ReverbSettings {
  float size = 0.8f;        // 0..1, decay time
  float damp = 0.4f;        // 0..1, high-frequency loss per pass
  float width = 1.0f;       // stereo width of the return
  float predelay = 20.0f;   // ms
  float lowCut = 250.0f;    // high-pass on the input (Hz)
  float level = 1.0f;
};

class Reverb {
 public:
  Reverb(const ReverbSettings& s, float sampleRate);
  void process(float* l, float* r, int n);

 private:
  struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0.0f;
  };
  struct AllPass {
    std::vector<float> buf;
    size_t pos = 0;
  };
  float comb(Comb& c, float in);
  static float allPass(AllPass& a, float in);

  ReverbSettings s_;
  float feedback_, damp_;
  Comb combL_[8], combR_[8];
  AllPass apL_[4], apR_[4];
  std::vector<float> pre_;
  size_t prePos_ = 0;
  OnePole hpL_, hpR_;
};

struct DuckSettings {
  float threshold = -30.0f;  // dB
  float ratio = 6.0f;
  float attack = 1.0f;       // ms
  float release = 160.0f;    // ms
};

// Compressor with an external key: the gain is computed from the key signal only and then
// applied, in part or fully, to whatever should make room for it.
class SidechainCompressor {
 public:
  SidechainCompressor(const DuckSettings& s, float sampleRate);
  // Writes one gain (<= 1) per sample from the key signal.
  void computeGain(const float* keyL, const float* keyR, float* gain, int n);
  float envelope() const { return env_; }

 private:
  DuckSettings s_;
  float attackCoef_, releaseCoef_;
  float env_ = 0.0f;
};

}  // namespace synth
