// The light picture frame of the white credits.
#include "frame_common.h"
#include "texture_main.h"

content::Image buildTexture() {
  return content::buildFrame({{0.80f, 0.78f, 0.74f, 1}, {0.62f, 0.60f, 0.57f, 1}, 0.35f, 16.0f, 30.0f, 0.06f, 23});
}
