// An instrument plays one patch on a pool of voices: polyphonic with voice stealing, or
// monophonic with legato glides. Notes are addressed by the sequencer's note ids.
#pragma once

#include <cstdint>
#include <vector>

#include "synth/drums.h"
#include "synth/patch.h"
#include "synth/voice.h"

namespace synth {

class Instrument {
 public:
  Instrument(const Patch& patch, float sampleRate, uint32_t seed);
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  void noteOn(const NoteStart& n, float colorShift = 0.0f);
  // Releases the note if it still sounds under this id (a later legato note takes the id over).
  void noteOff(int id);
  // Cuts all drum voices short.
  void choke();
  // Adds n samples into the buffers.
  void render(float* outL, float* outR, int n, float trackCutoff);

  int activeVoices() const;
  bool isDrum() const { return drum_; }

 private:
  Patch patch_;
  float fs_;
  bool drum_;
  bool mono_;
  uint64_t order_ = 0;
  std::vector<SynthVoice> voices_;
  std::vector<DrumVoice> drums_;
};

}  // namespace synth
