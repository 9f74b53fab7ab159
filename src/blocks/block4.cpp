// The bridge: the third scene under its sky with the greetings flying past.
#include "blocks/block_steps.h"
#include "blocks/block_values.h"
#include "blocks/blocks.h"
#include "graphics/graphics_device.h"
#include "runtime/demo_resources.h"
#include "shader/shader_program.h"

void block4::render() {
  using namespace blocksteps;
  if (!g_graphicsDevice || !resources) return;
  DemoResources* r = resources;
  Block4Values v = block4Values(nowMs, startMs, endMs);
  setClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);

  beginTarget(r->renderTargetA);
  noTexture();
  setup3D(r->aspectRatio, 60.0f, 2.0f, 5000.0f, r->scene3, "Camera");
  drawScene(r->scene3Sky);
  drawScene(r->scene3Greets);
  ShaderProgram::setVector(r->fillerShader, "auxiliar", v.auxiliar, 0.0f, 0.0f, 0.0f);
  drawScene(r->scene3Sky);
  drawScene(r->scene3);
  endTarget(r->renderTargetA);

  blurPass(r->bloomShader, r->renderTargetA, r->renderTargetB, 1.0f, 0.0f);
  blurPass(r->bloomShader, r->renderTargetB, r->renderTargetA, 0.0f, 1.0f);

  g_graphicsDevice->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  noTexture();
  setup3D(r->aspectRatio, 60.0f, 2.0f, 5000.0f, r->scene3, "Camera");
  ShaderProgram::setVector(r->fillerShader, "auxiliar", v.auxiliar, 0.0f, 0.0f, 0.0f);
  drawScene(r->scene3Sky);
  drawScene(r->scene3Greets);
  drawScene(r->scene3);

  setup2D(640.0f, 480.0f);
  g_graphicsDevice->bindTextureResource(0, r->renderTargetA);
  blendAdditive();
  DrawTexturedRect(0, 0, 640, 480, v.glow);
  blendNormal();
  drawGrainAndFrame(r->noiseTexture, r->frameTexture, 255);

  animate(r->scene3Greets, v.animationTime);
  animate(r->scene3, v.animationTime);
}
