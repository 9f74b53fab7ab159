// The scene reader without a device: what a file becomes, and which files
// are rejected and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "scene_test_support.h"

using namespace scenetest;
using scenefile::encode;
using scenefile::NodeRecord;
using scenefile::SceneRecord;

namespace {

SceneRecord fullRecord() {
  SceneRecord r;
  r.textures = {"t0.png", "t1.png", "t2.png", "t3.png"};
  r.materials.push_back({"stone", {0.1f, 0.2f, 0.3f, 0.4f}, MAT_FOG, {3, 0}});
  r.materials.push_back({"glass", {1, 1, 1, 0.5f}, MAT_BLEND | MAT_PROGRAM, {}});
  scenefile::ModelRecord model = quadModel("quad", 0, 0, 1, 1, 0, 1);
  model.vectorA = {1, 2, 3};
  model.vectorB = {4, 5, 6};
  model.subsets.push_back({0, {0, 1, 3}});
  r.models.push_back(model);
  r.cameras.push_back({"main", 0xDEADBEEF});
  NodeRecord child;
  child.name = "child";
  child.flags = NODE_PARENT | NODE_MODEL;
  child.parentIndex = 2;  // a later record
  child.position = {1, 0, 0};
  NodeRecord eye;
  eye.name = "eye";
  eye.flags = NODE_CAMERA | NODE_ANIMATED;
  eye.position = {0, 0, 5};
  eye.rotation = {0, 1, 0, 0};
  eye.keys = {key(0, {0, 0, 0}), key(10, {0, 0, 10})};
  NodeRecord root;
  root.name = "root";
  root.scale = {2, 2, 2};
  r.nodes = {child, eye, root};
  return r;
}

}  // namespace

TEST(SceneReader, TwentyZeroBytesGiveAnEmptyScene) {
  Scene scene;
  EXPECT_TRUE(parse(scene, std::vector<std::uint8_t>(20, 0)));
  EXPECT_TRUE(isEmpty(scene));
}

