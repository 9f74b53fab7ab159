// The trains of the tunnel: four trains of a locomotive and three coaches in
// material "Metal", each car a node that follows the right track of the
// tunnel's centre line. Each train passes the riding camera at its key time;
// away from that moment it waits far down the tunnel, out of sight.
#include <cmath>

#include "common/preview.h"
#include "common/structures.h"
#include "common/tunnel_path.h"
#include "scene_main.h"

using namespace content;
namespace tn = content::tunnel;

SceneBuilder buildScene() {
  SceneBuilder scene;
  const std::uint32_t metal = scene.material("Metal", {0.62f, 0.6f, 0.57f, 1.0f}, 0);

  // Shades per group: body, glazing, lamps, running gear.
  auto shaded = [](Mesh mesh, const float shades[4]) {
    for (std::size_t g = 0; g < mesh.groups.size(); ++g)
      for (std::uint32_t i : mesh.groups[g]) mesh.vertices[i].shade = shades[g];
    return mesh;
  };
  const float locoShades[4] = {0.85f, 0.2f, 4.0f, 0.3f};
  const float coachShades[4] = {0.75f, 0.2f, 2.6f, 0.3f};
  const std::uint32_t loco = scene.model("locomotive", shaded(locomotive(), locoShades), Layout::Shaded,
                                         {metal, metal, metal, metal});
  const std::uint32_t car = scene.model("coach", shaded(coach(tn::kCarLength), coachShades), Layout::Shaded,
                                        {metal, metal, metal, metal});

  for (int train = 0; train < 4; ++train) {
    for (int c = 0; c < tn::kCarsPerTrain; ++c) {
      const std::string name = "train" + std::to_string(train + 1) + "_car" + std::to_string(c + 1);
      const std::uint32_t node = scene.modelNode(name, c == 0 ? loco : car);
      const float pass = tn::kTrainPasses[train];
      const float from = std::max(0.0f, pass - 170.0f), to = std::min(tn::kKeyTimeEnd, pass + 170.0f);
      auto poseAt = [&](float t) {
        const float s = tn::carS(train, c, t);
        const V3 p = tn::trackPoint(s, tn::kTrackOffset, 0.12f);
        const V3 behind = tn::trackPoint(s + 1.0f, tn::kTrackOffset, 0.12f);
        // The cars run towards decreasing s; their fronts face their motion.
        return Pose{t, p, lookRotation(p - behind), false};
      };
      std::vector<Pose> poses;
      if (from > 0) {
        Pose wait = poseAt(from);
        wait.time = 0;
        wait.hold = true;
        poses.push_back(wait);
      }
      for (float t = from; t < to; t += 5.0f) poses.push_back(poseAt(t));
      poses.push_back(poseAt(to));
      poses.front().hold = true;
      poses.back().hold = true;
      if (to < tn::kKeyTimeEnd) {
        Pose rest = poseAt(to);
        rest.time = tn::kKeyTimeEnd;
        rest.hold = true;
        poses.push_back(rest);
      }
      scene.animate(node, makeTrack(poses));
    }
  }
  return scene;
}

void previewScene(const SceneBuilder& scene, const std::string& dir) {
  // Seen from the tunnel camera's position, without the tunnel.
  PreviewOptions options;
  for (float t : {140.0f, 150.0f, 160.0f}) {
    options.time = t;
    const float s = tn::cameraS(t);
    const V3 eye = tn::trackPoint(s, -tn::kTrackOffset, 2.05f);
    const V3 ahead = tn::trackPoint(s + 12.0f, -tn::kTrackOffset * 0.4f, 1.8f);
    PreviewView view;
    view.camera = "none";
    view.extraView = cameraView(eye, lookRotation(ahead - eye));
    view.zn = 0.2f;
    view.zf = 50;
    writePreview(dir + "/comboios_" + std::to_string(static_cast<int>(t)) + ".png", scene.record(), view, options,
                 {0.2f, 0.2f, 0.2f, 1});
  }
}
