// The generated demo data, read through the engine's own loaders: every scene
// file loads and holds the names the show looks up, its pieces sit where the
// show's transforms need them, every texture decodes with the expected size
// and look, and every shader file yields the vertex layout of the scenes it
// draws.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/tunnel_path.h"
#include "platform/hlsl/hlsl.h"
#include "common/vmath.h"
#include "font/pixel_font.h"
#include "scene/scene.h"
#include "shader/shader_source.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include "stb_image.h"
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using content::V3;

namespace {

std::string dataPath(const std::string& relative) { return std::string(VORN_DATA_DIR) + "/" + relative; }

// A scene read from the data folder, destroyed at the end of the test.
struct LoadedScene {
  Scene scene;
  bool ok = false;
  std::string error;
  explicit LoadedScene(const std::string& file) { ok = readScene(&scene, dataPath("models/" + file), &error); }
  ~LoadedScene() { scene.destroy(); }
};

V3 v3(const Vec3& v) { return {v.x, v.y, v.z}; }

// World-space corners of a node's model bounds in its current pose.
std::vector<V3> corners(const SceneNode* node) {
  std::vector<V3> out;
  const Model* model = dynamic_cast<const Model*>(node->attachment);
  if (!model) return out;
  const Matrix4 w = composeWorld(node->scale, node->rotation, node->position);
  for (int i = 0; i < 8; ++i) {
    const V3 p{i & 1 ? model->vectorB.x : model->vectorA.x, i & 2 ? model->vectorB.y : model->vectorA.y,
               i & 4 ? model->vectorB.z : model->vectorA.z};
    out.push_back({p.x * w.m[0][0] + p.y * w.m[1][0] + p.z * w.m[2][0] + w.m[3][0],
                   p.x * w.m[0][1] + p.y * w.m[1][1] + p.z * w.m[2][1] + w.m[3][1],
                   p.x * w.m[0][2] + p.y * w.m[1][2] + p.z * w.m[2][2] + w.m[3][2]});
  }
  return out;
}

// Calls f at evenly spaced animation times from 0 to `end`, after animating.
void acrossTimes(Scene& scene, float end, int steps, const std::function<void(float)>& f) {
  for (int i = 0; i <= steps; ++i) {
    const float t = end * static_cast<float>(i) / static_cast<float>(steps);
    scene.animate(t);
    f(t);
  }
}

V3 cameraForward(const Camera* camera) {
  const content::Q q{camera->rotation.x, camera->rotation.y, camera->rotation.z, camera->rotation.w};
  return content::rotate(q, {0, 0, -1});
}

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  explicit Picture(const std::string& file) {
    int channels = 0;
    unsigned char* data = stbi_load(dataPath("textures/" + file).c_str(), &width, &height, &channels, 4);
    if (data) {
      rgba.assign(data, data + static_cast<std::size_t>(width) * height * 4);
      stbi_image_free(data);
    }
  }
  const unsigned char* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
  float meanAlpha(int x0, int y0, int x1, int y1) const {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += at(x, y)[3];
    return static_cast<float>(sum / ((x1 - x0) * (y1 - y0) * 255.0));
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Scene files and the names the show looks up in them.

struct Lookups {
  const char* file;
  std::vector<const char*> materials, nodes, cameras;
};

class SceneFiles : public ::testing::TestWithParam<Lookups> {};

TEST_P(SceneFiles, LoadsThroughTheReaderWithEveryNameTheShowUses) {
  const Lookups& l = GetParam();
  LoadedScene s(l.file);
  ASSERT_TRUE(s.ok) << l.file << ": " << s.error;
  EXPECT_FALSE(s.scene.nodes.empty());
  EXPECT_FALSE(s.scene.models.empty());
  for (const char* name : l.materials) EXPECT_NE(s.scene.findMaterial(name), nullptr) << l.file << " material " << name;
  for (const char* name : l.nodes) EXPECT_NE(s.scene.findNode(name), nullptr) << l.file << " node " << name;
  for (const char* name : l.cameras) EXPECT_NE(s.scene.findCamera(name), nullptr) << l.file << " camera " << name;
  // Every subset has a material, and every model is placed by some node.
  for (const Model* model : s.scene.models) {
    for (const MeshSubset& subset : model->subsets) EXPECT_NE(subset.material, nullptr) << model->name;
    bool placed = false;
    for (const SceneNode* node : s.scene.nodes) placed |= node->attachment == model;
    EXPECT_TRUE(placed) << l.file << ": model " << model->name << " is never drawn";
  }
}

INSTANTIATE_TEST_SUITE_P(
    DemoData, SceneFiles,
    ::testing::Values(Lookups{"scene_1.nc", {"Metal", "Filler"}, {"Cube.024"}, {"Camera"}},
                      Lookups{"scene_2.nc", {"Material"}, {}, {"Camera.001"}},
                      Lookups{"scene_3.nc", {"Metal", "Filler"}, {}, {"Camera"}},
                      Lookups{"scene_fita.nc", {"Fita"}, {}, {}},
                      Lookups{"scene_final.nc",
                              {"Material", "Material.001", "Material.002", "Material.003", "Material.004"}, {}, {"Camera"}},
                      Lookups{"scene_sky_final.nc", {}, {}, {}},
                      Lookups{"scene_gui_final.nc", {"Filler", "Rotater"}, {}, {}},
                      Lookups{"scene_comboios_tunel.nc", {"Metal"}, {}, {}},
                      Lookups{"scene_gui_tunel.nc", {"Dark", "Blue", "Yellow", "Rain"}, {}, {}},
                      Lookups{"scene_3_sky.nc", {}, {}, {}},
                      Lookups{"scene_3_greets.nc", {"Metal"}, {}, {}},
                      Lookups{"scene_inicio.nc", {"Metal"}, {}, {}},
                      Lookups{"scene_credits.nc", {"Material.001"}, {}, {}},
                      Lookups{"intro.nc", {}, {"P1", "P2", "P3", "P4", "P5", "P6"}, {"Camera"}},
                      Lookups{"loading_zel.compound", {"ProgressBar"}, {}, {}}),
    [](const ::testing::TestParamInfo<Lookups>& info) {
      std::string name = info.param.file;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(SceneData, TheTreeCubeIsAPlainTwoUnitCube) {
  LoadedScene s("scene_1.nc");
  ASSERT_TRUE(s.ok);
  const SceneNode* cube = s.scene.findNode("Cube.024");
  ASSERT_NE(cube, nullptr);
  const Model* model = dynamic_cast<const Model*>(cube->attachment);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->triangleCount, 12u);
  EXPECT_FLOAT_EQ(model->vectorA.x, -1.0f);
  EXPECT_FLOAT_EQ(model->vectorB.y, 1.0f);
  // Its material is drawn by the shading program with an opaque alpha.
  ASSERT_EQ(model->subsets.size(), 1u);
  EXPECT_EQ(model->subsets.front().material->name, "Metal");
  EXPECT_FLOAT_EQ(model->subsets.front().material->diffuse.a, 1.0f);
}

// ---------------------------------------------------------------------------
// Flat layers: drawn x 1000 about the screen centre with an orthographic
// depth range of -1..1, so their geometry must stay within |z| < 0.001.

struct Layer {
  const char* file;
  float keyTimeEnd;
  bool staysOnScreen;  // static interface pieces (not sliding or falling ones)
};

class FlatLayers : public ::testing::TestWithParam<Layer> {};

TEST_P(FlatLayers, StayFlatAndInsideTheScreenAtEveryKeyTime) {
  const Layer& layer = GetParam();
  LoadedScene s(layer.file);
  ASSERT_TRUE(s.ok) << s.error;
  acrossTimes(s.scene, layer.keyTimeEnd, 40, [&](float t) {
    for (const SceneNode* node : s.scene.nodes) {
      for (const V3& p : corners(node)) {
        ASSERT_LT(std::fabs(p.z), 0.0005f) << layer.file << " " << node->name << " at " << t;
        const bool moving = node->name.rfind("rain", 0) == 0;
        if (layer.staysOnScreen && !moving) {
          EXPECT_LE(std::fabs(p.x), 0.32f) << layer.file << " " << node->name;
          EXPECT_LE(std::fabs(p.y), 0.24f) << layer.file << " " << node->name;
        }
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(DemoData, FlatLayers,
                         ::testing::Values(Layer{"scene_inicio.nc", 0, true}, Layer{"scene_gui_tunel.nc", 1115, true},
                                           Layer{"scene_gui_final.nc", 500, true},
                                           Layer{"scene_credits.nc", 350, false}, Layer{"scene_fita.nc", 130, false}),
                         [](const ::testing::TestParamInfo<Layer>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

TEST(SceneData, CreditsEndWithEveryLetterOnScreenAndBeginWithNone) {
  LoadedScene s("scene_credits.nc");
  ASSERT_TRUE(s.ok);
  auto onScreen = [&](const SceneNode* node) {
    for (const V3& p : corners(node))
      if (std::fabs(p.x) > 0.32f || std::fabs(p.y) > 0.24f) return false;
    return true;
  };
  s.scene.animate(0);
  int visible = 0;
  for (const SceneNode* node : s.scene.nodes) visible += onScreen(node);
  EXPECT_EQ(visible, 0) << "pieces wait off screen before they assemble";
  s.scene.animate(349);
  int letters = 0;
  for (const SceneNode* node : s.scene.nodes) letters += onScreen(node);
  EXPECT_EQ(letters, 11 + 1) << "the team name's eleven letters and the thanks line";
}

// ---------------------------------------------------------------------------
// Cameras and what they look at.

TEST(SceneData, TheYardCameraStaysInsideTheParticleCloud) {
  LoadedScene s("scene_1.nc");
  ASSERT_TRUE(s.ok);
  const Camera* camera = s.scene.findCamera("Camera");
  ASSERT_NE(camera, nullptr);
  acrossTimes(s.scene, 191, 50, [&](float t) {
    EXPECT_LT(std::fabs(camera->position.x), 9.0f) << t;
    EXPECT_LT(std::fabs(camera->position.y), 9.0f) << t;
    EXPECT_GT(camera->position.y, 0.5f) << t;  // above the ground
    EXPECT_LT(std::fabs(camera->position.z), 9.0f) << t;
  });
}

TEST(SceneData, TheIntroGearsSitInsideTheViewOfTheConfigurationScreen) {
  LoadedScene s("intro.nc");
  ASSERT_TRUE(s.ok);
  const Camera* camera = s.scene.findCamera("Camera");
  ASSERT_NE(camera, nullptr);
  // 36 degrees vertically at aspect 1.75, looking down -z.
  const float distance = camera->position.z;
  ASSERT_GT(distance, 6.0f);
  const float halfHeight = distance * std::tan(18.0f * content::kPi / 180.0f), halfWidth = halfHeight * 1.75f;
  for (const char* name : {"P1", "P2", "P3", "P4", "P5", "P6"}) {
    const SceneNode* node = s.scene.findNode(name);
    ASSERT_NE(node, nullptr);
    EXPECT_LT(std::fabs(node->position.x), halfWidth) << name;
    EXPECT_LT(std::fabs(node->position.y), halfHeight) << name;
    for (const V3& p : corners(node)) EXPECT_NEAR(p.z, 0.0f, 0.01f) << name << " lies in the plane it turns in";
  }
}

TEST(SceneData, TheStationCameraLooksAtTheTreeAtTheOrigin) {
  LoadedScene s("scene_final.nc");
  ASSERT_TRUE(s.ok);
  const Camera* camera = s.scene.findCamera("Camera");
  ASSERT_NE(camera, nullptr);
  acrossTimes(s.scene, 646, 20, [&](float t) {
    const V3 toTree = content::normalize(V3{10, 0, 0} - v3(camera->position));
    // Within the 35 degree field of view (half angle 17.5 degrees).
    EXPECT_GT(content::dot(toTree, cameraForward(camera)), std::cos(17.5f * content::kPi / 180.0f)) << t;
    // Far enough that the tree's cubes (reaching some 70 units out) stay in front.
    EXPECT_GT(content::length(v3(camera->position)), 110.0f) << t;
  });
}

TEST(SceneData, TheTunnelCameraRidesInsideTheTube) {
  LoadedScene s("scene_2.nc");
  ASSERT_TRUE(s.ok);
  const Camera* camera = s.scene.findCamera("Camera.001");
  ASSERT_NE(camera, nullptr);
  namespace tn = content::tunnel;
  acrossTimes(s.scene, tn::kKeyTimeEnd, 60, [&](float t) {
    float nearest = 1e9f;
    for (float sp = 0; sp <= tn::kLength; sp += 0.25f) nearest = std::min(nearest, content::length(v3(camera->position) - tn::centre(sp)));
    EXPECT_LT(nearest, tn::kRadius - 0.8f) << t;
    EXPECT_GT(camera->position.y, tn::centre(tn::cameraS(t)).y + tn::kFloor + 1.0f) << t;
  });
}

TEST(SceneData, TrainsPassTheTunnelCameraOnTimeAndWaitOutOfSightOtherwise) {
  LoadedScene tunnel("scene_2.nc"), trains("scene_comboios_tunel.nc");
  ASSERT_TRUE(tunnel.ok && trains.ok);
  const Camera* camera = tunnel.scene.findCamera("Camera.001");
  ASSERT_NE(camera, nullptr);
  namespace tn = content::tunnel;
  // Distance to the nearest car (only those ahead of the camera when asked).
  auto nearestCar = [&](float t, bool aheadOnly) {
    tunnel.scene.animate(t);
    trains.scene.animate(t);
    float nearest = 1e9f;
    for (const SceneNode* node : trains.scene.nodes) {
      const V3 d = v3(node->position) - v3(camera->position);
      if (aheadOnly && content::dot(d, cameraForward(camera)) < -tn::kCarLength * 0.5f) continue;
      nearest = std::min(nearest, content::length(d));
    }
    return nearest;
  };
  for (float pass : tn::kTrainPasses) EXPECT_LT(nearestCar(pass, false), 15.0f) << "train due at " << pass;
  // Halfway between passes nothing ahead is within the 50 unit far plane.
  for (int i = 0; i + 1 < 4; ++i)
    EXPECT_GT(nearestCar((tn::kTrainPasses[i] + tn::kTrainPasses[i + 1]) * 0.5f, true), 50.0f);
  // And no car ever runs on the camera's own track.
  for (float t = 0; t <= tn::kKeyTimeEnd; t += 5) EXPECT_GT(nearestCar(t, false), 1.6f) << t;
}

TEST(SceneData, GreetingsComeFromAheadAndPassBesideTheBridgeCamera) {
  LoadedScene bridge("scene_3.nc"), greets("scene_3_greets.nc");
  ASSERT_TRUE(bridge.ok && greets.ok);
  const Camera* camera = bridge.scene.findCamera("Camera");
  ASSERT_NE(camera, nullptr);
  int seenAhead = 0;
  for (float t = 0; t <= 585; t += 5) {
    bridge.scene.animate(t);
    greets.scene.animate(t);
    for (const SceneNode* node : greets.scene.nodes) {
      const V3 d = v3(node->position) - v3(camera->position);
      const float ahead = content::dot(d, cameraForward(camera));
      // Never through the camera: at least 20 units off when level with it.
      EXPECT_GT(content::length(d), 20.0f) << node->name << " at " << t;
      if (ahead > 2.0f && ahead < 400.0f) ++seenAhead;
    }
  }
  EXPECT_GT(seenAhead, 60);
}

// ---------------------------------------------------------------------------
// Textures.

TEST(TextureData, GlyphSheetCellsHoldTheFontBitmaps) {
  Picture sheet("fnt_04b08.png");
  ASSERT_EQ(sheet.width, 256);
  ASSERT_EQ(sheet.height, 256);
  for (int code = 32; code <= 127; ++code) {
    const int cx = ((code - 32) % 16) * 16, cy = ((code - 32) / 16) * 16;
    int lit = 0, expected = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const bool on = sheet.at(cx + x, cy + y)[3] > 127;
        lit += on;
        const bool want = content::glyph(code).pixel(x - 3, y - 4);
        expected += want;
        if (want) {
          EXPECT_TRUE(on) << "code " << code << " at " << x << "," << y;
        }
        if (on) {
          EXPECT_EQ(sheet.at(cx + x, cy + y)[0], 255);  // white glyphs
        }
      }
    EXPECT_EQ(lit, expected) << "code " << code;
  }
  // Rows past the six used ones are empty.
  EXPECT_EQ(sheet.meanAlpha(0, 96, 256, 256), 0.0f);
}

TEST(TextureData, NoiseIsAFaintTileOfVaryingGrain) {
  Picture noise("tex2d_noise.png");
  ASSERT_EQ(noise.width, 128);
  ASSERT_EQ(noise.height, 128);
  const float mean = noise.meanAlpha(0, 0, 128, 128);
  EXPECT_GT(mean, 0.03f);
  EXPECT_LT(mean, 0.3f);
  int dark = 0, light = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      dark += noise.at(x, y)[0] < 64;
      light += noise.at(x, y)[0] > 192;
    }
  EXPECT_GT(dark, 500);
  EXPECT_GT(light, 500);
}

TEST(TextureData, FramesAreOpenInTheMiddleAndSolidAtTheRim) {
  Picture dark("tex2d_moldura.png"), light("tex2d_moldura2.png");
  for (const Picture* frame : {&dark, &light}) {
    ASSERT_EQ(frame->width, 512);
    EXPECT_LT(frame->meanAlpha(200, 200, 312, 312), 0.02f);
    EXPECT_GT(frame->meanAlpha(0, 0, 512, 6), 0.97f);
    EXPECT_GT(frame->meanAlpha(0, 0, 6, 512), 0.97f);
    // Rounded corners: the corner of the opening is covered further in than its edges.
    EXPECT_GT(frame->at(24, 24)[3], frame->at(256, 24)[3]);
  }
  EXPECT_GT(light.at(3, 256)[0], dark.at(3, 256)[0] + 100) << "the second frame is the light one";
}

TEST(TextureData, ParticlesFadeToNothingAtTheirRims) {
  for (const char* file : {"tex_particle_1.png", "tex_particle_2.png"}) {
    Picture p(file);
    ASSERT_EQ(p.width, 64) << file;
    const unsigned char* centre = p.at(32, 32);
    EXPECT_GT(centre[3], 200) << file;
    for (int i = 0; i < 64; ++i) {
      EXPECT_LT(p.at(i, 0)[3], 8) << file;
      EXPECT_LT(p.at(0, i)[3], 8) << file;
    }
  }
  // The additive dot also fades its colour, so adding it leaves no square.
  Picture dot("tex_particle_1.png");
  EXPECT_LT(dot.at(0, 0)[0], 8);
}

TEST(TextureData, LogoShowsInTheVisibleTopOfItsQuad) {
  Picture logo("tex2d_logo.png");
  ASSERT_EQ(logo.width, 256);
  ASSERT_EQ(logo.height, 256);
  // The configuration screen shows only rows 0..119 of it.
  EXPECT_GT(logo.meanAlpha(20, 20, 150, 100), 0.15f);
  EXPECT_LT(logo.meanAlpha(0, 120, 256, 256), 0.01f);
  // The word itself is hot: near-white pixels in its area.
  int hot = 0;
  for (int y = 20; y < 100; ++y)
    for (int x = 20; x < 150; ++x) hot += logo.at(x, y)[2] > 160 && logo.at(x, y)[3] > 200;
  EXPECT_GT(hot, 300);
}

TEST(TextureData, TrainFillsThePartOfThePictureThatShows) {
  Picture train("tex2d_train.png");
  ASSERT_EQ(train.width, 512);
  // Drawn at 450 x 450 from x 258: only u < 0.85 reaches the screen.
  EXPECT_GT(train.meanAlpha(40, 150, 400, 330), 0.4f);
  EXPECT_LT(train.meanAlpha(440, 0, 512, 512), 0.05f);
  EXPECT_LT(train.meanAlpha(0, 0, 512, 80), 0.02f) << "transparent sky";
  // The headlights are the brightest thing in it.
  int bright = 0;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) bright += train.at(x, y)[0] > 250 && train.at(x, y)[1] > 230 && train.at(x, y)[3] > 250;
  EXPECT_GT(bright, 20);
}

// ---------------------------------------------------------------------------
// Shader files.

struct ShaderFile {
  const char* file;
  bool sceneLayout;  // draws scene models (else the 2D shapes' vertices)
  const char* vertexParameter;  // a parameter the vertex stage must declare
  const char* pixelParameter;   // one only the pixel stage declares
};

class ShaderFiles : public ::testing::TestWithParam<ShaderFile> {};

TEST_P(ShaderFiles, ReadIntoBothStagesWithTheLayoutOfWhatTheyDraw) {
  const ShaderFile& s = GetParam();
  VertexProfile profile;
  std::vector<char> vs(SHADER_TEXT_SIZE, 0), ps(SHADER_TEXT_SIZE, 0);
  ASSERT_TRUE(readShaderSource(dataPath(std::string("shaders/") + s.file).c_str(), &profile, vs.data(), ps.data()));
  const std::string vertex(vs.data()), pixel(ps.data());
  EXPECT_NE(vertex.find("main"), std::string::npos);
  EXPECT_NE(pixel.find("main"), std::string::npos);
  EXPECT_LT(vertex.size(), SHADER_TEXT_SIZE - 1);
  EXPECT_LT(pixel.size(), SHADER_TEXT_SIZE - 1);
  // Comments and the header text are gone.
  EXPECT_EQ(vertex.find("//"), std::string::npos);
  ASSERT_EQ(profile.count, 4);
  struct Element {
    int offset, components, usage, index;
  };
  const Element scene[4] = {{0, 3, 1, 0}, {12, 3, 2, 0}, {24, 2, 4, 0}, {32, 2, 4, 1}};
  const Element shapes[4] = {{0, 3, 1, 0}, {12, 3, 2, 0}, {24, 4, 8, 0}, {28, 2, 4, 0}};
  const Element* want = s.sceneLayout ? scene : shapes;
  EXPECT_EQ(profile.stride, s.sceneLayout ? 40 : 36);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(profile.elements[i].offset, want[i].offset) << i;
    EXPECT_EQ(profile.elements[i].components, want[i].components) << i;
    EXPECT_EQ(profile.elements[i].usage, want[i].usage) << i;
    EXPECT_EQ(profile.elements[i].usageIndex, want[i].index) << i;
  }
  // A parameter set by name reaches the vertex constants when the vertex
  // stage declares it, and the pixel constants only when it does not.
  if (s.vertexParameter) {
    EXPECT_NE(vertex.find(std::string("float4 ") + s.vertexParameter), std::string::npos);
    EXPECT_EQ(pixel.find(s.vertexParameter), std::string::npos);
  }
  if (s.pixelParameter) {
    EXPECT_NE(pixel.find(std::string("float4 ") + s.pixelParameter), std::string::npos);
    EXPECT_EQ(vertex.find(s.pixelParameter), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(DemoData, ShaderFiles,
                         ::testing::Values(ShaderFile{"simple_shading.nsl", true, "mat_diffuse", nullptr},
                                           ShaderFile{"filler.nsl", true, "auxiliar", nullptr},
                                           ShaderFile{"filler2.nsl", true, "auxiliar", nullptr},
                                           ShaderFile{"filler_loading.nsl", true, "auxiliar", nullptr},
                                           ShaderFile{"bloom_pass.nsl", false, nullptr, "direction"}),
                         [](const ::testing::TestParamInfo<ShaderFile>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

TEST_P(ShaderFiles, CompileForShaderModelTwoWithMatchingStages) {
  const ShaderFile& s = GetParam();
  VertexProfile profile;
  std::vector<char> vs(SHADER_TEXT_SIZE, 0), ps(SHADER_TEXT_SIZE, 0);
  ASSERT_TRUE(readShaderSource(dataPath(std::string("shaders/") + s.file).c_str(), &profile, vs.data(), ps.data()));
  const hlsl::CompileResult vertex = hlsl::compile(vs.data(), "main", "vs_2_0");
  const hlsl::CompileResult pixel = hlsl::compile(ps.data(), "main", "ps_2_0");
  ASSERT_TRUE(vertex.ok) << vertex.messages;
  ASSERT_TRUE(pixel.ok) << pixel.messages;
  // Every varying the pixel stage reads is written by the vertex stage.
  for (const hlsl::Varying& in : pixel.program.inputs) {
    bool written = false;
    for (const hlsl::Varying& out : vertex.program.outputs) written |= out.semantic == in.semantic;
    EXPECT_TRUE(written) << s.file << ": " << in.semantic;
  }
  // Every vertex input is one the profile provides.
  for (const hlsl::Varying& in : vertex.program.inputs) {
    bool provided = false;
    for (const VertexProfileElement& e : profile.elements) {
      const std::string semantic = e.usage == 1 ? "POSITION" : e.usage == 2 ? "NORMAL" : e.usage == 4 ? "TEXCOORD" : "COLOR";
      provided |= in.semantic == semantic + std::to_string(e.usageIndex);
    }
    EXPECT_TRUE(provided) << s.file << ": " << in.semantic;
  }
  // The transform comes from the constant the programs set.
  auto declares = [](const hlsl::Program& p, const std::string& name) {
    for (const hlsl::Constant& c : p.constants)
      if (c.name == name) return true;
    return false;
  };
  EXPECT_TRUE(declares(vertex.program, "mvp"));
  if (s.vertexParameter) {
    EXPECT_TRUE(declares(vertex.program, s.vertexParameter));
  }
  if (s.pixelParameter) {
    EXPECT_TRUE(declares(pixel.program, s.pixelParameter));
    EXPECT_FALSE(declares(vertex.program, s.pixelParameter));
  }
}
