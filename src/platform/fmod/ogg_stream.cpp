#include "platform/fmod/ogg_stream.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace vorn::fmod {

namespace {

constexpr int kBlockFrames = 4096;
constexpr std::size_t kTailBytes = 65536;
// Rates the output and the resampler handle; Vorbis allows any, but a
// stream outside these is not music anyone can play.
constexpr long kLowestRate = 1000;
constexpr long kHighestRate = 1000000;
// Far more gaps in a row than any damaged file shows: past this the rest
// of the data is taken to be noise.
constexpr int kMaxHolesInARow = 100000;

std::int64_t scaleFrames(std::int64_t frames, std::int64_t to, std::int64_t from) {
  if (frames <= 0 || from <= 0) return 0;
  const __int128 scaled = static_cast<__int128>(frames) * to / from;
  return scaled > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                           : static_cast<std::int64_t>(scaled);
}

// Vorbis orders the channels of a section by their count (left, centre,
// right, surrounds, rears, LFE); the stereo mix takes each side's own
// channels and the centre at -3 dB on both sides, and leaves out the LFE.
void mixToStereo(float** pcm, int in, long frame, float* left, float* right) {
  constexpr float kHalfPower = 0.70710678f;
  const auto at = [&](int c) { return pcm[c][frame]; };
  switch (in) {
    case 1: *left = *right = at(0); return;
    case 2: *left = at(0); *right = at(1); return;
    case 3: *left = at(0) + kHalfPower * at(1); *right = at(2) + kHalfPower * at(1); return;
    case 4: *left = at(0) + kHalfPower * at(2); *right = at(1) + kHalfPower * at(3); return;
    case 5:
    case 6:
      *left = at(0) + kHalfPower * (at(1) + at(3));
      *right = at(2) + kHalfPower * (at(1) + at(4));
      return;
    case 7:
      *left = at(0) + kHalfPower * (at(1) + at(3)) + 0.5f * at(5);
      *right = at(2) + kHalfPower * (at(1) + at(4)) + 0.5f * at(5);
      return;
    case 8:
      *left = at(0) + kHalfPower * (at(1) + at(3) + at(5));
      *right = at(2) + kHalfPower * (at(1) + at(4) + at(6));
      return;
    default:  // no defined order: the first two
      *left = at(0);
      *right = at(1);
      return;
  }
}

const char* describeError(long code) {
  switch (code) {
    case OV_EBADLINK: return "a section of the stream is damaged";
    case OV_EREAD: return "the file cannot be read";
    case OV_EFAULT: return "the decoder failed";
    default: return "the audio data cannot be decoded";
  }
}

}  // namespace

void Resampler::push(const float* in, std::int64_t count, std::vector<float>* out) {
  if (count <= 0) return;
  const std::size_t width = static_cast<std::size_t>(channels_);
  if (!started_) {
    // The first frame starts the line: output frame 0 is input frame 0.
    joined_.assign(in, in + width);
    started_ = true;
    ++in;
    --count;
  }
  joined_.resize(width * static_cast<std::size_t>(count + 1));
  std::memcpy(joined_.data() + width, in, sizeof(float) * width * static_cast<std::size_t>(count));
  // joined_ holds frames 0..count; an output frame between frames a and
  // a + 1 needs both.
  for (;;) {
    const std::int64_t a = position_ / to_;
    if (a + 1 > count) break;
    const float weight = static_cast<float>(position_ % to_) / static_cast<float>(to_);
    const float* left = joined_.data() + width * static_cast<std::size_t>(a);
    for (std::size_t c = 0; c < width; ++c) out->push_back(left[c] + (left[c + width] - left[c]) * weight);
    position_ += from_;
  }
  position_ -= count * to_;
  joined_.erase(joined_.begin(), joined_.end() - static_cast<std::ptrdiff_t>(width));
}

void Resampler::flush(std::vector<float>* out) {
  if (!started_) return;
  for (; position_ < to_; position_ += from_) out->insert(out->end(), joined_.begin(), joined_.end());
  started_ = false;
  position_ = 0;
}

bool oggTailIsComplete(const std::uint8_t* tail, std::size_t size) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(size));
  if (size) std::memcpy(buffer, tail, size);
  ogg_sync_wrote(&sync, static_cast<long>(size));
  std::size_t offset = 0;
  std::size_t lastEnd = 0;
  bool lastEndsStream = false;
  ogg_page page;
  for (;;) {
    const long step = ogg_sync_pageseek(&sync, &page);
    if (step == 0) break;  // needs more data: the rest is an incomplete page
    if (step > 0) {
      lastEnd = offset + static_cast<std::size_t>(step);
      lastEndsStream = ogg_page_eos(&page) != 0;
      offset = lastEnd;
    } else {
      offset += static_cast<std::size_t>(-step);
    }
  }
  ogg_sync_clear(&sync);
  return lastEnd == size && lastEndsStream;
}

