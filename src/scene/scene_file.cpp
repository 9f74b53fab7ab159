// The .nc writer: lays a SceneRecord out byte for byte as the reader expects
// it (little-endian, no padding, optional node fields in the order parent,
// model, camera, track).
#include "scene/scene_file.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace scenefile {

namespace {

class Writer {
 public:
  std::vector<std::uint8_t> bytes;

  void u32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
  void f32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    u32(bits);
  }
  void string(const std::string& text) {
    u32(static_cast<std::uint32_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
  }
  void vec3(const Vec3& v) {
    f32(v.x);
    f32(v.y);
    f32(v.z);
  }
  void quat(const Quat& q) {
    f32(q.x);
    f32(q.y);
    f32(q.z);
    f32(q.w);
  }
  void color(const ColorF& c) {
    f32(c.r);
    f32(c.g);
    f32(c.b);
    f32(c.a);
  }
  void raw(const std::vector<std::uint8_t>& data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
};

std::uint32_t elementBytes(const Element& element) {
  switch (element.usage) {
    case 1:
    case 2:
      return 12;
    case 4:
      return 4 * element.components;
    case 8:
      return element.components;
    default:
      return 0;
  }
}

void writeModel(Writer& out, const ModelRecord& model) {
  const std::uint32_t stride = strideOf(model.elements);
  if (static_cast<std::uint64_t>(model.vertexCount) * stride != model.vertexData.size()) {
    throw std::invalid_argument("scene model '" + model.name + "': vertexData holds " +
                                std::to_string(model.vertexData.size()) + " bytes, expected vertexCount x stride = " +
                                std::to_string(static_cast<std::uint64_t>(model.vertexCount) * stride));
  }
  out.string(model.name);
  out.u32(model.vertexCount);
  out.u32(static_cast<std::uint32_t>(model.subsets.size()));
  out.vec3(model.vectorA);
  out.vec3(model.vectorB);
  out.u32(static_cast<std::uint32_t>(model.elements.size()));
  for (const Element& element : model.elements) {
    // File order: components, usage, offset, usageIndex.
    out.u32(element.components);
    out.u32(element.usage);
    out.u32(element.offset);
    out.u32(element.usageIndex);
  }
  out.raw(model.vertexData);
  for (const Subset& subset : model.subsets) {
    if (subset.indices.size() % 3 != 0) {
      throw std::invalid_argument("scene model '" + model.name + "': a subset's index count is not a multiple of 3");
    }
    out.u32(static_cast<std::uint32_t>(subset.indices.size() / 3));
    out.u32(subset.materialIndex);
    for (std::uint32_t index : subset.indices) out.u32(index);
  }
}

void writeKey(Writer& out, const AnimationKey& key) {
  out.f32(key.time);
  out.vec3(key.positionIn);
  out.vec3(key.position);
  out.vec3(key.positionOut);
  out.quat(key.rotationIn);
  out.quat(key.rotation);
  out.quat(key.rotationOut);
}

void writeNode(Writer& out, const NodeRecord& node) {
  out.string(node.name);
  out.vec3(node.position);
  out.quat(node.rotation);
  out.vec3(node.scale);
  out.u32(node.flags);
  if (node.flags & NODE_PARENT) out.u32(node.parentIndex);
  if (node.flags & NODE_MODEL) out.u32(node.modelIndex);
  if (node.flags & NODE_CAMERA) out.u32(node.cameraIndex);
  if (node.flags & NODE_ANIMATED) {
    out.i32(static_cast<std::int32_t>(node.keys.size()));
    for (const AnimationKey& key : node.keys) writeKey(out, key);
  }
}

}  // namespace

std::uint32_t strideOf(const std::vector<Element>& elements) {
  std::uint32_t stride = 0;
  for (const Element& element : elements) stride += elementBytes(element);
  return stride;
}

std::vector<std::uint8_t> encode(const SceneRecord& scene) {
  Writer out;
  out.u32(static_cast<std::uint32_t>(scene.textures.size()));
  out.u32(static_cast<std::uint32_t>(scene.materials.size()));
  out.u32(static_cast<std::uint32_t>(scene.models.size()));
  out.u32(static_cast<std::uint32_t>(scene.cameras.size()));
  out.u32(static_cast<std::uint32_t>(scene.nodes.size()));
  for (const std::string& texture : scene.textures) out.string(texture);
  for (const MaterialRecord& material : scene.materials) {
    out.string(material.name);
    out.color(material.diffuse);
    out.u32(material.flags);
    out.u32(static_cast<std::uint32_t>(material.textureIndices.size()));
    for (std::uint32_t index : material.textureIndices) out.u32(index);
  }
  for (const ModelRecord& model : scene.models) writeModel(out, model);
  for (const CameraRecord& camera : scene.cameras) {
    out.string(camera.name);
    out.u32(camera.extra);
  }
  for (const NodeRecord& node : scene.nodes) writeNode(out, node);
  return std::move(out.bytes);
}

bool writeSceneFile(const std::string& path, const SceneRecord& scene) {
  const std::vector<std::uint8_t> bytes = encode(scene);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace scenefile
