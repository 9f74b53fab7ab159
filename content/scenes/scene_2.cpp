// The tunnel: a concrete tube with ribs, two tracks, cable trays and wall
// lamps along the curving centre line of the metro section, all in material
// "Material" (drawn white with ambient light, so the vertex shade carries the
// greys). The camera "Camera.001" rides the left track at constant speed over
// key times 0..1115 while the trains come the other way on the right track.
#include <cmath>

#include "common/preview.h"
#include "common/tunnel_path.h"
#include "scene_main.h"

using namespace content;
namespace tn = content::tunnel;

namespace {

std::vector<Frame> pathFrames(float s0, float s1, float step, float lateral, float height) {
  std::vector<Frame> frames;
  for (float s = s0; s <= s1 + 1e-3f; s += step) {
    Frame f = tn::frame(s);
    f.p = f.p + f.right * lateral + V3{0, height, 0};
    frames.push_back(f);
  }
  return frames;
}

}  // namespace

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t material = scene.material("Material", {1, 1, 1, 1}, 0);
  const float s0 = -20.0f, s1 = tn::kLength + 30.0f;

  Mesh tube;
  tube.shade = 0.12f;
  addTunnel(tube, pathFrames(s0, s1, 1.5f, 0, 0), tn::kRadius, 28, tn::kFloor);
  // Darker floor: every vertex at track level.
  for (Vertex& v : tube.vertices)
    if (v.n.y > 0.9f) v.shade = 0.07f;
  // Ribs every six units: short rings standing in from the wall.
  tube.shade = 0.19f;
  for (float s = s0 + 3; s < s1; s += 6.0f) addTunnel(tube, pathFrames(s, s + 0.6f, 0.6f, 0, 0), tn::kRadius - 0.18f, 28, tn::kFloor);
  scene.object("tube", tube, Layout::Shaded, {material});

  Mesh tracks;
  for (int side = -1; side <= 1; side += 2) {
    tracks.shade = 0.15f;
    addTrack(tracks, pathFrames(s0, s1, 2.0f, side * tn::kTrackOffset, tn::kFloor), 1.435f, 0.9f);
  }
  // Cable trays along both walls.
  tracks.shade = 0.17f;
  for (int side = -1; side <= 1; side += 2) {
    const std::vector<Frame> frames = pathFrames(s0, s1, 3.0f, side * (tn::kRadius - 0.35f), 0.2f);
    for (std::size_t i = 1; i < frames.size(); ++i) {
      addBeam(tracks, frames[i - 1].p, frames[i].p, 0.16f);
      addBeam(tracks, frames[i - 1].p + V3{0, -0.35f, 0}, frames[i].p + V3{0, -0.35f, 0}, 0.1f);
    }
  }
  scene.object("tracks", tracks, Layout::Shaded, {material});

  // Wall lamps, alternating sides; bright enough to saturate to white.
  Mesh lamps;
  lamps.shade = 4.00f;
  int n = 0;
  for (float s = s0 + 6; s < s1; s += 10.0f, ++n) {
    const int side = n % 2 ? 1 : -1;
    const Frame f = tn::frame(s);
    const V3 c = f.p + f.right * (side * (tn::kRadius - 0.25f)) + V3{0, 1.1f, 0};
    M4 m;
    m.m[0][0] = f.right.x, m.m[0][1] = f.right.y, m.m[0][2] = f.right.z;
    m.m[1][0] = 0, m.m[1][1] = 1, m.m[1][2] = 0;
    m.m[2][0] = f.t.x, m.m[2][1] = f.t.y, m.m[2][2] = f.t.z;
    m.m[3][0] = c.x, m.m[3][1] = c.y, m.m[3][2] = c.z;
    addBox(lamps, {0.12f, 0.1f, 0.45f}, m);
  }
  scene.object("lamps", lamps, Layout::Shaded, {material});

  // The camera's ride: sampled along the path, with a slight sway.
  const std::uint32_t camera = scene.camera("Camera.001");
  const std::uint32_t node = scene.cameraNode("Camera.001", camera, {}, {});
  std::vector<Pose> poses;
  for (float t = 0; t <= tn::kKeyTimeEnd + 1e-3f; t += 5.0f) {
    const float s = tn::cameraS(t);
    const V3 eye = tn::trackPoint(s, -tn::kTrackOffset, 2.05f + 0.03f * std::sin(t * 0.9f)) + V3{0.04f * std::sin(t * 0.37f), 0, 0};
    const V3 ahead = tn::trackPoint(s + 12.0f, -tn::kTrackOffset * 0.4f, 1.8f);
    poses.push_back({t, eye, lookRotation(ahead - eye)});
  }
  scene.animate(node, makeTrack(poses));
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  PreviewView view;
  view.camera = "Camera.001";
  view.zn = 0.2f;
  view.zf = 50;
  PreviewOptions options;
  options.styles["Material"] = {MaterialLook::Shaded, BlendMode::Opaque, {0.4f, 0.4f, 0.4f, 1}, true, {1, 1, 1, 1}};
  for (float t : {0.0f, 150.0f, 500.0f, 1100.0f}) {
    options.time = t;
    writePreview(dir + "/scene_2_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {1, 1, 1, 1});
  }
}
