// compile(): profile selection and the passes, plus the blob that carries
// the GLSL program inside the bytecode.
#include <cstring>
#include <new>

#include "platform/hlsl/front/syntax.h"
#include "platform/hlsl/sm2/sm2.h"

namespace hlsl {

namespace {

bool profileOptions(std::string_view profile, detail::Options& o, const sm2::Target** target) {
  *target = sm2::findTarget(profile);
  if (!*target) return false;
  const sm2::Target& t = **target;
  o.stage = t.pixel ? Stage::Pixel : Stage::Vertex;
  o.maxFloatRegisters = t.floatConstants;
  o.maxSamplers = t.samplers;
  o.vertexTextures = !t.pixel && t.lodSampling;
  o.profile = std::string(profile);
  return true;
}

}  // namespace

CompileResult compile(std::string_view source, std::string_view entryPoint, std::string_view profile) {
  CompileResult result;
  detail::Diagnostics diag;
  detail::Options options;
  options.entry = entryPoint.empty() ? "main" : std::string(entryPoint);
  const sm2::Target* target = nullptr;
  try {
    if (!profileOptions(profile, options, &target)) {
      diag.error(detail::Loc{1, 1}, "unknown or unsupported profile '" + std::string(profile) +
                                        "' (vs_2_0, vs_2_a, vs_2_sw, vs_3_0, ps_2_0, ps_2_a, ps_2_b, ps_2_sw, ps_3_0)");
    } else {
      std::vector<detail::Token> tokens = detail::preprocess(source, diag);
      detail::Module module;
      detail::parse(tokens, module, diag);
      if (diag.errorCount() == 0) {
        detail::FunctionDecl* entry = detail::check(module, options, diag);
        if (entry && diag.errorCount() == 0) {
          result.program.stage = options.stage;
          detail::assignRegisters(module, options, result.program, diag);
          if (diag.errorCount() == 0) detail::emit(module, entry, options, result.program, diag);
          if (diag.errorCount() == 0)
            sm2::generate(module, entry, *target, result.program, serialize(result.program), diag, &result.bytecode,
                          &result.stats);
        }
      }
    }
  } catch (detail::AbortCompile&) {
    // The message is already in the log.
  } catch (std::bad_alloc&) {
    diag.error(detail::Loc{1, 1}, "out of memory");
  } catch (...) {
    diag.error(detail::Loc{1, 1}, "internal compiler error");
  }
  result.ok = diag.errorCount() == 0;
  result.messages = diag.text();
  if (!result.ok) {
    if (result.messages.empty()) result.messages = "(1,1): error: compilation failed\n";
    result.program = Program{};
    result.program.stage = options.stage;
    result.bytecode.clear();
    result.stats = ShaderStats{};
  }
  return result;
}

// ---------------------------------------------------------------- blob
//
// Layout, all integers little-endian:
//   u32 total size, u32 magic "VHS1", u8 stage, u32 float register count,
//   str glsl, u32 n + n constants, u32 n + n inputs, u32 n + n outputs
// where str is u32 length + bytes; a constant is str name, u8 class, u8 type,
// i32 register, i32 register count, i32 rows, i32 columns, i32 elements;
// a varying is str semantic, i32 components.

namespace {

constexpr std::uint32_t kMagic = 0x31534856;  // "VHS1"

class Writer {
 public:
  void u8(std::uint8_t v) { out.push_back(v); }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
  void str(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  std::vector<std::uint8_t> out;
};

class Reader {
 public:
  Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  bool u8(std::uint8_t& v) {
    if (n_ - pos_ < 1) return false;
    v = p_[pos_++];
    return true;
  }
  bool u32(std::uint32_t& v) {
    if (n_ - pos_ < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool i32(int& v) {
    std::uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int>(u);
    return true;
  }
  bool str(std::string& s) {
    std::uint32_t len;
    if (!u32(len) || len > n_ - pos_) return false;
    s.assign(reinterpret_cast<const char*>(p_ + pos_), len);
    pos_ += len;
    return true;
  }
  bool count(std::uint32_t& n, std::size_t minimumItemSize) {
    if (!u32(n)) return false;
    return n <= (n_ - pos_) / minimumItemSize;
  }
  bool done() const { return pos_ == n_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

bool sane(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

std::vector<std::uint8_t> serialize(const Program& program) {
  Writer w;
  w.u32(0);  // total size, patched below
  w.u32(kMagic);
  w.u8(program.stage == Stage::Vertex ? 0 : 1);
  w.i32(program.floatRegisterCount);
  w.str(program.glsl);
  w.u32(static_cast<std::uint32_t>(program.constants.size()));
  for (const Constant& c : program.constants) {
    w.str(c.name);
    w.u8(static_cast<std::uint8_t>(c.cls));
    w.u8(static_cast<std::uint8_t>(c.type));
    w.i32(c.registerIndex);
    w.i32(c.registerCount);
    w.i32(c.rows);
    w.i32(c.columns);
    w.i32(c.elements);
  }
  for (const std::vector<Varying>* list : {&program.inputs, &program.outputs}) {
    w.u32(static_cast<std::uint32_t>(list->size()));
    for (const Varying& v : *list) {
      w.str(v.semantic);
      w.i32(v.components);
    }
  }
  auto size = static_cast<std::uint32_t>(w.out.size());
  for (int i = 0; i < 4; ++i) w.out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
  return std::move(w.out);
}

bool deserialize(const void* blob, Program* program) {
  if (!blob || !program) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(blob);
  std::uint32_t total = 0;
  for (int i = 0; i < 4; ++i) total |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  if (total < 4 + 4 + 1 + 4 + 4 + 4 * 3 || total > (1u << 30)) return false;
  Reader r(bytes + 4, total - 4);
  Program p;
  std::uint32_t magic;
  std::uint8_t stage;
  if (!r.u32(magic) || magic != kMagic || !r.u8(stage) || stage > 1) return false;
  p.stage = stage == 0 ? Stage::Vertex : Stage::Pixel;
  if (!r.i32(p.floatRegisterCount) || !sane(p.floatRegisterCount, 0, 4096)) return false;
  if (!r.str(p.glsl)) return false;
  std::uint32_t n;
  if (!r.count(n, 4 + 2 + 20)) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    Constant c;
    std::uint8_t cls, type;
    if (!r.str(c.name) || !r.u8(cls) || !r.u8(type) || cls > 3 || type > 4) return false;
    c.cls = static_cast<Constant::Class>(cls);
    c.type = static_cast<Constant::Type>(type);
    if (!r.i32(c.registerIndex) || !r.i32(c.registerCount) || !r.i32(c.rows) || !r.i32(c.columns) ||
        !r.i32(c.elements))
      return false;
    if (!sane(c.registerIndex, 0, 4095) || !sane(c.registerCount, 1, 4096) || !sane(c.rows, 1, 4) ||
        !sane(c.columns, 1, 4) || !sane(c.elements, 0, 65536))
      return false;
    p.constants.push_back(std::move(c));
  }
  for (std::vector<Varying>* list : {&p.inputs, &p.outputs}) {
    if (!r.count(n, 8)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      Varying v;
      if (!r.str(v.semantic) || !r.i32(v.components) || !sane(v.components, 1, 16)) return false;
      list->push_back(std::move(v));
    }
  }
  if (!r.done()) return false;
  *program = std::move(p);
  return true;
}

}  // namespace hlsl
