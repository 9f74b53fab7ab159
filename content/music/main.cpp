// vorn-song: renders a song file to Ogg Vorbis.
//   vorn-song SONG OUTPUT.ogg [--report] [--seconds N] [--solo TRACK]... [--raw]
// --report prints the loudness and peak of every section; --seconds renders only the start;
// --solo keeps only the named tracks and --raw skips mastering (both for balancing the mix).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "synth/engine.h"
#include "synth/master.h"
#include "synth/sequencer.h"
#include "synth/song.h"
#include "synth/vorbis_writer.h"

namespace {

constexpr float kQuality = 0.5f;

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  // Write beside the target and rename, so a failed run never leaves a truncated file.
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// Loudness of each section in the unmastered mix and in the final master.
void printSections(const synth::Song& song, const synth::Schedule& schedule, const std::vector<float>& raw,
                   const std::vector<float>& mix) {
  const int64_t frames = static_cast<int64_t>(mix.size() / 2);
  for (size_t s = 0; s <= song.sections.size(); ++s) {
    const int64_t a = s < song.sections.size() ? schedule.sectionStarts[s] : schedule.songSamples;
    const int64_t b = s + 1 < song.sections.size() ? schedule.sectionStarts[s + 1]
                      : s + 1 == song.sections.size() ? schedule.songSamples : frames;
    if (a >= b || b > frames) continue;
    std::vector<float> part(mix.begin() + 2 * a, mix.begin() + 2 * b);
    std::vector<float> rawPart(raw.begin() + 2 * a, raw.begin() + 2 * b);
    std::printf("  %-10s %7.2f-%7.2f s  mix %6.1f LUFS %6.1f dBFS  master %6.1f LUFS  peak %6.1f dBFS\n",
                s < song.sections.size() ? song.sections[s].name.c_str() : "(tail)",
                a / static_cast<double>(song.sampleRate), b / static_cast<double>(song.sampleRate),
                synth::integratedLoudness(rawPart, static_cast<float>(song.sampleRate)),
                20.0 * std::log10(std::max(1e-9f, synth::samplePeak(rawPart))),
                synth::integratedLoudness(part, static_cast<float>(song.sampleRate)),
                20.0 * std::log10(std::max(1e-9f, synth::samplePeak(part))));
  }
}

// One line per track, one column per two seconds: how loud the track plays.
void printActivity(const synth::Song& song, const synth::RenderStats& stats) {
  static const char kShades[] = " .:-=+*#";
  for (size_t t = 0; t < song.tracks.size(); ++t) {
    std::printf("  %-8s|", song.tracks[t].name.c_str());
    const auto& p = stats.trackPower[t];
    for (size_t s = 0; s + 1 < p.size(); s += 2) {
      const float db = 10.0f * std::log10(std::max(1e-12f, 0.5f * (p[s] + p[s + 1])));
      const int shade = std::clamp(static_cast<int>((db + 60.0f) / 7.0f) + 1, 0, 7);
      std::putchar(db < -60.0f ? ' ' : kShades[shade]);
    }
    std::printf("|\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s SONG OUTPUT.ogg [--report] [--seconds N] [--solo TRACK]... [--raw]\n", argv[0]);
    return 2;
  }
  bool report = false;
  double seconds = -1.0;
  std::vector<std::string> solo;
  bool rawMix = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--report") == 0) {
      report = true;
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--raw") == 0) {
      rawMix = true;
    } else if (std::strcmp(argv[i], "--solo") == 0 && i + 1 < argc) {
      solo.push_back(argv[++i]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }

  const auto t0 = std::chrono::steady_clock::now();
  const std::clock_t c0 = std::clock();
  synth::Song song;
  try {
    song = synth::loadSong(argv[1]);
  } catch (const synth::SongError& e) {
    std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
    return 1;
  }
  if (!solo.empty()) {
    for (synth::TrackDef& t : song.tracks) {
      if (std::find(solo.begin(), solo.end(), t.name) == solo.end()) t.level = -400.0f;
    }
  }
  const synth::Schedule schedule = synth::buildSchedule(song);
  synth::RenderStats stats;
  const int64_t maxFrames = seconds >= 0.0 ? static_cast<int64_t>(seconds * song.sampleRate) : -1;
  std::vector<float> mix = synth::renderSong(song, schedule, maxFrames, &stats);
  const double renderTime = secondsSince(t0);

  const float fs = static_cast<float>(song.sampleRate);
  synth::LimiterSettings limiter;
  limiter.ceiling = synth::dbToGain(song.ceilingDb);
  limiter.release = song.limiterRelease;
  const double rawLoudness = synth::integratedLoudness(mix, fs);
  const std::vector<float> raw = report ? mix : std::vector<float>();
  synth::MasterResult master;
  if (rawMix) {
    master.loudness = rawLoudness;
    master.truePeak = synth::truePeak(mix);
  } else {
    master = synth::masterToLoudness(mix, song.targetLufs, limiter, fs);
  }
  const double masterTime = secondsSince(t0) - renderTime;

  std::vector<unsigned char> ogg;
  if (!synth::encodeVorbis(mix, song.sampleRate, kQuality, {{"TITLE", song.title}, {"ARTIST", song.artist}}, ogg)) {
    std::fprintf(stderr, "vorbis encoder refused the settings\n");
    return 1;
  }
  const double encodeTime = secondsSince(t0) - renderTime - masterTime;
  if (!writeFile(argv[2], ogg)) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }

  std::printf("%s: %.2f s, %lld note events, up to %d voices\n", argv[2],
              static_cast<double>(stats.frames) / song.sampleRate, static_cast<long long>(stats.events),
              stats.maxVoices);
  std::printf("mix %.1f LUFS, gain %+.1f dB -> %.2f LUFS, true peak %.2f dBTP, %zu bytes\n", rawLoudness,
              20.0 * std::log10(master.gain), master.loudness, 20.0 * std::log10(std::max(1e-9f, master.truePeak)),
              ogg.size());
  std::printf("time: render %.2f s, master %.2f s, encode %.2f s (wall); %.2f s processor\n", renderTime,
              masterTime, encodeTime, static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC);
  if (report) {
    printSections(song, schedule, raw, mix);
    printActivity(song, stats);
  }
  return 0;
}
