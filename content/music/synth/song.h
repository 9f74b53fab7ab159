// The song as data: instruments, mixer tracks, tracker patterns (rows of 16th notes) and
// sections, each with an order list per track and parameter automation.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "synth/effects.h"
#include "synth/patch.h"

namespace synth {

// One row of a pattern.
struct Cell {
  enum Kind : uint8_t { kEmpty, kOff, kNotes };
  Kind kind = kEmpty;
  std::vector<float> notes;  // several for a chord
  float velocity = 1.0f;
  float length = 0.0f;       // rows; 0 uses the instrument's default
  float slide = 0.0f;        // rows of glide into the note
  float cutoff = 0.0f;       // filter offset, semitones
  int retrigger = 1;         // hits spread evenly over the row
};

struct Pattern {
  std::string name;
  int rows = 0;
  std::vector<Cell> cells;
};

struct InstrumentDef {
  std::string name;
  Patch patch;
};

struct TrackDef {
  std::string name;
  int instrument = 0;
  float level = 0.0f;  // dB
  float pan = 0.0f;    // -1 left .. 1 right
  float rev = 0.0f;    // reverb send
  float dly = 0.0f;    // delay send
  float duck = 0.0f;   // how far the sidechain compressor's gain applies, 0..1
  float swing = 0.0f;  // odd rows are late by this fraction of a row
  float hp = 0.0f;     // high-pass corner of the channel (Hz), 0 for none
  float clip = 0.0f;   // soft-clip ceiling after the fader (dBFS), 0 for none; tames transients
  int choke = -1;      // track whose drum voices this track cuts off
};

// An order-list entry: a pattern (or a rest of some rows), transposed and repeated.
struct SeqItem {
  int pattern = -1;  // -1: rest
  int restRows = 0;
  int transpose = 0;
  int repeat = 1;
};

enum AutoParam : int { kAutoGain = 0, kAutoCutoff = 1, kAutoReverb = 2, kAutoDelay = 3 };

// A linear ramp of one parameter, in beats from the section start; the value holds after it.
struct Automation {
  int track = -1;  // -1 is the master bus
  int param = kAutoGain;
  double beatFrom = 0.0, beatTo = 0.0;
  float from = 0.0f, to = 0.0f;
};

struct Section {
  std::string name;
  int beats = 0;
  std::vector<std::vector<SeqItem>> sequences;  // one per track
  std::vector<Automation> automation;
};

struct Song {
  std::string title, artist;
  double bpm = 120.0;
  int rowsPerBeat = 4;
  int sampleRate = 44100;
  double tailSeconds = 1.0;  // rendered after the last section so tails can ring out
  std::vector<InstrumentDef> instruments;
  std::vector<TrackDef> tracks;
  std::vector<Pattern> patterns;
  std::vector<Section> sections;
  DelaySettings delay;
  float delayToReverb = 0.0f;
  ReverbSettings reverb;
  DuckSettings duck;
  int keyTrack = -1;          // the track the sidechain listens to
  double targetLufs = -12.0;
  float ceilingDb = -1.0f;    // true-peak ceiling
  float limiterRelease = 120.0f;

  int trackIndex(const std::string& name) const;
  int patternIndex(const std::string& name) const;
  int instrumentIndex(const std::string& name) const;
  int64_t totalBeats() const;
  double sectionStartBeat(size_t section) const;
};

class SongError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the text format; throws SongError with the line number on any mistake.
Song parseSong(const std::string& text);
Song loadSong(const std::string& path);

// "C4" -> 60, "F#2" -> 42, "Bb3" -> 58; returns false if text is not a note name.
bool parseNoteName(const std::string& text, float& note);

}  // namespace synth