TEST(SceneReader, ReadsEveryRecordKind) {
  Scene scene;
  ASSERT_TRUE(parse(scene, encode(fullRecord())));
  ASSERT_EQ(scene.textures.size(), 4u);
  ASSERT_EQ(scene.materials.size(), 2u);
  ASSERT_EQ(scene.models.size(), 1u);
  ASSERT_EQ(scene.cameras.size(), 1u);
  ASSERT_EQ(scene.nodes.size(), 3u);

  EXPECT_EQ(at(scene.textures, 2)->name, "t2.png");
  EXPECT_EQ(at(scene.textures, 2)->resource, nullptr);  // no device, no image

  Material* stone = scene.findMaterial("stone");
  ASSERT_NE(stone, nullptr);
  EXPECT_FLOAT_EQ(stone->diffuse.g, 0.2f);
  EXPECT_FLOAT_EQ(stone->diffuse.a, 0.4f);
  EXPECT_EQ(stone->flags, MAT_FOG);
  EXPECT_EQ(stone->blendMode, 1u);
  EXPECT_EQ(stone->specular.a, 0.0f);
  EXPECT_EQ(stone->program, nullptr);
  // Texture references in stage order: texture 3 on stage 0, texture 0 on stage 1.
  ASSERT_EQ(stone->textures.size(), 2u);
  EXPECT_EQ(stone->textures.front(), at(scene.textures, 3));
  EXPECT_EQ(stone->textures.back(), at(scene.textures, 0));
  EXPECT_TRUE(scene.findMaterial("glass")->textures.empty());

  Model* model = scene.models.front();
  EXPECT_EQ(model->getName(), "quad");
  EXPECT_EQ(model->vertexCount, 4u);
  EXPECT_EQ(model->triangleCount, 3u);
  EXPECT_EQ(model->vectorA.z, 3.0f);
  EXPECT_EQ(model->vectorB.x, 4.0f);
  EXPECT_EQ(model->mesh, nullptr);
  ASSERT_EQ(model->subsets.size(), 2u);
  EXPECT_EQ(model->subsets.front().material, scene.findMaterial("glass"));
  EXPECT_EQ(model->subsets.front().triangleCount, 2u);
  EXPECT_EQ(model->subsets.back().material, stone);
  EXPECT_EQ(model->subsets.back().triangleCount, 1u);
  EXPECT_EQ(model->profile.count, 2);
  EXPECT_EQ(model->profile.stride, 20);
  EXPECT_EQ(model->profile.elements[1].offset, 12);
  EXPECT_EQ(model->profile.elements[1].components, 2);
  EXPECT_EQ(model->profile.elements[1].usage, USAGE_TEXCOORD);

  Camera* camera = scene.findCamera("main");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->extra, 0xDEADBEEFu);

  SceneNode* child = scene.findNode("child");
  SceneNode* eye = scene.findNode("eye");
  SceneNode* root = scene.findNode("root");
  ASSERT_TRUE(child && eye && root);
  EXPECT_EQ(child->parent, root);  // forward reference resolved
  EXPECT_EQ(child->attachment, model);
  EXPECT_EQ(child->track, nullptr);
  EXPECT_EQ(eye->attachment, camera);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->attachment, nullptr);

  // The camera has its node's pose straight after reading.
  EXPECT_EQ(camera->position.z, 5.0f);
  EXPECT_EQ(camera->rotation.y, 1.0f);
  EXPECT_EQ(camera->rotation.w, 0.0f);

  ASSERT_NE(eye->track, nullptr);
  EXPECT_EQ(eye->track->keyCount, 2);
  EXPECT_EQ(eye->track->segment, 0);
  EXPECT_EQ(eye->track->keys[1].time, 10.0f);
  EXPECT_EQ(eye->track->keys[1].position.z, 10.0f);

  // Worlds are built while reading: S x R x T.
  EXPECT_EQ(root->world.m[0][0], 2.0f);
  EXPECT_EQ(child->world.m[3][0], 1.0f);
  const Matrix4 want = composeWorld(eye->scale, eye->rotation, eye->position);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(eye->world.data()[i], want.data()[i]);

  scene.animate(5.0f);
  EXPECT_FLOAT_EQ(eye->position.z, 5.0f);
  EXPECT_FLOAT_EQ(camera->position.z, 5.0f);
  scene.destroy();
  EXPECT_TRUE(isEmpty(scene));
}

TEST(SceneReader, KeyFieldsKeepTheirFileOrder) {
  Bytes b;
  b.header(0, 0, 0, 0, 1).nodeStart("n", NODE_ANIMATED).u32(1);
  for (int i = 0; i < 22; ++i) b.f32(float(i));
  Scene scene;
  ASSERT_TRUE(parse(scene, b.data));
  const AnimationKey& k = scene.nodes.front()->track->keys[0];
  EXPECT_EQ(k.time, 0.0f);
  EXPECT_EQ(k.positionIn.x, 1.0f);
  EXPECT_EQ(k.position.x, 4.0f);
  EXPECT_EQ(k.positionOut.z, 9.0f);
  EXPECT_EQ(k.rotationIn.x, 10.0f);
  EXPECT_EQ(k.rotation.x, 14.0f);
  EXPECT_EQ(k.rotationOut.w, 21.0f);
  scene.destroy();
}

TEST(SceneReader, ZeroBytesCutNames) {
  Bytes b;
  b.header(1, 1, 0, 1, 1);
  b.str(std::string("tex\0ture.png", 12));
  b.str(std::string("mat\0x", 5)).floats({1, 1, 1, 1}).u32(0).u32(0);
  b.str(std::string("\0cam", 4)).u32(0);
  b.nodeStart(std::string("no\0de", 5), 0);
  Scene scene;
  ASSERT_TRUE(parse(scene, b.data));
  EXPECT_EQ(scene.textures.front()->name, "tex");
  EXPECT_NE(scene.findMaterial("mat"), nullptr);
  EXPECT_EQ(scene.cameras.front()->getName(), "");
  EXPECT_NE(scene.findNode("no"), nullptr);
  EXPECT_EQ(scene.findNode(std::string("no\0de", 5)), nullptr);
  scene.destroy();
}

