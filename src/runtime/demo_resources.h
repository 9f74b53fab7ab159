// Everything the show loads, held in one record that every block reads.
#pragma once

#include <functional>

#include "effects/cube_tree.h"
#include "effects/particle_field.h"

struct ShaderProgram;
struct Scene;
struct TextureResource;
struct Texture;
struct Framework;

struct DemoResources {
  ShaderProgram* filler2Shader = nullptr;
  ShaderProgram* fillerShader = nullptr;
  ShaderProgram* bloomShader = nullptr;
  ShaderProgram* simpleShadingShader = nullptr;
  Scene* scene1 = nullptr;
  Scene* scene2 = nullptr;
  Scene* scene3 = nullptr;
  Scene* sceneGuiTunel = nullptr;
  Scene* sceneComboiosTunel = nullptr;
  Scene* sceneInicio = nullptr;
  Scene* sceneCredits = nullptr;
  Scene* scene3Sky = nullptr;
  Scene* scene3Greets = nullptr;
  Scene* sceneFinal = nullptr;
  Scene* sceneFita = nullptr;
  Scene* sceneSkyFinal = nullptr;
  Scene* sceneGuiFinal = nullptr;
  TextureResource* renderTargetA = nullptr;
  TextureResource* renderTargetB = nullptr;
  TextureResource* renderTargetC = nullptr;
  Texture* fitaTexture = nullptr;
  TextureResource* fitaRenderTarget = nullptr;  // owned through fitaTexture
  Texture* frameTexture = nullptr;
  Texture* noiseTexture = nullptr;
  Framework* framework = nullptr;  // not owned
  Texture* frameTexture2 = nullptr;
  Texture* trainTexture = nullptr;
  Texture* particleTexture1 = nullptr;
  Texture* particleTexture2 = nullptr;
  CubeTree cubeTree;
  ParticleField particles1;
  ParticleField particles2;
  float aspectRatio = 0.0f;
};

void loadDemoResources(DemoResources* resources);
void releaseDemoResources(DemoResources* resources);
void drawLoadingFrame(float progress);

// Sees every progress value the loading screen draws (tests).
void setLoadingProgressObserver(std::function<void(float)> observer);
