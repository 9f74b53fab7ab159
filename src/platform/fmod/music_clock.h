// The channel position of a stream playing on an audio device.
//
// The audio callback reports, for every buffer it hands to the device, the
// stream frame that buffer starts with, how many stream frames it holds and
// the performance-counter time of the hand-over. From that the clock keeps
// two lines:
// - the device line: the first frame of the latest buffer, less the frames
//   the device still holds before it (its latency), extrapolated from the
//   hand-over at the stream's rate but never further than that buffer: a
//   stalled device stops the clock instead of running it away;
// - the time base: a straight line in counter time, set when playback
//   starts, after a seek and after an underrun or stall, and otherwise only
//   steered very gently towards the device line, so that the jitter of the
//   callbacks never reaches the position.
// The position is the time base held below the device line, never less than
// the last position read (until a seek). After the end of the stream the
// device plays silence and the position runs on with it.
// Everything is in stream frames; counter values are in counter ticks.
//
// Thread-safe: the audio callback reports, any thread reads.
#pragma once

#include <cstdint>
#include <mutex>

namespace vorn::fmod {

class MusicClock {
 public:
  // How far, in callback buffers, the time base runs behind the device line:
  // room for callbacks that come late on a busy machine.
  static constexpr double kLagBuffers = 0.5;

  // rate: stream frames per second; frequency: counter ticks per second;
  // latencyFrames: what the device holds before a buffer just handed over;
  // periodFrames: the callback buffer size.
  void configure(std::int64_t rate, std::int64_t frequency, std::int64_t latencyFrames, std::int64_t periodFrames);

  // Playback starts (or restarts after a seek) at this frame; until the
  // device takes audio from there, the position stays at the frame.
  void start(std::int64_t frame);

  // From the audio callback: a buffer starting at stream frame `first`
  // holding `frames` stream frames was handed over at counter time `now`.
  // `starved` says the buffer ran short of decoded audio (an underrun): the
  // time base is set again when audio flows.
  void onBuffer(std::int64_t first, std::int64_t frames, bool starved, std::int64_t now);

  // The position at counter time `now`, in frames.
  std::int64_t position(std::int64_t now);

  std::int64_t rate() const { return rate_; }

 private:
  double deviceLine(std::int64_t now) const;
  double baseLine(std::int64_t now) const;
  void rebase(double frame, std::int64_t now);

  mutable std::mutex mutex_;
  std::int64_t rate_ = 44100;
  std::int64_t frequency_ = 1000000000;
  std::int64_t latency_ = 0;
  std::int64_t period_ = 1024;

  std::int64_t floor_ = 0;      // start or seek frame
  std::int64_t last_ = 0;       // last position read
  bool haveBuffer_ = false;     // a buffer since start()
  bool needRebase_ = true;      // set the time base at the next buffer
  double deviceFrame_ = 0;      // device line at deviceTime_
  std::int64_t deviceTime_ = 0;
  std::int64_t deviceCap_ = 0;  // frames the device line may extrapolate
  double baseFrame_ = 0;        // time base: frame at baseTime_
  std::int64_t baseTime_ = 0;
  double speed_ = 1.0;          // time base speed relative to the stream rate
  double error_ = 0;            // filtered device line minus time base
};

}  // namespace vorn::fmod