TEST(SceneReader, StrideFollowsTheLayoutRule) {
  auto strideOfLayout = [](std::vector<scenefile::Element> elements) {
    SceneRecord r;
    scenefile::ModelRecord m;
    m.elements = elements;
    m.vertexCount = 2;
    m.vertexData.resize(2 * scenefile::strideOf(elements));
    r.models.push_back(m);
    Scene scene;
    std::string error;
    EXPECT_TRUE(parse(scene, encode(r), &error)) << error;
    const int stride = scene.models.empty() ? -1 : scene.models.front()->profile.stride;
    scene.destroy();
    return stride;
  };
  EXPECT_EQ(strideOfLayout({{3, 1, 0, 0}, {3, 2, 12, 0}, {2, 4, 24, 0}}), 32);
  EXPECT_EQ(strideOfLayout({{3, 1, 0, 0}, {3, 2, 12, 0}, {2, 4, 24, 0}, {4, 8, 32, 0}}), 36);
  // A four-component position still adds 12; here a texture coordinate set
  // shares its last float.
  EXPECT_EQ(strideOfLayout({{4, 1, 0, 0}, {2, 4, 12, 0}}), 20);
  // Unknown usages add nothing and are kept.
  EXPECT_EQ(strideOfLayout({{3, 1, 0, 0}, {3, 16, 0, 0}}), 12);
}

TEST(SceneReader, AcceptsEveryLayoutTheFormatAllows) {
  // {components, usage, offset, usageIndex}, the vertex count, and what the
  // layout adds up to.
  const struct {
    const char* what;
    std::vector<scenefile::Element> elements;
    std::uint32_t vertices;
    int stride;
  } layouts[] = {
      {"four-component position", {{4, 1, 0, 0}}, 3, 12},
      {"three-byte colour", {{3, 1, 0, 0}, {3, 8, 12, 0}}, 3, 15},
      {"eight-byte colour", {{3, 1, 0, 0}, {8, 8, 12, 0}}, 3, 20},
      {"offset and usage index past 16 and 8 bits", {{3, 1, 0x10000, 0}, {2, 4, 0x1000C, 0x101}}, 3, 20},
      {"zero stride", {{0, 8, 0, 0}}, 100000, 0},
      {"no elements", {}, 100000, 0},
  };
  for (const auto& layout : layouts) {
    SceneRecord r;
    scenefile::ModelRecord m;
    m.name = "m";
    m.elements = layout.elements;
    m.vertexCount = layout.vertices;
    m.vertexData.assign(static_cast<std::size_t>(layout.vertices) * layout.stride, 0);
    r.models.push_back(m);
    Scene scene;
    std::string error;
    ASSERT_TRUE(parse(scene, encode(r), &error)) << layout.what << ": " << error;
    const Model* model = scene.models.front();
    EXPECT_EQ(model->profile.stride, layout.stride) << layout.what;
    EXPECT_EQ(model->vertexCount, layout.vertices) << layout.what;
    scene.destroy();
  }
}

TEST(SceneReader, WideOffsetsAndUsageIndicesReachTheDeclarationCut) {
  SceneRecord r;
  scenefile::ModelRecord m;
  m.elements = {{3, 1, 0x10000, 0}, {2, 4, 0x1000C, 0x101}};
  r.models.push_back(m);
  Scene scene;
  ASSERT_TRUE(parse(scene, encode(r)));
  const std::vector<D3DVERTEXELEMENT9> declaration = scene.models.front()->profile.toDeclaration();
  ASSERT_EQ(declaration.size(), 3u);
  EXPECT_EQ(declaration[0].Offset, 0);
  EXPECT_EQ(declaration[1].Offset, 12);
  EXPECT_EQ(declaration[1].UsageIndex, 1);
  scene.destroy();
}

TEST(SceneReader, MinimalRecordsOfEveryKind) {
  Bytes b;
  b.header(1, 1, 1, 1, 1);
  b.u32(0);                                         // texture: 4 bytes
  b.u32(0).floats({0, 0, 0, 0}).u32(0).u32(0);      // material: 28 bytes
  b.u32(0).u32(0).u32(0).floats({0, 0, 0, 0, 0, 0}).u32(0);  // model: 40 bytes
  b.u32(0).u32(0);                                  // camera: 8 bytes
  b.nodeStart("", 0);                               // node: 48 bytes
  ASSERT_EQ(b.data.size(), 20u + 4 + 28 + 40 + 8 + 48);
  Scene scene;
  std::string error;
  ASSERT_TRUE(parse(scene, b.data, &error)) << error;
  EXPECT_EQ(scene.models.front()->vertexCount, 0u);
  EXPECT_EQ(scene.models.front()->profile.stride, 0);
  scene.destroy();
}

