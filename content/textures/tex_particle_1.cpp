// A soft warm dot for additive point sprites: colour and alpha fall to zero
// at the rim, so adding it leaves no square edge.
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
      const float halo = std::exp(-r * r * 7.0f) * (1 - smoothstep(0.8f, 1.0f, r));
      const float core = std::exp(-r * r * 40.0f);
      const float i = clamp01(0.55f * halo + 0.6f * core);
      image.at(x, y) = {i * 1.0f, i * (0.55f + 0.4f * core), i * (0.2f + 0.5f * core), i};
    }
  return image;
}
