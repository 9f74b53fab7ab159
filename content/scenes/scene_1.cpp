// The night railway yard of the first long scene: tracks, ballast and a relay
// cabin (node "Cube.024", the cube the closing scene's tree is grown from) in
// material "Metal"; gantries, masts, floodlight towers, an engine shed, wagons
// and a gantry crane in material "Filler", which the reveal front builds from
// near to far (and from the ground up) as the block's parameter runs from 0
// to 1 over its first two thirds. The camera "Camera" glides low through the
// yard over key times 0..191, staying inside the particle cloud around the
// origin; it looks left while the train picture covers the right of the
// screen and turns down the yard once the picture fades.
#include <algorithm>
#include <cmath>

#include "common/preview.h"
#include "common/prng.h"
#include "common/structures.h"
#include "scene_main.h"

using namespace content;

namespace {

constexpr float kTracks[] = {-13.5f, -9.0f, -4.5f, 0.0f, 4.5f, 9.0f, 13.5f};
constexpr float kGauge = 1.435f;

float sat(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// Build order of the reveal: near before far, low before high.
float buildAt(V3 p, float jitter) { return 0.03f + 0.76f * sat((12.0f - p.z) / 150.0f) + 0.15f * sat(p.y / 22.0f) + jitter; }

std::vector<Frame> straight(float x, float z0, float z1) {
  return {{{x, 0.35f, z0}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}}, {{x, 0.35f, z1}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}}};
}

