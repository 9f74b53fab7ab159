// The classic C library rand sequence (x = x * 214013 + 2531011,
// result (x >> 16) & 0x7fff, seed 1), shared by every user in call order so
// that particle layouts, flicker and grain repeat from run to run.
#pragma once

constexpr int VORN_RAND_MAX = 32767;
int vornRand();
void vornSeedRandom(unsigned int seed);  // tests only; the show never seeds
