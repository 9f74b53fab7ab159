// The greetings of the bridge flight: lines of pixel-block letters (one box
// per font pixel, material "Metal") that come at the camera of the bridge
// scene from far ahead, facing it, and pass just beside it, one line after
// the other over key times 0..585. Between their passes they wait behind the
// camera, out of sight.
#include <cmath>

#include "common/bridge_path.h"
#include "common/preview.h"
#include "scene_main.h"

using namespace content;
namespace br = content::bridge;

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t metal = scene.material("Metal", {0.95f, 0.62f, 0.28f, 1.0f}, 0);
  const std::vector<AnimationKey> camera = br::cameraTrack();
  struct Line {
    const char* text;
    float pass;   // key time at which it is level with the camera
    V3 offset;    // where it passes, in the camera's frame (x right, y up)
  };
  const Line lines[] = {{"GREETINGS", 95, {-34, 10, 0}},    {"TO ALL CREWS", 190, {30, -8, 0}},
                        {"ON THE NIGHT", 285, {-36, 6, 0}}, {"LINE", 345, {28, 12, 0}},
                        {"KEEP THE", 430, {-30, -6, 0}},    {"LIGHTS ON", 520, {32, 8, 0}}};
  const float pixel = 1.6f;
  for (const Line& line : lines) {
    Mesh mesh;
    mesh.shade = 1.15f;
    const float width = textPixels(line.text) * pixel;
    addTextBoxes(mesh, line.text, {-width * 0.5f, 3.5f * pixel, 0}, pixel, pixel, pixel * 0.08f);
    const std::uint32_t node = scene.object(std::string("greet_") + line.text, mesh, Layout::Shaded, {metal});
    // Distance ahead of the camera: from 330 down to -60 around the pass.
    auto poseAt = [&](float t) {
      const Pose cam = evaluateTrack(camera, t);
      const float ahead = 330.0f * (line.pass - t) / 120.0f;
      const V3 p = cam.position + rotate(cam.rotation, line.offset + V3{0, 0, -ahead});
      return Pose{t, p, cam.rotation, false};
    };
    const float from = line.pass - 125.0f, to = line.pass + 25.0f;
    // Before and after its pass a line waits far behind the camera, following
    // it there; the jumps in and out take half a key time unit.
    auto parked = [&](float t) {
      const Pose cam = evaluateTrack(camera, t);
      return Pose{t, cam.position + rotate(cam.rotation, V3{0, 0, 2000.0f}), cam.rotation, true};
    };
    std::vector<Pose> poses;
    for (float t = 0; t < from - 0.5f; t += 8.0f) poses.push_back(parked(t));
    if (from > 0) poses.push_back(parked(from - 0.5f));
    const std::size_t first = poses.size();
    for (float t = std::max(0.0f, from); t < to; t += 8.0f) poses.push_back(poseAt(t));
    poses.push_back(poseAt(std::min(to, br::kKeyTimeEnd)));
    poses[first].cut = true;
    const std::size_t after = poses.size();
    for (float t = to + 0.5f; t <= br::kKeyTimeEnd + 8.0f; t += 8.0f) poses.push_back(parked(t));
    if (after < poses.size()) poses[after].cut = true;
    scene.animate(node, makeTrack(poses));
  }
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  const std::vector<AnimationKey> track = br::cameraTrack();
  PreviewOptions options;
  for (float t : {60.0f, 80.0f, 180.0f, 420.0f}) {
    const Pose pose = evaluateTrack(track, t);
    PreviewView view;
    view.camera = "none";
    view.extraView = cameraView(pose.position, pose.rotation);
    view.fovDegrees = 60;
    view.zn = 2;
    view.zf = 5000;
    options.time = t;
    writePreview(dir + "/greets_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {0.02f, 0.02f, 0.05f, 1});
  }
}
