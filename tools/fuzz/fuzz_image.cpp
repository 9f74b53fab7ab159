// Fuzz entry for one image decoder, chosen when the target is built
// (VORN_FUZZ_IMAGE_FORMAT: 1 PNG, 2 JPEG, 3 BMP, 4 TGA). Any bytes decode to
// a whole image or are refused with a reason.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3dx9/image_decode.h"

namespace {

// Smaller than the program's limit, so that a tiny file declaring a huge
// picture costs milliseconds, not seconds.
constexpr std::int64_t kFuzzMaxPixels = 1 << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vorn::d3dx;
  DecodedImage image;
  std::string error;
  bool decoded = false;
  switch (VORN_FUZZ_IMAGE_FORMAT) {
    case 1: decoded = decodePng(data, size, &image, &error, kFuzzMaxPixels); break;
    case 2: decoded = decodeJpeg(data, size, &image, &error, kFuzzMaxPixels); break;
    case 3: decoded = decodeBmpOrTga(ImageFormat::Bmp, data, size, &image, &error, kFuzzMaxPixels); break;
    default: decoded = decodeBmpOrTga(ImageFormat::Tga, data, size, &image, &error, kFuzzMaxPixels); break;
  }
  if (decoded) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4) {
      __builtin_trap();
    }
    // Every pixel is read, so that uninitialised or short output shows.
    unsigned sum = 0;
    for (std::uint8_t byte : image.rgba) sum += byte;
    if (sum == 0xFFFFFFFFu) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
