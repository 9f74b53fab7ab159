// The loading phase on a headless device: the progress values it draws, what
// it fills in with and without the data files, and what releasing leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "ui2d/headless_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "runtime/demo_resources.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/texture.h"
#include "show/show_support.h"

namespace {

using showtest::EmptyFolder;
using showtest::WorkingDirectory;

// Every pointer of the record with its field name, for the checks after
// loading and releasing.
std::vector<std::pair<const char*, const void*>> ownedPointers(const DemoResources& r) {
  return {{"filler2Shader", r.filler2Shader},
          {"fillerShader", r.fillerShader},
          {"bloomShader", r.bloomShader},
          {"simpleShadingShader", r.simpleShadingShader},
          {"scene1", r.scene1},
          {"scene2", r.scene2},
          {"scene3", r.scene3},
          {"sceneGuiTunel", r.sceneGuiTunel},
          {"sceneComboiosTunel", r.sceneComboiosTunel},
          {"sceneInicio", r.sceneInicio},
          {"sceneCredits", r.sceneCredits},
          {"scene3Sky", r.scene3Sky},
          {"scene3Greets", r.scene3Greets},
          {"sceneFinal", r.sceneFinal},
          {"sceneFita", r.sceneFita},
          {"sceneSkyFinal", r.sceneSkyFinal},
          {"sceneGuiFinal", r.sceneGuiFinal},
          {"renderTargetA", r.renderTargetA},
          {"renderTargetB", r.renderTargetB},
          {"renderTargetC", r.renderTargetC},
          {"fitaTexture", r.fitaTexture},
          {"fitaRenderTarget", r.fitaRenderTarget},
          {"frameTexture", r.frameTexture},
          {"noiseTexture", r.noiseTexture},
          {"frameTexture2", r.frameTexture2},
          {"trainTexture", r.trainTexture},
          {"particleTexture1", r.particleTexture1},
          {"particleTexture2", r.particleTexture2},
          {"cubeTree.root", r.cubeTree.root},
          {"cubeTree.levels", r.cubeTree.levels}};
}

void expectAllReleased(const DemoResources& r) {
  for (const auto& [name, pointer] : ownedPointers(r)) EXPECT_EQ(pointer, nullptr) << name << " left after release";
  EXPECT_EQ(r.cubeTree.levelCount, 0);
}

// The progress screen's sequence: five steps between groups of loads, then
// the bar sweeping from half to (just under) full in steps of 1/120.
void expectProgressSequence(const std::vector<float>& seen) {
  ASSERT_EQ(seen.size(), 66u);
  const float steps[5] = {0.1f, 0.2f, 0.3f, 0.35f, 0.4f};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(seen[i], steps[i]) << "step " << i;
  EXPECT_EQ(seen[5], 0.5f);
  for (std::size_t i = 6; i < seen.size(); ++i) {
    EXPECT_NEAR(seen[i] - seen[i - 1], 1.0 / 120.0, 1e-6) << "frame " << i;
    EXPECT_LT(seen[i], 1.0f);
  }
  EXPECT_NEAR(seen.back(), 0.9999995f, 2e-7);
}

// Every file named at the start of exactly one line, and no other lines.
void expectOneLineEach(const std::string& messages, const std::vector<std::string>& files) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < messages.size(); start = end + 1) {
    end = messages.find('\n', start);
    if (end == std::string::npos) end = messages.size();
    lines.push_back(messages.substr(start, end - start));
  }
  for (const std::string& file : files) {
    const auto naming = std::count_if(lines.begin(), lines.end(),
                                      [&](const std::string& line) { return line.rfind(file + ": ", 0) == 0; });
    EXPECT_EQ(naming, 1) << file << " in:\n" << messages;
  }
  EXPECT_EQ(lines.size(), files.size()) << messages;
}

class LoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OPEN_HEADLESS(device, 160, 120);
    resources.aspectRatio = 4.0f / 3.0f;
    resources.framework = device.framework();
    setLoadingProgressObserver([this](float p) { progress.push_back(p); });
  }
  void TearDown() override {
    setLoadingProgressObserver(nullptr);
    releaseDemoResources(&resources);
    device.close();
  }

  HeadlessDevice device;
  DemoResources resources;
  std::vector<float> progress;
};

