#include "platform/fmod/device_playback.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace vorn::fmod {

namespace {

constexpr int kCallbackFrames = 1024;     // within the 512..1024 that works everywhere
constexpr std::int64_t kRingFrames = 1 << 15;  // about 0.7 s at 44.1 kHz
constexpr std::int64_t kDecodeChunk = 2048;

}  // namespace

std::unique_ptr<DevicePlayback> DevicePlayback::open(OggStream* stream, const std::string& name,
                                                     std::string* error) {
  if (!stream || stream->rate() <= 0 || stream->channels() <= 0) {
    if (error) *error = "the stream has no audio";
    return nullptr;
  }
  std::unique_ptr<DevicePlayback> playback(new DevicePlayback());
  playback->stream_ = stream;
  playback->name_ = name;
  playback->rate_ = stream->rate();
  playback->outChannels_ = stream->channels();
  playback->length_ = stream->length();

  playback->output_ = AudioOutput::open(static_cast<int>(playback->rate_), playback->outChannels_, kCallbackFrames,
                                        &DevicePlayback::callbackEntry, playback.get(), error);
  if (!playback->output_) return nullptr;
  playback->clock_.configure(playback->rate_, audioCounterFrequency(), playback->output_->latencyFrames(),
                             playback->output_->callbackFrames());

  playback->ringFrames_ = kRingFrames;
  playback->ring_.assign(static_cast<std::size_t>(kRingFrames * playback->outChannels_), 0.0f);
  playback->decoder_ = std::thread(&DevicePlayback::decoderLoop, playback.get());
  return playback;
}

DevicePlayback::~DevicePlayback() {
  // The decoder first (it may lock the output), then the output: once it
  // is closed no callback runs, and the ring can go.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (decoder_.joinable()) decoder_.join();
  output_.reset();
}

void DevicePlayback::playFrom(std::int64_t frame) {
  frame = std::clamp<std::int64_t>(frame, 0, length_);
  // With the callback locked out: silence until the decoder has sought, and
  // the clock holds at the new frame until that audio is taken.
  output_->lock();
  seeking_ = true;
  tail_ = 0;
  clock_.start(frame);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seekPending_ = true;
    seekTarget_ = frame;
  }
  output_->unlock();
  wake_.notify_all();
  output_->start();
}

std::int64_t DevicePlayback::positionFrames() {
  return clock_.position(audioCounter());
}

void DevicePlayback::callbackEntry(void* self, float* out, int frames) {
  static_cast<DevicePlayback*>(self)->callback(out, frames);
}

void DevicePlayback::callback(float* out, int frames) {
  std::int64_t now = audioCounter();
  std::memset(out, 0, static_cast<std::size_t>(frames) * outChannels_ * sizeof(float));
  if (seeking_) return;
  std::int64_t read = read_.load(std::memory_order_relaxed);
  std::int64_t available = written_.load(std::memory_order_acquire) - read;
  std::int64_t take = std::min<std::int64_t>(available, frames);
  for (std::int64_t i = 0; i < take; ++i) {
    std::int64_t slot = (read + i) & (ringFrames_ - 1);
    std::memcpy(out + i * outChannels_, &ring_[static_cast<std::size_t>(slot * outChannels_)],
                sizeof(float) * outChannels_);
  }
  read_.store(read + take, std::memory_order_release);
  std::int64_t first = ringStart_ + read + tail_;
  if (take == frames) {
    clock_.onBuffer(first, take, false, now);
  } else if (endOfStream_.load(std::memory_order_acquire) &&
             written_.load(std::memory_order_acquire) == read + take) {
    // The end: the silence after the last frame counts as played, so that
    // the position runs on past the end of the stream with the device.
    clock_.onBuffer(first, frames, false, now);
    tail_ += frames - take;
  } else {
    clock_.onBuffer(first, take, true, now);  // decoder fell behind
  }
  wake_.notify_one();
}

bool DevicePlayback::decode(std::int64_t frames) {
  std::int64_t done = 0;
  bool more = true;
  while (done < frames && more) {
    // Up to the ring's end at a time, straight into the ring.
    const std::int64_t write = written_.load(std::memory_order_relaxed);
    const std::int64_t slot = write & (ringFrames_ - 1);
    const std::int64_t chunk = std::min(frames - done, ringFrames_ - slot);
    const std::int64_t got = stream_->read(&ring_[static_cast<std::size_t>(slot * outChannels_)], chunk);
    written_.store(write + got, std::memory_order_release);
    done += got;
    more = got == chunk;
  }
  const std::string damage = stream_->unreportedDamage();
  if (!damage.empty()) {
    std::fprintf(stderr, "%s: %s; the music plays on as well as it can\n", name_.c_str(), damage.c_str());
  }
  return more;
}

void DevicePlayback::decoderLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (quit_) return;
    if (seekPending_) {
      std::int64_t target = seekTarget_;
      seekPending_ = false;
      lock.unlock();
      // A stream that cannot decode there plays silence from there on.
      stream_->seek(target);
      const std::int64_t at = std::clamp<std::int64_t>(target, 0, length_);
      // The callback plays silence and touches nothing while seeking, so the
      // ring can be emptied and half filled before it may play again.
      read_.store(0);
      written_.store(0);
      ringStart_ = at;
      endOfStream_.store(!decode(ringFrames_ / 2), std::memory_order_release);
      output_->lock();
      lock.lock();
      if (!seekPending_) seeking_ = false;  // else a newer seek starts over
      lock.unlock();
      output_->unlock();
      lock.lock();
      continue;
    }
    std::int64_t used = written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    std::int64_t space = ringFrames_ - used;
    if (endOfStream_.load(std::memory_order_relaxed) || space < kDecodeChunk) {
      wake_.wait_for(lock, std::chrono::milliseconds(5));
      continue;
    }
    lock.unlock();
    bool more = decode(std::min(space, kDecodeChunk * 4));
    if (!more) endOfStream_.store(true, std::memory_order_release);
    lock.lock();
  }
}

}  // namespace vorn::fmod
