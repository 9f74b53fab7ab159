#include "effects/random.h"

namespace {
unsigned int g_state = 1;
}

int vornRand() {
  g_state = g_state * 214013u + 2531011u;
  return static_cast<int>((g_state >> 16) & 0x7fffu);
}

void vornSeedRandom(unsigned int seed) { g_state = seed; }
