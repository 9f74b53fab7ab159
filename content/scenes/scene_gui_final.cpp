// The interface of the closing scene, a flat layer in the 640 x 480 screen
// (scene units x 1000 about the centre, y up): station boards, a timetable,
// corner marks and rules in material "Filler", which the wipe shader reveals
// from left to right as its parameter grows (0.1 to 1.1 in the closing block)
// and takes away again from right to left as it falls (1 to -3 in the
// credits); and in material "Rotater" a gear emblem in the top right corner
// that turns over key times 0..500.
#include <cmath>

#include "common/preview.h"
#include "scene_main.h"

using namespace content;

namespace {

// Reveal order: left to right, all of it shown once the parameter is 0.55.
float wipeOrder(V3 p) { return 0.05f + 0.5f * std::min(1.0f, std::max(0.0f, (p.x + 0.32f) / 0.64f)); }

void text(Mesh& mesh, const std::string& s, float x, float top, float pixel) {
  addTextQuads(mesh, s, {x, top, 0}, pixel, {0, -1, 0}, 0.0f);
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t filler = scene.material("Filler", {0.1f, 0.09f, 0.085f, 0.1f}, 0);
  const std::uint32_t rotater = scene.material("Rotater", {0.95f, 0.48f, 0.12f, 1.0f}, 0);

  Mesh board;
  const float t = 0.0012f;
  // Top left: the platform board.
  text(board, "PLATFORM 2", -0.285f, 0.205f, 0.0026f);
  addRect(board, -0.285f, 0.176f, -0.12f, 0.176f + t);
  text(board, "NEXT: DAWN SERVICE", -0.285f, 0.168f, 0.0015f);
  text(board, "ALL STATIONS", -0.285f, 0.153f, 0.0015f);
  // Bottom left: the timetable with dotted leaders.
  const char* times[] = {"05:12", "05:31", "05:47", "06:02"};
  const char* stops[] = {"YARD", "BRIDGE", "TUNNEL", "STATION"};
  for (int i = 0; i < 4; ++i) {
    const float y = -0.14f - 0.016f * static_cast<float>(i);
    text(board, times[i], -0.285f, y, 0.0015f);
    for (float x = -0.235f; x < -0.19f; x += 0.005f) addRect(board, x, y - 0.0105f, x + 0.0015f, y - 0.009f);
    text(board, stops[i], -0.185f, y, 0.0015f);
  }
  addRect(board, -0.285f, -0.128f, -0.12f, -0.128f + t);
  // Bottom right: a row of signal blocks and a caption.
  for (int i = 0; i < 9; ++i) {
    const float x = 0.13f + 0.016f * static_cast<float>(i);
    const float h = 0.006f + 0.004f * static_cast<float>((i * 5) % 7);
    addRect(board, x, -0.2f, x + 0.011f, -0.2f + h);
  }
  text(board, "LINE CLEAR", 0.13f, -0.152f, 0.0017f);
  // Corner marks.
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sy = -1; sy <= 1; sy += 2) {
      const float cx = 0.298f * sx, cy = 0.218f * sy;
      addRect(board, std::min(cx, cx - 0.025f * sx), cy - t, std::max(cx, cx - 0.025f * sx), cy + t);
      addRect(board, cx - t, std::min(cy, cy - 0.025f * sy), cx + t, std::max(cy, cy - 0.025f * sy));
    }
  board.setBuild(wipeOrder);
  scene.object("boards", board, Layout::Shaded, {filler});

  // The emblem: a gear with spokes, turning about its centre.
  Mesh emblem;
  emblem.shade = 1.1f;
  addPolygonBand(emblem, gearOutline(14, 0.026f, 0.032f, 0), 0.003f);
  addRingXY(emblem, 0.006f, 0.009f, 24);
  for (int i = 0; i < 5; ++i) {
    Mesh spoke;
    spoke.shade = emblem.shade;
    addRect(spoke, 0.009f, -0.0012f, 0.0235f, 0.0012f);
    emblem.append(spoke, M4::rotationZ(2 * kPi * static_cast<float>(i) / 5.0f));
  }
  const V3 centre{0.255f, 0.175f, 0};
  const std::uint32_t node = scene.object("emblem", emblem, Layout::Shaded, {rotater}, centre);
  std::vector<Pose> turn;
  for (float k = 0; k <= 500.0f + 1e-3f; k += 10.0f) turn.push_back({k, centre, axisAngle({0, 0, 1}, -k * 2 * kPi / 125.0f)});
  scene.animate(node, makeTrack(turn, Interpolation::Linear));
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::LayerUp;
  PreviewOptions options;
  options.styles["Filler"] = {MaterialLook::Wipe, BlendMode::Alpha, {}, false, {}};
  options.styles["Rotater"] = {MaterialLook::Shaded, BlendMode::Alpha, {}, false, {}};
  for (float p : {0.1f, 0.3f, 0.6f}) {
    options.time = 500 * p;
    options.aux = p + 0.1f;
    writePreview(dir + "/gui_final_" + std::to_string(static_cast<int>(p * 100)) + ".png", scene.record(), view,
                 options, {0.85f, 0.8f, 0.75f, 1});
  }
}
