// Builds a scene file record from meshes, materials, cameras and animated
// nodes, and writes it with the engine's scene writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/mesh.h"
#include "scene/scene_file.h"

namespace content {

// Vertex layouts.
//  Shaded: position, normal, texture coordinates 0 (u, v) and 1 (build,
//  shade): 40 bytes, the layout every scene-drawing shader program declares.
//  Colored: position, normal, colour, texture coordinates 0: 36 bytes, for
//  materials drawn by the fixed-function stages (vertex colour times texture).
enum class Layout { Shaded, Colored };

std::vector<scenefile::Element> layoutElements(Layout layout);
std::vector<std::uint8_t> encodeVertices(const Mesh& mesh, Layout layout);
// Direct3D colour word A<<24 | R<<16 | G<<8 | B of a colour, channels clamped.
std::uint32_t colorWord(const Rgba& c);

// A key of an animation track before its Bezier handles are derived.
struct Pose {
  float time = 0;
  V3 position;
  Q rotation;
  bool hold = false;  // zero velocity at this key (no overshoot around a hold)
  bool cut = false;   // the motion breaks before this key: the velocities on
                      // either side of the break come from their own side only
};

enum class Interpolation {
  Smooth,  // Catmull-Rom velocities, continuous through every key
  Linear,  // straight segments at constant speed
};

// Keys with handles. Quaternions are first brought into one hemisphere.
std::vector<AnimationKey> makeTrack(std::vector<Pose> poses, Interpolation mode = Interpolation::Smooth);
// The pose of a track at time t, by the engine's rule (Bezier per segment,
// rotation normalised, the last key held after its time).
Pose evaluateTrack(const std::vector<AnimationKey>& keys, float t);

class SceneBuilder {
 public:
  std::uint32_t texture(const std::string& fileName);
  std::uint32_t material(const std::string& name, const ColorF& diffuse, std::uint32_t flags,
                         std::vector<std::uint32_t> textures = {});
  // One subset per non-empty mesh group, drawn with materials[group].
  std::uint32_t model(const std::string& name, const Mesh& mesh, Layout layout,
                      const std::vector<std::uint32_t>& materials);
  std::uint32_t camera(const std::string& name);

  // Nodes; the returned index addresses the node in the record.
  std::uint32_t modelNode(const std::string& name, std::uint32_t modelIndex, V3 position = {}, Q rotation = {},
                          V3 scale = {1, 1, 1});
  std::uint32_t cameraNode(const std::string& name, std::uint32_t cameraIndex, V3 position, Q rotation);
  void animate(std::uint32_t nodeIndex, std::vector<AnimationKey> keys);
  // Model plus node in one step, for static pieces.
  std::uint32_t object(const std::string& name, const Mesh& mesh, Layout layout,
                       const std::vector<std::uint32_t>& materials, V3 position = {}, Q rotation = {});

  const scenefile::SceneRecord& record() const { return record_; }
  scenefile::SceneRecord& record() { return record_; }
  // Writes the scene file; false (with a message on stderr) on failure.
  bool write(const std::string& path) const;

 private:
  scenefile::SceneRecord record_;
};

}  // namespace content
