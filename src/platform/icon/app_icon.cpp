#include "platform/icon/app_icon.h"

#include <algorithm>
#include <cmath>

namespace vorn::icon {

namespace {

struct Rgb {
  float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

float segmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0f, 1.0f);
  float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

// Signed distance to a rounded square covering [0,1]^2 (negative inside).
float tileDistance(float x, float y, float radius) {
  float qx = std::abs(x - 0.5f) - (0.5f - radius);
  float qy = std::abs(y - 0.5f) - (0.5f - radius);
  float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

}  // namespace

std::vector<std::uint8_t> drawAppIcon(int size) {
  const Rgb steelTop{0.27f, 0.30f, 0.34f};
  const Rgb steelBottom{0.12f, 0.14f, 0.16f};
  const Rgb rim{0.06f, 0.07f, 0.08f};
  const Rgb orangeTop{1.00f, 0.58f, 0.12f};
  const Rgb orangeBottom{0.90f, 0.36f, 0.04f};
  const float stroke = 0.075f;  // half width of the V's strokes
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
  constexpr int kSub = 4;  // 4 x 4 samples per pixel
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          float u = (x + (sx + 0.5f) / kSub) / size;
          float v = (y + (sy + 0.5f) / kSub) / size;
          float tile = tileDistance(u, v, 0.12f);
          if (tile > 0) continue;
          Rgb colour = mix(steelTop, steelBottom, v);
          // Brushed-metal streaks and a bright upper edge.
          colour = mix(colour, Rgb{0.36f, 0.40f, 0.45f}, 0.08f * (0.5f + 0.5f * std::sin(v * 90.0f + u * 7.0f)));
          if (v < 0.07f) colour = mix(colour, Rgb{0.50f, 0.55f, 0.60f}, 0.5f);
          if (tile > -0.035f) colour = rim;
          float d = std::min(segmentDistance(u, v, 0.24f, 0.22f, 0.50f, 0.80f),
                             segmentDistance(u, v, 0.76f, 0.22f, 0.50f, 0.80f));
          if (d < stroke) colour = mix(orangeTop, orangeBottom, std::clamp((v - 0.22f) / 0.58f, 0.0f, 1.0f));
          r += colour.r;
          g += colour.g;
          b += colour.b;
          a += 1.0f;
        }
      }
      std::uint8_t* pixel = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      if (a > 0) {
        pixel[0] = static_cast<std::uint8_t>(std::lround(255.0f * r / a));
        pixel[1] = static_cast<std::uint8_t>(std::lround(255.0f * g / a));
        pixel[2] = static_cast<std::uint8_t>(std::lround(255.0f * b / a));
      }
      pixel[3] = static_cast<std::uint8_t>(std::lround(255.0f * a / (kSub * kSub)));
    }
  }
  return rgba;
}

namespace {

void put16(std::vector<std::uint8_t>* out, unsigned value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// One icon image as Windows stores it: a BITMAPINFOHEADER of twice the
// height (colour plus mask), BGRA rows bottom up, then the 1-bit AND mask,
// all clear (the alpha channel decides), rows padded to four bytes.
std::vector<std::uint8_t> iconImage(int size) {
  const std::vector<std::uint8_t> rgba = drawAppIcon(size);
  const int maskStride = ((size + 31) / 32) * 4;
  std::vector<std::uint8_t> out;
  put32(&out, 40);
  put32(&out, static_cast<std::uint32_t>(size));
  put32(&out, static_cast<std::uint32_t>(size * 2));
  put16(&out, 1);   // planes
  put16(&out, 32);  // bits per pixel
  put32(&out, 0);   // BI_RGB
  put32(&out, static_cast<std::uint32_t>(size * size * 4 + maskStride * size));
  for (int i = 0; i < 4; ++i) put32(&out, 0);  // resolution and palette
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  out.insert(out.end(), static_cast<std::size_t>(maskStride) * size, 0);
  return out;
}

}  // namespace

std::vector<std::uint8_t> appIconFile() {
  constexpr int count = static_cast<int>(std::size(kAppIconSizes));
  std::vector<std::vector<std::uint8_t>> images;
  for (int size : kAppIconSizes) images.push_back(iconImage(size));
  std::vector<std::uint8_t> out;
  put16(&out, 0);
  put16(&out, 1);  // an icon
  put16(&out, count);
  std::uint32_t offset = 6 + 16 * count;
  for (int i = 0; i < count; ++i) {
    const int size = kAppIconSizes[i];
    out.push_back(static_cast<std::uint8_t>(size));  // 256 would be 0
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(0);  // no palette
    out.push_back(0);
    put16(&out, 1);
    put16(&out, 32);
    put32(&out, static_cast<std::uint32_t>(images[i].size()));
    put32(&out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace vorn::icon
