// The interface over the tunnel ride, a flat layer in the 640 x 480 screen
// (scene units x 1000 about the centre, y up): a translucent "Dark" panel
// with the metro line drawn from the tunnel's own centre line in "Blue", its
// stations and labels, a "Yellow" header and position marker that follows the
// camera along the line over key times 0..1115, and two layers of "Rain"
// streaks falling over the whole screen.
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "common/tunnel_path.h"
#include "scene_main.h"

using namespace content;
namespace tn = content::tunnel;

namespace {

// The panel of the map, in layer units.
constexpr float kPanelX0 = -0.290f, kPanelX1 = -0.025f, kPanelY0 = -0.205f, kPanelY1 = -0.072f;

// Map coordinates of the point at path parameter s: the line runs left to
// right, the tunnel's sideways bends become the map's ups and downs.
V3 mapPoint(float s) {
  const V3 c = tn::centre(s);
  const float x = kPanelX0 + 0.018f + (kPanelX1 - kPanelX0 - 0.036f) * (s / tn::kLength);
  const float y = (kPanelY0 + kPanelY1) * 0.5f - 0.004f + c.x * 0.0009f;
  return {x, y, 0};
}

void addLine(Mesh& mesh, V3 a, V3 b, float width) {
  const V3 d = normalize(b - a);
  const V3 side = V3{-d.y, d.x, 0} * (width * 0.5f);
  const V3 n{0, 0, 1};
  mesh.quad(mesh.add(a - side, n, 0, 0), mesh.add(b - side, n, 1, 0), mesh.add(b + side, n, 1, 1),
            mesh.add(a + side, n, 0, 1));
}

void addText(Mesh& mesh, const std::string& text, float x, float y, float pixel) {
  addTextQuads(mesh, text, {x, y, 0}, pixel, {0, -1, 0}, 0.0f);
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t dark = scene.material("Dark", {0.02f, 0.03f, 0.05f, 0.62f}, 0);
  const std::uint32_t blue = scene.material("Blue", {0.22f, 0.52f, 1.0f, 0.92f}, 0);
  const std::uint32_t yellow = scene.material("Yellow", {1.0f, 0.84f, 0.22f, 1.0f}, 0);
  const std::uint32_t rain = scene.material("Rain", {0.72f, 0.82f, 1.0f, 0.32f}, 0);

  Mesh panel;
  addRect(panel, kPanelX0, kPanelY0, kPanelX1, kPanelY1);
  addRect(panel, 0.165f, 0.155f, 0.290f, 0.205f);
  scene.object("panel", panel, Layout::Shaded, {dark});

  Mesh map;
  map.shade = 1.1f;
  // The line itself.
  V3 previous = mapPoint(0);
  for (float s = 4; s <= tn::kLength; s += 4) {
    const V3 p = mapPoint(s);
    addLine(map, previous, p, 0.0028f);
    previous = p;
  }
  // Panel border.
  addRect(map, kPanelX0, kPanelY1 - 0.0015f, kPanelX1, kPanelY1);
  addRect(map, kPanelX0, kPanelY0, kPanelX1, kPanelY0 + 0.0015f);
  // Stations with their names, alternately above and below the line.
  const struct {
    float s;
    const char* name;
    bool below;  // label under the line (where it dips) or over it
  } stations[] = {{tn::cameraS(0), "DEPOT", false},
                  {110, "CANAL", true},
                  {205, "MARKET", true},
                  {300, "OLD TOWN", false},
                  {tn::cameraS(tn::kKeyTimeEnd), "STATION", true}};
  for (const auto& st : stations) {
    const V3 p = mapPoint(st.s);
    addRect(map, p.x - 0.0035f, p.y - 0.0035f, p.x + 0.0035f, p.y + 0.0035f);
    const float px = 0.0013f;
    const float w = textPixels(st.name) * px;
    const float y = st.below ? p.y - 0.011f : p.y + 0.008f + 8 * px;
    addText(map, st.name, std::min(std::max(p.x - w * 0.5f, kPanelX0 + 0.004f), kPanelX1 - 0.004f - w), y, px);
  }
  scene.object("map", map, Layout::Shaded, {blue});

  Mesh header;
  header.shade = 1.15f;
  addText(header, "LINE 2", kPanelX0 + 0.006f, kPanelY1 - 0.006f, 0.0019f);
  addText(header, "YARD - STATION", kPanelX0 + 0.085f, kPanelY1 - 0.007f, 0.0014f);
  addText(header, "NEXT", 0.173f, 0.197f, 0.0016f);
  addText(header, "STATION", 0.173f, 0.18f, 0.0024f);
  scene.object("header", header, Layout::Shaded, {yellow});

  // The marker: a square with a halo ring, moved along the line.
  Mesh marker;
  marker.shade = 1.15f;
  addRect(marker, -0.0045f, -0.0045f, 0.0045f, 0.0045f);
  addRingXY(marker, 0.0075f, 0.0095f, 20);
  const std::uint32_t markerNode = scene.object("marker", marker, Layout::Shaded, {yellow}, mapPoint(tn::cameraS(0)));
  std::vector<Pose> track;
  for (float t = 0; t <= tn::kKeyTimeEnd + 1e-3f; t += 10.0f) track.push_back({t, mapPoint(tn::cameraS(t)), {}});
  scene.animate(markerNode, makeTrack(track, Interpolation::Linear));

  // Rain: slanted streaks over two screen heights, so a layer that falls one
  // screen height and jumps back loops without a seam.
  Prng rng(0x7261696eull);
  for (int layer = 0; layer < 2; ++layer) {
    Mesh streaks;
    streaks.shade = layer == 0 ? 1.0f : 0.7f;
    const int count = layer == 0 ? 70 : 110;
    for (int i = 0; i < count; ++i) {
      const float x = rng.range(-0.33f, 0.33f), y = rng.range(-0.24f, 0.24f);
      const float len = layer == 0 ? rng.range(0.025f, 0.05f) : rng.range(0.012f, 0.025f);
      for (float dy : {0.0f, 0.48f}) addLine(streaks, {x, y + dy, 0}, {x - len * 0.18f, y + dy - len, 0}, layer == 0 ? 0.0014f : 0.001f);
    }
    const std::uint32_t node = scene.object(layer == 0 ? "rain_near" : "rain_far", streaks, Layout::Shaded, {rain});
    const float period = layer == 0 ? 36.0f : 64.0f;
    std::vector<Pose> fall;
    for (float t = 0; t < tn::kKeyTimeEnd + period; t += period) {
      fall.push_back({t, {0, 0, 0}, {}});
      fall.push_back({t + period - 0.05f, {0, -0.48f, 0}, {}});
    }
    scene.animate(node, makeTrack(fall, Interpolation::Linear));
  }
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::LayerUp;
  PreviewOptions options;
  options.styles["Dark"] = {MaterialLook::Shaded, BlendMode::Alpha, {}, false, {}};
  options.styles["Blue"] = {MaterialLook::Shaded, BlendMode::Alpha, {}, false, {}};
  options.styles["Yellow"] = {MaterialLook::Shaded, BlendMode::Alpha, {}, false, {}};
  options.styles["Rain"] = {MaterialLook::Shaded, BlendMode::Alpha, {}, false, {}};
  for (float t : {0.0f, 500.0f}) {
    options.time = t;
    writePreview(dir + "/gui_tunel_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {0.5f, 0.5f, 0.5f, 1});
  }
}
