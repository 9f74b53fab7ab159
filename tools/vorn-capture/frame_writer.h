// Where captured frames go: PNG files or an ffmpeg pipe, written on a thread
// of their own so rendering never waits on encoding.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CapturedFrame {
  std::int64_t index = 0;
  std::int32_t timeMs = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // top row first
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool write(const CapturedFrame& frame) = 0;
  // Finishes the output (closes the file or the encoder); false on failure.
  virtual bool finish() = 0;
};

// frame_<time>.png (single frames) or frame_<index>.png (sequences) in a folder.
std::unique_ptr<FrameSink> makePngSink(const std::string& directory, bool nameByTime);

// Raw RGBA frames into ffmpeg: H.264 yuv420p MP4, with the music cut to the
// same span muxed in when the file exists.
std::unique_ptr<FrameSink> makeFfmpegSink(const std::string& outPath, int width, int height, double fps,
                                          const std::string& musicPath, std::int32_t fromMs, std::int32_t toMs,
                                          std::string* error);

// Full path of an executable on PATH, or empty.
std::string findOnPath(const std::string& name);

// Runs a sink on a thread with a bounded queue.
class FrameWriter {
 public:
  FrameWriter(std::unique_ptr<FrameSink> sink, std::size_t maxQueued);
  ~FrameWriter();
  // Blocks while the queue is full.
  void push(CapturedFrame frame);
  // Writes what is queued, finishes the sink; false if any write failed.
  bool close();
  double busySeconds() const;

 private:
  void run();
  std::unique_ptr<FrameSink> sink_;
  std::size_t maxQueued_;
  std::deque<CapturedFrame> queue_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool closing_ = false;
  bool failed_ = false;
  double busy_ = 0.0;
  std::thread thread_;
};
