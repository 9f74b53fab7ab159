// The fixed-function pipeline as generated GLSL: a vertex part and a pixel
// part, each generated from a small key of the states that change its code.
// Values that only change numbers (matrices, fog range, colours, point sizes,
// the alpha reference) are uniforms, so one program serves many states.
//
// Both parts speak the conventions of the compiled HLSL shaders (attributes
// a_<SEMANTIC> at the shared locations, vec4 varyings v_<SEMANTIC>, the
// clip adjustment uniform), so either part also pairs with a shader.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::d3d {

enum class FogSource : std::uint8_t {
  None = 0,
  Exp = 1,      // D3DFOG_EXP
  Exp2 = 2,     // D3DFOG_EXP2
  Linear = 3,   // D3DFOG_LINEAR
  Specular = 4, // both fog modes off: the vertex's specular alpha is the factor
};

struct FFVertexKey {
  std::uint8_t pretransformed = 0;  // XYZRHW positions
  std::uint8_t hasPointSize = 0;    // per-vertex point size
  std::uint8_t points = 0;          // drawing points: write gl_PointSize
  std::uint8_t pointScale = 0;      // D3DRS_POINTSCALEENABLE
  FogSource fog = FogSource::None;  // vertex fog, computed per vertex
  std::uint8_t rangeFog = 0;        // D3DRS_RANGEFOGENABLE
  std::uint8_t flat = 0;            // D3DSHADE_FLAT: colours not interpolated
  bool operator==(const FFVertexKey&) const = default;
};

struct FFStage {
  std::uint8_t colorOp = 0, colorArg0 = 0, colorArg1 = 0, colorArg2 = 0;
  std::uint8_t alphaOp = 0, alphaArg0 = 0, alphaArg1 = 0, alphaArg2 = 0;
  std::uint8_t resultTemp = 0;    // D3DTSS_RESULTARG = D3DTA_TEMP
  std::uint8_t texcoordIndex = 0; // coordinate set read by this stage
  std::uint8_t texture = 0;       // 0 none (reads white), 1 2D, 2 cube
  bool operator==(const FFStage&) const = default;
};

enum class PixelFog : std::uint8_t {
  None = 0,
  Vertex = 1,      // factor interpolated from the vertex part (v_VORNFOG)
  TableExp = 2,    // per pixel from depth
  TableExp2 = 3,
  TableLinear = 4,
};

// Laid out without padding: program caches hash and compare keys as bytes.
struct FFPixelKey {
  std::uint16_t available = 0xFFFF;  // varyings the vertex part writes: bit 0 COLOR0, 1 COLOR1, 2+n TEXCOORDn
  std::uint8_t stageCount = 0;  // stages before the first D3DTOP_DISABLE
  FFStage stages[8];
  std::uint8_t alphaFunc = 0;   // D3DCMPFUNC, 0 when alpha testing is off
  PixelFog fog = PixelFog::None;
  std::uint8_t fogUsesW = 0;    // table fog from eye depth (perspective) rather than z
  std::uint8_t specularAdd = 0; // D3DRS_SPECULARENABLE
  std::uint8_t pointSprite = 0; // texture coordinates run across point sprites
  std::uint8_t flat = 0;
  std::uint8_t unused = 0;
  bool operator==(const FFPixelKey&) const = default;
};

// Whether a stage's code samples its texture.
bool stageReadsTexture(const FFStage& stage);
// Clears what a stage's code does not read (arguments its operations
// ignore; the texture kind and coordinate set when nothing samples the
// texture), so that states differing only there share one program.
void normalizeStage(FFStage* stage);

// Uniforms of the vertex part (all vec4 or mat4):
//   vorn_ff_WorldView, vorn_ff_Projection (mat4, the D3D matrices uploaded
//   untransposed), vorn_ClipAdjust, vorn_ff_Viewport (x, y, width, height),
//   vorn_ff_DepthRange (MinZ, MaxZ), vorn_ff_Fog (start, end, density,
//   1 / (end - start)), vorn_ff_Point (size, min, max, viewport height),
//   vorn_ff_PointScale (A, B, C).
std::string generateFixedVertexShader(const FFVertexKey& key);

// Uniforms of the pixel part: vorn_s0..vorn_s7 (texture units),
//   vorn_ff_TFactor, vorn_ff_FogColor, vorn_ff_Fog, vorn_ff_AlphaRef (x, the
//   reference 0..255), vorn_ff_StageConstant[8].
std::string generateFixedPixelShader(const FFPixelKey& key);

}  // namespace vorn::d3d
