// The credits, a flat layer on the white screen (scene units x 1000 about the
// centre, y up), drawn in vertex colours with material "Material.001": for
// each role (code, graphics, music, design) the title's letters fly up from
// below the screen, turning, and assemble; "the Vorn team" slides in under
// them; the group holds and scrolls away upwards as the next role assembles.
// At the end the team name itself assembles large, with a line of thanks.
// Key times 0..350.
#include <cmath>
#include <map>

#include "common/preview.h"
#include "common/prng.h"
#include "font/pixel_font.h"
#include "scene_main.h"

using namespace content;

namespace {

const Rgba kInk{0.09f, 0.09f, 0.11f, 1};

class Credits {
 public:
  explicit Credits(SceneBuilder& scene) : scene_(scene), rng_(0x637265646974ull) {
    material_ = scene.material("Material.001", {1, 1, 1, 1}, MAT_BLEND);
  }

  // Letters of `text` (centred on x = 0, top at `top`) fly in one after the
  // other from `start`, hold, and scroll up by `scroll` from `leave` (no
  // scrolling when leave is negative).
  void assemble(const std::string& text, float top, float pixel, float start, float leave, float scroll) {
    const float left = -textPixels(text) * pixel * 0.5f;
    float pen = 0;
    int index = 0;
    for (char c : text) {
      if (c != ' ') {
        const V3 home{left + (pen + 2.5f) * pixel, top - 3.5f * pixel, 0};
        const float t0 = start + 2.5f * static_cast<float>(index);
        const float t1 = t0 + 24.0f;
        const V3 from = home + V3{rng_.range(-0.22f, 0.22f), -0.33f - top - rng_.range(0.0f, 0.12f), 0};
        const Q turn = axisAngle({0, 0, 1}, rng_.range(-1.3f, 1.3f));
        std::vector<Pose> poses;
        if (t0 > 0) poses.push_back({0, from, turn, true});
        poses.push_back({t0, from, turn, true});
        poses.push_back({t1, home, {}, true});
        if (leave >= 0) {
          poses.push_back({leave, home, {}, true});
          poses.push_back({leave + 26.0f, home + V3{0, scroll, 0}, {}, true});
        }
        const std::uint32_t node = scene_.modelNode(name("letter"), letter(c, pixel), from, turn);
        scene_.animate(node, makeTrack(poses));
        ++index;
      }
      pen += static_cast<float>(advance(static_cast<unsigned char>(c)));
    }
  }

  // A whole line that slides in from `offset` between t0 and t1 and scrolls
  // like the letters.
  void slide(Mesh mesh, V3 offset, float t0, float t1, float leave, float scroll) {
    std::vector<Pose> poses;
    if (t0 > 0) poses.push_back({0, offset, {}, true});
    poses.push_back({t0, offset, {}, true});
    poses.push_back({t1, {0, 0, 0}, {}, true});
    if (leave >= 0) {
      poses.push_back({leave, {0, 0, 0}, {}, true});
      poses.push_back({leave + 26.0f, {0, scroll, 0}, {}, true});
    }
    const std::uint32_t model = scene_.model(name("line"), mesh, Layout::Colored, {material_});
    const std::uint32_t node = scene_.modelNode(name("line"), model, offset);
    scene_.animate(node, makeTrack(poses));
  }

  Mesh textLine(const std::string& text, float top, float pixel) const {
    Mesh mesh;
    mesh.color = kInk;
    addTextQuads(mesh, text, {-textPixels(text) * pixel * 0.5f, top, 0}, pixel, {0, -1, 0}, 0.0f);
    return mesh;
  }

 private:
  std::string name(const char* kind) { return std::string(kind) + "." + std::to_string(++counter_); }

  // One model per letter and size, centred on its own origin.
  std::uint32_t letter(char c, float pixel) {
    const auto key = std::make_pair(c, pixel);
    auto found = letters_.find(key);
    if (found != letters_.end()) return found->second;
    Mesh mesh;
    mesh.color = kInk;
    addTextQuads(mesh, std::string(1, c), {-2.5f * pixel, 3.5f * pixel, 0}, pixel, {0, -1, 0}, 0.0f);
    const std::uint32_t model = scene_.model(std::string("glyph_") + c, mesh, Layout::Colored, {material_});
    letters_[key] = model;
    return model;
  }

  SceneBuilder& scene_;
  Prng rng_;
  std::uint32_t material_ = 0;
  int counter_ = 0;
  std::map<std::pair<char, float>, std::uint32_t> letters_;
};

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  Credits credits(scene);
  const char* roles[] = {"CODE", "GRAPHICS", "MUSIC", "DESIGN"};
  for (int i = 0; i < 4; ++i) {
    const float s = 2.0f + 70.0f * static_cast<float>(i);
    const float leave = s + 56.0f;
    credits.assemble(roles[i], 0.06f, 0.009f, s, leave, 0.45f);
    credits.slide(credits.textLine("the Vorn team", -0.03f, 0.0032f), {0.62f, 0, 0}, s + 14.0f, s + 34.0f, leave, 0.45f);
    Mesh rule;
    rule.color = kInk;
    addRect(rule, -0.12f, -0.0125f, 0.12f, -0.0105f);
    credits.slide(rule, {-0.62f, 0, 0}, s + 8.0f, s + 30.0f, leave, 0.45f);
  }
  credits.assemble("the Vorn team", 0.04f, 0.0062f, 284.0f, -1.0f, 0.0f);
  credits.slide(credits.textLine("thanks for watching", -0.035f, 0.0026f), {0, -0.3f, 0}, 316.0f, 336.0f, -1.0f, 0.0f);
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.kind = PreviewView::Kind::LayerUp;
  PreviewOptions options;
  options.styles["Material.001"] = {MaterialLook::Vertex, BlendMode::Alpha, {}, false, {}};
  for (float t : {10.0f, 45.0f, 70.0f, 120.0f, 290.0f, 349.0f}) {
    options.time = t;
    writePreview(dir + "/credits_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {1, 1, 1, 1});
  }
}
