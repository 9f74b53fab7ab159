// The dark picture frame of the night scenes.
#include "frame_common.h"
#include "texture_main.h"

content::Image buildTexture() {
  return content::buildFrame({{0.05f, 0.04f, 0.035f, 1}, {0.0f, 0.0f, 0.0f, 1}, 0.7f, 16.0f, 30.0f, 0.3f, 11});
}
