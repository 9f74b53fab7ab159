// The night sky over the bridge: a dome in vertex colours (material "Sky",
// drawn by the fixed-function stages) from a warm glow at the horizon to a
// deep blue zenith, with stars and a haloed moon ahead of the flight.
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "common/bridge_path.h"
#include "scene_main.h"
#include "sky_dome.h"

using namespace content;

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t sky = scene.material("Sky", {1, 1, 1, 1}, 0);
  const V3 glowDir = normalize(V3{0.6f, 0, -0.8f});
  auto colour = [&](V3 d) {
    const float e = std::max(0.0f, d.y);
    const float glow = 0.5f + 0.5f * dot(normalize(V3{d.x, 0, d.z}), glowDir);
    const float h = std::exp(-e * 9.0f);
    const float m = std::exp(-e * 3.0f);
    Rgba c{0.012f + 0.05f * m + (0.16f + 0.12f * glow) * h, 0.014f + 0.035f * m + (0.07f + 0.06f * glow) * h,
           0.035f + 0.05f * m + 0.03f * h, 1};
    if (d.y < 0) c = {c.r * 0.6f, c.g * 0.6f, c.b * 0.6f, 1};
    return c;
  };
  Mesh dome;
  addSkyDome(dome, 3500, 16, 48, colour);
  Prng rng(0x737461727321ull);
  for (int i = 0; i < 420; ++i) {
    const float a = rng.range(0, 2 * kPi);
    const float e = std::asin(rng.range(0.12f, 1.0f));
    const V3 d{std::cos(e) * std::cos(a), std::sin(e), std::cos(e) * std::sin(a)};
    const float b = rng.range(0.35f, 1.0f) * std::min(1.0f, d.y * 3.0f);
    const Rgba c = colour(d);
    addSkyDisc(dome, d, 3480, rng.range(6.0f, 13.0f), {0.9f * b + c.r, 0.88f * b + c.g, 0.8f * b + c.b, 1}, c, 5);
  }
  const V3 moon = normalize(V3{0.8f, 0.45f, -0.5f});
  const Rgba skyAtMoon = colour(moon);
  addSkyDisc(dome, moon, 3470, 260, {0.16f, 0.15f, 0.16f, 1}, skyAtMoon, 32);
  addSkyDisc(dome, moon, 3460, 70, {0.95f, 0.92f, 0.82f, 1}, {0.8f, 0.78f, 0.7f, 1}, 32);
  scene.object("sky", dome, Layout::Colored, {sky});
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  // Seen from the bridge camera at a few moments of its flight.
  const std::vector<AnimationKey> track = bridge::cameraTrack();
  for (float t : {0.0f, 300.0f, 584.0f}) {
    const Pose pose = evaluateTrack(track, t);
    PreviewView view;
    view.camera = "none";
    view.extraView = cameraView(pose.position, pose.rotation);
    view.fovDegrees = 60;
    view.zn = 2;
    view.zf = 5000;
    writePreview(dir + "/sky3_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, {}, {0, 0, 0, 1});
  }
}
