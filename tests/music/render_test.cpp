#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "music_test_util.h"
#include "synth/engine.h"
#include "synth/master.h"
#include "synth/sequencer.h"
#include "synth/song.h"
#include "synth/vorbis_writer.h"

using namespace synth;

namespace {

// First frame with a non-zero sample at or after `from`.
int64_t firstSound(const std::vector<float>& stereo, int64_t from) {
  for (size_t i = static_cast<size_t>(from); i < stereo.size() / 2; ++i)
    if (stereo[2 * i] != 0.0f || stereo[2 * i + 1] != 0.0f) return static_cast<int64_t>(i);
  return -1;
}

double rms(const std::vector<float>& stereo, double fromSec, double toSec, int rate) {
  const size_t a = static_cast<size_t>(fromSec * rate), b = std::min(stereo.size() / 2, static_cast<size_t>(toSec * rate));
  double sum = 0.0;
  for (size_t i = a; i < b; ++i) sum += stereo[2 * i] * stereo[2 * i] + stereo[2 * i + 1] * stereo[2 * i + 1];
  return b > a ? std::sqrt(sum / (2.0 * (b - a))) : 0.0;
}

}  // namespace

TEST(Render, NotesStartOnTheirScheduledSample) {
  // A noise voice is non-zero from its first sample, so its onset is exact.
  const Song song = parseSong(
      "tempo 120\ntail 0\n"
      "instrument n synth\n  wave1=noise a=1 r=1\nend\n"
      "track n n\n"
      "pattern p 16\n  . . . . . C4:l1 . . . . . . . . . C4:l1\nend\n"
      "section a 4\n  n: p\nend\n");
  const Schedule s = buildSchedule(song);
  const std::vector<float> out = renderSong(song, s);
  ASSERT_EQ(out.size(), 2u * 88200u);
  EXPECT_EQ(firstSound(out, 0), rowToSample(song, 5));
  // The second note starts out of near-silence exactly on row 15.
  const int64_t second = rowToSample(song, 15);
  float before = 0.0f, after = 0.0f;
  for (int64_t i = second - 2000; i < second; ++i) before = std::max(before, std::fabs(out[2 * i]));
  for (int64_t i = second; i < second + 8; ++i) after = std::max(after, std::fabs(out[2 * i]));
  EXPECT_LT(before, 1e-5f);
  EXPECT_GT(after, 1e-3f);
  EXPECT_NE(out[2 * second], 0.0f);
}

TEST(Render, MasterFadeAndTrackGainFollowAutomation) {
  const Song song = parseSong(
      "tempo 120\ntail 0\n"
      "instrument n synth\n  wave1=noise a=1 s=1 r=1\nend\n"
      "track n n\n"
      "pattern p 4\n  C4 . . .\nend\n"
      "section a 8\n  n: p\n  auto master.gain 4 8 1 0\nend\n");
  const std::vector<float> out = renderSong(song, buildSchedule(song));
  const double full = rms(out, 0.5, 1.5, 44100), half = rms(out, 2.9, 3.1, 44100), end = rms(out, 3.99, 4.0, 44100);
  EXPECT_GT(full, 0.05);
  EXPECT_NEAR(half / full, 0.55, 0.1);  // 2.9-3.1 s is 40-60% into the fade
  EXPECT_LT(end, full * 0.02);
}

TEST(Render, SidechainDucksTheBassUnderTheKick) {
  const std::string body =
      "tempo 120\ntail 0\n"
      "instrument k kick\nend\n"
      "instrument b synth\n  wave1=saw s=1\nend\n"
      "track k k level=-400\n"  // the kick is the key but is not heard
      "track b b duck=1\n"
      "duck key=k threshold=-30 ratio=10 release=100\n"
      "pattern kp 16\n  X . . . . . . . X . . . . . . .\nend\n"
      "pattern bp 16\n  A2 . . . . . . . . . . . . . . .\nend\n"
      "section a 4\n  k: kp\n  b: bp\nend\n";
  const Song song = parseSong(body);
  const std::vector<float> out = renderSong(song, buildSchedule(song));
  // Just after each kick the bass is pushed down; late in the beat it has recovered.
  const double underKick = rms(out, 1.0, 1.05, 44100), between = rms(out, 1.85, 1.95, 44100);
  EXPECT_LT(underKick, 0.3 * between);
}

