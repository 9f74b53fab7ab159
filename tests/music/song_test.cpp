#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "music_test_util.h"
#include "synth/sequencer.h"
#include "synth/song.h"

using namespace synth;

namespace {

// A small song in the text format around the given body.
std::string withHeader(const std::string& body) {
  return "tempo 120\nrows 4\n"
         "instrument lead synth\n  wave1=saw mono=1\nend\n"
         "instrument pad synth\n  poly=8\nend\n"
         "track lead lead\ntrack pad pad\n" +
         body;
}

std::vector<Event> onsOf(const Schedule& s, int track) {
  std::vector<Event> out;
  for (const Event& e : s.events)
    if (e.type == Event::kOn && e.track == track) out.push_back(e);
  return out;
}

int64_t offSample(const Schedule& s, int id) {
  for (const Event& e : s.events)
    if (e.type == Event::kOff && e.note.id == id) return e.sample;
  return -1;
}

void expectError(const std::string& text, const std::string& fragment) {
  try {
    parseSong(text);
    ADD_FAILURE() << "accepted a song that should fail with: " << fragment;
  } catch (const SongError& e) {
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

}  // namespace

TEST(NoteNames, ParseToMidiNumbers) {
  float n = 0.0f;
  ASSERT_TRUE(parseNoteName("A4", n));
  EXPECT_EQ(n, 69.0f);
  ASSERT_TRUE(parseNoteName("C4", n));
  EXPECT_EQ(n, 60.0f);
  ASSERT_TRUE(parseNoteName("F#2", n));
  EXPECT_EQ(n, 42.0f);
  ASSERT_TRUE(parseNoteName("Bb3", n));
  EXPECT_EQ(n, 58.0f);
  ASSERT_TRUE(parseNoteName("C-1", n));
  EXPECT_EQ(n, 0.0f);
  for (const char* bad : {"H2", "C", "Am7", "x", "C#", "E7x", "c4", ""}) EXPECT_FALSE(parseNoteName(bad, n)) << bad;
}

TEST(Sequencer, RowsLandOnExactSamplesAt120Bpm) {
  const Song song = parseSong(withHeader(
      "pattern p 8\n  C4 . . E4 . . . G4\nend\n"
      "section a 2\n  lead: p\nend\n"
      "section b 3\n  lead: _4 p\nend\n"));
  const Schedule s = buildSchedule(song);
  EXPECT_DOUBLE_EQ(s.samplesPerRow, 5512.5);
  ASSERT_EQ(s.sectionStarts.size(), 2u);
  EXPECT_EQ(s.sectionStarts[1], 44100);  // two beats = one second
  const std::vector<Event> ons = onsOf(s, 0);
  ASSERT_EQ(ons.size(), 6u);
  // Rows 0, 3, 7 in the first section; rows 8 + 4 + (0, 3, 7) in the second.
  const int rows[6] = {0, 3, 7, 12, 15, 19};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ons[i].sample, std::llround(rows[i] * 5512.5)) << i;
  EXPECT_EQ(ons[0].note.note, 60.0f);
  EXPECT_EQ(ons[1].note.note, 64.0f);
  // A beat is 22050 samples: row 4k is on beat k exactly.
  EXPECT_EQ(rowToSample(song, 4.0 * 35), 35 * 22050);
}

TEST(Sequencer, NotesLastUntilTheNextCellOrTheirLength) {
  const Song song = parseSong(withHeader(
      "pattern p 8\n  C4 . E4:l1 . . ^ G4 .\nend\n"
      "section a 2\n  lead: p\nend\n"));
  const Schedule s = buildSchedule(song);
  const std::vector<Event> ons = onsOf(s, 0);
  ASSERT_EQ(ons.size(), 3u);
  EXPECT_EQ(offSample(s, ons[0].note.id), rowToSample(song, 2));  // held to the next note
  EXPECT_EQ(offSample(s, ons[1].note.id), rowToSample(song, 3));  // own length of one row
  EXPECT_EQ(offSample(s, ons[2].note.id), rowToSample(song, 8));  // to the end of the song
  EXPECT_EQ(s.songSamples, 44100);
}

TEST(Sequencer, ChordsRetriggersSlidesAndTransposition) {
  const Song song = parseSong(withHeader(
      "def Cmaj C4+E4+G4\n"
      "pattern p 4\n  Cmaj:v50 . C4:r4 D4:s2f-12\nend\n"
      "section a 2\n  pad: p:+2*2\nend\n"));
  const Schedule s = buildSchedule(song);
  const std::vector<Event> ons = onsOf(s, 1);
  ASSERT_EQ(ons.size(), 2u * (3 + 4 + 1));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ons[i].sample, 0);
    EXPECT_FLOAT_EQ(ons[i].note.velocity, 0.5f);
  }
  EXPECT_EQ(ons[0].note.note, 62.0f);  // transposed by two
  // Four hits spread over row 2.
  for (int h = 0; h < 4; ++h) EXPECT_EQ(ons[3 + h].sample, rowToSample(song, 2.0 + h / 4.0));
  EXPECT_EQ(offSample(s, ons[3].note.id), rowToSample(song, 2.25));
  const Event& slide = ons[7];
  EXPECT_EQ(slide.note.note, 64.0f);
  EXPECT_FLOAT_EQ(slide.note.slideSamples, 2 * 5512.5f);
  EXPECT_FLOAT_EQ(slide.note.cutoff, -12.0f);
  EXPECT_EQ(ons[8].sample, rowToSample(song, 4));  // the repeat
}

