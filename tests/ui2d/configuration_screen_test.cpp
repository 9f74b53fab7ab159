// The configuration screen in this process: its window and device, the
// widgets driven by a scripted pointer, what it draws, and a picture of it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32_vorn.h"
#include "scene/scene.h"
#include "scene/scene_file.h"
#include "scene/texture.h"
#include "ui2d/configuration_screen.h"
#include "ui2d/headless_device.h"
#include "ui2d/test_images.h"

namespace fs = std::filesystem;

namespace {

// A flat square model of side 2 in the z = 0 plane (position only).
scenefile::ModelRecord squareModel() {
  scenefile::ModelRecord model;
  model.name = "Square";
  model.elements.push_back(scenefile::Element{3, 1, 0, 0});
  const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  model.vertexCount = 4;
  model.vertexData.resize(sizeof corners);
  std::memcpy(model.vertexData.data(), corners, sizeof corners);
  scenefile::Subset subset;
  subset.materialIndex = 0;
  subset.indices = {0, 1, 2, 0, 2, 3};
  model.subsets.push_back(subset);
  return model;
}

// intro.nc for the tests: a camera 60 units up the z axis looking at the
// origin and six squares "P1".."P6" (scaled by 3) in a row above the centre.
void writeIntroScene(const std::string& path, bool withCamera) {
  scenefile::SceneRecord scene;
  scenefile::MaterialRecord material;
  material.name = "Gear";
  scene.materials.push_back(material);
  scene.models.push_back(squareModel());
  if (withCamera) {
    scene.cameras.push_back(scenefile::CameraRecord{"Camera", 0});
    scenefile::NodeRecord camera;
    camera.name = "CameraNode";
    camera.position = Vec3{0, 0, 60};
    camera.flags = NODE_CAMERA;
    camera.cameraIndex = 0;
    scene.nodes.push_back(camera);
  }
  for (int i = 0; i < 6; ++i) {
    scenefile::NodeRecord node;
    node.name = "P" + std::to_string(i + 1);
    node.position = Vec3{-25.0f + 10.0f * i, 10.0f, 0.0f};
    node.scale = Vec3{3, 3, 3};
    node.flags = NODE_MODEL;
    node.modelIndex = 0;
    scene.nodes.push_back(node);
  }
  ASSERT_TRUE(scenefile::writeSceneFile(path, scene));
}

// A logo of solid red.
void writeLogo(const std::string& path) {
  std::vector<std::uint8_t> rgba(256 * 256 * 4);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = 255;
    rgba[i + 1] = 0;
    rgba[i + 2] = 0;
    rgba[i + 3] = 255;
  }
  ASSERT_TRUE(writeTestPng(path, 256, 256, rgba));
}

struct ScriptedPointer {
  WidgetPointer state{-100, -100, 0};
  static WidgetPointer read(const WidgetContext&, void* user) { return static_cast<ScriptedPointer*>(user)->state; }
};

class ConfigurationScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    dir_ = makeTempDirectory("vorn-config");
    fs::create_directories(fs::path(dir_) / "textures");
    fs::create_directories(fs::path(dir_) / "models");
    fs::current_path(dir_);
  }
  void TearDown() override {
    if (screen) {
      screen->destroy();
      delete screen;
      screen = nullptr;
    }
    VornWin32_Reset();
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  void writeData(bool withCamera = true) {
    ASSERT_TRUE(writeTestPng("textures/fnt_04b08.png", 256, 256, glyphSheet("")));
    writeLogo("textures/tex2d_logo.png");
    writeIntroScene("models/intro.nc", withCamera);
  }

  void open() {
    screen = ConfigurationScreen::create();
    ASSERT_NE(screen, nullptr);
    screen->widgets.pointerSource = &ScriptedPointer::read;
    screen->widgets.pointerUser = &pointer;
  }

  // One pass of the screen's loop without the message pump; the picture can
  // be read back before it is presented.
  ScreenAction frame(bool readBack = false) {
    currentWindow = screen->framework->window;
    const ScreenAction action = screen->drawFrame();
    if (readBack) {
      EXPECT_TRUE(VornD3D_ReadPixels(screen->framework->graphicsDevice->device, &rgba, &width, &height));
    }
    if (action == ScreenAction::Continue) screen->framework->graphicsDevice->endFrame();
    EndWidgetFrame(screen->widgets);
    return action;
  }

  ScreenAction click(int x, int y) {
    pointer.state = WidgetPointer{x, y, 0};
    frame();
    pointer.state.leftButton = 1;
    frame();
    pointer.state.leftButton = 0;
    return frame();
  }

  Pixel at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return Pixel{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }

  ConfigurationScreen* screen = nullptr;
  ScriptedPointer pointer;
  std::vector<std::uint8_t> rgba;
  int width = 0, height = 0;

 private:
  fs::path previous_;
  std::string dir_;
};

