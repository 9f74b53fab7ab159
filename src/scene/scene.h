// Scenes in memory: textures, materials, models, nodes and cameras of one
// scene file, with named look-ups, keyframe animation and drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "graphics/value_types.h"
#include "scene/material.h"
#include "scene/matrix4.h"
#include "scene/texture.h"
#include "shader/vertex_profile.h"

struct ID3DXMesh;

constexpr std::uint32_t NODE_PARENT = 0x01;
constexpr std::uint32_t NODE_MODEL = 0x02;
constexpr std::uint32_t NODE_CAMERA = 0x10;
constexpr std::uint32_t NODE_ANIMATED = 0x40;
constexpr std::uint32_t NODE_FIXED_WORLD = 0x80;

struct Type {
  virtual ~Type() = default;
  virtual std::string getName() const = 0;
};

struct Camera : Type {
  Vec3 position;
  Quat rotation;
  std::string name;
  std::uint32_t extra = 0;

  std::string getName() const override { return name; }
  // view := T(-position) x R(conjugate rotation)
  void apply() const;
};

struct MeshSubset {
  Material* material = nullptr;  // not owned
  std::uint32_t triangleCount = 0;
};

struct Model : Type {
  std::string name;
  ID3DXMesh* mesh = nullptr;  // owned
  std::uint32_t vertexCount = 0;
  std::uint32_t triangleCount = 0;
  std::list<MeshSubset> subsets;  // position = mesh attribute id
  Vec3 vectorB;
  Vec3 vectorA;
  // The vertex layout the mesh was built from (elements and stride), kept so
  // that tools can describe a model without a device.
  VertexProfile profile;

  ~Model() override;
  std::string getName() const override { return name; }
};

struct AnimationKey {
  Vec3 positionIn, position, positionOut;
  Quat rotationIn, rotation, rotationOut;
  float time = 0.0f;
};

struct AnimationTrack {
  AnimationKey* keys = nullptr;  // owned array
  Vec3 position;
  Quat rotation;
  std::int32_t keyCount = 0;
  std::int32_t segment = 0;

  ~AnimationTrack();
  void evaluate(float time);
};

struct SceneNode {
  std::string name;
  std::uint32_t flags = 0;
  SceneNode* parent = nullptr;  // not owned
  Type* attachment = nullptr;   // Model or Camera, not owned
  Vec3 position;
  Quat rotation;
  Vec3 scale{1.0f, 1.0f, 1.0f};
  Matrix4 world;
  AnimationTrack* track = nullptr;  // owned

  ~SceneNode();
  void animate(float time);
};

struct Scene {
  std::list<Texture*> textures;
  std::list<Material*> materials;
  std::list<Model*> models;
  std::list<SceneNode*> nodes;
  std::list<Camera*> cameras;

  // Reads "models\" + name (then name); a missing, unreadable or rejected
  // file gives an empty scene (and its one line on stderr).
  static Scene* load(const std::string& name);
  void destroy();

  Material* findMaterial(const std::string& name) const;
  SceneNode* findNode(const std::string& name) const;
  Camera* findCamera(const std::string& name) const;

  void animate(float time);
  void draw();
};

// Opens "models\" + name, then name, and reads the file into the scene.
// False when neither path opens, the file cannot be read or it is rejected
// as malformed: the scene is left as it was, one line on stderr names the
// file and the reason (once per file and run) and, when error is given, the
// reason is stored there.
bool readScene(Scene* scene, const std::string& name, std::string* error = nullptr);
// Reads the bytes of a scene file into the scene, checking every count,
// length and index against the data. On a malformed file nothing is added,
// *error (when given) holds the reason and the result is false. Quiet.
bool parseScene(Scene* scene, const std::uint8_t* data, std::size_t size, std::string* error);
// A managed 32-bit-index mesh from a layout, vertexCount x stride bytes of
// vertices and the subsets' index triples; triangles of subset s get
// attribute id s. Null without a device or when the mesh cannot be made.
ID3DXMesh* buildMesh(std::uint32_t vertexCount, const VertexProfile& profile, const std::uint8_t* vertexData,
                     const std::vector<std::vector<std::uint32_t>>& subsetIndices);
void drawNode(SceneNode* node);
void drawModel(Model* model);
