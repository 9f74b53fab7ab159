// The station at dawn: a platform with a canopy, benches, lamps and a name
// board, two tracks and the open ground beyond, in the five materials
// "Material" to "Material.004" (drawn opaque with strong ambient light). The
// camera "Camera" stands on the platform and looks across the tracks at the
// cube tree, which grows around the world origin some 160 units away
// and is drawn behind everything of this scene; over key times 0..646 the
// camera walks slowly along the platform.
#include <cmath>

#include "common/preview.h"
#include "common/structures.h"
#include "scene_main.h"

using namespace content;

namespace {

constexpr float kGround = -26.0f;
constexpr float kPlatformTop = kGround + 1.1f;
constexpr float kPlatformX0 = 188.0f, kPlatformX1 = 200.0f;
// The station is laid out around x = 194 and then moved by this much towards
// the tree, which it faces from about 160 units away.
constexpr float kStationShift = -36.0f;

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t concrete = scene.material("Material", {0.62f, 0.6f, 0.56f, 1}, MAT_PROGRAM);
  const std::uint32_t steel = scene.material("Material.001", {0.3f, 0.34f, 0.4f, 1}, MAT_PROGRAM);
  const std::uint32_t ground = scene.material("Material.002", {0.36f, 0.31f, 0.26f, 1}, MAT_PROGRAM);
  const std::uint32_t paint = scene.material("Material.003", {0.62f, 0.22f, 0.1f, 1}, MAT_PROGRAM);
  const std::uint32_t bright = scene.material("Material.004", {0.85f, 0.78f, 0.55f, 1}, MAT_PROGRAM);

  // Ground and track bed.
  Mesh land;
  land.shade = 0.21f;
  addGrid(land, 3000, 3000, 60, 60, M4::translation({0, kGround, 0}), [](float x, float z) {
    // Flat near the station, gentle rolls further out, kept low.
    const float d = std::sqrt((x - 190) * (x - 190) + z * z);
    const float far = std::min(1.0f, std::max(0.0f, (d - 120.0f) / 400.0f));
    return far * (4.0f * std::sin(x / 70.0f) + 3.0f * std::sin(z / 55.0f));
  });
  land.shade = 0.23f;
  addBoxBetween(land, {172, kGround, -400}, {187.5f, kGround + 0.3f, 400});
  scene.object("ground", land, Layout::Shaded, {ground}, {kStationShift, 0, 0});

  Mesh rails;
  rails.shade = 0.34f;
  for (float x : {184.0f, 177.0f}) {
    const std::vector<Frame> frames = {{{x, kGround + 0.3f, 220}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
                                       {{x, kGround + 0.3f, -220}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}}};
    addTrack(rails, frames, 1.435f, 1.2f);
  }
  // The yellow edge line of the platform.
  addBoxBetween(rails, {kPlatformX0, kPlatformTop, -150}, {kPlatformX0 + 0.5f, kPlatformTop + 0.02f, 150});
  scene.object("tracks", rails, Layout::Shaded, {bright}, {kStationShift, 0, 0});

  // Platform: the slab and its face towards the tracks.
  Mesh platform;
  platform.shade = 0.32f;
  addBoxBetween(platform, {kPlatformX0, kGround, -150}, {kPlatformX1, kPlatformTop, 150});
  // The low far platform across the tracks.
  addBoxBetween(platform, {165, kGround, -150}, {173, kPlatformTop, 150});
  scene.object("platform", platform, Layout::Shaded, {concrete}, {kStationShift, 0, 0});

  // Canopy: columns, beams and a roof.
  Mesh canopy;
  canopy.shade = 0.30f;
  // Columns along the back edge carry cantilevers out over the platform.
  for (float z = -132; z <= 132; z += 12) {
    addBoxBetween(canopy, {199.2f, kPlatformTop, z - 0.2f}, {199.8f, kPlatformTop + 4.8f, z + 0.2f});
    addBeam(canopy, {190.4f, kPlatformTop + 4.75f, z}, {199.8f, kPlatformTop + 4.9f, z}, 0.35f);
    addBeam(canopy, {199.3f, kPlatformTop + 3.0f, z}, {192.0f, kPlatformTop + 4.7f, z}, 0.18f);
  }
  canopy.shade = 0.21f;
  addBoxBetween(canopy, {190.2f, kPlatformTop + 4.9f, -140}, {200.2f, kPlatformTop + 5.15f, 140});
  // Lamp posts on the far platform.
  canopy.shade = 0.30f;
  for (float z = -120; z <= 120; z += 24) {
    addBeam(canopy, {169, kPlatformTop, z}, {169, kPlatformTop + 4.2f, z}, 0.14f);
    addBeam(canopy, {169, kPlatformTop + 4.2f, z}, {170.2f, kPlatformTop + 4.4f, z}, 0.1f);
  }
  scene.object("canopy", canopy, Layout::Shaded, {steel}, {kStationShift, 0, 0});

  // Benches and the name board.
  Mesh furniture;
  furniture.shade = 0.32f;
  for (float z = -90; z <= 90; z += 30) {
    addBoxBetween(furniture, {193.0f, kPlatformTop + 0.45f, z - 1.2f}, {193.6f, kPlatformTop + 0.52f, z + 1.2f});
    addBoxBetween(furniture, {193.5f, kPlatformTop + 0.52f, z - 1.2f}, {193.6f, kPlatformTop + 1.0f, z + 1.2f});
    for (float dz : {-1.0f, 1.0f})
      addBoxBetween(furniture, {193.1f, kPlatformTop, z + dz - 0.05f}, {193.5f, kPlatformTop + 0.45f, z + dz + 0.05f});
  }
  for (float z : {-66.0f, 6.0f, 78.0f}) {
    addBoxBetween(furniture, {190.6f, kPlatformTop + 3.3f, z - 2.6f}, {190.8f, kPlatformTop + 4.1f, z + 2.6f});
  }
  scene.object("furniture", furniture, Layout::Shaded, {paint}, {kStationShift, 0, 0});

