// Draws one quad twice in an OpenGL compatibility context: with the
// compiler's own GLSL, and with the GLSL that libmojoshader makes of the
// compiler's bytecode, from the same vertices, constants and texture.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "platform/hlsl/hlsl.h"

namespace oracle {

using Float4 = std::array<float, 4>;

struct Scene {
  int size = 32;                                    // square target in pixels
  std::map<std::string, std::array<Float4, 4>> vertices;  // semantic -> the quad's corners
  std::vector<Float4> vsConstants, psConstants;     // c0, c1, ...
  int textureSize = 0;                              // a texture on sampler 0 when non-zero
  std::vector<Float4> texture;                      // textureSize^2 texels, row 0 first
  bool pointSampled = false;                        // else bilinear
  bool clampToEdge = false;                         // else repeating
};

struct Picture {
  int size = 0;
  std::vector<Float4> pixels;
};

// The compiler's GLSL, linked and fed as the Direct3D stand-in does.
bool drawOwn(const hlsl::CompileResult& vs, const hlsl::CompileResult& ps, const Scene& scene, Picture* out,
             std::string* log);
// libmojoshader's GLSL of the compiler's bytecode.
bool drawForeign(const hlsl::CompileResult& vs, const hlsl::CompileResult& ps, const Scene& scene, Picture* out,
                 std::string* log);

// Largest difference over all pixels and channels.
float largestDifference(const Picture& a, const Picture& b);

// The corners of a quad over the whole target, and other attributes with
// values that vary across it.
Scene standardScene();

}  // namespace oracle