std::unique_ptr<OggStream> OggStream::openFile(std::FILE* file, std::string* error) {
  if (!file) {
    if (error) *error = "no file";
    return nullptr;
  }
  std::unique_ptr<OggStream> stream(new OggStream());
  // The end first: vorbisfile takes a cut-off end for the end of the music.
  std::vector<std::uint8_t> tail;
  bool tailRead = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    if (size > 0) {
      const long from = size > static_cast<long>(kTailBytes) ? size - static_cast<long>(kTailBytes) : 0;
      tail.resize(static_cast<std::size_t>(size - from));
      tailRead = std::fseek(file, from, SEEK_SET) == 0 && std::fread(tail.data(), 1, tail.size(), file) == tail.size();
    }
  }
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    if (error) *error = "the file cannot be read";
    return nullptr;
  }
  if (tailRead && !oggTailIsComplete(tail.data(), tail.size())) {
    stream->noteDamage("the stream ends early: its last page is cut off or missing (is the file cut short?)");
  }
  const int opened = ov_open_callbacks(file, &stream->file_, nullptr, 0, OV_CALLBACKS_DEFAULT);
  if (opened != 0) std::fclose(file);  // vorbisfile keeps the file only on success
  return finishOpen(std::move(stream), opened, error);
}

std::unique_ptr<OggStream> OggStream::openMemory(const std::uint8_t* data, std::size_t size, std::string* error) {
  std::unique_ptr<OggStream> stream(new OggStream());
  stream->memory_ = data;
  stream->memorySize_ = data ? size : 0;
  const std::size_t tail = std::min(stream->memorySize_, kTailBytes);
  if (!oggTailIsComplete(data + (stream->memorySize_ - tail), tail)) {
    stream->noteDamage("the stream ends early: its last page is cut off or missing (is the file cut short?)");
  }
  ov_callbacks callbacks{&OggStream::memoryRead, &OggStream::memorySeek, nullptr, &OggStream::memoryTell};
  const int opened = ov_open_callbacks(stream.get(), &stream->file_, nullptr, 0, callbacks);
  return finishOpen(std::move(stream), opened, error);
}

std::unique_ptr<OggStream> OggStream::finishOpen(std::unique_ptr<OggStream> stream, int opened, std::string* error) {
  if (opened != 0) {
    if (error) *error = "not an Ogg Vorbis file";
    return nullptr;
  }
  stream->open_ = true;
  const long count = ov_streams(&stream->file_);
  std::int64_t pcm = 0;
  std::int64_t output = 0;
  for (long i = 0; i < count; ++i) {
    const vorbis_info* info = ov_info(&stream->file_, static_cast<int>(i));
    if (!info || info->channels <= 0 || info->rate <= 0) {
      if (error) *error = "a section of the stream has no audio";
      return nullptr;
    }
    Section section;
    section.rate = info->rate;
    section.channels = info->channels;
    section.firstPcm = pcm;
    section.pcmFrames = std::max<std::int64_t>(ov_pcm_total(&stream->file_, static_cast<int>(i)), 0);
    if (i == 0) {
      if (info->rate < kLowestRate || info->rate > kHighestRate) {
        if (error) *error = "its sample rate of " + std::to_string(info->rate) + " Hz is not playable";
        return nullptr;
      }
      stream->rate_ = info->rate;
      stream->channels_ = info->channels == 1 ? 1 : 2;
      // Encoders start the first section at sample 0; a stream that claims
      // to start well after it has lost its first audio pages, which
      // vorbisfile passes over without a hole.
      const ogg_int64_t lead = stream->file_.pcmlengths ? stream->file_.pcmlengths[0] : 0;
      if (lead > info->rate / 10) {
        const auto leadMs = static_cast<long long>(static_cast<double>(lead) * 1000.0 / info->rate);
        stream->noteDamage("its audio starts " + std::to_string(leadMs) +
                           " ms in: the pages before are damaged or missing");
      }
    }
    section.firstOutput = output;
    section.outputFrames = scaleFrames(section.pcmFrames, stream->rate_, section.rate);
    pcm += section.pcmFrames;
    output = output > std::numeric_limits<std::int64_t>::max() - section.outputFrames
                 ? std::numeric_limits<std::int64_t>::max()
                 : output + section.outputFrames;
    stream->sections_.push_back(section);
  }
  if (stream->sections_.empty()) {
    if (error) *error = "the stream has no audio";
    return nullptr;
  }
  stream->length_ = output;
  // vorbisfile leaves a freshly opened chained stream at a later section's
  // start (seen with two sections); reading begins at the first.
  if (const int sought = ov_pcm_seek(&stream->file_, 0); sought != 0) stream->giveUp(sought);
  return stream;
}

OggStream::~OggStream() {
  if (open_) ov_clear(&file_);
}

void OggStream::noteDamage(const std::string& what) {
  if (damage_.empty()) damage_ = what;
}