TEST(Render, SameSongRendersToIdenticalSamplesAndBytes) {
  const Song song = loadSong(music_test::songPath());
  const Schedule s = buildSchedule(song);
  // The opening of the yard, where most instruments first play together.
  const int64_t frames = s.sectionStarts[1] + 3 * 44100;
  const std::vector<float> a = renderSong(song, s, frames);
  const std::vector<float> b = renderSong(song, s, frames);
  ASSERT_EQ(a.size(), static_cast<size_t>(2 * frames));
  EXPECT_TRUE(a == b);
  EXPECT_GT(samplePeak(a), 0.01f);
  for (float v : a) ASSERT_TRUE(std::isfinite(v));
  std::vector<float> tail(a.end() - 2 * 44100, a.end());
  std::vector<unsigned char> oggA, oggB;
  ASSERT_TRUE(encodeVorbis(tail, 44100, 0.5f, {{"TITLE", "test"}}, oggA));
  ASSERT_TRUE(encodeVorbis(tail, 44100, 0.5f, {{"TITLE", "test"}}, oggB));
  EXPECT_GT(oggA.size(), 1000u);
  EXPECT_TRUE(oggA == oggB);
}

// The music file the build produced.
TEST(MusicFile, DecodesToAtLeastThreeMinutesOfStereoBelowFullScale) {
  const std::string path = std::string(VORN_DATA_DIR) + "/milk.ogg";
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) GTEST_SKIP() << path << " was not built";
  OggVorbis_File vf;
  ASSERT_EQ(ov_open_callbacks(f, &vf, nullptr, 0, OV_CALLBACKS_DEFAULT), 0);
  const vorbis_info* info = ov_info(&vf, -1);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->channels, 2);
  EXPECT_EQ(info->rate, 44100);
  const double seconds = ov_time_total(&vf, -1);
  EXPECT_GE(seconds, 180.0);

  // Decode everything: peak, and the level of each part of the show.
  std::vector<float> pcm;
  pcm.reserve(static_cast<size_t>(seconds * 44100 * 2) + 4096);
  int section = 0;
  for (;;) {
    float** chans = nullptr;
    const long n = ov_read_float(&vf, &chans, 4096, &section);
    ASSERT_GE(n, 0) << "decode error";
    if (n == 0) break;
    for (long i = 0; i < n; ++i) {
      pcm.push_back(chans[0][i]);
      pcm.push_back(chans[1][i]);
    }
  }
  ov_clear(&vf);
  EXPECT_NEAR(pcm.size() / 2.0 / 44100.0, seconds, 0.01);
  EXPECT_LT(samplePeak(pcm), 1.0f);
  // Fades in from silence and out to silence.
  EXPECT_LT(rms(pcm, 0.0, 0.2, 44100), 0.003);
  EXPECT_LT(rms(pcm, seconds - 1.0, seconds, 44100), 0.003);
  // The title is sparse and the film strip a break; the tunnel is the densest part.
  auto part = [&](double from, double to) {
    return integratedLoudness(std::vector<float>(pcm.begin() + static_cast<long>(from * 44100) * 2,
                                                 pcm.begin() + static_cast<long>(to * 44100) * 2),
                              44100.0f);
  };
  const double intro = part(4.0, 16.0), yard = part(20.0, 50.0), film = part(53.0, 58.0);
  const double tunnel = part(80.0, 110.0);
  EXPECT_LT(intro, tunnel - 3.0);
  EXPECT_LT(film, yard - 2.0);
  EXPECT_GT(yard, -16.0);
  const double loudness = integratedLoudness(pcm, 44100.0f);
  EXPECT_GT(loudness, -14.0);
  EXPECT_LT(loudness, -10.0);
}
