// Linked OpenGL programs, one per pairing of a vertex part and a pixel part,
// each part either a compiled shader or the fixed-function code for a key.
#pragma once

#include "platform/d3d9/gl_calls.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/d3d9/fixed_function.h"
#include "platform/d3d9/resources.h"

namespace vorn::d3d {

struct LinkedProgram {
  GLuint program = 0;
  bool ok = false;
  bool fixedVertex = false;
  bool fixedPixel = false;
  std::string log;

  // The register files (vertex: "vorn_c", pixel: renamed "vorn_pc").
  GLint vertexRegisters = -1, pixelRegisters = -1;
  int vertexRegisterCount = 0, pixelRegisterCount = 0;
  GLint clipAdjust = -1, pixelAdjust = -1, alphaTest = -1;
  // Fixed-function uniforms.
  GLint worldView = -1, projection = -1, viewport = -1, depthRange = -1, fog = -1, point = -1, pointScale = -1;
  GLint tfactor = -1, fogColor = -1, alphaRef = -1, stageConstants = -1;

  // What was last uploaded (device generations), so that unchanged values
  // are not sent again.
  std::uint64_t stateGeneration = ~0ull;
  std::uint64_t vertexConstantGeneration = ~0ull;
  std::uint64_t pixelConstantGeneration = ~0ull;
};

struct ProgramKey {
  const ShaderCode* vertexShader = nullptr;  // null: fixed-function vertex part from ffVertex
  const ShaderCode* pixelShader = nullptr;   // null: fixed-function pixel part from ffPixel
  FFVertexKey ffVertex;
  FFPixelKey ffPixel;
};

class ProgramCache {
 public:
  ProgramCache() = default;
  ~ProgramCache() = default;
  // Deletes every OpenGL object (with the context current).
  void release();
  ProgramCache(const ProgramCache&) = delete;
  ProgramCache& operator=(const ProgramCache&) = delete;

  // The program for a key, linked on first use. Never null; check ok.
  LinkedProgram* get(const ProgramKey& key);
  std::size_t size() const { return programs_.size(); }
  const std::string& lastError() const { return lastError_; }
  // Forgets programs that use a shader (it is being released).
  void forgetShader(std::uint64_t shaderId);

 private:
  GLuint shaderObject(const std::string& cacheKey, GLenum stage, const std::string& source, std::string* log);
  std::unordered_map<std::string, std::unique_ptr<LinkedProgram>> programs_;
  std::unordered_map<std::string, GLuint> shaders_;
  std::string lastError_;
};

// The pixel shader's GLSL prepared for a vertex part: its register file
// renamed apart from the vertex stage's, and every input the vertex part
// does not write replaced by a zero constant. Exposed for tests.
std::string preparePixelSource(const std::string& glsl, const hlsl::Program& pixel,
                               const std::vector<std::string>& vertexOutputs);

}  // namespace vorn::d3d
