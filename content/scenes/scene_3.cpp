// The bridge over the dark valley: terrain, piers, the deck with its tracks
// and an arch under the middle span in material "Metal"; the truss over the
// deck, the arch's struts and its bracing in material "Filler", built from
// one end of the bridge to the other as the block's parameter runs from 0.1
// to 1.1. The camera "Camera" flies up from the valley and along the deck,
// just behind the front (key times 0..585).
#include <algorithm>
#include <cmath>

#include "common/bridge_path.h"
#include "common/preview.h"
#include "common/prng.h"
#include "common/structures.h"
#include "scene_main.h"

using namespace content;
namespace br = content::bridge;

namespace {

constexpr float kHalfWidth = 7.0f;

// The valley: a deep cut along z under the bridge, hills beyond it.
float terrain(float x, float z) {
  const float ax = std::fabs(x + 8.0f * std::sin(z / 90.0f));
  const float cut = 1.0f - std::min(1.0f, std::max(0.0f, (ax - 120.0f) / 230.0f));
  const float smooth = cut * cut * (3 - 2 * cut);
  const float hills = 18.0f * std::sin(x / 130.0f) * std::sin(z / 170.0f) + 10.0f * std::sin((x + z) / 61.0f);
  const float rise = std::min(1.0f, std::max(0.0f, (ax - 420.0f) / 500.0f)) * 90.0f;
  return -150.0f * smooth + (1.0f - smooth) * (-6.0f + hills) + rise;
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t metal = scene.material("Metal", {0.42f, 0.41f, 0.43f, 1.0f}, 0);
  const std::uint32_t filler = scene.material("Filler", {0.55f, 0.5f, 0.45f, 0.1f}, 0);

  Mesh land;
  addGrid(land, 7000, 7000, 140, 140, M4{}, terrain);
  for (Vertex& v : land.vertices) {
    const float low = std::min(1.0f, std::max(0.0f, (-v.p.y - 100.0f) / 50.0f));
    v.shade = 0.16f + 0.08f * hashUnit(static_cast<std::uint32_t>(v.p.x + 4000), static_cast<std::uint32_t>(v.p.z + 4000)) +
              0.1f * low;
  }
  // The river at the bottom of the valley, a little brighter.
  land.shade = 0.45f;
  {
    std::vector<Frame> frames;
    for (float z = -3500; z <= 3500; z += 40) {
      const float x = -8.0f * std::sin(z / 90.0f);
      frames.push_back({{x, terrain(x, z) + 1.5f, z}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}});
    }
    addSweep(land, frames, {{-14, 0}, {14, 0}}, false, false, 50.0f);
  }
  scene.object("valley", land, Layout::Shaded, {metal});

  Mesh deck;
  deck.shade = 0.5f;
  // The box girder and the parapets.
  addBoxBetween(deck, {-br::kDeckHalfLength, -4.5f, -kHalfWidth}, {br::kDeckHalfLength, 0, kHalfWidth});
  for (int s = -1; s <= 1; s += 2) {
    addBeam(deck, {-br::kDeckHalfLength, 1.1f, s * (kHalfWidth - 0.2f)}, {br::kDeckHalfLength, 1.1f, s * (kHalfWidth - 0.2f)}, 0.3f);
    for (float x = -br::kDeckHalfLength; x <= br::kDeckHalfLength; x += 5)
      addBeam(deck, {x, 0, s * (kHalfWidth - 0.2f)}, {x, 1.1f, s * (kHalfWidth - 0.2f)}, 0.15f);
  }
  // Tracks on the deck.
  deck.shade = 0.7f;
  for (float z : {-2.4f, 2.4f}) {
    const std::vector<Frame> frames = {{{-br::kDeckHalfLength, 0, z}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                       {{br::kDeckHalfLength, 0, z}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}}};
    addTrack(deck, frames, 1.435f, 2.5f);
  }
  // Piers outside the arch, abutments at the ends.
  deck.shade = 0.42f;
  for (float x : {-300.0f, -230.0f, -165.0f, 165.0f, 230.0f, 300.0f}) {
    const float ground = terrain(x, 0) - 5.0f;
    const float h = -4.5f - ground;
    addBevelBox(deck, {5.5f, h * 0.5f, 6.0f}, 0.8f, M4::translation({x, ground + h * 0.5f, 0}));
    addBevelBox(deck, {7.0f, 1.5f, 8.0f}, 0.4f, M4::translation({x, -6.0f, 0}));
  }
  // The arch ribs under the middle span (springing from the valley sides).
  auto arch = [](float x) { return -118.0f + 113.0f * (1.0f - (x / 165.0f) * (x / 165.0f)); };
  for (float z : {-5.5f, 5.5f}) {
    std::vector<Frame> frames;
    for (float x = -165; x <= 165.01f; x += 5.5f) {
      const V3 p{x, arch(x), z};
      const V3 t = normalize(V3{1, (arch(x + 0.5f) - arch(x - 0.5f)) / 1.0f, 0});
      frames.push_back({p, t, {0, 0, 1}, normalize(cross(V3{0, 0, 1}, t))});
    }
    addSweep(deck, frames, {{-1.2f, -1.8f}, {1.2f, -1.8f}, {1.2f, 1.8f}, {-1.2f, 1.8f}}, true, false, 10.0f);
  }
  scene.object("deck", deck, Layout::Shaded, {metal});

