// vorn-tool compare A.png B.png [--diff OUT.png]: how far two pictures of the
// same size differ, as one line of JSON: PSNR over the colour channels, the
// mean and largest channel difference, where the worst pixel is, and how
// many pixels differ by more than 16 and 48 levels in some channel.
// --diff writes the per-channel differences, four times brighter.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "command_registry.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
};

bool load(const std::string& path, Picture* picture) {
  int channels = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &picture->width, &picture->height, &channels, 4);
  if (!pixels) {
    std::fprintf(stderr, "vorn-tool compare: cannot read %s (%s)\n", path.c_str(), stbi_failure_reason());
    return false;
  }
  picture->rgba.assign(pixels, pixels + static_cast<std::size_t>(picture->width) * picture->height * 4);
  stbi_image_free(pixels);
  return true;
}

int runCompare(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::string diffPath;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--diff" && i + 1 < args.size()) {
      diffPath = args[++i];
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    std::fprintf(stderr, "usage: vorn-tool compare A.png B.png [--diff OUT.png]\n");
    return 2;
  }
  Picture a, b;
  if (!load(files[0], &a) || !load(files[1], &b)) return 1;
  if (a.width != b.width || a.height != b.height) {
    std::fprintf(stderr, "vorn-tool compare: %s is %dx%d but %s is %dx%d\n", files[0].c_str(), a.width, a.height,
                 files[1].c_str(), b.width, b.height);
    return 1;
  }
  const std::size_t pixels = static_cast<std::size_t>(a.width) * a.height;
  double squares = 0, sum = 0;
  int worst = -1;
  std::size_t worstAt = 0, over16 = 0, over48 = 0;
  std::vector<std::uint8_t> diff(pixels * 4, 255);
  for (std::size_t p = 0; p < pixels; ++p) {
    int largest = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(a.rgba[p * 4 + c] - b.rgba[p * 4 + c]);
      squares += static_cast<double>(d) * d;
      sum += d;
      largest = std::max(largest, d);
      diff[p * 4 + c] = static_cast<std::uint8_t>(std::min(255, d * 4));
    }
    if (largest > worst) {
      worst = largest;
      worstAt = p;
    }
    over16 += largest > 16;
    over48 += largest > 48;
  }
  const double mse = squares / (3.0 * pixels);
  // Identical pictures have no finite PSNR; 100 dB stands for it.
  const double psnr = mse > 0 ? std::min(100.0, 10.0 * std::log10(255.0 * 255.0 / mse)) : 100.0;
  const std::uint8_t* pa = &a.rgba[worstAt * 4];
  const std::uint8_t* pb = &b.rgba[worstAt * 4];
  std::printf(
      "{\"width\": %d, \"height\": %d, \"psnr\": %.2f, \"mean_diff\": %.4f, \"max_diff\": %d, "
      "\"worst\": {\"x\": %d, \"y\": %d, \"a\": [%d, %d, %d], \"b\": [%d, %d, %d]}, "
      "\"over_16\": %zu, \"over_48\": %zu}\n",
      a.width, a.height, psnr, sum / (3.0 * pixels), worst, static_cast<int>(worstAt % a.width),
      static_cast<int>(worstAt / a.width), pa[0], pa[1], pa[2], pb[0], pb[1], pb[2], over16, over48);
  if (!diffPath.empty() && !stbi_write_png(diffPath.c_str(), a.width, a.height, 4, diff.data(), a.width * 4)) {
    std::fprintf(stderr, "vorn-tool compare: cannot write %s\n", diffPath.c_str());
    return 1;
  }
  return 0;
}

tools::Command command("compare", "compare A.png B.png [--diff OUT.png]", runCompare);

}  // namespace
