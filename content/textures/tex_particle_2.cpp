// A sparkle for alpha-blended point sprites: a bright core with four thin
// rays and a faint halo.
#include <cmath>

#include "texture_main.h"

content::Image buildTexture() {
  using namespace content;
  constexpr int kSize = 64;
  Image image(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      const float dx = (static_cast<float>(x) + 0.5f) / kSize * 2 - 1, dy = (static_cast<float>(y) + 0.5f) / kSize * 2 - 1;
      const float r = std::sqrt(dx * dx + dy * dy);
      const float fade = 1 - smoothstep(0.7f, 1.0f, r);
      const float rays = (std::exp(-std::fabs(dx) * 28.0f) + std::exp(-std::fabs(dy) * 28.0f)) * std::exp(-r * 2.5f);
      const float diagonal =
          0.4f * (std::exp(-std::fabs(dx - dy) * 30.0f) + std::exp(-std::fabs(dx + dy) * 30.0f)) * std::exp(-r * 5.0f);
      const float core = std::exp(-r * r * 60.0f);
      const float halo = 0.25f * std::exp(-r * r * 6.0f);
      const float a = clamp01((rays + diagonal + core + halo) * fade);
      image.at(x, y) = {1.0f, 0.93f + 0.07f * core, 0.78f + 0.22f * core, a};
    }
  return image;
}
