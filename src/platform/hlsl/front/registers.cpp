// The constant register layout shared by both back ends: every global
// constant the entry point reaches gets its c or s registers here, so the
// GLSL program and the bytecode's constant table agree register for register.
#include <algorithm>

#include "platform/hlsl/front/syntax.h"

namespace hlsl::detail {

namespace {

int registersNeeded(const Var* v) {
  if (v->type.kind == Kind::Sampler) return 1;
  int rows = v->type.kind == Kind::Matrix ? v->type.rows : 1;
  return rows * std::max(1, v->type.array);
}

Constant describe(Var* v) {
  Constant c;
  c.name = v->name;
  c.registerIndex = v->reg;
  c.elements = v->type.array;
  if (v->type.kind == Kind::Sampler) {
    c.cls = Constant::Class::Sampler;
    bool cube = v->type.base == Base::SamplerCube || (v->type.base == Base::SamplerAny && v->usedCube);
    c.type = cube ? Constant::Type::SamplerCube : Constant::Type::Sampler2D;
    if (v->type.base == Base::SamplerAny) v->type.base = cube ? Base::SamplerCube : Base::Sampler2D;
    c.registerCount = 1;
    return c;
  }
  c.cls = v->type.kind == Kind::Matrix   ? Constant::Class::Matrix
          : v->type.kind == Kind::Vector ? Constant::Class::Vector
                                         : Constant::Class::Scalar;
  c.type = v->type.base == Base::Int    ? Constant::Type::Int
           : v->type.base == Base::Bool ? Constant::Type::Bool
                                        : Constant::Type::Float;
  c.rows = v->type.kind == Kind::Matrix ? v->type.rows : 1;
  c.columns = v->type.cols;
  c.registerCount = registersNeeded(v);
  return c;
}

}  // namespace

void assignRegisters(Module& module, const Options& options, Program& program, Diagnostics& diag) {
  std::vector<Var*> globals;
  for (TopLevel& item : module.items)
    if (item.what == TopLevel::What::Globals)
      for (Var* v : item.vars)
        if (v->constant && v->reached) globals.push_back(v);
  // The tables run past the profile's limit so that a shader over it can be
  // told how many registers it needs.
  int floatsWanted = 0, samplersWanted = 0;
  for (const Var* v : globals) (v->type.kind == Kind::Sampler ? samplersWanted : floatsWanted) += registersNeeded(v);
  std::vector<Var*> owner(static_cast<size_t>(options.maxFloatRegisters + floatsWanted), nullptr);
  std::vector<Var*> samplerOwner(static_cast<size_t>(options.maxSamplers + samplersWanted), nullptr);
  // Explicit registers first, then the rest into the lowest free ones.
  for (int pass = 0; pass < 2; ++pass) {
    for (Var* v : globals) {
      bool sampler = v->type.kind == Kind::Sampler;
      auto& table = sampler ? samplerOwner : owner;
      int count = registersNeeded(v);
      int limit = sampler ? options.maxSamplers : options.maxFloatRegisters;
      bool explicitReg = v->regClass != 0;
      if ((pass == 0) != explicitReg) continue;
      int start = -1;
      if (explicitReg) {
        if (v->regIndex + count > limit) {
          diag.error(v->loc, "register " + std::string(1, v->regClass) + std::to_string(v->regIndex) +
                                 " is out of range for " + options.profile + " (" + std::string(1, v->regClass) +
                                 "0 to " + std::string(1, v->regClass) + std::to_string(limit - 1) + ")");
          continue;
        }
        for (int r = v->regIndex; r < v->regIndex + count; ++r) {
          if (table[static_cast<size_t>(r)]) {
            diag.error(v->loc,
                       "'" + v->name + "' overlaps the registers of '" + table[static_cast<size_t>(r)]->name + "'");
            start = -2;
            break;
          }
        }
        if (start == -2) continue;
        start = v->regIndex;
      } else {
        int size = static_cast<int>(table.size());
        for (int r = 0; r + count <= size && start < 0; ++r) {
          bool free = true;
          for (int k = r; k < r + count; ++k)
            if (table[static_cast<size_t>(k)]) {
              free = false;
              r = k;
              break;
            }
          if (free) start = r;
        }
      }
      for (int r = start; r < start + count; ++r) table[static_cast<size_t>(r)] = v;
      v->reg = start;
    }
  }
  // Report the first constant that does not fit, with what the shader needs.
  for (bool sampler : {false, true}) {
    int limit = sampler ? options.maxSamplers : options.maxFloatRegisters;
    int top = 0;
    const Var* first = nullptr;
    for (const Var* v : globals) {
      if (v->reg < 0 || (v->type.kind == Kind::Sampler) != sampler) continue;
      int end = v->reg + registersNeeded(v);
      top = std::max(top, end);
      if (end > limit && (!first || v->reg < first->reg)) first = v;
    }
    if (first) {
      std::string what = sampler ? "samplers" : "float constants";
      diag.error(first->loc, options.profile + " allows at most " + std::to_string(limit) + " " + what +
                                 "; this shader needs " + std::to_string(top));
    }
  }
  if (diag.errorCount()) return;
  int top = 0;
  for (Var* v : globals) {
    if (v->reg < 0) continue;
    Constant c = describe(v);
    if (c.cls != Constant::Class::Sampler) top = std::max(top, c.registerIndex + c.registerCount);
    program.constants.push_back(std::move(c));
  }
  program.floatRegisterCount = top;
}

}  // namespace hlsl::detail
