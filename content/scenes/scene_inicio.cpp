// The title, a flat layer in the 640 x 480 screen (scene units x 1000 about
// the centre, y up), all in material "Metal", which the opening block draws
// additively in a flickering grey: the word VORN in separate pixel blocks of
// varying brightness, a line of small text, thin rules with ticks, corner
// marks and small labels. Nothing overlaps, so the additive drawing shows each
// piece at its own brightness.
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "scene_main.h"

using namespace content;

namespace {

void addTextLine(Mesh& mesh, const std::string& text, float centreX, float top, float pixel) {
  addTextQuads(mesh, text, {centreX - textPixels(text) * pixel * 0.5f, top, 0}, pixel, {0, -1, 0}, 0.0f);
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t metal = scene.material("Metal", {1, 1, 1, 1}, 0);

  Mesh title;
  const float pixel = 0.014f;
  const std::string word = "VORN";
  const float left = -textPixels(word) * pixel * 0.5f, top = 0.102f;
  addTextPixels(title, word, {left, top, 0}, pixel, {0, -1, 0}, 0.0011f,
                [](int column, int row, int) { return 0.72f + 0.42f * hashUnit(column, row, 7); });
  scene.object("title", title, Layout::Shaded, {metal});

  Mesh lines;
  lines.shade = 0.55f;
  const float w = 0.27f, t = 0.0012f;
  // Rules above and below the title, broken in the middle, with end ticks.
  for (float y : {0.128f, -0.028f}) {
    addRect(lines, -w, y - t, -0.03f, y + t);
    addRect(lines, 0.03f, y - t, w, y + t);
    addRect(lines, -w - t, y - 0.008f, -w + t, y + 0.008f);
    addRect(lines, w - t, y - 0.008f, w + t, y + 0.008f);
    for (int i = 1; i < 12; ++i) {
      const float x = -w + (w - 0.03f) * static_cast<float>(i) / 12.0f;
      addRect(lines, x - t * 0.5f, y - (i % 4 == 0 ? 0.006f : 0.003f), x + t * 0.5f, y - t);
      addRect(lines, -x - t * 0.5f, y - (i % 4 == 0 ? 0.006f : 0.003f), -x + t * 0.5f, y - t);
    }
  }
  // Corner marks.
  lines.shade = 0.4f;
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sy = -1; sy <= 1; sy += 2) {
      const float cx = 0.275f * sx, cy = 0.195f * sy;
      addRect(lines, std::min(cx, cx - 0.03f * sx), cy - t, std::max(cx, cx - 0.03f * sx), cy + t);
      addRect(lines, cx - t, std::min(cy, cy - 0.03f * sy), cx + t, std::max(cy, cy - 0.03f * sy));
    }
  // A dotted row under the lower rule.
  lines.shade = 0.3f;
  for (int i = -20; i <= 20; ++i) addRect(lines, i * 0.01f - 0.001f, -0.043f, i * 0.01f + 0.001f, -0.041f);
  scene.object("rules", lines, Layout::Shaded, {metal});

  Mesh text;
  text.shade = 0.8f;
  addTextLine(text, "a night on the rails", 0, -0.058f, 0.003f);
  text.shade = 0.45f;
  addTextLine(text, "real-time  -  made from scratch", 0, -0.092f, 0.0019f);
  text.shade = 0.35f;
  addTextQuads(text, "REEL 1", {-0.268f, 0.183f, 0}, 0.0017f, {0, -1, 0}, 0.0f);
  addTextQuads(text, "120 BPM", {0.268f - textPixels("120 BPM") * 0.0017f, -0.168f, 0}, 0.0017f, {0, -1, 0}, 0.0f);
  addTextQuads(text, "00:00", {-0.268f, -0.168f, 0}, 0.0017f, {0, -1, 0}, 0.0f);
  addTextQuads(text, "VORN/01", {0.268f - textPixels("VORN/01") * 0.0017f, 0.183f, 0}, 0.0017f, {0, -1, 0}, 0.0f);
  scene.object("captions", text, Layout::Shaded, {metal});
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::LayerUp;
  PreviewOptions options;
  options.styles["Metal"] = {MaterialLook::Shaded, BlendMode::Additive, {}, true, {0.9f, 0.9f, 0.9f, 1}};
  writePreview(dir + "/inicio.png", scene.record(), view, options, {0, 0, 0, 1});
}
