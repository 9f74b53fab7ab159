#include "platform/d3dx9/image_decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/files.h"

namespace vorn::d3dx {

namespace {

// No image file of 8192 x 8192 pixels needs more, even uncompressed.
constexpr long kMaxFileBytes = 512L << 20;

}  // namespace

ImageFormat imageFormatOf(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!data) return ImageFormat::Unknown;
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return ImageFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageFormat::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFormat::Bmp;
  if (looksLikeTga(data, size)) return ImageFormat::Tga;
  return ImageFormat::Unknown;
}

const char* imageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Tga: return "TGA";
    case ImageFormat::Unknown: break;
  }
  return "unknown format";
}

bool decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
                 std::int64_t maxPixels) {
  const ImageFormat format = imageFormatOf(data, size);
  switch (format) {
    case ImageFormat::Png: return decodePng(data, size, image, error, maxPixels);
    case ImageFormat::Jpeg: return decodeJpeg(data, size, image, error, maxPixels);
    case ImageFormat::Bmp:
    case ImageFormat::Tga: return decodeBmpOrTga(format, data, size, image, error, maxPixels);
    case ImageFormat::Unknown: break;
  }
  if (error) *error = "not a PNG, JPEG, BMP or TGA image";
  return false;
}

bool decodeImageFile(const char* path, DecodedImage* image, std::string* error, bool* opened) {
  std::FILE* file = openFile(path, "rb");
  if (opened) *opened = file != nullptr;
  if (!file) {
    if (error) *error = std::string("cannot open it (") + std::strerror(errno) + ")";
    return false;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  std::size_t got = 0;
  bool tooLarge = false;
  while (!tooLarge && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
    tooLarge = bytes.size() > static_cast<std::size_t>(kMaxFileBytes);
  }
  const bool readError = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (readError || tooLarge) {
    if (error) {
      *error = tooLarge ? std::string("the file is too large for an image")
                        : std::string("cannot read it (") + std::strerror(readErrno) + ")";
    }
    return false;
  }
  return decodeImage(bytes.data(), bytes.size(), image, error);
}

}  // namespace vorn::d3dx
