// The loading screen: a thin progress bar in a frame with the word LOADING
// above it, seen from (0, 0, 9) down -z with a 35 degree field of view. The
// bar (material "ProgressBar") runs u from 0 at its left end to 1 at its
// right end, which the progress shader compares with the progress value.
#include "common/preview.h"
#include "scene_main.h"

using namespace content;

namespace {

constexpr float kBarHalfWidth = 2.4f;
constexpr float kBarHalfHeight = 0.06f;

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t bar = scene.material("ProgressBar", {1.0f, 0.55f, 0.16f, 0.5f}, 0);
  const std::uint32_t frame = scene.material("Frame", {1, 1, 1, 1}, 0);

  // The bar: one quad, u along its length.
  Mesh barMesh;
  addRect(barMesh, -kBarHalfWidth, -kBarHalfHeight, kBarHalfWidth, kBarHalfHeight, 0.05f);
  // The build value repeats u (the progress shader reads u; previews read this).
  barMesh.setBuild([](V3 p) { return (p.x + kBarHalfWidth) / (2 * kBarHalfWidth); });
  scene.object("bar", barMesh, Layout::Shaded, {bar});

  // Its dark channel, the frame around it and the lettering, in vertex colours.
  Mesh deco;
  deco.color = {0.07f, 0.05f, 0.04f, 1};
  addRect(deco, -kBarHalfWidth, -kBarHalfHeight, kBarHalfWidth, kBarHalfHeight, 0.0f);
  deco.color = {0.55f, 0.36f, 0.2f, 1};
  const float fx = kBarHalfWidth + 0.1f, fy = kBarHalfHeight + 0.1f, t = 0.025f;
  addRect(deco, -fx, fy - t, fx, fy, 0.0f);
  addRect(deco, -fx, -fy, fx, -fy + t, 0.0f);
  addRect(deco, -fx, -fy, -fx + t, fy, 0.0f);
  addRect(deco, fx - t, -fy, fx, fy, 0.0f);
  // Tick marks under the frame, one per tenth.
  for (int i = 0; i <= 10; ++i) {
    const float x = -kBarHalfWidth + 2 * kBarHalfWidth * static_cast<float>(i) / 10.0f;
    const float len = i % 5 == 0 ? 0.12f : 0.06f;
    addRect(deco, x - 0.01f, -fy - 0.05f - len, x + 0.01f, -fy - 0.05f, 0.0f);
  }
  deco.color = {0.95f, 0.62f, 0.3f, 1};
  const float pixel = 0.05f;
  const std::string word = "LOADING";
  addTextQuads(deco, word, {-textPixels(word) * pixel * 0.5f, 0.62f, 0}, pixel, {0, -1, 0}, 0.004f);
  deco.color = {0.45f, 0.3f, 0.2f, 1};
  const float small = 0.022f;
  const std::string caption = "vorn - please stand by";
  addTextQuads(deco, caption, {-textPixels(caption) * small * 0.5f, -0.42f, 0}, small, {0, -1, 0}, 0.0f);
  scene.object("frame", deco, Layout::Colored, {frame});
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::Camera;
  // No camera in this scene: the loading frame places the eye itself.
  view.extraView = M4::translation({0, 0, -9});
  view.zn = 0.2f;
  view.zf = 487;
  PreviewOptions options;
  options.styles["ProgressBar"] = {MaterialLook::Wipe, BlendMode::Opaque, {}, true, {1.0f, 0.55f, 0.16f, 1}};
  for (float progress : {0.1f, 0.5f, 1.0f}) {
    options.aux = progress;
    writePreview(dir + "/loading_" + std::to_string(static_cast<int>(progress * 100)) + ".png", scene.record(), view,
                 options, {1 / 255.0f, 1 / 255.0f, 1 / 255.0f, 1});
  }
}
