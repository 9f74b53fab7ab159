#include "ui2d/test_images.h"

#include <filesystem>
#include <random>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

bool writeTestPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
  return stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

std::vector<std::uint8_t> glyphSheet(const std::string& filled) {
  std::vector<std::uint8_t> rgba(256 * 256 * 4, 0);
  for (int code = 33; code < 128; ++code) {
    if (!filled.empty() && filled.find(static_cast<char>(code)) == std::string::npos) continue;
    const int column = (code - 32) % 16, row = (code - 32) / 16;
    const int rows = code == 'B' ? 8 : 16;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < 16; ++x) {
        std::uint8_t* p = &rgba[((row * 16 + y) * 256 + column * 16 + x) * 4];
        p[0] = p[1] = p[2] = p[3] = 255;
      }
  }
  return rgba;
}

std::string makeTempDirectory(const std::string& prefix) {
  std::random_device seed;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(seed()) + std::to_string(seed()));
  std::filesystem::create_directories(dir);
  return dir.string();
}
