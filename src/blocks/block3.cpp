// The tunnel: the ride with passing trains under a metro-map interface.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"

void block3::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  IDirect3DDevice9* device = g_graphicsDevice->device;
  Block3Values v = block3Values(nowMs, startMs, endMs);
  setClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);

  auto drawTunnel = [&] {
    setup3D(r->aspectRatio, 35.0f, 0.2f, 50.0f, r->scene2, "Camera.001");
    drawScene(r->scene2);
    drawScene(r->sceneComboiosTunel);
  };
  auto drawInterface = [&] {
    setup2D(640.0f, 480.0f);
    noTexture();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    drawFlatLayer(r->sceneGuiTunel, true);
  };

  beginTarget(r->renderTargetA);
  noTexture();
  drawTunnel();
  drawInterface();
  endTarget(r->renderTargetA);

  blurPass(r->bloomShader, r->renderTargetA, r->renderTargetB, 1.0f, 0.0f);
  blurPass(r->bloomShader, r->renderTargetB, r->renderTargetA, 0.0f, 1.0f);

  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  noTexture();
  drawTunnel();
  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetA);
  blendAdditive();
  DrawTexturedRect(0, 0, 640, 480, v.glow);
  blendNormal();
  drawInterface();
  blendNormal();
  drawGrainAndFrame(r->noiseTexture, r->frameTexture, 255);

  animate(r->sceneComboiosTunel, v.animationTime);
  animate(r->sceneGuiTunel, v.animationTime);
  animate(r->scene2, v.animationTime);
}
