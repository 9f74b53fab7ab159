#include "synth/sequencer.h"

#include <algorithm>
#include <cmath>

namespace synth {

int64_t rowToSample(const Song& song, double row) {
  const double samplesPerRow = song.sampleRate * 60.0 / (song.bpm * song.rowsPerBeat);
  return static_cast<int64_t>(std::llround(row * samplesPerRow));
}

namespace {

// A cell placed on the song's row grid.
struct Trigger {
  double row;  // after swing
  const Cell* cell;
  int transpose;
};

}  // namespace

Schedule buildSchedule(const Song& song) {
  Schedule out;
  out.samplesPerRow = song.sampleRate * 60.0 / (song.bpm * song.rowsPerBeat);
  const int64_t songRows = song.totalBeats() * song.rowsPerBeat;
  out.songSamples = rowToSample(song, static_cast<double>(songRows));
  out.totalSamples = out.songSamples + static_cast<int64_t>(std::llround(song.tailSeconds * song.sampleRate));

  // Lay every track's order lists onto the row grid, section by section.
  std::vector<std::vector<Trigger>> triggers(song.tracks.size());
  int64_t sectionRow = 0;
  for (const Section& section : song.sections) {
    out.sectionStarts.push_back(rowToSample(song, static_cast<double>(sectionRow)));
    const int64_t sectionEnd = sectionRow + static_cast<int64_t>(section.beats) * song.rowsPerBeat;
    for (size_t t = 0; t < song.tracks.size() && t < section.sequences.size(); ++t) {
      const float swing = song.tracks[t].swing;
      int64_t row = sectionRow;
      for (const SeqItem& item : section.sequences[t]) {
        for (int rep = 0; rep < item.repeat; ++rep) {
          if (item.pattern < 0) {
            row += item.restRows;
            continue;
          }
          const Pattern& p = song.patterns[item.pattern];
          for (int r = 0; r < p.rows; ++r) {
            const int64_t at = row + r;
            if (at >= sectionEnd) break;  // patterns are cut at the section end
            const Cell& c = p.cells[r];
            if (c.kind == Cell::kEmpty) continue;
            const double swung = static_cast<double>(at) + ((at & 1) ? swing : 0.0f);
            triggers[t].push_back({swung, &c, item.transpose});
          }
          row += p.rows;
        }
      }
    }
    sectionRow = sectionEnd;
  }

  // Notes: a note lasts its own length, the instrument's default length, or until the next
  // cell of its track (note or note-off), or else to the end of the song.
  int nextId = 1;
  for (size_t t = 0; t < triggers.size(); ++t) {
    const Patch& patch = song.instruments[song.tracks[t].instrument].patch;
    const std::vector<Trigger>& list = triggers[t];
    for (size_t i = 0; i < list.size(); ++i) {
      const Trigger& tr = list[i];
      const Cell& c = *tr.cell;
      if (c.kind != Cell::kNotes) continue;
      const double nextRow = i + 1 < list.size() ? list[i + 1].row : static_cast<double>(songRows);
      const float fixedLength = c.length > 0.0f ? c.length : patch.len;
      const int hits = c.retrigger;
      for (int h = 0; h < hits; ++h) {
        const double start = tr.row + static_cast<double>(h) / hits;
        double end;
        if (h + 1 < hits) {
          end = start + 1.0 / hits;
          if (fixedLength > 0.0f) end = std::min(end, start + fixedLength);
        } else {
          end = fixedLength > 0.0f ? start + fixedLength : std::max(nextRow, start + 1.0 / hits);
        }
        for (float n : c.notes) {
          Event on;
          on.sample = rowToSample(song, start);
          on.track = static_cast<int>(t);
          on.type = Event::kOn;
          on.note.id = nextId++;
          on.note.note = n + static_cast<float>(tr.transpose);
          on.note.velocity = c.velocity;
          on.note.slideSamples = h == 0 ? static_cast<float>(c.slide * out.samplesPerRow) : 0.0f;
          on.note.cutoff = c.cutoff;
          Event off = on;
          off.type = Event::kOff;
          off.sample = rowToSample(song, end);
          out.events.push_back(on);
          out.events.push_back(off);
        }
      }
    }
  }
  std::stable_sort(out.events.begin(), out.events.end(), [](const Event& a, const Event& b) {
    if (a.sample != b.sample) return a.sample < b.sample;
    if (a.type != b.type) return a.type < b.type;
    if (a.track != b.track) return a.track < b.track;
    return a.note.id < b.note.id;
  });

  // Automation: one lane per (track, parameter), ramps in time order.
  for (size_t s = 0; s < song.sections.size(); ++s) {
    const double base = song.sectionStartBeat(s) * song.rowsPerBeat;
    for (const Automation& a : song.sections[s].automation) {
      auto lane = std::find_if(out.lanes.begin(), out.lanes.end(), [&](const AutomationLane& l) {
        return l.track == a.track && l.param == a.param;
      });
      if (lane == out.lanes.end()) {
        out.lanes.push_back({a.track, a.param, {}});
        lane = out.lanes.end() - 1;
      }
      lane->ramps.push_back({rowToSample(song, base + a.beatFrom * song.rowsPerBeat),
                             rowToSample(song, base + a.beatTo * song.rowsPerBeat), a.from, a.to});
    }
  }
  for (AutomationLane& lane : out.lanes) {
    std::stable_sort(lane.ramps.begin(), lane.ramps.end(),
                     [](const Ramp& a, const Ramp& b) { return a.start < b.start; });
  }
  return out;
}

}  // namespace synth