bool OggStream::seek(std::int64_t frame) {
  converter_.reset();
  current_ = -1;
  pending_.clear();
  pendingStart_ = 0;
  ended_ = false;
  holesInARow_ = 0;
  if (broken_) {
    ended_ = true;
    return false;
  }
  frame = std::clamp<std::int64_t>(frame, 0, length_);
  std::size_t index = 0;
  while (index + 1 < sections_.size() && sections_[index + 1].firstOutput <= frame) ++index;
  const Section& section = sections_[index];
  const std::int64_t pcm =
      section.firstPcm + std::min(section.pcmFrames, scaleFrames(frame - section.firstOutput, section.rate, rate_));
  const int sought = ov_pcm_seek(&file_, pcm);
  if (sought == 0) return true;
  giveUp(sought);
  return false;
}

void OggStream::giveUp(long error) {
  noteDamage(describeError(error));
  broken_ = true;
  ended_ = true;
}

void OggStream::startSection(int section) {
  current_ = section;
  if (section < 0 || section >= static_cast<int>(sections_.size())) return;
  const Section& s = sections_[static_cast<std::size_t>(section)];
  if (s.rate == rate_) return;
  if (s.rate >= kLowestRate && s.rate <= kHighestRate) {
    converter_ = std::make_unique<Resampler>(s.rate, rate_, channels_);
  } else {
    noteDamage("section " + std::to_string(section + 1) + " has a sample rate of " + std::to_string(s.rate) +
               " Hz that cannot be played; it is skipped");
  }
}

void OggStream::finishSection() {
  if (converter_) converter_->flush(&pending_);
  converter_.reset();
  current_ = -1;
}

void OggStream::queue(const float* frames, std::int64_t count) {
  pending_.insert(pending_.end(), frames, frames + count * channels_);
}

std::int64_t OggStream::read(float* out, std::int64_t frames) {
  std::int64_t done = 0;
  while (done < frames) {
    const std::int64_t available = static_cast<std::int64_t>(pending_.size() - pendingStart_) / channels_;
    if (available > 0) {
      const std::int64_t take = std::min(available, frames - done);
      std::memcpy(out + done * channels_, pending_.data() + pendingStart_,
                  static_cast<std::size_t>(take * channels_) * sizeof(float));
      pendingStart_ += static_cast<std::size_t>(take * channels_);
      done += take;
      if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
      }
      continue;
    }
    if (ended_) break;

    float** pcm = nullptr;
    int link = 0;
    const long got = ov_read_float(&file_, &pcm, kBlockFrames, &link);
    if (got == OV_HOLE) {
      noteDamage("part of the audio data is damaged and was skipped");
      if (++holesInARow_ > kMaxHolesInARow) {
        finishSection();
        ended_ = true;
      }
      continue;
    }
    if (got <= 0) {
      finishSection();
      if (got < 0) giveUp(got);
      ended_ = true;
      continue;
    }
    holesInARow_ = 0;
    if (link != current_) {
      finishSection();
      startSection(link);
    }
    const vorbis_info* info = ov_info(&file_, link);
    const Section* section =
        link >= 0 && link < static_cast<int>(sections_.size()) ? &sections_[static_cast<std::size_t>(link)] : nullptr;
    if (!info || !section || info->channels <= 0) continue;
    if (section->rate != rate_ && !converter_) continue;  // a section that cannot be played

    mixed_.resize(static_cast<std::size_t>(got) * channels_);
    for (long i = 0; i < got; ++i) {
      float left = 0.0f, right = 0.0f;
      mixToStereo(pcm, info->channels, i, &left, &right);
      if (channels_ == 1) {
        mixed_[static_cast<std::size_t>(i)] = info->channels == 1 ? left : 0.5f * (left + right);
      } else {
        mixed_[static_cast<std::size_t>(2 * i)] = left;
        mixed_[static_cast<std::size_t>(2 * i + 1)] = right;
      }
    }
    if (converter_) {
      converter_->push(mixed_.data(), got, &pending_);
    } else {
      queue(mixed_.data(), got);
    }
  }
  return done;
}

std::size_t OggStream::memoryRead(void* into, std::size_t size, std::size_t count, void* self) {
  auto* stream = static_cast<OggStream*>(self);
  if (size == 0 || count == 0) return 0;
  const std::size_t left = stream->memorySize_ - stream->memoryPos_;
  const std::size_t items = std::min(count, left / size);
  if (items) std::memcpy(into, stream->memory_ + stream->memoryPos_, items * size);
  stream->memoryPos_ += items * size;
  return items;
}

int OggStream::memorySeek(void* self, ogg_int64_t offset, int whence) {
  auto* stream = static_cast<OggStream*>(self);
  ogg_int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(stream->memoryPos_);
  if (whence == SEEK_END) base = static_cast<ogg_int64_t>(stream->memorySize_);
  if (offset > static_cast<ogg_int64_t>(stream->memorySize_) - base || base + offset < 0) return -1;
  stream->memoryPos_ = static_cast<std::size_t>(base + offset);
  return 0;
}

long OggStream::memoryTell(void* self) { return static_cast<long>(static_cast<OggStream*>(self)->memoryPos_); }

}  // namespace vorn::fmod
