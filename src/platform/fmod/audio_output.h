// The sound card behind the FMOD stand-in: an output that pulls interleaved
// float frames from a fill function on a thread of its own. One back end per
// platform (SDL audio; waveOut on Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vorn::fmod {

class AudioOutput {
 public:
  // Called on the output's thread with room for `frames` frames.
  using Fill = void (*)(void* user, float* out, int frames);

  // Opens the default output for the stream's rate and channels (1 or 2),
  // paused, asking for buffers of `frames` frames. Null with a reason on
  // failure.
  static std::unique_ptr<AudioOutput> open(int rate, int channels, int frames, Fill fill, void* user,
                                           std::string* error);
  virtual ~AudioOutput() = default;

  // Starts pulling (no effect when already running).
  virtual void start() = 0;
  // While locked, the fill function does not run.
  virtual void lock() = 0;
  virtual void unlock() = 0;

  // The buffer size the device works with, in frames.
  virtual int callbackFrames() const = 0;
  // What the device still holds before a buffer just filled is heard.
  virtual std::int64_t latencyFrames() const = 0;
};

// The audio subsystem, taken by FMOD_System_Init and given back by
// FMOD_System_Close; false with a reason where there is no audio output.
bool startAudio(std::string* error);
void stopAudio();

// The high-resolution counter that fill times are measured with.
std::int64_t audioCounter();
std::int64_t audioCounterFrequency();

}  // namespace vorn::fmod
