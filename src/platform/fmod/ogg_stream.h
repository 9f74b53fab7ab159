// An Ogg Vorbis stream decoded to one fixed format from start to end.
//
// A file may chain several sections (logical streams) one after another,
// each with its own channel count and sample rate. The output keeps the
// format of the first section: mono when it is mono, stereo otherwise, at
// its rate. Later sections are mixed to those channels and resampled to that
// rate, so one output frame is the same stretch of time all through the
// file, and positions, lengths and seeks are counted in output frames.
//
// Damage found on the way (a gap in the data, a section that cannot be
// decoded, an end that is not the end of the stream) is described once in
// damage(); decoding goes on past what it can.
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vorn::fmod {

// Rate conversion by linear interpolation between neighbouring frames,
// carried across blocks: enough for the odd section at another rate.
class Resampler {
 public:
  Resampler(std::int64_t from, std::int64_t to, int channels) : from_(from), to_(to), channels_(channels) {}
  // Appends the output for `count` more input frames to `out`.
  void push(const float* in, std::int64_t count, std::vector<float>* out);
  // The input has ended: the output runs to the time of its last frame.
  void flush(std::vector<float>* out);

 private:
  std::int64_t from_, to_;
  int channels_;
  std::vector<float> joined_;   // the previous frame, then the new block
  bool started_ = false;
  std::int64_t position_ = 0;   // next output frame, in 1/to_ input frames after the previous frame
};

class OggStream {
 public:
  // Opens a stream over a file; the stream owns the file from then on (it
  // is closed on failure too). Null with a reason when it is no Ogg Vorbis
  // stream.
  static std::unique_ptr<OggStream> openFile(std::FILE* file, std::string* error);
  // The same over bytes in memory, which must outlive the stream.
  static std::unique_ptr<OggStream> openMemory(const std::uint8_t* data, std::size_t size, std::string* error);
  ~OggStream();

  OggStream(const OggStream&) = delete;
  OggStream& operator=(const OggStream&) = delete;

  std::int64_t rate() const { return rate_; }
  int channels() const { return channels_; }
  // Output frames of the whole stream.
  std::int64_t length() const { return length_; }
  int sections() const { return static_cast<int>(sections_.size()); }

  // The next read starts at this output frame (clamped to the stream).
  // False once the stream has failed to decode: reads then give nothing.
  bool seek(std::int64_t frame);

  // Decodes up to `frames` interleaved output frames into `out`; fewer only
  // at the end of the stream (0 once it has ended).
  std::int64_t read(float* out, std::int64_t frames);

  // What is wrong with the stream, first problem only; empty while none has
  // been found. The end is checked when the stream opens, the rest while
  // decoding.
  const std::string& damage() const { return damage_; }
  // The damage once, for the one line that reports it; empty afterwards
  // and while there is none.
  std::string unreportedDamage() {
    if (damage_.empty() || damageReported_) return {};
    damageReported_ = true;
    return damage_;
  }

 private:
  struct Section {
    std::int64_t rate = 0;
    int channels = 0;
    std::int64_t firstPcm = 0;     // in the file's own sample counts
    std::int64_t pcmFrames = 0;
    std::int64_t firstOutput = 0;  // in output frames
    std::int64_t outputFrames = 0;
  };

  OggStream() = default;
  static std::unique_ptr<OggStream> finishOpen(std::unique_ptr<OggStream> stream, int opened, std::string* error);
  void noteDamage(const std::string& what);
  void giveUp(long error);
  void startSection(int section);
  void finishSection();
  void queue(const float* frames, std::int64_t count);

  OggVorbis_File file_{};
  bool open_ = false;
  std::int64_t rate_ = 0;
  int channels_ = 0;
  std::int64_t length_ = 0;
  std::vector<Section> sections_;

  int current_ = -1;                       // section being decoded
  std::unique_ptr<Resampler> converter_;   // for a section at another rate
  std::vector<float> mixed_;               // one decoded block, mixed to the output channels
  std::vector<float> pending_;             // output frames decoded but not yet read
  std::size_t pendingStart_ = 0;           // first unread float of pending_
  bool ended_ = false;
  // vorbisfile failed to set up a section. It must not be called again: a
  // second attempt at the same section divides by zero inside libvorbis
  // (its half-built codebooks are kept), so the stream stays silent.
  bool broken_ = false;
  int holesInARow_ = 0;
  std::string damage_;
  bool damageReported_ = false;

  // Memory source for openMemory.
  const std::uint8_t* memory_ = nullptr;
  std::size_t memorySize_ = 0;
  std::size_t memoryPos_ = 0;
  static std::size_t memoryRead(void* into, std::size_t size, std::size_t count, void* self);
  static int memorySeek(void* self, ogg_int64_t offset, int whence);
  static long memoryTell(void* self);
};

// Whether the bytes after `tail` end an Ogg stream properly: the last page
// is complete and marks the end of its stream. `tail` is the end of the
// file (its last 64 KiB suffice).
bool oggTailIsComplete(const std::uint8_t* tail, std::size_t size);

}  // namespace vorn::fmod
