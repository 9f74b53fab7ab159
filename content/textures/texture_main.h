// The common entry point of the texture generators: each defines
// buildTexture() and gets a main that writes it to the path it is given.
#pragma once

#include <cstdio>

#include "common/image.h"

content::Image buildTexture();

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  if (!buildTexture().writePng(argv[1])) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