Q lookAt(V3 eye, V3 target) { return lookRotation(target - eye); }

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t metal = scene.material("Metal", {0.46f, 0.44f, 0.42f, 1.0f}, 0);
  const std::uint32_t filler = scene.material("Filler", {0.5f, 0.47f, 0.44f, 0.1f}, 0);
  const std::uint32_t sky = scene.material("Sky", {1, 1, 1, 1}, 0);
  Prng rng(0x5c3e1ull);

  // Ground: a dark gravel field with ballast beds, rails and sleepers.
  // Pools of light under the floodlight towers brighten the ground.
  const V3 towers[] = {{-23, 0, -30}, {23, 0, -62}, {-23, 0, -105}, {23, 0, -140}, {-24, 0, 16}};
  auto pool = [&](V3 p) {
    float light = 0;
    for (const V3& t : towers) {
      const float dx = p.x - t.x, dz = p.z - t.z;
      light += std::exp(-(dx * dx + dz * dz) / 300.0f);
    }
    return light;
  };
  Mesh ground;
  addGrid(ground, 200, 420, 80, 168, M4::translation({0, 0, -100}));
  for (Vertex& v : ground.vertices)
    // Through a signed integer: the ground reaches x = -100, and a negative
    // float has no unsigned value (the hash takes the wrapped one).
    v.shade = 0.1f +
              0.08f * hashUnit(static_cast<std::uint32_t>(static_cast<std::int32_t>(v.p.x * 7 + 500)),
                               static_cast<std::uint32_t>(static_cast<std::int32_t>(v.p.z * 7 + 5000))) +
              0.45f * pool(v.p);
  for (float x : kTracks) {
    const std::size_t from = ground.vertices.size();
    addBoxBetween(ground, {x - 1.6f, 0, -300}, {x + 1.6f, 0.22f, 40});
    for (std::size_t i = from; i < ground.vertices.size(); ++i) ground.vertices[i].shade = 0.2f + 0.4f * pool(ground.vertices[i].p);
  }
  scene.object("ground", ground, Layout::Shaded, {metal});

  Mesh rails;
  for (float x : kTracks) {
    rails.shade = 0.32f;
    addTrack(rails, straight(x, 40, -150), kGauge, 0.95f);
    rails.shade = 0.8f;
    // Beyond the sleepers, the rails alone run on into the dark.
    for (int s = -1; s <= 1; s += 2)
      addBeam(rails, {x + s * kGauge * 0.5f, 0.43f, -150}, {x + s * kGauge * 0.5f, 0.43f, -300}, 0.12f);
  }
  scene.object("tracks", rails, Layout::Shaded, {metal});

  // The relay cabin: a plain cube, also the block of the closing scene's tree.
  Mesh cube;
  cube.shade = 0.8f;
  addBox(cube, {1, 1, 1});
  scene.object("Cube.024", cube, Layout::Shaded, {metal}, {-19.0f, 1.0f, -3.0f});

  // Steel: everything the front builds.
  Mesh steel;
  auto finish = [&](std::size_t from, float jitter) {
    for (std::size_t i = from; i < steel.vertices.size(); ++i) steel.vertices[i].build = buildAt(steel.vertices[i].p, jitter);
  };
  steel.shade = 0.36f;
  for (float z : {-18.0f, -46.0f, -80.0f, -120.0f, -165.0f}) {
    const std::size_t from = steel.vertices.size();
    addGantry(steel, -16.5f, 16.5f, z, 7.2f, 0.12f);
    finish(from, rng.range(0, 0.03f));
  }
  for (float z = 30; z > -220; z -= 14) {
    for (int s = -1; s <= 1; s += 2) {
      const std::size_t from = steel.vertices.size();
      addMast(steel, {16.8f * s, 0, z}, 7.5f, -4.0f * s);
      finish(from, rng.range(0, 0.02f));
    }
  }
  // Contact wires over every track.
  {
    const std::size_t from = steel.vertices.size();
    for (float x : kTracks) addBeam(steel, {x, 5.7f, 34}, {x, 5.7f, -225}, 0.035f);
    finish(from, 0.0f);
  }
  // Floodlight towers with bright lamp heads.
  for (const V3& base : towers) {
    const std::size_t from = steel.vertices.size();
    steel.shade = 0.36f;
    addLampTower(steel, base, 24, 1);
    for (std::size_t i = from; i < steel.vertices.size(); ++i)
      if (steel.vertices[i].p.y > 24.1f) steel.vertices[i].shade = 3.0f;
    finish(from, rng.range(0, 0.03f));
  }
  // The engine shed on the left: portal frames, roof trusses and purlins.
  for (int i = 0; i <= 9; ++i) {
    const float z = -24.0f - 8.0f * static_cast<float>(i);
    const std::size_t from = steel.vertices.size();
    steel.shade = 0.32f;
    addLatticeColumn(steel, {-42, 0, z}, 11, 0.7f, 0.1f);
    addLatticeColumn(steel, {-27, 0, z}, 11, 0.7f, 0.1f);
    addTruss(steel, {-42, 11, z}, {-34.5f, 15, z}, 1.1f, 1.5f, 0.1f);
    addTruss(steel, {-34.5f, 15, z}, {-27, 11, z}, 1.1f, 1.5f, 0.1f);
    if (i > 0) {
      for (float t : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        const V3 a = lerp(V3{-42, 12.1f, z}, V3{-34.5f, 16.1f, z}, t);
        const V3 b = lerp(V3{-34.5f, 16.1f, z}, V3{-27, 12.1f, z}, t);
        addBeam(steel, a, a + V3{0, 0, 8}, 0.09f);
        addBeam(steel, b, b + V3{0, 0, 8}, 0.09f);
      }
    }
    finish(from, 0.0f);
  }
  // Wagons: box wagons on one track, tank wagons on another.
  steel.shade = 0.3f;
  for (int i = 0; i < 5; ++i) {
    const std::size_t from = steel.vertices.size();
    addWagon(steel, {-9.0f, 0.43f, -30.0f - 15.0f * static_cast<float>(i)}, 14.0f, false);
    finish(from, rng.range(0, 0.03f));
  }
  for (int i = 0; i < 6; ++i) {
    const std::size_t from = steel.vertices.size();
    addWagon(steel, {9.0f, 0.43f, -52.0f - 13.0f * static_cast<float>(i)}, 12.5f, true);
    finish(from, rng.range(0, 0.03f));
  }
  // A gantry crane straddling the outer tracks at the far end.
  {
    const std::size_t from = steel.vertices.size();
    steel.shade = 0.36f;
    for (float x : {6.0f, 26.0f})
      for (float z : {-188.0f, -200.0f}) addLatticeColumn(steel, {x, 0, z}, 19, 1.2f, 0.14f);
    for (float z : {-188.0f, -200.0f}) addTruss(steel, {4, 19, z}, {28, 19, z}, 1.8f, 2.0f, 0.14f);
    addTruss(steel, {16, 20.8f, -188}, {16, 20.8f, -200}, 1.2f, 2.0f, 0.12f);
    addBoxBetween(steel, {13.5f, 20.9f, -197}, {18.5f, 23.0f, -191});
    finish(from, 0.0f);
  }
  scene.object("steel", steel, Layout::Shaded, {filler, filler});

  // The night sky: a dark backdrop ring with a faint warm glow at the horizon.
  Mesh dome;
  for (int i = 0; i <= 48; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / 48.0f;
    const V3 dir{std::cos(a), 0, std::sin(a)};
    const float warm = 0.5f + 0.5f * std::cos(a + 1.2f);
    dome.color = {0.05f + 0.04f * warm, 0.03f + 0.02f * warm, 0.03f, 1};
    dome.add(dir * 380.0f + V3{0, -5, 0}, -dir, 0, 0);
    dome.color = {0.015f, 0.015f, 0.03f, 1};
    dome.add(dir * 380.0f + V3{0, 140, 0}, -dir, 0, 1);
    if (i > 0) {
      const std::uint32_t b = static_cast<std::uint32_t>(2 * i);
      dome.quad(b - 2, b, b + 1, b - 1);
    }
  }
  scene.object("sky", dome, Layout::Colored, {sky});

  // The camera: a slow glide from the left of the yard to its middle.
  const std::uint32_t camera = scene.camera("Camera");
  const std::uint32_t cameraNode = scene.cameraNode("Camera", camera, {-2.6f, 1.5f, 8.0f}, {});
  struct Shot {
    float time;
    V3 eye, target;
  };
  const Shot shots[] = {{0, {-2.6f, 1.5f, 8.0f}, {-14, 3.5f, -30}},  {50, {-2.2f, 1.9f, 5.0f}, {-12, 4.5f, -40}},
                        {100, {-1.2f, 2.6f, 1.5f}, {-7, 5.0f, -55}}, {140, {0.6f, 3.4f, -2.0f}, {0, 4.5f, -70}},
                        {191, {2.4f, 4.4f, -5.5f}, {5, 4.0f, -90}}};
  std::vector<Pose> poses;
  for (const Shot& s : shots) poses.push_back({s.time, s.eye, lookAt(s.eye, s.target)});
  scene.animate(cameraNode, makeTrack(poses));
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "Camera";
  view.fovDegrees = 35;
  view.zn = 0.2f;
  view.zf = 487;
  PreviewOptions options;
  options.styles["Filler"] = {MaterialLook::Reveal, BlendMode::Opaque, {}, false, {}};
  for (float f : {0.0f, 0.2f, 0.45f, 0.7f, 0.99f}) {
    options.time = 191 * f;
    options.aux = 1.5f * f;
    writePreview(dir + "/scene_1_" + std::to_string(static_cast<int>(f * 100)) + ".png", scene.record(), view,
                 options, {0, 0, 0, 1});
  }
}
