#include "platform/fmod/music_clock.h"

#include <algorithm>
#include <cmath>

namespace vorn::fmod {

namespace {

// How strongly the time base follows the device line: the filtered error is
// taken out over this many seconds, the speed never off by more than the
// limit (cheap devices and SDL's dummy driver run up to about 1% off).
constexpr double kSteerSeconds = 0.25;
constexpr double kSpeedLimit = 0.02;
constexpr double kErrorFilter = 0.05;  // per buffer

}  // namespace

void MusicClock::configure(std::int64_t rate, std::int64_t frequency, std::int64_t latencyFrames,
                           std::int64_t periodFrames) {
  std::lock_guard<std::mutex> lock(mutex_);
  rate_ = std::max<std::int64_t>(rate, 1);
  frequency_ = std::max<std::int64_t>(frequency, 1);
  latency_ = std::max<std::int64_t>(latencyFrames, 0);
  period_ = std::max<std::int64_t>(periodFrames, 1);
  floor_ = last_ = 0;
  haveBuffer_ = false;
  needRebase_ = true;
  speed_ = 1.0;
  error_ = 0;
}

void MusicClock::start(std::int64_t frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  floor_ = last_ = std::max<std::int64_t>(frame, 0);
  haveBuffer_ = false;
  needRebase_ = true;
  speed_ = 1.0;
  error_ = 0;
}

double MusicClock::deviceLine(std::int64_t now) const {
  double elapsed = static_cast<double>(std::max<std::int64_t>(now - deviceTime_, 0)) * rate_ / frequency_;
  return deviceFrame_ + std::min(elapsed, static_cast<double>(deviceCap_));
}

double MusicClock::baseLine(std::int64_t now) const {
  return baseFrame_ + static_cast<double>(now - baseTime_) * rate_ / frequency_ * speed_;
}

void MusicClock::rebase(double frame, std::int64_t now) {
  baseFrame_ = frame;
  baseTime_ = now;
  speed_ = 1.0;
  error_ = 0;
}

void MusicClock::onBuffer(std::int64_t first, std::int64_t frames, bool starved, std::int64_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (frames > 0) {
    deviceFrame_ = static_cast<double>(first - latency_);
    deviceTime_ = now;
    deviceCap_ = frames;
    haveBuffer_ = true;
    // The time base runs a little behind the device line, so that a callback
    // that comes late does not hold the position back.
    double target = deviceFrame_ - static_cast<double>(period_) * kLagBuffers;
    if (needRebase_) {
      rebase(target, now);
      needRebase_ = false;
    } else {
      double error = target - baseLine(now);
      double gap = std::max(2.0 * static_cast<double>(period_), static_cast<double>(rate_) / 20.0);
      if (std::abs(error) > gap) {
        // The device stalled or skipped: start a new time base.
        rebase(target, now);
      } else {
        // Re-anchor the line where it is (no jump) and steer its speed.
        baseFrame_ = baseLine(now);
        baseTime_ = now;
        error_ += kErrorFilter * (error - error_);
        double correction = error_ / static_cast<double>(rate_) / kSteerSeconds;
        speed_ = 1.0 + std::clamp(correction, -kSpeedLimit, kSpeedLimit);
      }
    }
  }
  if (starved) needRebase_ = true;
}

std::int64_t MusicClock::position(std::int64_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t frame = floor_;
  if (haveBuffer_) {
    double line = std::min(baseLine(now), deviceLine(now));
    frame = static_cast<std::int64_t>(std::floor(line));
  }
  frame = std::max(frame, floor_);
  frame = std::max(frame, last_);
  last_ = frame;
  return frame;
}

}  // namespace vorn::fmod
