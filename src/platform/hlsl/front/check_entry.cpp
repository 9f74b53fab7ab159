// The type checker's entry point: its inputs and outputs by semantic, what
// each stage may read and write, and everything the entry reaches.
#include <algorithm>
#include <cctype>

#include "platform/hlsl/front/checker.h"

namespace hlsl::detail {

namespace {

struct Canon {
  std::string base;
  int index;
};

Canon splitSemantic(const std::string& canonical) {
  size_t k = canonical.size();
  while (k > 0 && std::isdigit(static_cast<unsigned char>(canonical[k - 1]))) --k;
  Canon c;
  c.base = canonical.substr(0, k);
  std::string digits = canonical.substr(k);
  c.index = digits.empty() || digits.size() > 4 ? (digits.empty() ? 0 : 9999) : std::stoi(digits);
  return c;
}

}  // namespace

bool Checker::collectSlots(const Type& t, const std::string& semantic, Loc loc, bool input, int param,
                           std::vector<int>& path, const std::string& what, int depth) {
  if (t.kind == Kind::Struct && t.array == 0) {
    if (depth > 8) {
      diag_.error(loc, "structures nested too deeply");
      return false;
    }
    const StructDecl& sd = m_.structs[t.structId];
    bool ok = true;
    for (size_t i = 0; i < sd.members.size(); ++i) {
      path.push_back(static_cast<int>(i));
      const StructMember& mem = sd.members[i];
      ok = collectSlots(mem.type, mem.semantic, mem.loc, input, param, path, "member '" + mem.name + "'", depth + 1) &&
           ok;
      path.pop_back();
    }
    return ok;
  }
  if (semantic.empty()) {
    diag_.error(loc, what + " of the entry point is missing a semantic");
    return false;
  }
  if (!t.isScalar() && !t.isVector()) {
    diag_.error(loc, what + ": type '" + tn(t) + "' cannot carry a semantic");
    return false;
  }
  IOSlot slot;
  slot.semantic = canonicalSemantic(semantic);
  slot.type = t;
  slot.input = input;
  slot.param = param;
  slot.path = path;
  slot.loc = loc;
  if (!validSemantic(slot)) return false;
  for (const IOSlot& other : m_.io) {
    if (other.input == input && other.semantic == slot.semantic) {
      diag_.error(loc, "semantic '" + slot.semantic + "' is used twice");
      return false;
    }
  }
  m_.io.push_back(std::move(slot));
  return true;
}

bool Checker::validSemantic(const IOSlot& s) {
  Canon c = splitSemantic(s.semantic);
  bool vs = opt_.stage == Stage::Vertex;
  bool ok;
  std::string role;
  if (vs && s.input) {
    ok = attributeLocation(s.semantic) >= 0;
    role = "vertex shader input";
  } else if (vs) {
    ok = (c.base == "POSITION" && c.index == 0) || (c.base == "PSIZE" && c.index == 0) ||
         (c.base == "FOG" && c.index == 0) || (c.base == "COLOR" && c.index < 4) ||
         (c.base == "TEXCOORD" && c.index < 16) ||
         ((c.base == "NORMAL" || c.base == "TANGENT" || c.base == "BINORMAL") && c.index < 4);
    role = "vertex shader output";
  } else if (s.input) {
    ok = (c.base == "FOG" && c.index == 0) || (c.base == "COLOR" && c.index < 4) ||
         (c.base == "TEXCOORD" && c.index < 16) ||
         ((c.base == "NORMAL" || c.base == "TANGENT" || c.base == "BINORMAL") && c.index < 4);
    role = "pixel shader input";
    if (c.base == "POSITION" || c.base == "VPOS" || c.base == "VFACE") {
      diag_.error(s.loc, "'" + s.semantic + "' cannot be read by a pixel shader here");
      return false;
    }
  } else {
    ok = (c.base == "COLOR" && c.index < 4) || (c.base == "DEPTH" && c.index == 0);
    role = "pixel shader output";
  }
  if (!ok) diag_.error(s.loc, "'" + s.semantic + "' is not a valid " + role + " semantic");
  if (ok && c.base == "PSIZE" && !s.type.isScalar()) {
    diag_.error(s.loc, "PSIZE must be a scalar");
    return false;
  }
  if (ok && c.base == "DEPTH" && !s.type.isScalar()) {
    diag_.error(s.loc, "DEPTH must be a scalar");
    return false;
  }
  return ok;
}

void Checker::entryChecks() {
  FunctionDecl* f = entry_;
  std::vector<int> path;
  for (size_t i = 0; i < f->params.size(); ++i) {
    Var* p = f->params[i];
    if (p->isUniform) continue;
    if (p->type.array) {
      diag_.error(p->loc, "array parameters of the entry point are not supported");
      continue;
    }
    std::string what = "parameter '" + p->name + "'";
    if (p->dir != ParamDir::Out) collectSlots(p->type, p->semantic, p->loc, true, static_cast<int>(i), path, what);
    if (p->dir != ParamDir::In) collectSlots(p->type, p->semantic, p->loc, false, static_cast<int>(i), path, what);
  }
  if (f->ret.kind != Kind::Void) collectSlots(f->ret, f->semantic, f->loc, false, -1, path, "return value");
  bool vs = opt_.stage == Stage::Vertex;
  bool found = false;
  for (const IOSlot& s : m_.io)
    if (!s.input && s.semantic == (vs ? "POSITION0" : "COLOR0")) found = true;
  if (!found && diag_.errorCount() == 0)
    diag_.error(f->loc, vs ? "vertex shader must write POSITION" : "pixel shader must write COLOR0");
}

void Checker::reach() {
  std::vector<FunctionDecl*> stack;
  visit(entry_, stack);
  // Globals used by what is reached, and what their initialisers use, until
  // nothing new turns up.
  bool changed = true;
  while (changed) {
    changed = false;
    for (auto& fp : m_.funcPool) {
      if (!fp->reachable) continue;
      for (Var* g : fp->globals) {
        if (g->reached) continue;
        g->reached = true;
        changed = true;
        if (g->initUses) visit(g->initUses, stack);
      }
    }
  }
  // Stage checks for everything reached.
  bool vs = opt_.stage == Stage::Vertex;
  for (auto& fp : m_.funcPool) {
    FunctionDecl* f = fp.get();
    if (!f->reachable) continue;
    for (auto& [use, loc] : f->stageUses) {
      if (!vs) continue;
      switch (use) {
        case FunctionDecl::Use::Discard:
          diag_.error(loc, "discard and clip are only available in pixel shaders");
          break;
        case FunctionDecl::Use::Derivative: diag_.error(loc, "ddx and ddy are only available in pixel shaders"); break;
        case FunctionDecl::Use::ImplicitTexture:
          diag_.error(loc, "vertex shaders sample textures only with tex2Dlod or texCUBElod");
          break;
        case FunctionDecl::Use::LodTexture:
          if (!opt_.vertexTextures)
            diag_.error(loc, "texture sampling in vertex shaders needs vs_3_0 (profile " + opt_.profile + ")");
          break;
      }
    }
  }
}

void Checker::visit(FunctionDecl* def, std::vector<FunctionDecl*>& stack) {
  if (def->reachable) return;
  def->reachable = true;
  if (def->symbol) def->symbol->reachable = true;
  stack.push_back(def->symbol ? def->symbol : def);
  for (auto& [callee, loc] : def->calls) {
    FunctionDecl* sym = callee->symbol ? callee->symbol : callee;
    if (std::find(stack.begin(), stack.end(), sym) != stack.end()) {
      diag_.error(loc, "recursive call to '" + sym->name + "'");
      continue;
    }
    if (!sym->definition) {
      diag_.error(loc, "function '" + sym->name + "' is declared but never defined");
      continue;
    }
    if (stack.size() > 100) {
      diag_.error(loc, "calls nested too deeply");
      continue;
    }
    visit(sym->definition, stack);
  }
  stack.pop_back();
}

}  // namespace hlsl::detail
