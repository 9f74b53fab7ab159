// The film strip: frames showing the yard slide across the screen.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"

void block1_fita::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  FitaValues v = fitaValues(nowMs, startMs, endMs);
  setClearColor(0.0f, 0.0f, 0.0f, 1.0f);

  // The glow source; the blur passes keep the blend factors it leaves.
  beginTarget(r->renderTargetA);
  blendNormal();
  noTexture();
  setup2D(640.0f, 480.0f);
  drawFlatLayer(r->sceneFita, false);
  endTarget(r->renderTargetA);

  blurPass(r->bloomShader, r->renderTargetA, r->renderTargetB, 1.0f, 0.0f);
  blurPass(r->bloomShader, r->renderTargetB, r->renderTargetA, 0.0f, 1.0f);

  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  blendNormal();
  noTexture();
  setup2D(640.0f, 480.0f);
  drawFlatLayer(r->sceneFita, false);

  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetA);
  blendAdditive();
  DrawTexturedRect(0, 0, 640, 480, v.glow);
  blendNormal();
  drawGrainAndFrame(r->noiseTexture, r->frameTexture, 255);

  animate(r->sceneFita, v.animationTime);
}
