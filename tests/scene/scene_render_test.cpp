// A whole scene drawn headless: a camera node, a quad drawn by a shader
// program with its material colour, a textured fixed-function quad on an
// animated node. Pixels are checked where each object must appear.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>
#pragma GCC diagnostic pop

#include "graphics/transforms.h"
#include "hlsl/bytecode_check.h"
#include "scene_device.h"
#include "scene_test_support.h"
#include "shader/shader_program.h"

using namespace scenetest;

namespace {

const char* kFlatShader = R"(A quad coloured by its material's diffuse colour.

#preprocessor commands
#define POSITION 1
#define TEXCOORD 4
VertexProfileCreate(2)
VertexProfileSet(0,0,3,POSITION,0)
VertexProfileSet(1,12,2,TEXCOORD,0)
#end

#preprocessor HLSL_VS
float4x4 mvp;
float4 mat_diffuse;

struct VS_OUTPUT {
    float4 position : POSITION;
    float4 color : COLOR0;
};

VS_OUTPUT main(float3 position : POSITION)
{
    VS_OUTPUT output;
    output.position = mul(float4(position, 1.0), mvp);
    output.color = mat_diffuse;
    return output;
}
#end

#preprocessor HLSL_PS
float4 main(float4 color : COLOR0) : COLOR
{
    return color;
}
#end
)";

struct Rgb {
  int r, g, b;
};

class SceneRender : public SceneDeviceTest {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::path(::testing::TempDir()) / "vorn_scene_render";
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "textures");
    std::filesystem::create_directories(dir_ / "shaders");
    std::filesystem::create_directories(dir_ / "models");
    std::filesystem::current_path(dir_);
    SceneDeviceTest::SetUp();
  }
  void TearDown() override {
    SceneDeviceTest::TearDown();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }

  bool readBack() { return VornD3D_ReadPixels(device, &rgba_, &readWidth_, &readHeight_); }
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * readWidth_ + x) * 4;
    return {rgba_[i], rgba_[i + 1], rgba_[i + 2]};
  }
  // Where a point at depth 0 lands for the camera below (eye at z = 10,
  // 60 degree vertical field of view).
  int screenX(float x) const { return int(width / 2.0f + x / (10 * std::tan(0.5236f)) * (height / 2.0f)); }
  int screenY(float y) const { return int(height / 2.0f - y / (10 * std::tan(0.5236f)) * (height / 2.0f)); }

  void drawFrame(Scene& scene, float time) {
    scene.animate(time);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    setupCamera(float(width) / float(height), 60.0f, 1.0f, 100.0f);
    Camera* camera = scene.findCamera("eye");
    ASSERT_NE(camera, nullptr);
    camera->apply();
    scene.draw();
    ASSERT_TRUE(readBack());
  }

  std::filesystem::path previous_, dir_;
  std::vector<std::uint8_t> rgba_;
  int readWidth_ = 0, readHeight_ = 0;
};

::testing::AssertionResult near(Rgb p, int r, int g, int b) {
  if (std::abs(p.r - r) <= 8 && std::abs(p.g - g) <= 8 && std::abs(p.b - b) <= 8)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << p.r << ", " << p.g << ", " << p.b << ") expected (" << r
                                       << ", " << g << ", " << b << ")";
}

}  // namespace

TEST_F(SceneRender, ProgramAndTexturedMaterialsOnAnAnimatedScene) {
  // A 2 x 2 solid blue image for the fixed-function material.
  const std::uint8_t blue[2 * 2 * 4] = {0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255};
  ASSERT_NE(stbi_write_png("textures/blue.png", 2, 2, 4, blue, 8), 0);
  { std::ofstream("shaders/flat.nsl") << kFlatShader; }
  EXPECT_EQ(hlsltest::shaderFileErrors("shaders/flat.nsl"), "");

  scenefile::SceneRecord r;
  r.textures = {"blue.png"};
  r.materials.push_back({"shaded", {1, 1, 1, 1}, 0, {}});
  r.materials.push_back({"pictured", {1, 1, 1, 1}, 0, {0}});
  r.models.push_back(quadModel("left", -3, -1, -1, 1, 0, 0));
  r.models.push_back(quadModel("right", -1, -1, 1, 1, 0, 1));
  r.cameras.push_back({"eye", 0});
  scenefile::NodeRecord eye;
  eye.name = "eye-node";
  eye.flags = NODE_CAMERA;
  eye.position = {0, 0, 10};
  scenefile::NodeRecord left;
  left.name = "left";
  left.flags = NODE_MODEL;
  left.modelIndex = 0;
  scenefile::NodeRecord mover;
  mover.name = "mover";
  mover.flags = NODE_MODEL | NODE_ANIMATED;
  mover.modelIndex = 1;
  mover.keys = {key(0, {2, 0, 0}), key(1, {2, 3, 0})};
  r.nodes = {eye, left, mover};
  ASSERT_TRUE(scenefile::writeSceneFile("models/test.nc", r));

  Scene* scene = Scene::load("test.nc");
  ASSERT_EQ(scene->nodes.size(), 3u);
  ASSERT_NE(scene->textures.front()->resource, nullptr) << "the PNG did not load";
  EXPECT_EQ(scene->textures.front()->name, "textures\\blue.png");
  ShaderProgram* program = ShaderProgram::load("shaders\\flat.nsl");
  ASSERT_NE(program, nullptr);
  ASSERT_NE(program->vertexShader, nullptr);
  ASSERT_NE(program->pixelShader, nullptr);
  Material* shaded = scene->findMaterial("shaded");
  shaded->flags = MAT_PROGRAM;
  shaded->program = program;
  shaded->diffuse = {0, 1, 0, 1};

  drawFrame(*scene, 0.0f);
  // The programmed quad is green from its material colour; the textured one
  // sits at x 1..3 at time 0 and shows its image.
  EXPECT_TRUE(near(at(screenX(-2), screenY(0)), 0, 255, 0));
  EXPECT_TRUE(near(at(screenX(2), screenY(0)), 0, 0, 255));
  EXPECT_TRUE(near(at(screenX(0), screenY(0)), 0, 0, 0));
  EXPECT_TRUE(near(at(screenX(2), screenY(3)), 0, 0, 0));
  // Every node popped what it pushed.
  EXPECT_EQ(graphics->transformStack->entries.size(), 0u);

  // At time 1 the animated node has moved up by 3.
  drawFrame(*scene, 1.0f);
  EXPECT_TRUE(near(at(screenX(2), screenY(3)), 0, 0, 255));
  EXPECT_TRUE(near(at(screenX(2), screenY(0)), 0, 0, 0));
  EXPECT_TRUE(near(at(screenX(-2), screenY(0)), 0, 255, 0));

  // A material colour changed between frames shows in the next frame.
  shaded->diffuse = {1, 0, 0, 1};
  drawFrame(*scene, 1.0f);
  EXPECT_TRUE(near(at(screenX(-2), screenY(0)), 255, 0, 0));

  // Without its program the same material draws fixed-function: the quad has
  // no texture and no vertex colour, so it comes out white.
  shaded->program = nullptr;
  drawFrame(*scene, 1.0f);
  EXPECT_TRUE(near(at(screenX(-2), screenY(0)), 255, 255, 255));

  ShaderProgram::release(program);
  delete program;
  scene->destroy();
  delete scene;
}
