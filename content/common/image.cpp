#include "common/image.h"

#include <algorithm>
#include <cmath>

#include "font/pixel_font.h"

// The PNG writer is compiled privately into this file (static functions), so
// it never clashes with another copy elsewhere in a program.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include "stb_image_write.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace content {

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

float smoothstep(float e0, float e1, float x) {
  const float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

Rgba mix(Rgba a, Rgba b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

void Image::blend(int x, int y, Rgba c) {
  if (!inside(x, y)) return;
  Rgba& d = at(x, y);
  const float a = c.a + d.a * (1 - c.a);
  if (a <= 0) {
    d = {0, 0, 0, 0};
    return;
  }
  d.r = (c.r * c.a + d.r * d.a * (1 - c.a)) / a;
  d.g = (c.g * c.a + d.g * d.a * (1 - c.a)) / a;
  d.b = (c.b * c.a + d.b * d.a * (1 - c.a)) / a;
  d.a = a;
}

void Image::add(int x, int y, Rgba c) {
  if (!inside(x, y)) return;
  Rgba& d = at(x, y);
  d.r += c.r;
  d.g += c.g;
  d.b += c.b;
  d.a = std::min(1.0f, d.a + c.a);
}

void Image::fillRect(int x0, int y0, int x1, int y1, Rgba c) {
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) blend(x, y, c);
}

void Image::drawText(std::string_view text, int x, int y, int scale, Rgba c) {
  int pen = 0;
  for (char ch : text) {
    const Glyph& g = glyph(static_cast<unsigned char>(ch));
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column)
        if (g.pixel(column, row))
          fillRect(x + (pen + column) * scale, y + row * scale, x + (pen + column + 1) * scale, y + (row + 1) * scale, c);
    pen += advance(static_cast<unsigned char>(ch));
  }
}

void Image::premultiply() {
  for (Rgba& p : pixels_) p = {p.r * p.a, p.g * p.a, p.b * p.a, p.a};
}

void Image::unpremultiply() {
  for (Rgba& p : pixels_) {
    if (p.a > 1e-6f) p = {p.r / p.a, p.g / p.a, p.b / p.a, p.a};
    else p = {0, 0, 0, 0};
  }
}

void Image::blur(float sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(sigma * 3)));
  std::vector<float> weights(2 * radius + 1);
  float sum = 0;
  for (int i = -radius; i <= radius; ++i) {
    weights[i + radius] = std::exp(-0.5f * static_cast<float>(i * i) / (sigma * sigma));
    sum += weights[i + radius];
  }
  for (float& w : weights) w /= sum;
  std::vector<Rgba> temp(pixels_.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        Rgba acc{0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i) {
          const int sx = pass == 0 ? std::clamp(x + i, 0, width_ - 1) : x;
          const int sy = pass == 1 ? std::clamp(y + i, 0, height_ - 1) : y;
          const Rgba& s = pixels_[static_cast<std::size_t>(sy) * width_ + sx];
          const float w = weights[i + radius];
          acc.r += s.r * w;
          acc.g += s.g * w;
          acc.b += s.b * w;
          acc.a += s.a * w;
        }
        temp[static_cast<std::size_t>(y) * width_ + x] = acc;
      }
    pixels_.swap(temp);
  }
}

std::vector<unsigned char> Image::bytes() const {
  std::vector<unsigned char> out(pixels_.size() * 4);
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    const Rgba& p = pixels_[i];
    out[i * 4 + 0] = static_cast<unsigned char>(std::lround(clamp01(p.r) * 255));
    out[i * 4 + 1] = static_cast<unsigned char>(std::lround(clamp01(p.g) * 255));
    out[i * 4 + 2] = static_cast<unsigned char>(std::lround(clamp01(p.b) * 255));
    out[i * 4 + 3] = static_cast<unsigned char>(std::lround(clamp01(p.a) * 255));
  }
  return out;
}

bool Image::writePng(const std::string& path) const {
  const std::vector<unsigned char> data = bytes();
  return stbi_write_png(path.c_str(), width_, height_, 4, data.data(), width_ * 4) != 0;
}

}  // namespace content