TEST_F(ConfigurationScreenTest, OpensItsOwnWindowAndDevice) {
  writeData();
  open();
  EXPECT_EQ(screen->framework->window->title, "Configuration");
  EXPECT_EQ(screen->framework->window->clientWidth, 350);
  EXPECT_EQ(screen->framework->window->clientHeight, 290);
  int w = 0, h = 0;
  VornWin32_ClientSize(screen->framework->window->handle, &w, &h);
  EXPECT_EQ(w, 350);
  EXPECT_EQ(h, 290);
  EXPECT_EQ(g_graphicsDevice, screen->framework->graphicsDevice);
  EXPECT_EQ(clearColorWord(g_graphicsDevice->clearColor), D3DCOLOR_ARGB(255, 115, 115, 115));
  EXPECT_EQ(g_graphicsDevice->defaultMinFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  ASSERT_NE(screen->fontTexture, nullptr);
  EXPECT_NE(screen->fontTexture->resource, nullptr);
  EXPECT_EQ(screen->font.texture, screen->fontTexture);
  EXPECT_EQ(screen->font.glyphSize, 16.0f);
  EXPECT_EQ(screen->font.advanceDivisor, 2.0f);
  EXPECT_NE(screen->logo->resource, nullptr);
  EXPECT_NE(screen->scene->findNode("P6"), nullptr);

  const DisplaySettings s = screen->settings();
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.aspectRatio, 1.3333334f);
  EXPECT_TRUE(s.fullscreen);
  EXPECT_EQ(s.multisample, 0);
}

TEST_F(ConfigurationScreenTest, WidgetsChangeTheSelections) {
  writeData();
  open();
  EXPECT_EQ(click(50, 215), ScreenAction::Continue);  // full screen off
  click(200, 215);                                    // 800x600
  click(100, 235);                                    // 5/4
  click(100, 255);                                    // 2x
  click(100, 255);                                    // 4x
  const DisplaySettings s = screen->settings();
  EXPECT_FALSE(s.fullscreen);
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  EXPECT_EQ(s.aspectRatio, 1.25f);
  EXPECT_EQ(s.multisample, 4);
  click(100, 235);  // wraps to 16/9
  EXPECT_EQ(screen->settings().aspectRatio, 1.7777778f);
}

TEST_F(ConfigurationScreenTest, RunAndExitEndThePass) {
  writeData();
  open();
  EXPECT_EQ(click(295, 275), ScreenAction::Run);
  EXPECT_EQ(click(55, 275), ScreenAction::Exit);
  EXPECT_EQ(click(175, 275), ScreenAction::Continue);  // between the buttons
}

TEST_F(ConfigurationScreenTest, DrawsSceneLogoAndWidgets) {
  writeData();
  open();
  pointer.state = WidgetPointer{-100, -100, 0};
  frame(true);
  ASSERT_EQ(width, 350);
  ASSERT_EQ(height, 290);
  EXPECT_TRUE(PixelNear(at(20, 150), 0, 0, 0));       // black 3D area
  EXPECT_TRUE(PixelNear(at(200, 150), 255, 0, 0));    // the logo over it
  EXPECT_TRUE(PixelNear(at(200, 199), 255, 0, 0));    // cut at the area's edge
  EXPECT_TRUE(PixelNear(at(200, 287), 115, 115, 115));  // grey below the buttons
  EXPECT_TRUE(PixelNear(at(175, 275), 115, 115, 115));  // between the buttons
  // A gear square above the centre: additive white on black.
  EXPECT_GT(at(200, 49).r, 200);
  EXPECT_GT(at(200, 49).g, 200);
  // The "Run" label in near-black on the button body.
  EXPECT_LT(at(295, 275).r, 10);
  // The button body: the base grey running to the dark grey.
  const Pixel body = at(255, 270);
  EXPECT_GT(body.r, 110);
  EXPECT_LT(body.r, 135);
}

