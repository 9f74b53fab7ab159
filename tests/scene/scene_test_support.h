// Helpers shared by the scene tests: scenes built with the writer, parsed
// straight from bytes, and a small byte builder for hand-made files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "scene/scene_file.h"

namespace scenetest {

// Little-endian bytes, appended field by field, for files the writer would
// never produce.
struct Bytes {
  std::vector<std::uint8_t> data;
  Bytes& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  Bytes& floats(std::initializer_list<float> values) {
    for (float v : values) f32(v);
    return *this;
  }
  Bytes& raw(const std::string& text) {
    data.insert(data.end(), text.begin(), text.end());
    return *this;
  }
  Bytes& str(const std::string& text) {
    u32(static_cast<std::uint32_t>(text.size()));
    return raw(text);
  }
  Bytes& header(std::uint32_t t, std::uint32_t m, std::uint32_t mo, std::uint32_t c, std::uint32_t n) {
    return u32(t).u32(m).u32(mo).u32(c).u32(n);
  }
  // Node fields up to and including flags: identity pose.
  Bytes& nodeStart(const std::string& name, std::uint32_t flags) {
    return str(name).floats({0, 0, 0, 0, 0, 0, 1, 1, 1, 1}).u32(flags);
  }
};

// Parses bytes into a scene (which the caller destroys).
inline bool parse(Scene& scene, const std::vector<std::uint8_t>& bytes, std::string* error = nullptr) {
  std::string reason;
  const bool ok = parseScene(&scene, bytes.data(), bytes.size(), &reason);
  if (error) *error = reason;
  return ok;
}

inline bool isEmpty(const Scene& scene) {
  return scene.textures.empty() && scene.materials.empty() && scene.models.empty() && scene.cameras.empty() &&
         scene.nodes.empty();
}

template <typename T>
T* at(const std::list<T*>& list, std::size_t index) {
  if (index >= list.size()) return nullptr;
  return *std::next(list.begin(), static_cast<std::ptrdiff_t>(index));
}

inline AnimationKey key(float time, Vec3 position, Quat rotation = {0, 0, 0, 1}) {
  AnimationKey k;
  k.time = time;
  k.positionIn = k.position = k.positionOut = position;
  k.rotationIn = k.rotation = k.rotationOut = rotation;
  return k;
}

// A quad in the xy plane from (x0, y0) to (x1, y1) at depth z, position and
// one texture coordinate set per vertex (20 bytes), two triangles.
inline scenefile::ModelRecord quadModel(const std::string& name, float x0, float y0, float x1, float y1, float z,
                                        std::uint32_t materialIndex) {
  scenefile::ModelRecord model;
  model.name = name;
  model.elements = {{3, 1, 0, 0}, {2, 4, 12, 0}};
  model.vertexCount = 4;
  const float vertices[4][5] = {{x0, y0, z, 0, 1}, {x1, y0, z, 1, 1}, {x1, y1, z, 1, 0}, {x0, y1, z, 0, 0}};
  model.vertexData.resize(sizeof vertices);
  std::memcpy(model.vertexData.data(), vertices, sizeof vertices);
  model.subsets.push_back({materialIndex, {0, 1, 2, 0, 2, 3}});
  return model;
}

}  // namespace scenetest
