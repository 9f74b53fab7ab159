// The station at dawn: the swaying cube tree behind the platform, particles,
// the wiped interface and the frames cross-fading.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"
#include "shader/shader_program.h"
#include "effects/noise_overlay.h"
#include "ui2d/bitmap_font.h"

namespace {

void drawParticles(DemoResources* r, bool update) {
  g_graphicsDevice->pointSize = 0.5f;
  g_graphicsDevice->device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  EnableRenderPreset(PRESET_2D);
  BindTextureStage(r->particleTexture2, 0);
  r->particles2.drawFixed(update);
  blocksteps::blendNormal();
}

void setTreeSteps(CubeTree& tree, const FinalValues& v) {
  if (!tree.levels || tree.levelCount < 3) return;
  tree.levels[0].positionStep = Vec3{0.5f, 2.0f, 1.0f};
  tree.levels[0].angleStep = Vec3{0.0f, 0.0f, 0.2f * v.sv};
  tree.levels[1].positionStep = Vec3{2.0f, 0.0f, 4.0f};
  tree.levels[1].angleStep = Vec3{0.5f, 0.0f, 0.0f};
  tree.levels[2].positionStep = Vec3{4.0f * v.cv, 0.0f, 2.0f};
}

}  // namespace

void bloco_final::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  IDirect3DDevice9* device = g_graphicsDevice->device;
  FinalValues v = finalValues(nowMs, startMs, endMs);
  setClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  auto setup = [&] { setup3D(r->aspectRatio, 35.0f, 2.0f, 5000.0f, r->sceneFinal, "Camera"); };

  // The tree, into its own target.
  beginTarget(r->renderTargetC);
  noTexture();
  setup();
  setTreeSteps(r->cubeTree, v);
  if (r->cubeTree.root) r->cubeTree.draw(Vec3{0.0f, 0.0f, 4.0f * v.sv}, Vec3{v.sv, 0.0f, 0.0f});
  endTarget(r->renderTargetC);

  // The glow source.
  beginTarget(r->renderTargetA);
  setup();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetC);
  blendNormal();
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{255, 255, 255, 255});
  noTexture();
  setup();
  drawScene(r->sceneFinal);
  drawScene(r->sceneSkyFinal);
  drawParticles(r, false);
  endTarget(r->renderTargetA);

  blurPass(r->bloomShader, r->renderTargetA, r->renderTargetB, 1.0f, 0.0f);
  blurPass(r->bloomShader, r->renderTargetB, r->renderTargetA, 0.0f, 1.0f);

  // The picture.
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  setup();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  drawScene(r->sceneSkyFinal);
  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetC);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  blendNormal();
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{255, 255, 255, 255});
  noTexture();
  setup();
  drawScene(r->sceneFinal);
  drawParticles(r, true);

  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetA);
  blendAdditive();
  DrawTexturedRect(0, 0, 640, 480, v.glow);
  blendNormal();

  ShaderProgram::setVector(r->filler2Shader, "auxiliar", v.auxiliar, 0.0f, 0.0f, 0.0f);
  drawFlatLayer(r->sceneGuiFinal, true);

  BindTextureStage(r->noiseTexture, 0);
  drawNoiseOverlay(ColorRGBA{100, 100, 100, 255});
  BindTextureStage(r->frameTexture2, 0);
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{255, 255, 255, v.frame2Alpha});
  BindTextureStage(r->frameTexture, 0);
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{255, 255, 255, v.frameAlpha});

  animate(r->sceneGuiFinal, v.guiTime);
  animate(r->sceneFinal, v.sceneTime);
}
