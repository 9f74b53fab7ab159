// One Ogg Vorbis stream playing on an audio output: a decoder thread fills
// a ring buffer that the output's callback empties, and the callback drives
// the MusicClock that gives the channel position.
#pragma once

#include <vorbis/vorbisfile.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/fmod/audio_output.h"
#include "platform/fmod/music_clock.h"

namespace vorn::fmod {

class DevicePlayback {
 public:
  // Opens the default output device for the stream (paused). The decoder
  // reads `file`, which must stay open, and nobody else may use it, until
  // the playback is destroyed. Null with a reason on failure.
  static std::unique_ptr<DevicePlayback> open(OggVorbis_File* file, std::int64_t lengthFrames, std::string* error);
  ~DevicePlayback();

  DevicePlayback(const DevicePlayback&) = delete;
  DevicePlayback& operator=(const DevicePlayback&) = delete;

  // Plays from this stream frame (also the seek operation).
  void playFrom(std::int64_t frame);
  std::int64_t positionFrames();
  std::int64_t rate() const { return rate_; }

  // What the device was opened with, for tools.
  int callbackFrames() const { return output_->callbackFrames(); }
  std::int64_t latencyFrames() const { return output_->latencyFrames(); }

 private:
  DevicePlayback() = default;
  static void callbackEntry(void* self, float* out, int frames);
  void callback(float* out, int frames);
  void decoderLoop();
  // Decodes up to `frames` frames into the ring; false at the end of the stream.
  bool decode(std::int64_t frames);

  OggVorbis_File* file_ = nullptr;
  std::int64_t rate_ = 44100;
  int inChannels_ = 2;
  int outChannels_ = 2;
  std::int64_t length_ = 0;
  std::unique_ptr<AudioOutput> output_;
  MusicClock clock_;

  // Single producer (decoder), single consumer (callback). Counts only grow,
  // except that a seek resets both while the callback is locked out.
  std::vector<float> ring_;
  std::int64_t ringFrames_ = 0;  // capacity, a power of two
  std::atomic<std::int64_t> written_{0};
  std::atomic<std::int64_t> read_{0};
  std::int64_t ringStart_ = 0;  // stream frame of ring count 0 (callback lock)
  std::atomic<bool> endOfStream_{false};
  bool seeking_ = true;  // callback lock: play silence, report nothing

  std::mutex mutex_;
  std::condition_variable wake_;
  bool quit_ = false;
  bool seekPending_ = false;
  std::int64_t seekTarget_ = 0;
  std::thread decoder_;
  std::vector<float> scratch_;
};

}  // namespace vorn::fmod
