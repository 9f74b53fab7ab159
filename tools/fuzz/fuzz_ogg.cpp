// Fuzz entry for the music stream: open the bytes as an Ogg Vorbis stream and
// decode them through to the output format (mixing and resampling chained
// sections), then seek into the middle and decode again. Page checksums are
// put right first, as the fuzzer cannot: a page with a wrong checksum is
// skipped whole, and mutations would never reach the Vorbis decoder.
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

std::uint32_t oggCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= std::uint32_t{data[i]} << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Rewrites the checksum of every whole page found in the bytes.
void fixPageChecksums(std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kHeader = 27;
  for (std::size_t at = 0; at + kHeader <= bytes.size(); ++at) {
    if (bytes[at] != 'O' || bytes[at + 1] != 'g' || bytes[at + 2] != 'g' || bytes[at + 3] != 'S') continue;
    const std::size_t segments = bytes[at + 26];
    if (at + kHeader + segments > bytes.size()) break;
    std::size_t length = kHeader + segments;
    for (std::size_t i = 0; i < segments; ++i) length += bytes[at + kHeader + i];
    if (at + length > bytes.size()) break;
    for (int i = 0; i < 4; ++i) bytes[at + 22 + i] = 0;
    const std::uint32_t crc = oggCrc(bytes.data() + at, length);
    for (int i = 0; i < 4; ++i) bytes[at + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    at += length - 1;
  }
}

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
  std::vector<std::uint8_t> bytes(data, data + size);
  fixPageChecksums(bytes);
  std::string error;
  std::unique_ptr<vorn::fmod::OggStream> stream = vorn::fmod::OggStream::openMemory(bytes.data(), bytes.size(), &error);
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
