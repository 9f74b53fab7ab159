// The scene file writer: byte layout, record sizes and the stride rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "scene/scene_file.h"

using namespace scenefile;

namespace {

std::uint32_t u32At(const std::vector<std::uint8_t>& b, size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (std::uint32_t(b.at(at + 3)) << 24);
}
float f32At(const std::vector<std::uint8_t>& b, size_t at) {
  std::uint32_t bits = u32At(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace

TEST(SceneFileStride, FollowsTheVertexLayoutRule) {
  std::vector<Element> layout = {{3, 1, 0, 0}, {3, 2, 12, 0}, {2, 4, 24, 0}};
  EXPECT_EQ(strideOf(layout), 32u);
  layout.push_back({4, 8, 32, 0});
  EXPECT_EQ(strideOf(layout), 36u);
  // Position and normal always add 12, whatever their component count.
  EXPECT_EQ(strideOf({{4, 1, 0, 0}}), 12u);
  EXPECT_EQ(strideOf({{1, 2, 0, 0}}), 12u);
  // Texture coordinates add 4 per component, colours one byte per component.
  EXPECT_EQ(strideOf({{3, 4, 0, 1}}), 12u);
  EXPECT_EQ(strideOf({{4, 8, 0, 0}}), 4u);
  // Unknown usages add nothing.
  EXPECT_EQ(strideOf({{3, 3, 0, 0}, {3, 16, 0, 0}}), 0u);
  EXPECT_EQ(strideOf({}), 0u);
}

TEST(SceneFileEncode, EmptySceneIsTwentyZeroBytes) {
  std::vector<std::uint8_t> bytes = encode(SceneRecord{});
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(20, 0));
}

TEST(SceneFileEncode, MinimalRecordSizes) {
  SceneRecord one;
  one.textures.push_back("");
  EXPECT_EQ(encode(one).size(), 20u + 4u);

  SceneRecord material;
  material.materials.push_back({});
  EXPECT_EQ(encode(material).size(), 20u + 28u);

  SceneRecord model;
  model.models.push_back({});
  EXPECT_EQ(encode(model).size(), 20u + 40u);

  SceneRecord camera;
  camera.cameras.push_back({});
  EXPECT_EQ(encode(camera).size(), 20u + 8u);

  SceneRecord node;
  node.nodes.push_back({});
  EXPECT_EQ(encode(node).size(), 20u + 48u);

  // Parent, model and a two-key track add 4 + 4 + 4 + 2 x 88 bytes.
  node.nodes[0].flags = NODE_PARENT | NODE_MODEL | NODE_ANIMATED;
  node.nodes[0].keys.resize(2);
  EXPECT_EQ(encode(node).size(), 20u + 48u + 4u + 4u + 4u + 176u);
  // Bits without meaning add nothing.
  node.nodes[0].flags |= 0x04 | 0x08 | 0x20;
  EXPECT_EQ(encode(node).size(), 20u + 48u + 4u + 4u + 4u + 176u);
}

TEST(SceneFileEncode, HeaderTextureAndMaterialBytes) {
  SceneRecord scene;
  scene.textures = {"ab", "c"};
  MaterialRecord material;
  material.name = "m";
  material.diffuse = {0.25f, 0.5f, 0.75f, 1.0f};
  material.flags = MAT_BLEND | MAT_FOG;
  material.textureIndices = {1, 0};
  scene.materials.push_back(material);

  const std::vector<std::uint8_t> expected = {
      2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // header
      2, 0, 0, 0, 'a', 'b',                                        // texture 0
      1, 0, 0, 0, 'c',                                             // texture 1
      1, 0, 0, 0, 'm',                                             // material name
      0x00, 0x00, 0x80, 0x3e, 0x00, 0x00, 0x00, 0x3f,              // 0.25, 0.5
      0x00, 0x00, 0x40, 0x3f, 0x00, 0x00, 0x80, 0x3f,              // 0.75, 1.0
      0x0c, 0, 0, 0,                                               // flags
      2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,                          // texture references in stage order
  };
  EXPECT_EQ(encode(scene), expected);
}

TEST(SceneFileEncode, ModelRecordLayout) {
  SceneRecord scene;
  ModelRecord model;
  model.name = "box";
  model.vectorA = {1, 2, 3};
  model.vectorB = {4, 5, 6};
  model.elements = {{3, 1, 0, 0}, {2, 4, 12, 1}};
  model.vertexCount = 3;
  model.vertexData.resize(3 * 20);
  for (size_t i = 0; i < model.vertexData.size(); ++i) model.vertexData[i] = static_cast<std::uint8_t>(i);
  model.subsets.push_back({7, {0, 1, 2}});
  model.subsets.push_back({0, {2, 1, 0, 0, 1, 2}});
  scene.models.push_back(model);
  const std::vector<std::uint8_t> b = encode(scene);

  EXPECT_EQ(u32At(b, 8), 1u);  // modelCount
  size_t at = 20;
  EXPECT_EQ(u32At(b, at), 3u);
  EXPECT_EQ(std::string(b.begin() + at + 4, b.begin() + at + 7), "box");
  at += 7;
  EXPECT_EQ(u32At(b, at), 3u);      // vertexCount
  EXPECT_EQ(u32At(b, at + 4), 2u);  // subsetCount
  EXPECT_EQ(f32At(b, at + 8), 1.0f);
  EXPECT_EQ(f32At(b, at + 16), 3.0f);
  EXPECT_EQ(f32At(b, at + 20), 4.0f);
  EXPECT_EQ(f32At(b, at + 28), 6.0f);
  EXPECT_EQ(u32At(b, at + 32), 2u);  // elementCount
  at += 36;
  // Elements in file order: components, usage, offset, usageIndex.
  EXPECT_EQ(u32At(b, at + 16), 2u);
  EXPECT_EQ(u32At(b, at + 20), 4u);
  EXPECT_EQ(u32At(b, at + 24), 12u);
  EXPECT_EQ(u32At(b, at + 28), 1u);
  at += 32;
  for (size_t i = 0; i < 60; ++i) ASSERT_EQ(b[at + i], i) << i;
  at += 60;
  EXPECT_EQ(u32At(b, at), 1u);  // triangleCount
  EXPECT_EQ(u32At(b, at + 4), 7u);
  EXPECT_EQ(u32At(b, at + 8), 0u);
  EXPECT_EQ(u32At(b, at + 16), 2u);
  at += 20;
  EXPECT_EQ(u32At(b, at), 2u);
  EXPECT_EQ(u32At(b, at + 4), 0u);
  EXPECT_EQ(u32At(b, at + 8), 2u);
  at += 8 + 24;
  EXPECT_EQ(b.size(), at);
}

TEST(SceneFileEncode, InconsistentModelsAreRefused) {
  SceneRecord scene;
  ModelRecord model;
  model.elements = {{3, 1, 0, 0}};
  model.vertexCount = 2;
  model.vertexData.resize(23);
  scene.models.push_back(model);
  EXPECT_THROW(encode(scene), std::invalid_argument);
  scene.models[0].vertexData.resize(24);
  EXPECT_NO_THROW(encode(scene));
  scene.models[0].subsets.push_back({0, {0, 1}});
  EXPECT_THROW(encode(scene), std::invalid_argument);
}

TEST(SceneFileEncode, CameraAndNodeLayout) {
  SceneRecord scene;
  scene.cameras.push_back({"cam", 0xA1B2C3D4u});
  NodeRecord node;
  node.name = "n";
  node.position = {1, 2, 3};
  node.rotation = {0.1f, 0.2f, 0.3f, 0.4f};
  node.scale = {5, 6, 7};
  node.flags = NODE_PARENT | NODE_CAMERA | NODE_ANIMATED | 0x20;
  node.parentIndex = 9;
  node.modelIndex = 8;  // not written: no NODE_MODEL
  node.cameraIndex = 0;
  AnimationKey key;
  key.time = 2.5f;
  key.positionIn = {10, 11, 12};
  key.position = {13, 14, 15};
  key.positionOut = {16, 17, 18};
  key.rotationIn = {19, 20, 21, 22};
  key.rotation = {23, 24, 25, 26};
  key.rotationOut = {27, 28, 29, 30};
  node.keys = {key};
  scene.nodes.push_back(node);
  const std::vector<std::uint8_t> b = encode(scene);

  size_t at = 20;
  EXPECT_EQ(u32At(b, at), 3u);
  EXPECT_EQ(u32At(b, at + 7), 0xA1B2C3D4u);
  at += 11;
  EXPECT_EQ(u32At(b, at), 1u);
  EXPECT_EQ(b[at + 4], 'n');
  at += 5;
  EXPECT_EQ(f32At(b, at), 1.0f);
  EXPECT_EQ(f32At(b, at + 12), 0.1f);
  EXPECT_EQ(f32At(b, at + 24), 0.4f);
  EXPECT_EQ(f32At(b, at + 28), 5.0f);
  EXPECT_EQ(f32At(b, at + 36), 7.0f);
  EXPECT_EQ(u32At(b, at + 40), 0x71u);
  EXPECT_EQ(u32At(b, at + 44), 9u);  // parent
  EXPECT_EQ(u32At(b, at + 48), 0u);  // camera (no model field)
  EXPECT_EQ(u32At(b, at + 52), 1u);  // keyCount
  at += 56;
  EXPECT_EQ(f32At(b, at), 2.5f);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(f32At(b, at + 4 + 4 * i), 10.0f + i) << i;
  EXPECT_EQ(b.size(), at + 88);
}

TEST(SceneFileWrite, WritesTheEncodedBytes) {
  SceneRecord scene;
  scene.textures = {"t.png"};
  scene.cameras.push_back({"c", 1});
  const std::string path = ::testing::TempDir() + "scene_file_write.nc";
  ASSERT_TRUE(writeSceneFile(path, scene));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> read(256);
  read.resize(std::fread(read.data(), 1, read.size(), file));
  std::fclose(file);
  EXPECT_EQ(read, encode(scene));
  std::remove(path.c_str());
  EXPECT_FALSE(writeSceneFile("/nonexistent-dir/x/y.nc", scene));
}
