// Instrument settings. One flat record serves every instrument kind; each kind reads the
// fields it needs. Times are in milliseconds, pitches in semitones, levels linear unless noted.
#pragma once

#include <string>

namespace synth {

enum InstrumentKind : int { kSynth = 0, kKick = 1, kSnare = 2, kHat = 3, kClap = 4 };

struct Patch {
  float kind = kSynth;

  // Sources of the subtractive voice.
  float wave1 = 0, wave2 = 4;           // Wave values; wave2 off by default
  float level1 = 1.0f, level2 = 0.5f;
  float semi2 = 0.0f, fine2 = 0.0f;     // second oscillator offset (semitones, cents)
  float sub = 0.0f;                     // sine one octave below
  float noise = 0.0f;                   // white noise level
  float unison = 1, detune = 0.0f;      // copies per oscillator, total spread in cents
  float spread = 0.5f;                  // stereo width of the unison stack, 0..1
  float pw = 0.5f, pwm = 0.0f;          // pulse width and its LFO depth
  float freephase = 1;                  // 0 restarts the oscillators at each note

  // Pitch.
  float mono = 0, glide = 0.0f;         // monophonic with portamento time
  float vib = 0.0f, vibrate = 5.0f, vibdelay = 0.0f;  // vibrato depth (cents), rate (Hz), onset
  float penv = 0.0f, pdecay = 30.0f;    // pitch drop at note start and its time constant

  // Filter.
  float mode = 0;                       // FilterMode
  float cutoff = 18000.0f, res = 0.0f;
  float fenv = 0.0f;                    // filter envelope depth, semitones
  float keytrack = 0.0f;                // 1 follows the note fully
  float velcut = 0.0f;                  // semitones of cutoff per unit of velocity above 1
  float fa = 1.0f, fd = 200.0f, fs = 0.0f, fr = 200.0f;
  float lfocut = 0.0f, lforate = 0.5f;  // slow filter sweep, semitones and Hz

  // Amplifier.
  float a = 1.0f, d = 100.0f, s = 1.0f, r = 50.0f;
  float vol = 0.0f;                     // dB
  float drive = 0.0f;                   // saturation drive; 0 leaves the voice clean
  float poly = 8;                       // voices
  float len = 0.0f;                     // default gate in rows; 0 holds until the next note

  // Drum voices.
  float freq = 50.0f, freq0 = 200.0f;   // body pitch and start of its sweep (Hz)
  float sweep = 30.0f, decay = 300.0f;  // sweep time constant, body decay
  float click = 0.3f;                   // transient level
  float snap = 0.5f, ndecay = 150.0f;   // noise level and decay
  float color = 5000.0f;                // noise / metal filter frequency (Hz)
  float metal = 1.0f;                   // hats: metallic partials against noise
};

// Sets a field by its name from text ("saw", "lp", "kick" or a number). Returns false for an
// unknown name or a value that does not parse.
bool setPatchParam(Patch& patch, const std::string& name, const std::string& value);

}  // namespace synth
