// A hidden OpenGL 3.3 context for checking the compiler's GLSL: compile and
// link programs, and run a pixel shader over a 4x4 float target. It is a
// compatibility context, so that libmojoshader's GLSL 1.20 of the bytecode
// runs beside the "#version 330 core" programs.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/hlsl/hlsl.h"

namespace hlsltest {

using Float4 = std::array<float, 4>;

class GlHarness {
 public:
  // The process-wide context, or null (with the reason in *why) when no
  // OpenGL 3.3 context can be made.
  static GlHarness* get(std::string* why);

  // Compiles one stage; returns false with the driver's log.
  bool compiles(const hlsl::Program& program, std::string* log);
  // Links a vertex and a pixel program the way the Direct3D stand-in does:
  // pixel inputs the vertex shader does not write read as zero.
  bool links(const hlsl::Program& vs, const hlsl::Program& ps, std::string* log);

  struct Run {
    std::vector<Float4> constants;   // vorn_c of the pixel shader
    float pixelAdjust = 1.0f;        // vorn_PixelAdjust.x
    Float4 alphaTest = {0, 0, 0, 0};  // vorn_AlphaTest
    // An optional 2x2 RGBA texture on unit 0 (point sampled, clamped).
    std::vector<Float4> texture;
    // An optional vertex shader in place of the pass-through one, with its
    // own register file and vorn_ClipAdjust.
    const hlsl::Program* vs = nullptr;
    std::vector<Float4> vsConstants;
    Float4 clipAdjust = {0, 0, 1, 0};
  };
  // Draws a full-screen triangle into a cleared (-1, -1, -1, -1) 4x4 RGBA32F
  // target with the given pixel shader. The pixel shader's TEXCOORD0 is the
  // pixel centre in 0..1 (row 0 at the bottom). Returns the 16 pixels, row by
  // row from the bottom, or an empty vector with *log set on failure.
  std::vector<Float4> runPixelShader(const hlsl::Program& ps, const Run& run, std::string* log);

  // The pass-through vertex shader runPixelShader uses.
  const hlsl::CompileResult& quadVertexShader() const { return quadVs_; }

 private:
  GlHarness() = default;
  bool init(std::string* why);
  unsigned program(const hlsl::Program& vs, const hlsl::Program& ps, std::string* log);

  void* window_ = nullptr;
  void* context_ = nullptr;
  hlsl::CompileResult quadVs_;
};

std::string renameIdentifier(const std::string& text, const std::string& from, const std::string& to);

// Compiles one GLSL stage (GL_VERTEX_SHADER or GL_FRAGMENT_SHADER): the
// shader object, or 0 with the driver's log.
unsigned compileGlsl(unsigned stage, const std::string& source, std::string* log);
// Links two compiled stages (deleting them), attributes bound by name
// first: the program, or 0 with the driver's log.
unsigned linkGlsl(unsigned vs, unsigned fs, const std::vector<std::pair<std::string, int>>& attributes,
                  std::string* log);

// The pixel shader as the Direct3D stand-in links it: its register file
// renamed to vorn_pc, and the "in vec4 v_X;" lines that vs does not write
// replaced by zero constants.
std::string substituteMissingInputs(const hlsl::Program& vs, const hlsl::Program& ps);

}  // namespace hlsltest
