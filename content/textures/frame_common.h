// The picture frames laid over the whole 640 x 480 screen: a border with
// rounded corners and a worn inner edge, and a vignette inside it. Pixels are
// computed in screen units, so the 512 x 512 texture stretched over the
// screen shows round corners.
#pragma once

#include <algorithm>
#include <cmath>

#include "common/image.h"
#include "common/prng.h"

namespace content {

struct FrameStyle {
  Rgba border;        // colour of the frame
  Rgba vignette;      // colour of the darkening inside
  float vignetteAlpha;  // its strength at the border
  float width;        // border width in screen units
  float radius;       // corner radius of the opening
  float mottle;       // strength of the grain in the border
  std::uint32_t seed;
};

// Signed distance (screen units) from the opening's rounded rectangle:
// negative inside the opening.
inline float openingDistance(float x, float y, float width, float radius) {
  const float hx = 320.0f - width, hy = 240.0f - width;
  const float qx = std::fabs(x - 320.0f) - (hx - radius), qy = std::fabs(y - 240.0f) - (hy - radius);
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

inline Image buildFrame(const FrameStyle& s) {
  constexpr int kSize = 512;
  Image image(kSize, kSize);
  for (int ty = 0; ty < kSize; ++ty)
    for (int tx = 0; tx < kSize; ++tx) {
      const float x = (static_cast<float>(tx) + 0.5f) * 640.0f / kSize;
      const float y = (static_cast<float>(ty) + 0.5f) * 480.0f / kSize;
      // Wear: the inner edge wanders by a few units, with hashed noise at two scales.
      const float wander = 2.5f * (hashUnit(tx / 16, ty / 16, s.seed) - 0.5f) +
                           1.2f * (hashUnit(tx / 4, ty / 4, s.seed + 1) - 0.5f);
      const float d = openingDistance(x, y, s.width, s.radius) + wander;
      const float inBorder = smoothstep(-1.5f, 1.5f, d);
      // The border itself: slightly mottled, a lighter bevel near the inner edge.
      const float mottle = 1.0f + s.mottle * (hashUnit(tx / 3, ty / 3, s.seed + 2) - 0.5f);
      const float bevel = std::exp(-std::max(d, 0.0f) / 3.0f) * 0.35f;
      Rgba border{s.border.r * mottle + bevel * 0.25f, s.border.g * mottle + bevel * 0.2f,
                  s.border.b * mottle + bevel * 0.15f, 1.0f};
      // Vignette: grows towards the opening's edge, strongest in the corners.
      const float nx = (x - 320.0f) / 320.0f, ny = (y - 240.0f) / 240.0f;
      const float radial = std::sqrt(nx * nx * 0.55f + ny * ny * 0.45f);
      const float vig = s.vignetteAlpha * smoothstep(0.55f, 1.05f, radial) +
                        0.35f * s.vignetteAlpha * std::exp(d / 10.0f);
      Rgba inside = s.vignette;
      inside.a = clamp01(vig);
      image.at(tx, ty) = mix(inside, border, inBorder);
    }
  return image;
}

}  // namespace content
