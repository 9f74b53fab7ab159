// The Direct3D 9 shader token format: opcodes, register types and the bit
// layout of instruction, destination and source tokens, shared by the
// assembler, the disassembler and the readers of finished bytecode.
#pragma once

#include <cstdint>

namespace hlsl::sm2 {

enum Opcode : std::uint16_t {
  OpNop = 0,
  OpMov = 1,
  OpAdd = 2,
  OpSub = 3,
  OpMad = 4,
  OpMul = 5,
  OpRcp = 6,
  OpRsq = 7,
  OpDp3 = 8,
  OpDp4 = 9,
  OpMin = 10,
  OpMax = 11,
  OpSlt = 12,
  OpSge = 13,
  OpExp = 14,
  OpLog = 15,
  OpLit = 16,
  OpDst = 17,
  OpLrp = 18,
  OpFrc = 19,
  OpM4x4 = 20,
  OpM4x3 = 21,
  OpM3x4 = 22,
  OpM3x3 = 23,
  OpM3x2 = 24,
  OpCall = 25,
  OpCallnz = 26,
  OpLoop = 27,
  OpRet = 28,
  OpEndloop = 29,
  OpLabel = 30,
  OpDcl = 31,
  OpPow = 32,
  OpCrs = 33,
  OpSgn = 34,
  OpAbs = 35,
  OpNrm = 36,
  OpSincos = 37,
  OpRep = 38,
  OpEndrep = 39,
  OpIf = 40,
  OpIfc = 41,
  OpElse = 42,
  OpEndif = 43,
  OpBreak = 44,
  OpBreakc = 45,
  OpMova = 46,
  OpDefb = 47,
  OpDefi = 48,
  OpTexcoord = 64,
  OpTexkill = 65,
  OpTex = 66,
  OpExpp = 78,
  OpLogp = 79,
  OpCnd = 80,
  OpDef = 81,
  OpCmp = 88,
  OpBem = 89,
  OpDp2add = 90,
  OpDsx = 91,
  OpDsy = 92,
  OpTexldd = 93,
  OpSetp = 94,
  OpTexldl = 95,
  OpBreakp = 96,
  OpComment = 0xFFFE,
  OpEnd = 0xFFFF,
};

// Register types as the tokens encode them.
enum class RegType : std::uint8_t {
  Temp = 0,
  Input = 1,
  Const = 2,
  Texture = 3 /* ps t#; a0 in vertex shaders */,
  RastOut = 4,
  AttrOut = 5,
  Output = 6 /* oT# before 3.0, o# in 3.0 */,
  ConstInt = 7,
  ColorOut = 8,
  DepthOut = 9,
  Sampler = 10,
  ConstBool = 14,
  Loop = 15,
  MiscType = 17,
  Label = 18,
  Predicate = 19,
};

// Texture instruction variants in the opcode-specific control bits.
constexpr std::uint32_t kTexldProject = 0x00010000;
constexpr std::uint32_t kTexldBias = 0x00020000;

// Declaration usages (D3DDECLUSAGE).
enum Usage : std::uint8_t {
  UsagePosition = 0,
  UsageBlendWeight = 1,
  UsageBlendIndices = 2,
  UsageNormal = 3,
  UsagePSize = 4,
  UsageTexcoord = 5,
  UsageTangent = 6,
  UsageBinormal = 7,
  UsageTessFactor = 8,
  UsagePositionT = 9,
  UsageColor = 10,
  UsageFog = 11,
  UsageDepth = 12,
  UsageSample = 13,
};

// Sampler texture types in a sampler declaration (bits 27-30).
enum SamplerType : std::uint8_t { Sampler2D = 2, SamplerCube = 3, SamplerVolume = 4 };

constexpr std::uint32_t kSrcNeg = 1;  // source modifiers (bits 24-27)
constexpr std::uint32_t kSrcAbs = 11;
constexpr std::uint32_t kSrcAbsNeg = 12;
constexpr std::uint32_t kDstSaturate = 1;  // result modifier (bits 20-23)

constexpr std::uint32_t versionToken(bool pixel, int major, int minor) {
  return (pixel ? 0xFFFF0000u : 0xFFFE0000u) | (static_cast<std::uint32_t>(major) << 8) |
         static_cast<std::uint32_t>(minor);
}

constexpr std::uint32_t registerBits(RegType type, int index) {
  auto t = static_cast<std::uint32_t>(type);
  return ((t & 7u) << 28) | ((t & 0x18u) << 8) | (static_cast<std::uint32_t>(index) & 0x7FFu);
}

constexpr RegType registerType(std::uint32_t token) {
  return static_cast<RegType>(((token >> 28) & 7u) | ((token >> 8) & 0x18u));
}
constexpr int registerIndex(std::uint32_t token) { return static_cast<int>(token & 0x7FFu); }

constexpr std::uint32_t destinationToken(RegType type, int index, unsigned mask, unsigned modifier = 0) {
  return 0x80000000u | registerBits(type, index) | ((mask & 0xFu) << 16) | ((modifier & 0xFu) << 20);
}

// swizzle: four 2-bit component selectors, x in the low bits.
constexpr std::uint32_t sourceToken(RegType type, int index, unsigned swizzle, unsigned modifier = 0) {
  return 0x80000000u | registerBits(type, index) | ((swizzle & 0xFFu) << 16) | ((modifier & 0xFu) << 24);
}

constexpr unsigned kIdentitySwizzle = 0xE4;  // .xyzw

constexpr std::uint32_t instructionToken(std::uint16_t opcode, int length, std::uint32_t control = 0) {
  return static_cast<std::uint32_t>(opcode) | control | (static_cast<std::uint32_t>(length & 0xF) << 24);
}

constexpr std::uint32_t commentToken(std::uint32_t dwords) { return OpComment | ((dwords & 0x7FFFu) << 16); }

constexpr std::uint32_t fourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// The constant table comment block ("CTAB") and the private block that
// carries the compiled program for the OpenGL stand-in.
constexpr std::uint32_t kConstantTableTag = fourCC('C', 'T', 'A', 'B');
constexpr std::uint32_t kProgramTag = fourCC('V', 'R', 'N', 'P');

}  // namespace hlsl::sm2