TEST(SceneReader, MeaninglessNodeBitsChangeNothing) {
  SceneRecord r;
  NodeRecord n;
  n.name = "n";
  n.position = {1, 2, 3};
  n.flags = 0x04 | 0x08 | 0x20;
  r.nodes = {n};
  Scene scene;
  ASSERT_TRUE(parse(scene, encode(r)));
  SceneNode* node = scene.nodes.front();
  EXPECT_EQ(node->flags, 0x2Cu);
  EXPECT_EQ(node->parent, nullptr);
  EXPECT_EQ(node->attachment, nullptr);
  EXPECT_EQ(node->track, nullptr);
  EXPECT_EQ(node->world.m[3][2], 3.0f);
  scene.destroy();
}

TEST(SceneReader, TrailingBytesAfterTheLastRecordAreIgnored) {
  std::vector<std::uint8_t> bytes = encode(fullRecord());
  bytes.insert(bytes.end(), {1, 2, 3});
  Scene scene;
  EXPECT_TRUE(parse(scene, bytes));
  EXPECT_EQ(scene.nodes.size(), 3u);
  scene.destroy();
}

TEST(SceneReaderRejects, EveryTruncationOfAGoodFile) {
  const std::vector<std::uint8_t> bytes = encode(fullRecord());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    Scene scene;
    std::string error;
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    ASSERT_FALSE(parse(scene, cut, &error)) << "accepted " << length << " of " << bytes.size() << " bytes";
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(isEmpty(scene)) << length;
  }
}

