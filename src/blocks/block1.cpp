// The railway yard: the first scene revealed by the filler front, the train
// picture, drifting particles, an orange glow, grain and the frame.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "ui2d/bitmap_font.h"

namespace {

// The scene, the train picture and the particles: drawn into the glow
// source, then again onto the screen, where the particles move.
void drawYard(DemoResources* r, const Block1Values& v, bool screenPass) {
  using namespace blocksteps;
  IDirect3DDevice9* device = g_graphicsDevice->device;
  blendNormal();
  noTexture();
  setup3D(r->aspectRatio, 35.0f, 0.2f, 487.0f, r->scene1, "Camera");
  ShaderProgram::setVector(r->fillerShader, "auxiliar", static_cast<float>(v.g), 0.0f, 0.0f, 0.0f);
  drawScene(r->scene1);
  if (screenPass) blendNormal();

  setup2D(640.0f, 480.0f);
  BindTextureStage(r->trainTexture, 0);
  DrawTexturedRect(258, 37, 450, 450, ColorRGBA{255, 255, 255, v.trainAlpha});

  setup3D(r->aspectRatio, 35.0f, 0.2f, 20.0f, r->scene1, "Camera");
  g_graphicsDevice->pointSize = 0.5f;
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  EnableRenderPreset(PRESET_2D);
  blendAdditive();
  BindTextureStage(r->particleTexture1, 0);
  r->particles1.drawTimed(screenPass, 1.0f);  // they move once a frame, on screen
}

}  // namespace

void block1::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  Block1Values v = block1Values(nowMs, startMs, endMs);
  setClearColor(0.0f, 0.0f, 0.0f, 1.0f);

  beginTarget(r->renderTargetA);
  drawYard(r, v, false);
  endTarget(r->renderTargetA);

  blurPass(r->bloomShader, r->renderTargetA, r->renderTargetB, 1.0f, 0.0f);
  blurPass(r->bloomShader, r->renderTargetB, r->renderTargetA, 0.0f, 1.0f);

  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  drawYard(r, v, true);

  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetA);
  blendAdditive();
  DrawTexturedRect(0, 0, 640, 480, v.glow);
  blendNormal();
  drawGrainAndFrame(r->noiseTexture, r->frameTexture, 255);

  animate(r->scene1, v.animationTime);
}
