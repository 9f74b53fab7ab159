// RGBA images in floating point for the texture builders, with the few
// drawing operations they need, and PNG output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/mesh.h"

namespace content {

class Image {
 public:
  Image(int width, int height, Rgba fill = {0, 0, 0, 0});

  int width() const { return width_; }
  int height() const { return height_; }
  Rgba& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  const Rgba& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // Source-over blending of a straight-alpha colour.
  void blend(int x, int y, Rgba c);
  // Adds colour (alpha grows by the colour's alpha), clamped on output.
  void add(int x, int y, Rgba c);
  void fillRect(int x0, int y0, int x1, int y1, Rgba c);
  // Text from the pixel font, top-left at (x, y), `scale` image pixels per
  // font pixel.
  void drawText(std::string_view text, int x, int y, int scale, Rgba c);
  // Separable Gaussian blur of all four channels (premultiplied internally).
  void blur(float sigma);
  // A copy with every channel multiplied by the alpha ... and back: used to
  // blur straight-alpha images without dark fringes.
  void premultiply();
  void unpremultiply();

  // 8-bit RGBA PNG; false on failure.
  bool writePng(const std::string& path) const;
  std::vector<unsigned char> bytes() const;

 private:
  int width_, height_;
  std::vector<Rgba> pixels_;
};

Rgba mix(Rgba a, Rgba b, float t);
float smoothstep(float e0, float e1, float x);
float clamp01(float v);

}  // namespace content
