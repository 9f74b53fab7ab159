// BMP and TGA through stb_image, built into this file alone and for these
// two formats only: its other decoders (JPEG among them) are not in the
// program.
#include "platform/d3dx9/image_decode.h"

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
  stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
  if (!pixels) return fail(stbi_failure_reason() ? stbi_failure_reason() : "damaged data");
  image->width = width;
  image->height = height;
  image->rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
  stbi_image_free(pixels);
  return true;
}

}  // namespace vorn::d3dx
