// The rules of shader model 2 (and 3) bytecode that Direct3D 9's own
// validator enforces and libmojoshader does not, checked on the token
// stream: swizzles and read ports a profile allows, texld and output
// register forms, no read of a temporary component before it is written,
// inputs read only as declared, registers within the profile's counts.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bytecode_check.h"

namespace hlsltest {

namespace {

enum : unsigned {
  kMov = 1, kAdd = 2, kSub = 3, kMad = 4, kMul = 5, kRcp = 6, kRsq = 7, kDp3 = 8, kDp4 = 9, kMin = 10,
  kMax = 11, kSlt = 12, kSge = 13, kExp = 14, kLog = 15, kLrp = 18, kFrc = 19, kDcl = 31, kPow = 32,
  kAbs = 35, kSincos = 37, kTexkill = 65, kTex = 66, kDef = 81, kCmp = 88, kDsx = 91, kDsy = 92,
  kTexldd = 93, kTexldl = 95, kComment = 0xFFFE, kEnd = 0xFFFF
};
enum : unsigned { Temp = 0, Input = 1, Const = 2, Texture = 3, RastOut = 4, AttrOut = 5, Output = 6, ColorOut = 8,
                  DepthOut = 9, Sampler = 10 };

unsigned regType(std::uint32_t t) { return ((t >> 28) & 7u) | ((t >> 8) & 0x18u); }
unsigned regIndex(std::uint32_t t) { return t & 0x7FFu; }
unsigned mask(std::uint32_t t) { return (t >> 16) & 0xFu; }
unsigned swizzle(std::uint32_t t, int p) { return (t >> (16 + 2 * p)) & 3u; }
unsigned srcModifier(std::uint32_t t) { return (t >> 24) & 0xFu; }
bool replicate(std::uint32_t t) { return ((t >> 16) & 0xFFu) % 0x55u == 0; }  // .xxxx, .yyyy, ...

struct Profile {
  bool pixel;
  int major, minor;
  int temps, constants;
  bool arbitrarySwizzle;
};

Profile profileOf(std::uint32_t version) {
  Profile p;
  p.pixel = (version & 0xFFFF0000u) == 0xFFFF0000u;
  p.major = static_cast<int>((version >> 8) & 0xFF);
  p.minor = static_cast<int>(version & 0xFF);
  const bool twoZero = p.major == 2 && p.minor == 0;
  p.temps = twoZero ? 12 : 32;
  p.constants = p.pixel ? (p.major >= 3 ? 224 : 32) : 256;
  // Only ps_2_0 is sure to lack arbitrary swizzles (2_x depends on the card).
  p.arbitrarySwizzle = !(p.pixel && twoZero);
  return p;
}

bool legalPixelSwizzle(std::uint32_t t) {
  const unsigned s = (t >> 16) & 0xFFu;
  // .xyzw, the replicates, .yzxw, .zxyw.
  return s == 0xE4 || s == 0x00 || s == 0x55 || s == 0xAA || s == 0xFF || s == 0xC9 || s == 0xD2;
}

}  // namespace

std::string ruleViolations(const std::vector<std::uint32_t>& code) {
  std::string out;
  auto fail = [&](size_t at, const std::string& what) { out += "token " + std::to_string(at) + ": " + what + "\n"; };
  if (code.size() < 2) return "too short\n";
  const Profile prof = profileOf(code[0]);
  const bool ps2 = prof.pixel && prof.major == 2;
  std::map<std::pair<unsigned, unsigned>, unsigned> declared;  // (type, index) -> mask
  std::map<unsigned, unsigned> samplerKind;
  std::vector<unsigned> written(64, 0);  // temporaries' written components
  std::set<unsigned> colorsWritten;
  bool depthWritten = false, positionWritten = false;
  size_t i = 1;
  while (i < code.size()) {
    const std::uint32_t token = code[i];
    const unsigned op = token & 0xFFFF;
    if (op == kEnd) break;
    if (op == kComment) {
      i += 1 + ((token >> 16) & 0x7FFF);
      continue;
    }
    const size_t length = (token >> 24) & 0xF;
    if (i + length >= code.size()) return out + "instruction runs past the end\n";
    const std::uint32_t* p = &code[i + 1];
    if (op == kDcl) {
      const unsigned type = regType(p[1]);
      declared[{type, regIndex(p[1])}] = mask(p[1]);
      if (type == Sampler) samplerKind[regIndex(p[1])] = (p[0] >> 27) & 0xF;
      i += 1 + length;
      continue;
    }
    if (op == kDef) {
      i += 1 + length;
      continue;
    }
    const bool hasDst = op != 0;
    const std::uint32_t dst = p[0];
    const unsigned dstMask = mask(dst);
    std::vector<std::uint32_t> sources(p + (hasDst ? 1 : 0), p + length);
    if (op == kTexkill) sources = {dst};
    // Components each source reads.
    for (size_t k = 0; k < sources.size(); ++k) {
      const std::uint32_t s = sources[k];
      const unsigned type = regType(s), index = regIndex(s);
      unsigned reads = 0;
      if (op == kTexkill) {
        reads = 0xF;
      } else if (op == kTex || op == kTexldl || op == kTexldd) {
        if (k == 0 || k >= 2) {
          const unsigned sampler = regIndex(sources[1]);
          const unsigned kind = samplerKind.count(sampler) ? samplerKind[sampler] : 2;
          reads = kind == 2 ? 0x3 : 0x7;
          if (k == 0 && (op == kTexldl || (op == kTex && (token & 0x00030000u)))) reads |= 0x8;
        }
      } else if (op == kDp3) {
        reads = (1u << swizzle(s, 0)) | (1u << swizzle(s, 1)) | (1u << swizzle(s, 2));
      } else if (op == kDp4) {
        for (int c = 0; c < 4; ++c) reads |= 1u << swizzle(s, c);
      } else if (op == kRcp || op == kRsq || op == kExp || op == kLog || op == kPow || (op == kSincos && k == 0)) {
        reads = 1u << swizzle(s, 0);
        if (!replicate(s)) fail(i, "scalar instruction source without a replicate swizzle");
      } else if (op == kSincos) {
        reads = 0xF;
      } else {
        for (int c = 0; c < 4; ++c)
          if (dstMask & (1u << c)) reads |= 1u << swizzle(s, c);
      }
      if (type == Temp) {
        if (index >= static_cast<unsigned>(prof.temps)) fail(i, "temporary r" + std::to_string(index) + " beyond the profile");
        else if ((reads & ~written[index]) != 0) fail(i, "reads components of r" + std::to_string(index) + " never written");
      } else if (type == Input || (type == Texture && prof.pixel)) {
        auto d = declared.find({type, index});
        if (d == declared.end()) fail(i, "reads an undeclared input register");
        else if ((reads & ~d->second) != 0) fail(i, "reads input components it did not declare");
      } else if (type == Sampler) {
        if (!samplerKind.count(index)) fail(i, "samples an undeclared sampler");
      } else if (type == Const && index >= static_cast<unsigned>(prof.constants)) {
        fail(i, "constant c" + std::to_string(index) + " beyond the profile");
      }
      if (ps2 && !prof.arbitrarySwizzle && type != Sampler && op != kTexkill && !legalPixelSwizzle(s))
        fail(i, "a swizzle ps_2_0 does not allow");
    }
    // One constant, input and texture-coordinate register per instruction.
    for (unsigned type : {Const, Input, Texture}) {
      if (op == kSincos || (type == Texture && !prof.pixel)) continue;
      std::set<unsigned> regs;
      for (std::uint32_t s : sources)
        if (regType(s) == type) regs.insert(regIndex(s));
      if (regs.size() > 1) fail(i, "reads two registers of one kind that has a single read port");
    }
    if (hasDst && op != kTexkill) {
      const unsigned type = regType(dst), index = regIndex(dst);
      const bool saturate = ((dst >> 20) & 1u) != 0;
      if (saturate && !prof.pixel && prof.major < 3) fail(i, "_sat in a vertex shader before 3.0");
      if (ps2 && (op == kTex)) {
        if (type != Temp || dstMask != 0xF) fail(i, "texld writes a whole temporary");
        if ((regType(sources[0]) != Temp && regType(sources[0]) != Texture) || ((sources[0] >> 16) & 0xFF) != 0xE4 ||
            srcModifier(sources[0]))
          fail(i, "texld reads a t# or r# register as it is");
      }
      if (op == kLrp || op == kPow || op == kSincos)
        for (std::uint32_t s : sources)
          if (type == Temp && regType(s) == Temp && regIndex(s) == index) fail(i, "macro instruction overwrites a source");
      if (op == kSincos && prof.major == 2) {
        if (type != Temp || (dstMask != 1 && dstMask != 2 && dstMask != 3)) fail(i, "sincos writes .x, .y or .xy of a temporary");
        if (sources.size() != 3 || regType(sources[1]) != Const || regType(sources[2]) != Const ||
            regIndex(sources[1]) == regIndex(sources[2]))
          fail(i, "sincos takes two different constant registers");
      }
      if (type == ColorOut && ps2) {
        if (op != kMov || dstMask != 0xF || ((sources[0] >> 16) & 0xFF) != 0xE4 || srcModifier(sources[0]))
          fail(i, "oC# is written by mov, whole, from a register read as it is");
        if (!colorsWritten.insert(index).second) fail(i, "oC# written twice");
      }
      if (type == DepthOut) {
        if (ps2 && (op != kMov || !replicate(sources[0]))) fail(i, "oDepth is written by mov from one component");
        depthWritten = true;
      }
      if (type == RastOut && index == 0) positionWritten = true;
      if (type == Temp) {
        if (index >= static_cast<unsigned>(prof.temps)) fail(i, "temporary beyond the profile");
        else written[index] |= dstMask;
        // The 2.x sincos leaves .z undefined.
        if (op == kSincos && prof.major == 2 && index < written.size()) written[index] &= ~0x4u;
      }
    }
    i += 1 + length;
  }
  if (i >= code.size()) out += "no end token\n";
  if (prof.pixel && ps2) {
    if (!colorsWritten.count(0) && !depthWritten) out += "oC0 is never written\n";
    for (unsigned c : colorsWritten)
      if (c > 0 && !colorsWritten.count(c - 1)) out += "oC" + std::to_string(c) + " without the ones before it\n";
  }
  if (!prof.pixel && prof.major == 2 && !positionWritten) out += "oPos is never written\n";
  return out;
}

}  // namespace hlsltest