TEST(SceneReaderRejects, MalformedFilesWithTheirReasons) {
  std::vector<std::pair<std::string, Bytes>> cases;
  auto add = [&](const std::string& reason) -> Bytes& {
    cases.emplace_back(reason, Bytes{});
    return cases.back().second;
  };
  add("header counts").header(0x40000000, 0, 0, 0, 0);
  add("header counts").header(0, 0, 0, 0, 2).nodeStart("a", 0);
  add("texture name length").header(1, 0, 0, 0, 0).u32(0xFFFFFFFF).raw("abc");
  add("texture index 4").header(1, 1, 0, 0, 0).str("t").str("m").floats({1, 1, 1, 1}).u32(0).u32(1).u32(4);
  add("texture reference count").header(1, 1, 0, 0, 0).str("t").str("m").floats({1, 1, 1, 1}).u32(0).u32(0x7FFFFFFF);
  // Models: name, vertexCount, subsetCount, two Vec3, elementCount.
  auto modelStart = [](Bytes& b, std::uint32_t vertices, std::uint32_t subsets, std::uint32_t elements) -> Bytes& {
    return b.str("q").u32(vertices).u32(subsets).floats({0, 0, 0, 0, 0, 0}).u32(elements);
  };
  modelStart(add("vertex element count").header(0, 0, 1, 0, 0), 0, 0, 0x10000000);
  modelStart(add("vertex count").header(0, 0, 1, 0, 0), 0x7FFFFFFF, 0, 1).u32(3).u32(1).u32(0).u32(0);
  modelStart(add("subset count").header(0, 0, 1, 0, 0), 0, 0xFFFFFFFF, 0);
  modelStart(add("subset material index 0").header(0, 0, 1, 0, 0), 0, 1, 0).u32(0).u32(0);
  modelStart(add("subset triangle count").header(0, 1, 1, 0, 0).str("m").floats({1, 1, 1, 1}).u32(0).u32(0), 0, 1,
             0)
      .u32(0x40000000)
      .u32(0);
  modelStart(add("vertex index 3").header(0, 1, 1, 0, 0).str("m").floats({1, 1, 1, 1}).u32(0).u32(0), 3, 1, 1)
      .u32(3).u32(1).u32(0).u32(0)
      .floats({0, 0, 0, 1, 0, 0, 0, 1, 0})
      .u32(1).u32(0).u32(0).u32(1).u32(3);
  add("parent index 1").header(0, 0, 0, 0, 1).nodeStart("n", NODE_PARENT).u32(1);
  add("model index 0").header(0, 0, 0, 0, 1).nodeStart("n", NODE_MODEL).u32(0);
  add("camera index 1").header(0, 0, 0, 1, 1).str("c").u32(0).nodeStart("n", NODE_CAMERA).u32(1);
  modelStart(add("both a model and a camera").header(0, 0, 1, 1, 1), 0, 0, 0)
      .str("c")
      .u32(0)
      .nodeStart("n", NODE_MODEL | NODE_CAMERA)
      .u32(0)
      .u32(0);
  add("negative key count").header(0, 0, 0, 0, 1).nodeStart("n", NODE_ANIMATED).u32(0xFFFFFFFF);
  add("key count").header(0, 0, 0, 0, 1).nodeStart("n", NODE_ANIMATED).u32(2).floats({0, 0, 0});
  add("file ends early").header(0, 0, 0, 0, 0).data.resize(19);

  for (const auto& [reason, bytes] : cases) {
    Scene scene;
    std::string error;
    EXPECT_FALSE(parse(scene, bytes.data, &error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << "expected '" << reason << "' in: " << error;
    EXPECT_TRUE(isEmpty(scene)) << reason;
  }
}

TEST(SceneReaderRejects, ARejectedFileLeavesAFilledSceneAsItWas) {
  Scene scene;
  ASSERT_TRUE(parse(scene, encode(fullRecord())));
  Bytes bad;
  bad.header(1, 0, 0, 0, 1).str("extra.png").nodeStart("n", NODE_ANIMATED).u32(0x80000000);
  EXPECT_FALSE(parse(scene, bad.data));
  EXPECT_EQ(scene.textures.size(), 4u);
  EXPECT_EQ(scene.nodes.size(), 3u);
  // A good second file appends after the first one's objects.
  SceneRecord more;
  more.textures = {"more.png"};
  EXPECT_TRUE(parse(scene, encode(more)));
  EXPECT_EQ(scene.textures.back()->name, "more.png");
  scene.destroy();
}

TEST(SceneLookup, ExactCaseSensitiveFirstMatch) {
  SceneRecord r;
  NodeRecord a, b, c;
  a.name = "Train";
  b.name = "train";
  b.position.x = 1;
  c.name = "train";
  c.position.x = 2;
  r.nodes = {a, b, c};
  r.cameras = {{"Cam", 0}, {"cam", 0}};
  r.materials.push_back({"Metal", {}, 0, {}});
  Scene scene;
  ASSERT_TRUE(parse(scene, encode(r)));
  EXPECT_EQ(scene.findNode("train")->position.x, 1.0f);
  EXPECT_EQ(scene.findNode("Train"), scene.nodes.front());
  EXPECT_EQ(scene.findNode("TRAIN"), nullptr);
  EXPECT_EQ(scene.findNode("trai"), nullptr);
  EXPECT_EQ(scene.findNode("train "), nullptr);
  EXPECT_EQ(scene.findCamera("cam"), at(scene.cameras, 1));
  EXPECT_EQ(scene.findCamera("CAM"), nullptr);
  EXPECT_NE(scene.findMaterial("Metal"), nullptr);
  EXPECT_EQ(scene.findMaterial("metal"), nullptr);
  scene.destroy();
  EXPECT_EQ(scene.findNode("train"), nullptr);
}

// readScene looks in "models\" first, then at the name itself, and names a
// missing or rejected file once.
class SceneFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::path(::testing::TempDir()) / "vorn_scene_files";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "models");
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  static void write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::path previous_, dir_;
};

