// BMP and TGA through stb_image, built into this file alone and for these
// two formats only: its other decoders (JPEG among them) are not in the
// program.
#include "platform/d3dx9/image_decode.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/d3dx9/stb_warnings_off.h"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS vorn::d3dx::kMaxImageSide
#include "stb_image.h"
#pragma GCC diagnostic pop

namespace vorn::d3dx {

namespace {

bool isBmp(const std::uint8_t* data, std::size_t size) { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

// The file as stb reads it through callbacks, which tell us what memory
// reads do not: stb papers over a file that ends early with zero bytes, and
// it asks for more only when the pixels run past the end.
struct CallbackReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position = 0;
  bool endedEarly = false;

  static int read(void* self, char* into, int count) {
    auto* reader = static_cast<CallbackReader*>(self);
    const std::size_t left = reader->size - reader->position;
    if (count <= 0) return 0;
    if (left == 0) {
      reader->endedEarly = true;
      return 0;
    }
    const std::size_t take = std::min(left, static_cast<std::size_t>(count));
    std::memcpy(into, reader->data + reader->position, take);
    reader->position += take;
    return static_cast<int>(take);
  }
  static void skip(void* self, int count) {
    auto* reader = static_cast<CallbackReader*>(self);
    const std::size_t left = reader->size - reader->position;
    // A negative count steps back within what was read.
    if (count < 0) {
      reader->position -= std::min(reader->position, static_cast<std::size_t>(-static_cast<long long>(count)));
    } else {
      reader->position += std::min(left, static_cast<std::size_t>(count));
    }
  }
  static int eof(void* self) {
    auto* reader = static_cast<CallbackReader*>(self);
    return reader->position >= reader->size;
  }
};

}  // namespace

bool looksLikeTga(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 18 || size > INT_MAX || isBmp(data, size)) return false;
  int width = 0, height = 0, channels = 0;
  return stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) != 0;
}

bool decodeBmpOrTga(ImageFormat format, const std::uint8_t* data, std::size_t size, DecodedImage* image,
                    std::string* error, std::int64_t maxPixels) {
  const char* name = imageFormatName(format);
  const auto fail = [&](const std::string& reason) {
    if (error) *error = std::string(name) + ": " + reason;
    return false;
  };
  if (!data || !image) return fail("no data");
  if (format == ImageFormat::Bmp ? !isBmp(data, size) : !looksLikeTga(data, size)) return fail("not this format");
  if (size > INT_MAX) return fail("the file is too large");
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels)) {
    return fail(stbi_failure_reason() ? stbi_failure_reason() : "damaged header");
  }
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      std::int64_t{width} * height > maxPixels) {
    return fail(std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
  }
  CallbackReader reader{data, size};
  const stbi_io_callbacks callbacks{&CallbackReader::read, &CallbackReader::skip, &CallbackReader::eof};
  stbi_uc* pixels = stbi_load_from_callbacks(&callbacks, &reader, &width, &height, &channels, 4);
  if (!pixels) return fail(stbi_failure_reason() ? stbi_failure_reason() : "damaged data");
  if (reader.endedEarly) {
    stbi_image_free(pixels);
    return fail("the file ends before its pixels do (is it cut short?)");
  }
  image->width = width;
  image->height = height;
  image->rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
  stbi_image_free(pixels);
  return true;
}

}  // namespace vorn::d3dx