TEST_F(LoadingTest, WithoutDataFilesEverythingIsSkippedAndReported) {
  EmptyFolder folder;
  ASSERT_FALSE(folder.path().empty());
  WorkingDirectory inside(folder.path());

  ::testing::internal::CaptureStderr();
  loadDemoResources(&resources);
  const std::string messages = ::testing::internal::GetCapturedStderr();

  expectProgressSequence(progress);
  // Each missing file gets one line naming it, and nothing else is said
  // (the names looked up in the empty scenes have no file to blame).
  std::vector<std::string> files = {"models/loading_zel.compound", "shaders/filler_loading.nsl"};
  for (const char* scene : {"scene_1", "scene_2", "scene_3", "scene_fita", "scene_final", "scene_sky_final",
                            "scene_gui_final", "scene_comboios_tunel", "scene_gui_tunel", "scene_3_sky",
                            "scene_3_greets", "scene_inicio", "scene_credits"}) {
    files.push_back(std::string("models/") + scene + ".nc");
  }
  for (const char* shader : {"filler2", "filler", "simple_shading", "bloom_pass"}) {
    files.push_back(std::string("shaders/") + shader + ".nsl");
  }
  for (const char* texture : {"tex2d_noise", "tex2d_moldura", "tex2d_moldura2", "tex2d_train", "tex_particle_1",
                              "tex_particle_2"}) {
    files.push_back(std::string("textures/") + texture + ".png");
  }
  expectOneLineEach(messages, files);
  // Loaders hand back what they made: empty scenes, no programs, textures
  // without pictures, render targets (the device exists).
  ASSERT_NE(resources.scene1, nullptr);
  EXPECT_TRUE(resources.scene1->materials.empty());
  EXPECT_EQ(resources.fillerShader, nullptr);
  EXPECT_EQ(resources.bloomShader, nullptr);
  ASSERT_NE(resources.noiseTexture, nullptr);
  EXPECT_EQ(resources.noiseTexture->resource, nullptr);
  EXPECT_NE(resources.renderTargetA, nullptr);
  ASSERT_NE(resources.fitaTexture, nullptr);
  EXPECT_EQ(resources.fitaTexture->resource, resources.fitaRenderTarget);
  ASSERT_EQ(resources.cubeTree.levelCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(resources.cubeTree.levels[i].node, nullptr);

  releaseDemoResources(&resources);
  expectAllReleased(resources);
  // Releasing an already released record is harmless.
  releaseDemoResources(&resources);
  expectAllReleased(resources);
}

TEST_F(LoadingTest, DamagedDataFilesAreEachReportedOnce) {
  SKIP_WITHOUT_DATA();
  EmptyFolder folder;
  ASSERT_FALSE(folder.path().empty());
  namespace fs = std::filesystem;
  for (const char* part : {"models", "shaders", "textures"}) {
    fs::copy(showtest::dataDir() / part, folder.path() / part, fs::copy_options::recursive);
  }
  const auto cut = [&](const char* file) {
    const fs::path path = folder.path() / file;
    fs::resize_file(path, fs::file_size(path) / 2);
  };
  cut("shaders/bloom_pass.nsl");    // its last section left open
  cut("textures/tex2d_train.png");  // a PNG without its end
  cut("models/scene_2.nc");         // a scene that ends early
  fs::remove(folder.path() / "textures" / "tex_particle_1.png");
  WorkingDirectory inside(folder.path());

  ::testing::internal::CaptureStderr();
  loadDemoResources(&resources);
  const std::string messages = ::testing::internal::GetCapturedStderr();
  expectOneLineEach(messages, {"shaders/bloom_pass.nsl", "textures/tex2d_train.png", "models/scene_2.nc",
                               "textures/tex_particle_1.png"});
  // The show goes on with what it got.
  EXPECT_NE(resources.fillerShader, nullptr);
  EXPECT_EQ(resources.trainTexture->resource, nullptr);
  EXPECT_TRUE(resources.scene2->materials.empty());
  EXPECT_FALSE(resources.scene1->materials.empty());
}

TEST_F(LoadingTest, WithoutADeviceNothingIsLoaded) {
  GraphicsDevice* saved = g_graphicsDevice;
  g_graphicsDevice = nullptr;
  loadDemoResources(&resources);
  g_graphicsDevice = saved;
  EXPECT_TRUE(progress.empty());
  expectAllReleased(resources);
}

TEST_F(LoadingTest, RealDataIsConfiguredAsTheShowNeedsIt) {
  SKIP_WITHOUT_DATA();
  WorkingDirectory inside(showtest::dataDir());
  loadDemoResources(&resources);
  DemoResources& r = resources;

  expectProgressSequence(progress);
  for (const auto& [name, pointer] : ownedPointers(r)) EXPECT_NE(pointer, nullptr) << name << " not loaded";
  ASSERT_NE(r.simpleShadingShader, nullptr);

  Material* metal = r.scene1->findMaterial("Metal");
  ASSERT_NE(metal, nullptr);
  EXPECT_EQ(metal->program, r.simpleShadingShader);
  EXPECT_EQ(metal->flags, 5u);
  EXPECT_EQ(metal->blendMode, 2u);

  Material* filler = r.scene3->findMaterial("Filler");
  ASSERT_NE(filler, nullptr);
  EXPECT_EQ(filler->program, r.fillerShader);

  Material* title = r.sceneInicio->findMaterial("Metal");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->blendMode, 3u);
  EXPECT_EQ(title->flags, 5u);

  Material* credits = r.sceneCredits->findMaterial("Material.001");
  ASSERT_NE(credits, nullptr);
  EXPECT_EQ(credits->flags, 4u);
  EXPECT_EQ(credits->blendMode, 1u);
  EXPECT_EQ(credits->program, nullptr);

  for (const char* name : {"Material", "Material.001", "Material.002", "Material.003", "Material.004"}) {
    Material* m = r.sceneFinal->findMaterial(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_EQ(m->flags, 1u) << name;
    EXPECT_EQ(m->program, r.simpleShadingShader) << name;
    EXPECT_FLOAT_EQ(m->ambient.r, 0.7f) << name;
    EXPECT_FLOAT_EQ(m->ambient.b, 0.7f) << name;
    EXPECT_FLOAT_EQ(m->ambient.a, 1.0f) << name;
  }

  Material* yard = r.scene2->findMaterial("Material");
  ASSERT_NE(yard, nullptr);
  EXPECT_FLOAT_EQ(yard->ambient.g, 0.4f);
  EXPECT_FLOAT_EQ(yard->ambient.a, 1.0f);
  EXPECT_FLOAT_EQ(yard->diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(yard->diffuse.g, 1.0f);
  EXPECT_EQ(yard->blendMode, 2u);

  Material* rotater = r.sceneGuiFinal->findMaterial("Rotater");
  ASSERT_NE(rotater, nullptr);
  EXPECT_EQ(rotater->program, r.simpleShadingShader);
  Material* guiFiller = r.sceneGuiFinal->findMaterial("Filler");
  ASSERT_NE(guiFiller, nullptr);
  EXPECT_EQ(guiFiller->program, r.filler2Shader);
  for (const char* name : {"Dark", "Blue", "Yellow", "Rain"}) {
    Material* m = r.sceneGuiTunel->findMaterial(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_EQ(m->flags, 5u) << name;
  }

  // The strip's material ends with the picture of the yard.
  Material* fita = r.sceneFita->findMaterial("Fita");
  ASSERT_NE(fita, nullptr);
  ASSERT_FALSE(fita->textures.empty());
  EXPECT_EQ(fita->textures.back(), r.fitaTexture);
  EXPECT_TRUE(r.fitaTexture->name.empty());
  EXPECT_EQ(r.fitaTexture->resource, r.fitaRenderTarget);

  // The noise is point-filtered, the rest linear.
  ASSERT_NE(r.noiseTexture->resource, nullptr);
  EXPECT_EQ(r.noiseTexture->resource->minFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  EXPECT_EQ(r.noiseTexture->resource->magFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  for (Texture* t : {r.frameTexture, r.frameTexture2, r.trainTexture, r.particleTexture1, r.particleTexture2}) {
    ASSERT_NE(t->resource, nullptr) << t->name;
    EXPECT_EQ(t->resource->minFilter, static_cast<std::uint32_t>(D3DTEXF_LINEAR)) << t->name;
  }

  // Three levels of the tree, every one drawn with the same cube.
  ASSERT_EQ(r.cubeTree.levelCount, 3);
  SceneNode* cube = r.scene1->findNode("Cube.024");
  ASSERT_NE(cube, nullptr);
  const std::uint32_t counts[3] = {6, 12, 6};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.cubeTree.levels[i].node, cube) << "level " << i;
    EXPECT_EQ(r.cubeTree.levels[i].maxIndex, counts[i]) << "level " << i;
  }
  EXPECT_NE(r.cubeTree.root, nullptr);

  // The strip's render target holds a picture of the yard, not just the clear.
  ASSERT_NE(r.fitaRenderTarget->texture, nullptr);
  std::vector<std::uint8_t> rgba;
  int w = 0, h = 0;
  ASSERT_TRUE(VornD3D_ReadTexture(static_cast<IDirect3DTexture9*>(r.fitaRenderTarget->texture), &rgba, &w, &h));
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 512);
  const showtest::PictureStats stats = showtest::pictureStats(rgba);
  EXPECT_FALSE(stats.uniform);
  EXPECT_GT(stats.maxChannel, 16);

  releaseDemoResources(&resources);
  expectAllReleased(resources);
}

}  // namespace
