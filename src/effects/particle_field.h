// Clouds of 1000 jittered particles drawn as point sprites.
#pragma once

#include <cstdint>

#include "graphics/value_types.h"

struct Particle {
  Vec3 position;
  Vec3 velocity;
};

struct ParticleField {
  float wrapLimit = 0.0f;
  float gridSide = 0.0f;
  Vec3 drift;
  std::int32_t particleCount = 0;
  Particle* particles = nullptr;  // owned, 1000 records

  void createUnitGrid();
  void createScaledGrid(float size);
  void drawTimed(bool update, float dt);
  void drawFixed(bool update);
  void freeParticles();
};