TEST(Sequencer, PatternsAreCutAtTheSectionEndAndSwingDelaysOddRows) {
  const Song song = parseSong(
      "instrument h hat\nend\ntrack h h swing=0.5\n"
      "pattern p 8\n  x x x x x x x x\nend\n"
      "section a 1\n  h: p\nend\n");
  const Schedule s = buildSchedule(song);
  const std::vector<Event> ons = onsOf(s, 0);
  ASSERT_EQ(ons.size(), 4u);  // one beat holds four of the eight rows
  EXPECT_EQ(ons[1].sample, rowToSample(song, 1.5));
  EXPECT_EQ(ons[2].sample, rowToSample(song, 2.0));
}

TEST(Sequencer, AutomationRampsAreInSamplesFromTheSectionStart) {
  const Song song = parseSong(withHeader(
      "section a 4\n  auto master.gain 0 4 0 1\nend\n"
      "section b 4\n  auto pad.cutoff 1 3 -12 0\nend\n"));
  const Schedule s = buildSchedule(song);
  ASSERT_EQ(s.lanes.size(), 2u);
  const AutomationLane& cut = s.lanes[1];
  EXPECT_EQ(cut.track, 1);
  EXPECT_EQ(cut.param, kAutoCutoff);
  ASSERT_EQ(cut.ramps.size(), 1u);
  EXPECT_EQ(cut.ramps[0].start, 5 * 22050);
  EXPECT_EQ(cut.ramps[0].end, 7 * 22050);
  EXPECT_EQ(cut.ramps[0].from, -12.0f);
}

TEST(SongParser, RejectsMistakesWithTheirLine) {
  expectError(withHeader("pattern p 4\n  C4 . .\nend\n"), "declares 4 rows but has 3");
  expectError(withHeader("section a 1\n  lead: nope\nend\n"), "unknown pattern 'nope'");
  expectError(withHeader("pattern p 4\n  C4 . . .\nend\nsection a 1\n  lead: p p\nend\n"), "starts after the end");
  expectError(withHeader("pattern p 1\n  C4:q3\nend\n"), "unknown effect 'q'");
  expectError(withHeader("pattern p 1\n  Zz\nend\n"), "neither a note nor a def");
  expectError(withHeader("pattern p 1\n  C4:r0\nend\n"), "out of range");
  expectError(withHeader("section a 1\n  auto pad.cutoff 0 2 0 1\nend\n"), "section length");
  expectError(withHeader("section a 1\n  auto master.cutoff 0 1 0 1\nend\n"), "cannot automate");
  expectError(withHeader("def E7 E4+G#4\n"), "reads as a note");
  expectError("instrument a synth\n  nonsense=3\nend\n", "line 2: bad instrument setting");
  expectError("instrument a synth\n", "has no 'end'");
  expectError(withHeader("duck key=ghost\nsection a 1\nend\n"), "unknown track 'ghost'");
  expectError("tempo 120\n", "no sections");
  expectError(withHeader("track t lead clip=3\n"), "must be negative");
  expectError(withHeader("track u lead wobble=1\n"), "unknown setting 'wobble'");
  expectError(withHeader("track lead lead\n"), "defined twice");
}

TEST(Song, SeamsOfTheShowFallOnSectionStartsAndBeats) {
  const Song song = loadSong(music_test::songPath());
  const Schedule s = buildSchedule(song);
  // The picture changes at these times (ms); every one must start a section.
  const int seamsMs[] = {0, 17500, 52500, 60000, 78000, 113500, 148500, 174500};
  ASSERT_GE(s.sectionStarts.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(s.sectionStarts[i], static_cast<int64_t>(seamsMs[i]) * 441 / 10) << "seam " << i;
    const double beats = seamsMs[i] / 1000.0 * song.bpm / 60.0;
    EXPECT_EQ(beats, std::floor(beats)) << "seam " << i << " is off the beat grid";
  }
  EXPECT_GE(static_cast<double>(s.totalSamples) / song.sampleRate, 180.0);
  EXPECT_GE(song.keyTrack, 0);
  // Every track plays somewhere, and the song is not one loop: at least five different
  // pad patterns and lead patterns are used.
  for (size_t t = 0; t < song.tracks.size(); ++t) EXPECT_FALSE(onsOf(s, static_cast<int>(t)).empty()) << song.tracks[t].name;
  for (const char* name : {"pad", "lead", "bass"}) {
    const int track = song.trackIndex(name);
    ASSERT_GE(track, 0) << name;
    std::vector<int> used;
    for (const Section& sec : song.sections)
      for (const SeqItem& item : sec.sequences[track])
        if (item.pattern >= 0 && std::find(used.begin(), used.end(), item.pattern) == used.end()) used.push_back(item.pattern);
    EXPECT_GE(used.size(), 5u) << name;
  }
}
