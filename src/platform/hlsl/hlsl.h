// The HLSL compiler behind D3DXCompileShader: a shader-model-2 subset of HLSL
// with one front end (preprocessor, parser, checker) and two back ends:
// Direct3D 9 bytecode for the profile (vs_2_0, ps_2_0 and their relatives),
// with the profile's limits enforced and the constant table inside, and
// GLSL 3.30 core for the OpenGL stand-in. The bytecode carries the GLSL
// program in a private comment block, which Direct3D 9 itself skips, so one
// buffer serves both. Pure code: no OpenGL, no Direct3D.
//
// The GLSL it emits follows these conventions, which the Direct3D stand-in
// relies on when it links and feeds the programs:
//
//  * First line "#version 330 core"; "#line" directives map back to the HLSL.
//  * Float constants live in a register file, as in Direct3D 9: the stage
//    declares "uniform vec4 vorn_c[N];" (N = Program::floatRegisterCount,
//    omitted when 0) and every global constant reads its registers from it.
//    A scalar or vector takes one register (components from .x on); a
//    floatRxC matrix takes R registers, register r + i holding row i. The
//    constant table writes a D3DX matrix row by row, so "mul(v, M)" keeps its
//    HLSL meaning.
//  * Sampler register sN is "uniform sampler2D vorn_sN;" (or samplerCube),
//    bound to texture unit N.
//  * Vertex inputs: "layout(location = L) in vec4 a_<SEMANTIC>;" with L from
//    attributeLocation(). Semantics are canonical: upper case with an index
//    ("COLOR" is "COLOR0", "TEXCOORD" is "TEXCOORD0").
//  * Varyings are always vec4 and named varyingName(semantic): the vertex
//    shader declares "out vec4 v_TEXCOORD0;", the pixel shader declares each
//    input on a line of its own, exactly "in vec4 v_TEXCOORD0;". A linker that
//    pairs a pixel shader with a vertex shader that does not write one of its
//    inputs replaces that line with "const vec4 v_TEXCOORD0 = vec4(0.0);".
//    Vertex COLORn outputs are clamped to 0..1; unwritten components are
//    (0, 0, 0, 1).
//  * The vertex shader ends with
//      gl_Position = vec4(p.x + vorn_ClipAdjust.x * p.w,
//                         (p.y + vorn_ClipAdjust.y * p.w) * vorn_ClipAdjust.z,
//                         2.0 * p.z - p.w, p.w);
//    where p is the POSITION output and "uniform vec4 vorn_ClipAdjust;" holds
//    (+63/64/width, -63/64/height, y flip (+1 or -1), 0): Direct3D's depth range and
//    pixel centres, and the render-target row order.
//  * The pixel shader writes "layout(location = 0) out vec4 vorn_Color0;" and
//    declares "uniform vec4 vorn_PixelAdjust;" (x: the y flip, +1 or -1, which
//    ddy is multiplied by) and "uniform vec4 vorn_AlphaTest;" (x: a
//    D3DCMPFUNC value, 0 when alpha testing is off; y: the reference 0..255).
//    Before writing the colour it discards the pixel when
//    round(clamp(alpha, 0, 1) * 255) fails the comparison with the reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hlsl {

enum class Stage { Vertex, Pixel };

struct Constant {
  enum class Class { Scalar, Vector, Matrix, Sampler };
  enum class Type { Float, Int, Bool, Sampler2D, SamplerCube };
  std::string name;
  Class cls = Class::Scalar;
  Type type = Type::Float;
  int registerIndex = 0;  // c register (floats) or s register (samplers)
  int registerCount = 1;  // rows for matrices (times elements for arrays)
  int rows = 1;           // scalar 1x1, float3 1x3, float4x4 4x4
  int columns = 1;
  int elements = 0;  // array length, 0 when not an array
};

struct Varying {
  std::string semantic;  // canonical, e.g. "TEXCOORD0"
  int components = 4;    // as declared in the HLSL
};

struct Program {
  Stage stage = Stage::Vertex;
  std::string glsl;
  std::vector<Constant> constants;  // every global the entry point uses
  std::vector<Varying> inputs;      // vertex attributes, or varyings read
  std::vector<Varying> outputs;     // varyings written (not POSITION), or COLORn
  int floatRegisterCount = 0;       // size of vorn_c
};

// What the bytecode uses of its profile's limits.
struct ShaderStats {
  int instructionSlots = 0;  // all instruction slots
  int arithmeticSlots = 0;
  int textureSlots = 0;      // texld and its variants, texkill
  int temporaries = 0;
  int floatConstants = 0;    // c registers up to the highest used, defs included
  int samplers = 0;
  int textureLevels = 0;     // levels of dependent texture reads (pixel shaders)
};

struct CompileResult {
  bool ok = false;
  Program program;
  // Direct3D 9 shader tokens: version, constant table, the private block
  // with the GLSL program, declarations, defs, instructions, end.
  std::vector<std::uint32_t> bytecode;
  ShaderStats stats;
  // Errors and warnings, one per line: "(line,column): error: message".
  std::string messages;
};

// profile: "vs_2_0", "vs_2_a", "vs_2_sw", "vs_3_0" compile for the vertex
// stage, "ps_2_0", "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0" for the pixel
// stage.
CompileResult compile(std::string_view source, std::string_view entryPoint, std::string_view profile);

// Assembly text of bytecode (as "vorn-tool hlsl --asm" prints it), with the
// constant table as a comment; empty when the tokens are malformed.
std::string disassemble(const std::uint32_t* tokens, std::size_t count);

// Size in bytes of the bytecode at 'code' (from its version to its end
// token, reading at most maxBytes), or 0 when it is malformed.
std::size_t bytecodeSize(const void* code, std::size_t maxBytes);

struct ConstantTableInfo {
  std::string creator;
  std::uint32_t version = 0;  // the shader's version token
  std::vector<Constant> constants;
};
// The constant table ("CTAB" comment) of bytecode.
bool readConstantTable(const void* code, std::size_t maxBytes, ConstantTableInfo* out);

// The program the OpenGL stand-in draws with, from bytecode this compiler
// made; false for any other bytecode.
bool programFromBytecode(const void* code, std::size_t maxBytes, Program* program);

// Canonical semantic of any spelling ("texcoord1" -> "TEXCOORD1", "COLOR" -> "COLOR0").
std::string canonicalSemantic(std::string_view semantic);

// Fixed attribute locations shared with the vertex-declaration code:
// POSITION0 0, NORMAL0 1, COLOR0 2, COLOR1 3, TEXCOORD0..7 4..11,
// TANGENT0 12, BINORMAL0 13, PSIZE0 14, BLENDWEIGHT0 15; -1 for others.
int attributeLocation(std::string_view canonical);

// "v_" + canonical semantic.
std::string varyingName(std::string_view canonical);

// The program as the bytecode's private block carries it: a self-describing
// blob whose first 4 bytes are its total size (little-endian u32).
std::vector<std::uint8_t> serialize(const Program& program);
bool deserialize(const void* blob, Program* program);

}  // namespace hlsl
