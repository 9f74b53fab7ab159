// The .nc scene file as plain data, and its writer: what the content
// generators and the tests build scene files with. A written file read back
// with Scene::load gives the same objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/value_types.h"
#include "scene/scene.h"

namespace scenefile {

struct Element {
  std::uint32_t components = 0;
  std::uint32_t usage = 0;  // 1 position, 2 normal, 4 texcoord, 8 colour
  std::uint32_t offset = 0;
  std::uint32_t usageIndex = 0;
};

struct Subset {
  std::uint32_t materialIndex = 0;
  std::vector<std::uint32_t> indices;  // three per triangle
};

struct ModelRecord {
  std::string name;
  Vec3 vectorA, vectorB;
  std::vector<Element> elements;
  std::uint32_t vertexCount = 0;
  std::vector<std::uint8_t> vertexData;  // vertexCount x stride bytes
  std::vector<Subset> subsets;
};

struct MaterialRecord {
  std::string name;
  ColorF diffuse{1, 1, 1, 1};
  std::uint32_t flags = 0;
  std::vector<std::uint32_t> textureIndices;  // stage order
};

struct CameraRecord {
  std::string name;
  std::uint32_t extra = 0;
};

struct NodeRecord {
  std::string name;
  Vec3 position;
  Quat rotation;
  Vec3 scale{1, 1, 1};
  std::uint32_t flags = 0;  // NODE_PARENT / NODE_MODEL / NODE_CAMERA / NODE_ANIMATED ...
  std::uint32_t parentIndex = 0;
  std::uint32_t modelIndex = 0;
  std::uint32_t cameraIndex = 0;
  std::vector<AnimationKey> keys;  // written when flags has NODE_ANIMATED
};

struct SceneRecord {
  std::vector<std::string> textures;
  std::vector<MaterialRecord> materials;
  std::vector<ModelRecord> models;
  std::vector<CameraRecord> cameras;
  std::vector<NodeRecord> nodes;
};

// Stride of a layout by the VertexProfile rule.
std::uint32_t strideOf(const std::vector<Element>& elements);

// The file's bytes. Throws std::invalid_argument when a model's vertexData is
// not vertexCount x stride bytes or a subset's index count is not a multiple
// of three. Node optional fields follow the flags exactly (a node may carry
// both NODE_MODEL and NODE_CAMERA, which the reader rejects).
std::vector<std::uint8_t> encode(const SceneRecord& scene);
// Writes encode(scene) to a native path; false when the file cannot be
// written (exceptions of encode pass through).
bool writeSceneFile(const std::string& path, const SceneRecord& scene);

}  // namespace scenefile