TEST_F(SceneFiles, ModelsFolderFirstThenTheNameItself) {
  SceneRecord inFolder, outside;
  inFolder.cameras = {{"folder", 0}};
  outside.cameras = {{"outside", 0}};
  write("models/a.nc", encode(inFolder));
  write("a.nc", encode(outside));
  write("b.nc", encode(outside));

  Scene* a = Scene::load("a.nc");
  EXPECT_NE(a->findCamera("folder"), nullptr);
  EXPECT_EQ(a->findCamera("outside"), nullptr);
  a->destroy();
  delete a;

  Scene b;
  EXPECT_TRUE(readScene(&b, "b.nc"));
  EXPECT_NE(b.findCamera("outside"), nullptr);
  b.destroy();
}

TEST_F(SceneFiles, MissingFileIsEmptyAndReportedOnce) {
  ::testing::internal::CaptureStderr();
  Scene* scene = Scene::load("missing.nc");
  Scene other;
  const bool read = readScene(&other, "missing.nc");
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(read);
  EXPECT_TRUE(isEmpty(*scene));
  EXPECT_EQ(scene->findNode("x"), nullptr);
  EXPECT_EQ(printed.rfind("models/missing.nc: cannot open it", 0), 0u) << printed;
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
  delete scene;
}

TEST_F(SceneFiles, RejectedFilePrintsOneLineNamingIt) {
  Bytes bad;
  bad.header(0, 0, 0, 0, 1).nodeStart("n", NODE_ANIMATED).u32(0xFFFFFFFF);
  write("models/bad.nc", bad.data);
  ::testing::internal::CaptureStderr();
  Scene scene;
  std::string error;
  const bool read = readScene(&scene, "bad.nc", &error);
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(read);
  EXPECT_TRUE(isEmpty(scene));
  EXPECT_NE(error.find("negative key count"), std::string::npos);
  EXPECT_NE(printed.find("models/bad.nc"), std::string::npos) << printed;
  EXPECT_NE(printed.find("negative key count"), std::string::npos) << printed;
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
}

#ifdef VORN_SCENE_CORPUS_DIR
// The hand-made corpus the fuzzer also starts from: ok_ files load, bad_
// files are rejected for the reason their name gives.
TEST(SceneCorpus, EveryFileLoadsOrIsRejectedForItsReason) {
  const std::map<std::string, std::string> reasons = {
      {"bad_zero_bytes.nc", "file ends early"},
      {"bad_short_header.nc", "file ends early"},
      {"bad_huge_texture_count.nc", "header counts"},
      {"bad_huge_node_count.nc", "header counts"},
      {"bad_giant_string.nc", "texture name length"},
      {"bad_texture_index.nc", "texture index"},
      {"bad_subset_material.nc", "subset material index"},
      {"bad_vertex_index.nc", "vertex index 4"},
      {"bad_huge_vertex_count.nc", "vertex count"},
      {"bad_huge_element_count.nc", "vertex element count"},
      {"bad_huge_subset_count.nc", "subset count"},
      {"bad_huge_triangle_count.nc", "subset triangle count"},
      {"bad_model_and_camera.nc", "both a model and a camera"},
      {"bad_negative_key_count.nc", "negative key count"},
      {"bad_huge_key_count.nc", "key count"},
      {"bad_parent_index.nc", "parent index"},
      {"bad_model_index.nc", "model index"},
      {"bad_camera_index.nc", "camera index"},
      {"bad_truncated_key.nc", "key count 2 cannot fit"},
      {"bad_truncated_vertices.nc", "vertex count 4 cannot fit"},
      {"bad_truncated_full.nc", "file ends early"},
  };
  int good = 0, bad = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VORN_SCENE_CORPUS_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".nc") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Scene scene;
    std::string error;
    const bool ok = parse(scene, bytes, &error);
    if (name.rfind("ok_", 0) == 0) {
      EXPECT_TRUE(ok) << name << ": " << error;
      ++good;
    } else {
      EXPECT_FALSE(ok) << name;
      EXPECT_TRUE(isEmpty(scene)) << name;
      auto reason = reasons.find(name);
      ASSERT_NE(reason, reasons.end()) << "no expected reason for " << name;
      EXPECT_NE(error.find(reason->second), std::string::npos) << name << ": " << error;
      ++bad;
    }
    scene.destroy();
  }
  EXPECT_EQ(good, 5);
  EXPECT_EQ(bad, static_cast<int>(reasons.size()));
}
#endif