TEST_F(ConfigurationScreenTest, PressedLooksDiffer) {
  writeData();
  open();
  pointer.state = WidgetPointer{255, 270, 0};
  frame(true);
  const Pixel hovered = at(258, 279);
  pointer.state.leftButton = 1;
  frame(true);
  const Pixel pressed = at(258, 279);
  // Pressed bodies run from dark to base, with the highlight at the bottom.
  EXPECT_GT(pressed.r, hovered.r);
}

TEST_F(ConfigurationScreenTest, MissingCameraStillDrawsTheRest) {
  writeData(false);
  open();
  frame(true);
  EXPECT_TRUE(PixelNear(at(200, 49), 0, 0, 0));
  EXPECT_TRUE(PixelNear(at(200, 150), 255, 0, 0));
  EXPECT_EQ(click(295, 275), ScreenAction::Run);
}

TEST_F(ConfigurationScreenTest, MissingDataFilesStillGiveAWorkingScreen) {
  open();
  EXPECT_EQ(screen->logo->resource, nullptr);
  EXPECT_EQ(screen->fontTexture->resource, nullptr);
  EXPECT_TRUE(screen->scene->nodes.empty());
  frame(true);
  EXPECT_TRUE(PixelNear(at(20, 150), 0, 0, 0));
  EXPECT_TRUE(PixelNear(at(200, 150), 255, 255, 255));  // the logo quad, untextured
  click(50, 215);
  EXPECT_EQ(screen->fullscreen, 0);
  screen->destroy();
  screen->destroy();  // a second destruction does nothing
  EXPECT_EQ(screen->framework, nullptr);
  EXPECT_EQ(screen->scene, nullptr);
}

// The screen with the demo's own data, saved as a picture for the docs.
TEST(ConfigurationScreenPicture, WithTheDemoData) {
  const fs::path data = VORN_DATA_DIR;
  if (!fs::exists(data / "models" / "intro.nc") || !fs::exists(data / "textures" / "tex2d_logo.png"))
    GTEST_SKIP() << "the demo data has not been built";
  const fs::path previous = fs::current_path();
  fs::current_path(data);
  ConfigurationScreen* screen = ConfigurationScreen::create();
  ScriptedPointer pointer;
  pointer.state = WidgetPointer{295, 275, 0};  // resting over "Run"
  screen->widgets.pointerSource = &ScriptedPointer::read;
  screen->widgets.pointerUser = &pointer;
  std::vector<std::uint8_t> rgba;
  int width = 0, height = 0;
  for (int i = 0; i < 240; ++i) {
    currentWindow = screen->framework->window;
    ASSERT_EQ(screen->drawFrame(), ScreenAction::Continue);
    if (i == 239) {
      ASSERT_TRUE(VornD3D_ReadPixels(screen->framework->graphicsDevice->device, &rgba, &width, &height));
    }
    screen->framework->graphicsDevice->endFrame();
    EndWidgetFrame(screen->widgets);
  }
  screen->destroy();
  delete screen;
  VornWin32_Reset();
  fs::current_path(previous);

  ASSERT_EQ(width, 350);
  ASSERT_EQ(height, 290);
  // Something lit in the scene area, the grey widget area below.
  int lit = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 350; ++x) lit += rgba[(y * 350 + x) * 4] > 60 ? 1 : 0;
  EXPECT_GT(lit, 2000);
  const std::size_t grey = (287 * 350 + 200) * 4;
  EXPECT_NEAR(rgba[grey], 115, 2);
  EXPECT_TRUE(writeTestPng(std::string(VORN_BINARY_DIR) + "/config-screen.png", width, height, rgba));
}

}  // namespace
