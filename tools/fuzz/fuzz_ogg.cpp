// Fuzz entry for the music stream: open the bytes as an Ogg Vorbis stream and
// decode them through to the output format (mixing and resampling chained
// sections), then seek into the middle and decode again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fmod/ogg_stream.h"

namespace {

// Decoding stops here: a few bytes may describe far more audio than a
// fuzzing run has time to make.
constexpr std::int64_t kMaxFrames = 1 << 18;

std::int64_t decodeSome(vorn::fmod::OggStream& stream, std::vector<float>& buffer) {
  std::int64_t total = 0;
  while (total < kMaxFrames) {
    const std::int64_t got = stream.read(buffer.data(), 4096);
    if (got < 0 || got > 4096) __builtin_trap();
    if (got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  std::unique_ptr<vorn::fmod::OggStream> stream = vorn::fmod::OggStream::openMemory(data, size, &error);
  if (!stream) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (stream->channels() < 1 || stream->channels() > 2 || stream->rate() <= 0 || stream->length() < 0) {
    __builtin_trap();
  }
  std::vector<float> buffer(4096 * 2);
  decodeSome(*stream, buffer);
  stream->seek(stream->length() / 2);
  decodeSome(*stream, buffer);
  stream->seek(0);
  decodeSome(*stream, buffer);
  return 0;
}
