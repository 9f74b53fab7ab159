// Decoding the image files textures are made from: PNG through libpng, JPEG
// through libjpeg-turbo, BMP and TGA through stb_image built for those two
// formats only. The format is told by the file's signature, never by its
// name, and each file goes to its one decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorn::d3dx {

enum class ImageFormat { Unknown, Png, Jpeg, Bmp, Tga };

// The largest image accepted: 8192 pixels on a side, as graphics hardware
// of the time takes, and at most this many pixels in all.
constexpr int kMaxImageSide = 8192;
constexpr std::int64_t kMaxImagePixels = std::int64_t{kMaxImageSide} * kMaxImageSide;

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // rows top first, 4 bytes a pixel, R G B A
};

// The format a file's first bytes announce; TGA has no signature and is
// what remains when the TGA decoder takes the header.
ImageFormat imageFormatOf(const std::uint8_t* data, std::size_t size);
const char* imageFormatName(ImageFormat format);

// Decodes a whole file. False with a reason (naming the format when it was
// recognised) for anything but a complete, undamaged image of at most
// maxPixels pixels and kMaxImageSide on a side.
bool decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
                 std::int64_t maxPixels = kMaxImagePixels);

// The decoders behind decodeImage, for one format each (the fuzz targets
// call them directly). Same contract.
bool decodePng(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
               std::int64_t maxPixels);
bool decodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
                std::int64_t maxPixels);
// BMP or TGA, as `format` says.
bool decodeBmpOrTga(ImageFormat format, const std::uint8_t* data, std::size_t size, DecodedImage* image,
                    std::string* error, std::int64_t maxPixels);
bool looksLikeTga(const std::uint8_t* data, std::size_t size);

// Reads and decodes an image file (a Windows-style path, like every data
// file); false with a reason when it cannot be opened, read or decoded.
// *opened, when given, says whether the file could be opened at all.
bool decodeImageFile(const char* path, DecodedImage* image, std::string* error, bool* opened = nullptr);

}  // namespace vorn::d3dx
