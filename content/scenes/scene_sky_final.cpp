// The dawn sky of the closing scene: a dome in vertex colours (material
// "Sky", fixed-function) from a pale warm horizon, brightest where the sun
// rises behind the cube tree, to a soft blue zenith, with the low sun and
// a few thin clouds.
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "scene_main.h"
#include "sky_dome.h"

using namespace content;

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t sky = scene.material("Sky", {1, 1, 1, 1}, 0);
  const V3 sun = normalize(V3{-1.0f, 0.07f, 0.3f});
  auto colour = [&](V3 d) {
    const float e = std::max(0.0f, d.y);
    const float towards = std::max(0.0f, dot(normalize(V3{d.x, 0, d.z}), normalize(V3{sun.x, 0, sun.z})));
    const float h = std::exp(-e * 4.0f);
    const float glow = std::pow(towards, 6.0f) * std::exp(-e * 6.0f);
    // Kept dark: the block adds an orange glow of the whole picture on top.
    Rgba c{0.17f + 0.2f * h + 0.12f * glow, 0.22f + 0.1f * h + 0.05f * glow, 0.33f - 0.05f * h - 0.05f * glow, 1};
    if (d.y < 0) c = {c.r * 0.8f, c.g * 0.75f, c.b * 0.7f, 1};
    return c;
  };
  Mesh dome;
  addSkyDome(dome, 2600, 18, 64, colour);
  // Thin clouds: flat bright streaks low over the horizon.
  Prng rng(0x636c6f7564ull);
  for (int i = 0; i < 26; ++i) {
    const float a = rng.range(0, 2 * kPi), e = rng.range(0.05f, 0.3f);
    const V3 d{std::cos(e) * std::cos(a), std::sin(e), std::cos(e) * std::sin(a)};
    const Rgba base = colour(d);
    const float w = rng.range(120, 360), h = rng.range(10, 26);
    const V3 side = normalize(cross(d, V3{0, 1, 0})), up = cross(side, d);
    const V3 c = d * 2550.0f;
    const Rgba lit{std::min(1.0f, base.r * 1.12f), std::min(1.0f, base.g * 1.1f), std::min(1.0f, base.b * 1.06f), 1};
    dome.color = lit;
    const std::uint32_t m0 = dome.add(c - side * (w * 0.5f), -d, 0, 0);
    const std::uint32_t m1 = dome.add(c + side * (w * 0.5f), -d, 1, 0);
    dome.color = base;
    const std::uint32_t t0 = dome.add(c + up * h, -d, 0.5f, 1);
    const std::uint32_t b0 = dome.add(c - up * h, -d, 0.5f, 1);
    dome.triangle(m0, m1, t0);
    dome.triangle(m0, b0, m1);
  }
  addSkyDisc(dome, sun, 2500, 300, {0.6f, 0.45f, 0.3f, 1}, colour(sun), 40);
  addSkyDisc(dome, sun, 2490, 60, {1.0f, 0.9f, 0.7f, 1}, {0.8f, 0.62f, 0.42f, 1}, 40);
  scene.object("sky", dome, Layout::Colored, {sky});
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "none";
  const V3 eye{161.2f, -23.2f, 38.0f};
  view.extraView = cameraView(eye, lookRotation(V3{10, -16, 4} - eye));
  view.zn = 2;
  view.zf = 5000;
  writePreview(dir + "/sky_final.png", scene.record(), view, {}, {0, 0, 0, 1});
}
