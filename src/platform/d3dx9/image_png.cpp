// PNG through libpng: every colour type and bit depth expanded to 8-bit
// RGBA, sample values as stored (no gamma correction), errors and warnings
// kept quiet and turned into the reason a file is refused.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/d3dx9/image_decode.h"

namespace vorn::d3dx {

namespace {

// Lives in the caller's frame, so that nothing the decoding function changes
// between setjmp and a longjmp out of libpng is a local of that function.
struct PngRead {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  std::int64_t maxPixels = 0;
  std::string error;
  std::vector<png_bytep> rows;
  DecodedImage* image = nullptr;
};

void onError(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
  if (read->error.empty()) read->error = message ? message : "damaged data";
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep into, png_size_t count) {
  auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
  if (count > read->size - read->position) png_error(png, "the file ends early");
  std::memcpy(into, read->data + read->position, count);
  read->position += count;
}

bool decodeWith(png_structp png, png_infop info, PngRead* read) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_read_fn(png, read, &readBytes);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // A mutated file almost never has right checksums: without this the fuzzer
  // would stop at the first chunk instead of reaching the decoder.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (std::int64_t{width} * height > read->maxPixels) {
    read->error = std::to_string(width) + " x " + std::to_string(height) + " pixels is too large";
    return false;
  }
  const int colourType = png_get_color_type(png, info);
  png_set_expand(png);  // palette to RGB, small grey depths to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where the file has none
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 4) {
    read->error = "unexpected pixel layout";
    return false;
  }
  DecodedImage* image = read->image;
  image->width = static_cast<int>(width);
  image->height = static_cast<int>(height);
  image->rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
  read->rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) read->rows[y] = image->rgba.data() + static_cast<std::size_t>(y) * width * 4;
  png_read_image(png, read->rows.data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
               std::int64_t maxPixels) {
  PngRead read;
  read.data = data;
  read.size = data ? size : 0;
  read.maxPixels = maxPixels;
  read.image = image;
  bool ok = false;
  if (!image) {
    read.error = "no image";
  } else if (read.size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    read.error = "not a PNG file";
  } else if (png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, &onError, &onWarning)) {
    png_infop info = png_create_info_struct(png);
    ok = info && decodeWith(png, info, &read);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  } else {
    read.error = "out of memory";
  }
  if (!ok) {
    if (image) *image = DecodedImage{};
    if (error) *error = "PNG: " + (read.error.empty() ? std::string("damaged data") : read.error);
  }
  return ok;
}

}  // namespace vorn::d3dx
