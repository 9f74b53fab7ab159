// Image decoding without a device: each format reaches its own decoder, and
// damaged files are refused with a reason instead of decoded past their end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx9/image_decode.h"
#include "stb_image_write.h"

namespace {

using vorn::d3dx::DecodedImage;
using vorn::d3dx::decodeImage;

enum class Format { Png, Jpeg, Bmp, Tga, TgaRle };

std::vector<std::uint8_t> encoded(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                                  Format format = Format::Png) {
  std::vector<std::uint8_t> out;
  auto append = [](void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
  };
  switch (format) {
    case Format::Png: stbi_write_png_to_func(append, &out, width, height, components, pixels.data(), width * components); break;
    case Format::Jpeg: stbi_write_jpg_to_func(append, &out, width, height, components, pixels.data(), 90); break;
    case Format::Bmp: stbi_write_bmp_to_func(append, &out, width, height, components, pixels.data()); break;
    case Format::Tga:
    case Format::TgaRle:
      stbi_write_tga_with_rle = format == Format::TgaRle;
      stbi_write_tga_to_func(append, &out, width, height, components, pixels.data());
      stbi_write_tga_with_rle = 1;
      break;
  }
  return out;
}

// A JPEG whose Huffman table claims 512 codes where 256 fit: a decoder that
// trusts the counts writes past its table.
std::vector<std::uint8_t> oversizedHuffmanTable() {
  std::vector<std::uint8_t> j = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  j.insert(j.end(), 64, 1);                                                               // DQT
  j.insert(j.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00});  // SOF0
  j.insert(j.end(), {0xFF, 0xC4, 0x02, 0x13, 0x00});                                      // DHT of 531 bytes
  j.insert(j.end(), 16, 0x20);                                                            // 16 x 32 codes
  j.insert(j.end(), 512, 0x01);
  j.insert(j.end(), {0xFF, 0xD9});
  return j;
}

TEST(ImageDecode, GreyWithAlphaBecomesRgba) {
  const std::vector<std::uint8_t> grey = {10, 255, 200, 0};  // two pixels: grey, alpha
  DecodedImage image;
  std::string error;
  ASSERT_TRUE(decodeImage(encoded(2, 1, 2, grey).data(), encoded(2, 1, 2, grey).size(), &image, &error)) << error;
  EXPECT_EQ(image.rgba, (std::vector<std::uint8_t>{10, 10, 10, 255, 200, 200, 200, 0}));
}

TEST(ImageDecode, DamagedFilesAreRefusedWithTheirFormatNamed) {
  std::vector<std::uint8_t> pixels(16 * 16 * 3, 77);
  for (std::size_t i = 0; i < pixels.size(); i += 7) pixels[i] = static_cast<std::uint8_t>(i);  // RLE runs stay short
  const std::vector<std::uint8_t> png = encoded(16, 16, 3, pixels);
  const std::vector<std::uint8_t> jpeg = encoded(16, 16, 3, pixels, Format::Jpeg);
  const auto cut = [](const std::vector<std::uint8_t>& whole) {
    return std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 2);
  };
  const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!',
                                          '!', '!', '!', '!', '!', '!'};
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {"cut PNG", std::vector<std::uint8_t>(png.begin(), png.end() - 20), "PNG: "},
      {"cut JPEG", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), "JPEG: "},
      {"JPEG with 512 Huffman codes", oversizedHuffmanTable(), "JPEG: "},
      // stb would fill the missing half with zeros and call it whole.
      {"cut BMP", cut(encoded(16, 16, 3, pixels, Format::Bmp)), "BMP: the file ends before its pixels do"},
      {"cut TGA", cut(encoded(16, 16, 3, pixels, Format::Tga)), "TGA: the file ends before its pixels do"},
      {"cut RLE TGA", cut(encoded(16, 16, 3, pixels, Format::TgaRle)), "TGA: the file ends before its pixels do"},
      {"text", text, "not a PNG, JPEG, BMP or TGA image"},
  };
  for (const auto& c : cases) {
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(decodeImage(c.bytes.data(), c.bytes.size(), &image, &error)) << c.what;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.what << ": " << error;
    EXPECT_TRUE(image.rgba.empty()) << c.what;
  }
  // The whole files decode.
  DecodedImage image;
  EXPECT_TRUE(decodeImage(png.data(), png.size(), &image, nullptr));
  EXPECT_TRUE(decodeImage(jpeg.data(), jpeg.size(), &image, nullptr));
  EXPECT_EQ(image.width, 16);
  for (Format format : {Format::Bmp, Format::Tga, Format::TgaRle}) {
    const std::vector<std::uint8_t> whole = encoded(16, 16, 3, pixels, format);
    ASSERT_TRUE(decodeImage(whole.data(), whole.size(), &image, nullptr)) << static_cast<int>(format);
    EXPECT_EQ(image.rgba[4 * 7], 21);  // pixel 7 red: byte 21 of the RGB data
  }
}

}  // namespace