  // Steel built by the front: the truss, its bracing, the arch's struts, lamps.
  Mesh steel;
  steel.shade = 0.62f;
  const float L = br::kDeckHalfLength;
  for (int s = -1; s <= 1; s += 2) addTruss(steel, {-L, 0, s * kHalfWidth}, {L, 0, s * kHalfWidth}, 12.0f, 10.0f, 0.8f);
  for (float x = -L; x <= L + 0.01f; x += 10.0f) {
    addBeam(steel, {x, 12, -kHalfWidth}, {x, 12, kHalfWidth}, 0.55f);
    if (static_cast<int>((x + L) / 10.0f) % 2 == 0 && x + 10 <= L)
      addBeam(steel, {x, 12, -kHalfWidth}, {x + 10, 12, kHalfWidth}, 0.4f);
  }
  for (float x = -160; x <= 160.01f; x += 11.0f)
    for (float z : {-5.5f, 5.5f}) addBeam(steel, {x, arch(x) + 1.8f, z}, {x, -4.5f, z}, 0.7f);
  for (float x = -154; x <= 154.01f; x += 22.0f) {
    addBeam(steel, {x, arch(x), -5.5f}, {x, arch(x), 5.5f}, 0.6f);
    addBeam(steel, {x, arch(x), -5.5f}, {x + 11, arch(x + 11), 5.5f}, 0.45f);
  }
  // Lamps along the parapets, bright.
  for (float x = -L + 15; x < L; x += 30) {
    for (int s = -1; s <= 1; s += 2) {
      const std::size_t from = steel.vertices.size();
      addBeam(steel, {x, 0, s * (kHalfWidth + 0.6f)}, {x, 6.5f, s * (kHalfWidth + 0.6f)}, 0.25f);
      steel.shade = 3.5f;
      addBoxBetween(steel, {x - 0.5f, 6.5f, s * (kHalfWidth + 0.6f) - 0.5f}, {x + 0.5f, 7.3f, s * (kHalfWidth + 0.6f) + 0.5f});
      steel.shade = 0.62f;
      (void)from;
    }
  }
  steel.setBuild([](V3 p) { return br::buildOrder(p.x) + 0.02f * std::min(1.0f, std::max(0.0f, p.y / 12.0f)); });
  scene.object("truss", steel, Layout::Shaded, {filler});

  const std::uint32_t camera = scene.camera("Camera");
  const std::vector<AnimationKey> track = br::cameraTrack();
  const std::uint32_t node = scene.cameraNode("Camera", camera, {}, {});
  scene.animate(node, track);
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "Camera";
  view.fovDegrees = 60;
  view.zn = 2;
  view.zf = 5000;
  PreviewOptions options;
  options.styles["Filler"] = {MaterialLook::Reveal, BlendMode::Opaque, {}, false, {}};
  for (float t : {0.0f, 120.0f, 240.0f, 360.0f, 480.0f, 584.0f}) {
    options.time = t;
    options.aux = t / br::kKeyTimeEnd + 0.1f;
    writePreview(dir + "/scene_3_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {0.03f, 0.03f, 0.06f, 1});
  }
}
