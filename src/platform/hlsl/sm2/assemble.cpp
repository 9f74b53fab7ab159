// From the checked module to the finished token stream: lowering, clean-up,
// register allocation, the profile's limits, and the encoding.
#include <cstring>
#include <set>

#include "platform/hlsl/sm2/builder.h"
#include "platform/hlsl/sm2/ctab.h"
#include "platform/hlsl/sm2/isa.h"
#include "platform/hlsl/sm2/lower.h"
#include "platform/hlsl/sm2/optimize.h"
#include "platform/hlsl/sm2/regalloc.h"
#include "platform/hlsl/sm2/sm2.h"

namespace hlsl::sm2 {

namespace {

constexpr const char* kCreator = "Vorn HLSL compiler";

std::uint32_t swizzleBits(const std::array<std::uint8_t, 4>& s) {
  return static_cast<std::uint32_t>(s[0] | s[1] << 2 | s[2] << 4 | s[3] << 6);
}

std::uint32_t floatBits(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

void encodeInstruction(const Inst& inst, std::vector<std::uint32_t>& out) {
  const int params = (inst.hasDst ? 1 : 0) + inst.sourceCount;
  out.push_back(instructionToken(inst.op, params, inst.control));
  if (inst.hasDst)
    out.push_back(destinationToken(inst.dst.type, inst.dst.index, inst.dst.mask, inst.dst.saturate ? kDstSaturate : 0));
  for (int k = 0; k < inst.sourceCount; ++k) {
    const Src& s = inst.src[static_cast<size_t>(k)];
    out.push_back(sourceToken(s.type, s.index, swizzleBits(s.swizzle), s.neg ? kSrcNeg : 0));
  }
}

void encodeDeclaration(const Declaration& d, std::vector<std::uint32_t>& out) {
  out.push_back(instructionToken(OpDcl, 2));
  std::uint32_t usage = 0x80000000u;
  if (d.needsUsage) usage |= static_cast<std::uint32_t>(d.usage) | (static_cast<std::uint32_t>(d.usageIndex) << 16);
  out.push_back(usage);
  out.push_back(destinationToken(d.type, d.index, d.mask));
}

// Private blocks hold at most 0x7FFF dwords each, tag included.
void privateComments(const std::vector<std::uint8_t>& blob, std::vector<std::uint32_t>& out) {
  const std::size_t chunk = (0x7FFE) * 4;
  for (std::size_t at = 0; at < blob.size(); at += chunk) {
    std::size_t n = std::min(chunk, blob.size() - at);
    std::size_t dwords = (n + 3) / 4;
    out.push_back(commentToken(static_cast<std::uint32_t>(dwords + 1)));
    out.push_back(kProgramTag);
    for (std::size_t k = 0; k < dwords; ++k) {
      std::uint32_t v = 0;
      for (std::size_t b = 0; b < 4; ++b)
        if (at + k * 4 + b < blob.size()) v |= static_cast<std::uint32_t>(blob[at + k * 4 + b]) << (8 * b);
      out.push_back(v);
    }
  }
}

// The components of source k that an instruction reads.
std::uint8_t componentsRead(const Inst& inst, int k, const Program& program) {
  const Src& s = inst.src[static_cast<size_t>(k)];
  unsigned positions = 0xF;
  if (inst.op == OpTex || inst.op == OpTexldl || inst.op == OpTexldd) {
    if (k == 1) return 0;
    bool cube = false;
    for (const Constant& c : program.constants)
      if (c.cls == Constant::Class::Sampler && c.registerIndex == inst.src[1].index)
        cube = c.type == Constant::Type::SamplerCube;
    positions = cube ? 0x7 : 0x3;
    if (k == 0 && (inst.op == OpTexldl || inst.control)) positions |= 0x8;
  } else if (inst.op == OpDp3) {
    positions = 0x7;
  } else if (inst.op != OpDp4 && inst.hasDst) {
    positions = inst.dst.mask;
  }
  std::uint8_t read = 0;
  for (int p = 0; p < 4; ++p)
    if (positions & (1u << p)) read = static_cast<std::uint8_t>(read | (1 << s.swizzle[static_cast<size_t>(p)]));
  return read;
}

}  // namespace

bool generate(detail::Module& module, detail::FunctionDecl* entry, const Target& target, const Program& program,
              const std::vector<std::uint8_t>& privateBlock, detail::Diagnostics& diag,
              std::vector<std::uint32_t>* tokens, ShaderStats* stats) {
  std::vector<bool> reserved;
  for (const Constant& c : program.constants) {
    if (c.cls == Constant::Class::Sampler) continue;
    if (reserved.size() < static_cast<size_t>(c.registerIndex + c.registerCount))
      reserved.resize(static_cast<size_t>(c.registerIndex + c.registerCount), false);
    for (int r = c.registerIndex; r < c.registerIndex + c.registerCount; ++r) reserved[static_cast<size_t>(r)] = true;
  }
  IrShader ir;
  Builder builder(target, ir, reserved);
  Lowerer lowerer(module, entry, target, builder, ir, diag);
  if (!lowerer.run()) return false;
  optimize(ir, target);
  Allocation allocation = allocateRegisters(ir, target);

  // What the code reads: declarations and defs of anything else go.
  std::set<std::pair<RegType, int>> read;
  std::set<int> samplersRead;
  for (const Inst& inst : ir.code)
    for (int k = 0; k < inst.sourceCount; ++k) {
      const Src& s = inst.src[static_cast<size_t>(k)];
      read.insert({s.type, s.index});
      if (s.type == RegType::Sampler) samplersRead.insert(s.index);
    }
  for (const Inst& inst : ir.code)
    if (inst.op == OpTexkill) read.insert({inst.dst.type, inst.dst.index});

  // Limits.
  const std::string name(target.name);
  ShaderStats s;
  int arithmeticOver = -1, textureOver = -1, slotsOver = -1;
  for (size_t i = 0; i < ir.code.size(); ++i) {
    const Inst& inst = ir.code[i];
    const int slots = instructionSlots(inst.op, target);
    s.instructionSlots += slots;
    if (isTextureInstruction(inst.op))
      s.textureSlots += slots;
    else
      s.arithmeticSlots += slots;
    if (target.maxArithmetic && s.arithmeticSlots > target.maxArithmetic && arithmeticOver < 0)
      arithmeticOver = static_cast<int>(i);
    if (target.maxTexture && s.textureSlots > target.maxTexture && textureOver < 0) textureOver = static_cast<int>(i);
    if (s.instructionSlots > target.maxSlots && slotsOver < 0) slotsOver = static_cast<int>(i);
  }
  s.temporaries = allocation.temps;
  s.floatConstants = program.floatRegisterCount;
  int constantOver = -1;
  for (const auto& [reg, value] : ir.defs)
    if (read.count({RegType::Const, reg})) s.floatConstants = std::max(s.floatConstants, reg + 1);
  for (size_t i = 0; i < ir.code.size() && constantOver < 0; ++i)
    for (int k = 0; k < ir.code[i].sourceCount; ++k)
      if (ir.code[i].src[static_cast<size_t>(k)].type == RegType::Const &&
          ir.code[i].src[static_cast<size_t>(k)].index >= target.floatConstants)
        constantOver = static_cast<int>(i);
  s.samplers = static_cast<int>(samplersRead.size());
  int levelOver = -1;
  if (target.pixel)
    s.textureLevels =
        dependentReadLevels(ir, &levelOver, target.dependentReadLevels ? target.dependentReadLevels : 1 << 20);
  auto locOf = [&](int i) { return i >= 0 ? ir.code[static_cast<size_t>(i)].loc : entry->loc; };
  auto over = [&](int i, int limit, const std::string& what, int needed) {
    diag.error(locOf(i), name + " allows at most " + std::to_string(limit) + " " + what + "; this shader needs " +
                             std::to_string(needed));
  };
  if (target.maxArithmetic && s.arithmeticSlots > target.maxArithmetic)
    over(arithmeticOver, target.maxArithmetic, "arithmetic instructions", s.arithmeticSlots);
  if (target.maxTexture && s.textureSlots > target.maxTexture)
    over(textureOver, target.maxTexture, "texture instructions", s.textureSlots);
  if (s.instructionSlots > target.maxSlots) over(slotsOver, target.maxSlots, "instruction slots", s.instructionSlots);
  if (s.temporaries > target.temps) over(allocation.overflowAt, target.temps, "temporary registers", s.temporaries);
  if (s.floatConstants > target.floatConstants)
    over(constantOver, target.floatConstants, "float constants", s.floatConstants);
  if (target.dependentReadLevels && s.textureLevels > target.dependentReadLevels)
    over(levelOver, target.dependentReadLevels, "levels of dependent texture reads", s.textureLevels);
  if (diag.errorCount()) return false;

  // Encoding.
  std::vector<std::uint32_t> out;
  const std::uint32_t version = versionToken(target.pixel, target.major, target.minor);
  out.push_back(version);
  std::vector<std::uint32_t> table = constantTableComment(program.constants, version, target.name, kCreator);
  out.insert(out.end(), table.begin(), table.end());
  privateComments(privateBlock, out);
  for (const auto& [reg, value] : ir.defs) {
    if (!read.count({RegType::Const, reg})) continue;
    out.push_back(instructionToken(OpDef, 5));
    out.push_back(destinationToken(RegType::Const, reg, 0xF));
    for (float f : value) out.push_back(floatBits(f));
  }
  for (Declaration d : ir.inputs) {
    if (!read.count({d.type, d.index})) continue;
    // Declared as far as the code reads it.
    for (const Inst& inst : ir.code)
      for (int k = 0; k < inst.sourceCount; ++k) {
        const Src& src = inst.src[static_cast<size_t>(k)];
        if (src.type != d.type || src.index != d.index) continue;
        d.mask = static_cast<std::uint8_t>(d.mask | componentsRead(inst, k, program));
      }
    encodeDeclaration(d, out);
  }
  for (const Declaration& d : ir.outputs) encodeDeclaration(d, out);
  for (int sampler : samplersRead) {
    SamplerType type = Sampler2D;
    for (const Constant& c : program.constants)
      if (c.cls == Constant::Class::Sampler && c.registerIndex == sampler && c.type == Constant::Type::SamplerCube)
        type = SamplerCube;
    out.push_back(instructionToken(OpDcl, 2));
    out.push_back(0x80000000u | (static_cast<std::uint32_t>(type) << 27));
    out.push_back(destinationToken(RegType::Sampler, sampler, 0xF));
  }
  for (const Inst& inst : ir.code) encodeInstruction(inst, out);
  out.push_back(OpEnd);
  *tokens = std::move(out);
  *stats = s;
  return true;
}

}  // namespace hlsl::sm2
