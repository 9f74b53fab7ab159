// Renders a song: plays the schedule on one instrument per track, mixes the tracks with
// level, pan, sends and sidechain ducking, runs the delay and reverb returns and the master
// automation. The result is the unmastered stereo mix.
#pragma once

#include <cstdint>
#include <vector>

#include "synth/sequencer.h"
#include "synth/song.h"

namespace synth {

struct RenderStats {
  int64_t frames = 0;
  int64_t events = 0;
  int maxVoices = 0;  // most voices sounding at once, summed over tracks
  // Mean square of each track after its fader, per second of the song: [track][second].
  std::vector<std::vector<float>> trackPower;
};

// Interleaved stereo of schedule.totalSamples frames, or fewer when maxFrames >= 0.
std::vector<float> renderSong(const Song& song, const Schedule& schedule, int64_t maxFrames = -1,
                              RenderStats* stats = nullptr);

}  // namespace synth
