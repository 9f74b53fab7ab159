#include "synth/instrument.h"

#include <algorithm>

namespace synth {

Instrument::Instrument(const Patch& patch, float sampleRate, uint32_t seed)
    : patch_(patch), fs_(sampleRate), drum_(static_cast<int>(patch.kind) != kSynth), mono_(patch.mono > 0.0f) {
  const int count = mono_ && !drum_ ? 1 : std::clamp(static_cast<int>(patch_.poly), 1, 32);
  if (drum_) {
    drums_.resize(count);
    for (int i = 0; i < count; ++i) drums_[i].init(patch_, sampleRate, seed * 7919u + i * 104729u + 1u);
  } else {
    voices_.resize(count);
    for (int i = 0; i < count; ++i) voices_[i].init(patch_, sampleRate, seed * 7919u + i * 104729u + 1u);
  }
}

void Instrument::noteOn(const NoteStart& n, float colorShift) {
  ++order_;
  if (drum_) {
    // A free voice, or else the oldest one.
    DrumVoice* pick = &drums_[0];
    for (DrumVoice& v : drums_) {
      if (!v.active()) {
        pick = &v;
        break;
      }
      if (v.order() < pick->order()) pick = &v;
    }
    pick->start(n.note, n.velocity, colorShift, order_);
    return;
  }
  if (mono_) {
    SynthVoice& v = voices_[0];
    if (v.active() && n.slideSamples > 0.0f) {
      v.glideTo(n, n.slideSamples, false);
    } else if (v.active() && patch_.glide > 0.0f) {
      v.glideTo(n, patch_.glide * 0.001f * fs_, true);
    } else {
      v.start(n, order_);
    }
    return;
  }
  // Polyphonic: a silent voice, else the quietest releasing voice, else the oldest.
  SynthVoice* pick = nullptr;
  for (SynthVoice& v : voices_) {
    if (!v.active()) {
      pick = &v;
      break;
    }
  }
  if (!pick) {
    for (SynthVoice& v : voices_) {
      if (v.releasing() && (!pick || v.level() < pick->level())) pick = &v;
    }
  }
  if (!pick) {
    pick = &voices_[0];
    for (SynthVoice& v : voices_) {
      if (v.order() < pick->order()) pick = &v;
    }
  }
  pick->start(n, order_);
}

void Instrument::noteOff(int id) {
  for (SynthVoice& v : voices_) {
    if (v.active() && v.id() == id) v.release();
  }
}

void Instrument::choke() {
  for (DrumVoice& v : drums_) {
    if (v.active()) v.choke();
  }
}

void Instrument::render(float* outL, float* outR, int n, float trackCutoff) {
  for (SynthVoice& v : voices_) v.render(outL, outR, n, trackCutoff);
  for (DrumVoice& v : drums_) v.render(outL, outR, n);
}

int Instrument::activeVoices() const {
  int count = 0;
  for (const SynthVoice& v : voices_) count += v.active() ? 1 : 0;
  for (const DrumVoice& v : drums_) count += v.active() ? 1 : 0;
  return count;
}

}  // namespace synth