  // Letters on the boards (towards the camera) and lamp heads.
  Mesh signs;
  signs.shade = 0.38f;
  for (float z : {-66.0f, 6.0f, 78.0f}) {
    Mesh word;
    word.shade = 0.38f;
    addTextBoxes(word, "STATION", {-20.5f * 0.12f, 0.42f, 0}, 0.12f, 0.04f);
    // Letters face +x (the camera's side), reading along -z.
    signs.append(word, M4::rotationY(kPi * 0.5f) * M4::translation({190.88f, kPlatformTop + 3.7f, z}));
  }
  signs.shade = 0.53f;
  for (float z = -120; z <= 120; z += 24) addBoxBetween(signs, {169.9f, kPlatformTop + 4.05f, z - 0.3f}, {170.5f, kPlatformTop + 4.3f, z + 0.3f});
  scene.object("signs", signs, Layout::Shaded, {bright}, {kStationShift, 0, 0});

  // The camera walks along the platform, looking at the tree.
  const std::uint32_t camera = scene.camera("Camera");
  const std::uint32_t node = scene.cameraNode("Camera", camera, {}, {});
  std::vector<Pose> poses;
  for (float t = 0; t <= 646.0f + 1e-3f; t += 646.0f / 6.0f) {
    const float k = t / 646.0f;
    const V3 eye{197.2f + kStationShift, kPlatformTop + 1.7f, 38.0f - 70.0f * k};
    const V3 target{10, -16.0f + 4.0f * k, 4.0f - 8.0f * k};
    poses.push_back({t, eye, lookRotation(target - eye)});
  }
  scene.animate(node, makeTrack(poses));
  return scene;
}

namespace {

// The tree as the closing block grows it (levels, steps and base pose of that
// block), for the preview only: the positions of its 511 cubes at progress p.
std::vector<std::pair<V3, Q>> treeCubes(float p) {
  const float sv = std::sin(10 * p), cv = std::cos(10 * p);
  struct Level {
    int maxIndex, children;
    V3 step, angle;
  };
  const Level levels[3] = {{6, 6, {0.5f, 2, 1}, {0, 0, 0.2f * sv}}, {12, 12, {2, 0, 4}, {0.5f, 0, 0}}, {6, 6, {4 * cv, 0, 2}, {0, 0, 0}}};
  std::vector<std::pair<V3, Q>> out;
  auto toQ = [](V3 a) {
    const float cx = std::cos(a.x / 2), sx = std::sin(a.x / 2), cy = std::cos(a.y / 2), sy = std::sin(a.y / 2),
                cz = std::cos(a.z / 2), sz = std::sin(a.z / 2);
    return Q{sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz, cx * cy * cz + sx * sy * sz};
  };
  std::function<void(int, int, int, V3, V3)> draw = [&](int depth, int placed, int index, V3 base, V3 angles) {
    const Level& l = levels[placed];
    if (index > l.maxIndex) return;
    const float t = static_cast<float>(index);
    V3 pos = base + l.step * t;
    const V3 ang = angles + l.angle * t;
    const Q q = toQ(ang);
    pos = rotate(q, pos);
    if (depth < 3)
      for (int i = 0; i < levels[depth].children; ++i) draw(depth + 1, depth, i, pos, ang);
    out.push_back({pos, q});
  };
  draw(0, 0, 0, {0, 0, 4 * sv}, {sv, 0, 0});
  return out;
}

}  // namespace

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "Camera";
  view.zn = 2;
  view.zf = 5000;
  PreviewOptions options;
  const ColorF ambient{0.7f, 0.7f, 0.7f, 1};
  for (const char* m : {"Material", "Material.001", "Material.002", "Material.003", "Material.004"})
    options.styles[m] = {MaterialLook::Shaded, BlendMode::Opaque, ambient, false, {}};
  for (float p : {0.0f, 0.3f, 0.7f}) {
    options.time = 646 * p;
    Image image(640, 480, {0.9f, 0.75f, 0.6f, 1});
    Rasterizer raster(image);
    // The tree: cubes of the yard's relay cabin (two units), drawn first.
    scenefile::SceneRecord tree;
    SceneBuilder cubes;
    const std::uint32_t m = cubes.material("Metal", {0.46f, 0.44f, 0.42f, 1}, 0);
    Mesh cube;
    cube.shade = 0.30f;
    addBox(cube, {1, 1, 1});
    const std::uint32_t model = cubes.model("cube", cube, Layout::Shaded, {m});
    for (const auto& [pos, q] : treeCubes(p)) cubes.modelNode("c", model, pos, q);
    scenefile::SceneRecord merged = cubes.record();
    // Borrow the camera of the station for the tree pass.
    for (const auto& n : scene.record().nodes)
      if (n.flags & NODE_CAMERA) {
        merged.cameras = scene.record().cameras;
        merged.nodes.push_back(n);
      }
    renderPreview(image, raster, merged, view, options);
    raster.clearDepth();
    renderPreview(image, raster, scene.record(), view, options);
    image.writePng(dir + "/final_" + std::to_string(static_cast<int>(p * 100)) + ".png");
  }
}
