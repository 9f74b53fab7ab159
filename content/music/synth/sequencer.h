// Turns the song into a time-ordered list of note events at exact sample positions and
// automation ramps, resolving note lengths, chords, retriggers, swing and transposition.
#pragma once

#include <cstdint>
#include <vector>

#include "synth/song.h"
#include "synth/voice.h"

namespace synth {

struct Event {
  enum Type : uint8_t { kOff = 0, kOn = 1 };  // offs sort first at equal times
  int64_t sample = 0;
  int track = 0;
  Type type = kOn;
  NoteStart note;  // note.id also identifies the note for its off
};

struct Ramp {
  int64_t start = 0, end = 0;
  float from = 0.0f, to = 0.0f;
};

struct AutomationLane {
  int track = -1;  // -1 master
  int param = kAutoGain;
  std::vector<Ramp> ramps;  // sorted by start
};

struct Schedule {
  double samplesPerRow = 0.0;
  int64_t songSamples = 0;   // end of the last section
  int64_t totalSamples = 0;  // including the tail
  std::vector<int64_t> sectionStarts;
  std::vector<Event> events;
  std::vector<AutomationLane> lanes;
};

// Sample position of a (possibly fractional) row, rounded to the nearest sample.
int64_t rowToSample(const Song& song, double row);

Schedule buildSchedule(const Song& song);

}  // namespace synth
