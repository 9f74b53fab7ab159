#include "platform/hlsl/sm2/isa.h"

#include "platform/hlsl/sm2/tokens.h"

namespace hlsl::sm2 {

namespace {

struct Info {
  std::uint16_t opcode;
  const char* name;
  int sources;
  bool destination;
  int slots;
};

constexpr Info kInfo[] = {
    {OpNop, "nop", 0, false, 1},      {OpMov, "mov", 1, true, 1},       {OpAdd, "add", 2, true, 1},
    {OpSub, "sub", 2, true, 1},       {OpMad, "mad", 3, true, 1},       {OpMul, "mul", 2, true, 1},
    {OpRcp, "rcp", 1, true, 1},       {OpRsq, "rsq", 1, true, 1},       {OpDp3, "dp3", 2, true, 1},
    {OpDp4, "dp4", 2, true, 1},       {OpMin, "min", 2, true, 1},       {OpMax, "max", 2, true, 1},
    {OpSlt, "slt", 2, true, 1},       {OpSge, "sge", 2, true, 1},       {OpExp, "exp", 1, true, 1},
    {OpLog, "log", 1, true, 1},       {OpLit, "lit", 1, true, 3},       {OpDst, "dst", 2, true, 1},
    {OpLrp, "lrp", 3, true, 2},       {OpFrc, "frc", 1, true, 1},       {OpM4x4, "m4x4", 2, true, 4},
    {OpM4x3, "m4x3", 2, true, 3},     {OpM3x4, "m3x4", 2, true, 4},     {OpM3x3, "m3x3", 2, true, 3},
    {OpM3x2, "m3x2", 2, true, 2},     {OpPow, "pow", 2, true, 3},       {OpCrs, "crs", 2, true, 2},
    {OpSgn, "sgn", 3, true, 3},       {OpAbs, "abs", 1, true, 1},       {OpNrm, "nrm", 1, true, 3},
    {OpSincos, "sincos", 3, true, 8}, {OpMova, "mova", 1, true, 1},     {OpTexkill, "texkill", 0, true, 1},
    {OpTex, "texld", 2, true, 1},     {OpExpp, "expp", 1, true, 1},     {OpLogp, "logp", 1, true, 1},
    {OpCmp, "cmp", 3, true, 1},       {OpDp2add, "dp2add", 3, true, 2}, {OpDsx, "dsx", 1, true, 2},
    {OpDsy, "dsy", 1, true, 2},       {OpTexldd, "texldd", 4, true, 3}, {OpTexldl, "texldl", 2, true, 2},
};

const Info* find(std::uint16_t opcode) {
  for (const Info& i : kInfo)
    if (i.opcode == opcode) return &i;
  return nullptr;
}

}  // namespace

const char* opcodeName(std::uint16_t opcode, std::uint32_t control) {
  if (opcode == OpTex) {
    if (control & kTexldProject) return "texldp";
    if (control & kTexldBias) return "texldb";
    return "texld";
  }
  const Info* i = find(opcode);
  return i ? i->name : "?";
}

int instructionSlots(std::uint16_t opcode, const Target& target) {
  const Info* i = find(opcode);
  if (!i) return 1;
  // Without the series constants (3.0) sincos is a single slot's worth more.
  if (opcode == OpSincos && !target.sincosConstants) return 8;
  if (opcode == OpTexldl && !target.pixel) return 2;
  return i->slots;
}

bool isTextureInstruction(std::uint16_t opcode) {
  return opcode == OpTex || opcode == OpTexkill || opcode == OpTexldd || opcode == OpTexldl;
}

bool isMacroInstruction(std::uint16_t opcode) {
  const Info* i = find(opcode);
  return i && i->slots > 1 && opcode != OpTexldl && opcode != OpTexldd;
}

int sourceCount(std::uint16_t opcode) {
  const Info* i = find(opcode);
  return i ? i->sources : 0;
}

bool hasDestination(std::uint16_t opcode) {
  const Info* i = find(opcode);
  return i && i->destination;
}

}  // namespace hlsl::sm2
