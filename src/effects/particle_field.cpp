#include "effects/particle_field.h"

#include <cmath>

#include "effects/random.h"
#include "graphics/graphics_device.h"
#include "ui2d/primitives.h"

namespace {

constexpr int GRID = 10;
constexpr int COUNT = GRID * GRID * GRID;

float unitRandom() { return static_cast<float>(vornRand() / 32767.0); }

// Fills the grid in storage order (i outermost, k innermost); each particle
// draws its velocity (z, y, x) and then its position jitter (z, y, x).
template <typename Place>
void fillGrid(ParticleField& field, Place place) {
  field.freeParticles();
  field.gridSide = 10.0f;
  field.particleCount = COUNT;
  field.particles = new Particle[COUNT]();
  for (int i = 0; i < GRID; ++i) {
    for (int j = 0; j < GRID; ++j) {
      for (int k = 0; k < GRID; ++k) {
        Particle& p = field.particles[i * 100 + j * 10 + k];
        p.velocity.z = unitRandom();
        p.velocity.y = unitRandom();
        p.velocity.x = unitRandom();
        p.position.z = place(k, unitRandom());
        p.position.y = place(j, unitRandom());
        p.position.x = place(i, unitRandom());
      }
    }
  }
}

void mirror(Vec3& p, float bound) {
  if (std::fabs(p.x) > bound) p.x = -p.x;
  if (std::fabs(p.y) > bound) p.y = -p.y;
  if (std::fabs(p.z) > bound) p.z = -p.z;
}

// Draws every particle as one point and, when updating, moves it right after
// it has been drawn. The loops run while the counters are below gridSide;
// indices past the particle array are never visited.
template <typename Step>
void drawField(ParticleField& field, bool update, Step step) {
  EnableRenderPreset(PRESET_POINT_SPRITES);
  BeginPrimitive(PRIM_POINT);
  if (field.particles) {
    for (int i = 0; static_cast<float>(i) < field.gridSide; ++i) {
      for (int j = 0; static_cast<float>(j) < field.gridSide; ++j) {
        for (int k = 0; static_cast<float>(k) < field.gridSide; ++k) {
          const long index = static_cast<long>(i) * 100 + j * 10 + k;
          if (j >= GRID || k >= GRID || index >= field.particleCount || index >= COUNT) continue;
          Particle& p = field.particles[index];
          EmitVertex(p.position.x, p.position.y, p.position.z);
          if (update) step(p);
        }
      }
    }
  }
  ClearPrimitiveBatch();
  if (g_graphicsDevice && g_graphicsDevice->device) {
    g_graphicsDevice->device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    g_graphicsDevice->device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  }
}

}  // namespace

void ParticleField::createUnitGrid() {
  fillGrid(*this, [](int cell, float r) { return static_cast<float>(cell - 5) + r; });
}

void ParticleField::createScaledGrid(float size) {
  fillGrid(*this, [size](int cell, float r) { return (static_cast<float>(cell) - size / 2.0f) + size * r; });
}

void ParticleField::drawTimed(bool update, float dt) {
  const Vec3 d = drift;
  const float bound = gridSide;
  drawField(*this, update, [d, bound, dt](Particle& p) {
    mirror(p.position, bound);
    p.position.x += d.x + 0.05f * dt * p.velocity.x;
    p.position.y += d.y + 0.05f * dt * p.velocity.y;
    p.position.z += d.z + 0.05f * dt * p.velocity.z;
  });
}

void ParticleField::drawFixed(bool update) {
  const Vec3 d = drift;
  const float bound = wrapLimit;
  drawField(*this, update, [d, bound](Particle& p) {
    mirror(p.position, bound);
    p.position.x += d.x + 0.05f * p.velocity.x;
    p.position.y += d.y + 0.05f * p.velocity.y;
    p.position.z += d.z + 0.05f * p.velocity.z;
  });
}

void ParticleField::freeParticles() {
  delete[] particles;
  particles = nullptr;
}
