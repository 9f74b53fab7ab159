// Film grain: 128 x 128 grey specks of varying strength, a few dust motes.
// Tiled over the screen, tinted grey and blended with its alpha.
#include <cmath>

#include "common/prng.h"
#include "texture_main.h"

content::Image buildTexture() {
  using namespace content;
  constexpr int kSize = 128;
  Image image(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      // Two octaves of hashed noise: fine grain plus a slightly coarser clump.
      const float fine = hashUnit(x, y, 1);
      const float coarse = hashUnit(x / 2, y / 2, 2);
      const float v = 0.6f * fine + 0.4f * coarse;
      const float strength = std::fabs(v - 0.5f) * 2.0f;  // 0 in the middle grey, 1 at the extremes
      image.at(x, y) = {v, v, v, 0.05f + 0.22f * strength * strength};
    }
  // Dust: small dark blobs and a couple of bright flecks.
  Prng rng(0x6e6f697365ull);
  for (int i = 0; i < 9; ++i) {
    const int cx = static_cast<int>(rng.below(kSize)), cy = static_cast<int>(rng.below(kSize));
    const float r = rng.range(0.6f, 1.8f);
    const bool bright = i % 4 == 3;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
        const float a = clamp01(1.0f - d / (r + 0.5f));
        if (a <= 0) continue;
        const int px = (cx + dx + kSize) % kSize, py = (cy + dy + kSize) % kSize;
        image.blend(px, py, {bright ? 1.0f : 0.0f, bright ? 1.0f : 0.0f, bright ? 1.0f : 0.0f, 0.55f * a});
      }
  }
  return image;
}
