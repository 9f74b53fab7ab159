// Linked OpenGL programs, one per pairing of a vertex part and a pixel part,
// each part either a compiled shader or the fixed-function code for a key.
#pragma once

#include "platform/d3d9/gl_calls.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/d3d9/fixed_function.h"
#include "platform/d3d9/gl_state.h"
#include "platform/d3d9/resources.h"

namespace vorn::d3d {

// A uniform with the value it last got, so an unchanged value is not sent
// again. Large enough for a matrix or the eight stage constants.
struct CachedUniform {
  GLint location = -1;
  bool known = false;
  float value[32] = {};
};

struct LinkedProgram {
  GLuint program = 0;
  bool ok = false;
  bool fixedVertex = false;
  bool fixedPixel = false;
  std::string log;

  // The register files (vertex: "vorn_c", pixel: renamed "vorn_pc") and
  // the registers last uploaded to each.
  GLint vertexRegisters = -1, pixelRegisters = -1;
  int vertexRegisterCount = 0, pixelRegisterCount = 0;
  std::vector<float> vertexUploaded, pixelUploaded;
  CachedUniform clipAdjust, pixelAdjust, alphaTest;
  // Fixed-function uniforms.
  CachedUniform worldView, projection, viewport, depthRange, fog, point, pointScale;
  CachedUniform tfactor, fogColor, alphaRef, stageConstants;
  // Texture units the program samples (bit N: sampler register sN).
  std::uint16_t samplerUnits = 0;

  // The device's generations at the last upload: while they stand, nothing
  // the uniforms are made from has changed.
  std::uint64_t stateGeneration = ~0ull;
  std::uint64_t vertexConstantGeneration = ~0ull;
  std::uint64_t pixelConstantGeneration = ~0ull;
};

// What selects a program: for each part, a compiled shader by its id or
// the fixed-function key. A plain struct without padding, hashed and
// compared as bytes. The shader-object caches use it too, with `part`
// naming the stage and only that stage's fields set.
struct ProgramKey {
  std::uint64_t vertexShader = 0;  // id of the compiled vertex shader; 0: fixed function from ffVertex
  std::uint64_t pixelShader = 0;   // id of the compiled pixel shader; 0: fixed function from ffPixel
  FFPixelKey ffPixel;
  FFVertexKey ffVertex;
  std::uint8_t part = 0;  // 0 a linked program, 1 a vertex shader object, 2 a pixel shader object
  std::uint8_t unused[6] = {};
  bool operator==(const ProgramKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};
static_assert(std::has_unique_object_representations_v<ProgramKey>, "program keys must have no padding");

struct ProgramKeyHash {
  std::size_t operator()(const ProgramKey& key) const noexcept {
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(&key), sizeof key));
  }
};

class ProgramCache {
 public:
  ProgramCache() = default;
  ~ProgramCache() = default;
  // Deletes every OpenGL object (with the context current).
  void release(GLState& state);
  ProgramCache(const ProgramCache&) = delete;
  ProgramCache& operator=(const ProgramCache&) = delete;

  // The program for a key (whose shader ids are those of the code given),
  // linked on first use. Never null; check ok. Linking goes through the
  // state shadow, so the program bound before stays known.
  LinkedProgram* get(const ProgramKey& key, const ShaderCode* vertexShader, const ShaderCode* pixelShader,
                     GLState& state);
  std::size_t size() const { return programs_.size(); }
  const std::string& lastError() const { return lastError_; }
  // Forgets programs that use a shader (it is being released).
  void forgetShader(std::uint64_t shaderId, GLState& state);

 private:
  GLuint shaderObject(const ProgramKey& key, GLenum stage, const std::string& source, std::string* log);
  std::unordered_map<ProgramKey, std::unique_ptr<LinkedProgram>, ProgramKeyHash> programs_;
  std::unordered_map<ProgramKey, GLuint, ProgramKeyHash> shaders_;
  std::string lastError_;
};

// The pixel shader's GLSL prepared for a vertex part: its register file
// renamed apart from the vertex stage's, and every input the vertex part
// does not write replaced by a zero constant. Exposed for tests.
std::string preparePixelSource(const std::string& glsl, const hlsl::Program& pixel,
                               const std::vector<std::string>& vertexOutputs);

}  // namespace vorn::d3d
