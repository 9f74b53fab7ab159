// The subtractive voice: up to two oscillator stacks with unison, sub oscillator and noise,
// a stereo state-variable filter with its own envelope, saturation and an amplitude ADSR.
// Pitch and filter are updated at a control rate of one step per kControlStep samples.
#pragma once

#include <cstdint>

#include "synth/envelope.h"
#include "synth/filter.h"
#include "synth/patch.h"

namespace synth {

constexpr int kMaxUnison = 8;
constexpr int kControlStep = 16;

// Per-note values from the sequencer.
struct NoteStart {
  int id = 0;
  float note = 60.0f;        // semitones, 69 = A 440 Hz
  float velocity = 1.0f;
  float slideSamples = 0.0f;  // > 0: glide into this note instead of jumping
  float cutoff = 0.0f;        // per-note filter offset, semitones
};

class SynthVoice {
 public:
  void init(const Patch& patch, float sampleRate, uint32_t seed);

  // A fresh note: resets pitch, and phases when the voice was silent.
  void start(const NoteStart& n, uint64_t order);
  // Moves the voice to a new note without a new attack (mono legato and slides).
  void glideTo(const NoteStart& n, float glideSamples, bool retrigger);
  void release() {
    amp_.gateOff();
    fenv_.gateOff();
  }
  void kill() {
    amp_.reset();
    fenv_.reset();
    id_ = -1;
  }

  // Adds n samples; trackCutoff offsets the filter in semitones.
  void render(float* outL, float* outR, int n, float trackCutoff);

  bool active() const { return amp_.active(); }
  bool releasing() const { return amp_.stage() == Adsr::kRelease; }
  float level() const { return amp_.level(); }
  int id() const { return id_; }
  uint64_t order() const { return order_; }

 private:
  const Patch* p_ = nullptr;
  float fs_ = 44100.0f;
  Rng rng_;
  Adsr amp_, fenv_;
  Svf svfL_, svfR_;
  int id_ = -1;
  uint64_t order_ = 0;
  float note_ = 60.0f, target_ = 60.0f, glideCoef_ = 1.0f;
  float velocity_ = 1.0f, noteCut_ = 0.0f;
  float penvLevel_ = 0.0f, penvCoef_ = 0.0f;
  float lfoPhase_ = 0.0f, vibPhase_ = 0.0f;
  int64_t age_ = 0;
  int unison_ = 1;
  float ratio1_[kMaxUnison] = {}, ratio2_[kMaxUnison] = {};
  float gainL_[kMaxUnison] = {}, gainR_[kMaxUnison] = {};
  float phase1_[kMaxUnison] = {}, phase2_[kMaxUnison] = {};
  float subPhase_ = 0.0f;
  float gain_ = 1.0f, driveNorm_ = 1.0f;
};

}  // namespace synth
