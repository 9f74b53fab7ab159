// The film strip: a flat layer drawn x 1000 about the screen centre with y
// pointing down the screen. Three strips of frames slide across: a large one
// in front and two smaller, tilted ones behind it. The frames' pictures use
// material "Fita", to which the loading phase appends the picture of the
// railway yard (texture coordinates run from (0, 0) at a frame's top left);
// each frame shows a slightly different crop of it. The film base, sprocket
// holes and edge print are vertex-coloured in material "Film". Key times
// 0..130.
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "scene_main.h"

using namespace content;

namespace {

constexpr float kPitch = 0.15f;      // frame to frame
constexpr float kPictureW = 0.128f;  // 4:3 pictures
constexpr float kPictureH = 0.096f;
constexpr float kBorder = 0.034f;    // film above and below the pictures

// One strip of `frames` frames centred on its origin; group 0 is the film,
// group 1 the pictures.
Mesh strip(int frames, std::uint32_t seed) {
  Mesh mesh;
  Prng rng(seed);
  const float half = kPitch * static_cast<float>(frames) * 0.5f;
  const float top = -kPictureH * 0.5f - kBorder, bottom = kPictureH * 0.5f + kBorder;
  mesh.group = 0;
  mesh.color = {0.085f, 0.06f, 0.045f, 1};
  // The base, in pieces around the pictures so nothing overlaps.
  addRect(mesh, -half, top, half, -kPictureH * 0.5f);
  addRect(mesh, -half, kPictureH * 0.5f, half, bottom);
  for (int i = 0; i <= frames; ++i) {
    const float x = -half + kPitch * static_cast<float>(i);
    addRect(mesh, x - (kPitch - kPictureW) * 0.5f, -kPictureH * 0.5f, x + (kPitch - kPictureW) * 0.5f, kPictureH * 0.5f);
  }
  // Sprocket holes: light showing through, six per frame, top and bottom.
  mesh.color = {0.62f, 0.57f, 0.48f, 1};
  for (float x = -half + 0.0125f; x < half; x += kPitch / 6.0f) {
    for (float y : {top + 0.0105f, bottom - 0.0215f}) addRect(mesh, x - 0.0045f, y, x + 0.0045f, y + 0.011f);
  }
  // Edge print: frame numbers along the lower border.
  mesh.color = {0.75f, 0.52f, 0.24f, 1};
  for (int i = 0; i < frames; ++i) {
    const float x = -half + kPitch * static_cast<float>(i) + 0.03f;
    const std::string label = "VORN " + std::to_string(10 + i);
    addTextQuads(mesh, label, {x, kPictureH * 0.5f + 0.003f, 0}, 0.0011f, {0, 1, 0}, 0.0f);
  }
  // The pictures, each a different crop of the same image.
  mesh.group = 1;
  mesh.color = {1, 1, 1, 1};
  for (int i = 0; i < frames; ++i) {
    const float cx = -half + kPitch * (static_cast<float>(i) + 0.5f);
    const float zoom = rng.range(0.7f, 1.0f);
    const float u0 = rng.range(0.0f, 1.0f - zoom), v0 = rng.range(0.0f, 1.0f - zoom);
    const V3 n{0, 0, 1};
    const float x0 = cx - kPictureW * 0.5f, x1 = cx + kPictureW * 0.5f;
    const float y0 = -kPictureH * 0.5f, y1 = kPictureH * 0.5f;
    mesh.quad(mesh.add({x0, y0, 0}, n, u0, v0), mesh.add({x1, y0, 0}, n, u0 + zoom, v0),
              mesh.add({x1, y1, 0}, n, u0 + zoom, v0 + zoom), mesh.add({x0, y1, 0}, n, u0, v0 + zoom));
  }
  return mesh;
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t film = scene.material("Film", {1, 1, 1, 1}, 0);
  const std::uint32_t fita = scene.material("Fita", {1, 1, 1, 1}, 0);

  struct Lane {
    const char* name;
    int frames;
    float scale, angle, y, x0, x1;
  };
  // Drawn in this order: the small strips first, the large one over them.
  const Lane lanes[] = {{"strip_back_high", 14, 0.55f, 0.16f, -0.15f, -0.30f, 0.35f},
                        {"strip_back_low", 14, 0.6f, -0.11f, 0.16f, 0.35f, -0.32f},
                        {"strip_front", 16, 1.0f, -0.06f, 0.01f, 0.42f, -0.42f}};
  std::uint32_t seed = 1;
  for (const Lane& lane : lanes) {
    Mesh mesh = strip(lane.frames, seed++);
    mesh.transform(M4::scaling({lane.scale, lane.scale, 1}));
    const Q tilt = axisAngle({0, 0, 1}, lane.angle);
    const V3 along = rotate(tilt, V3{1, 0, 0});
    const std::uint32_t node = scene.object(lane.name, mesh, Layout::Colored, {film, fita});
    const V3 start = V3{0, lane.y, 0} + along * lane.x0, end = V3{0, lane.y, 0} + along * lane.x1;
    scene.animate(node, makeTrack({{0, start, tilt}, {65, lerp(start, end, 0.5f), tilt}, {130, end, tilt}},
                                  Interpolation::Linear));
  }
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::LayerDown;
  PreviewOptions options;
  options.styles["Fita"] = {MaterialLook::Shaded, BlendMode::Opaque, {0.3f, 0.25f, 0.2f, 1}, true, {0.6f, 0.5f, 0.4f, 1}};
  options.styles["Film"] = {MaterialLook::Vertex, BlendMode::Opaque, {}, false, {}};
  for (float t : {0.0f, 65.0f, 129.0f}) {
    options.time = t;
    writePreview(dir + "/fita_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {0, 0, 0, 1});
  }
}
