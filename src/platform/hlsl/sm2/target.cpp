// The profiles and their limits, as the Direct3D 9 shader models define
// them (the 2_x profiles at the capabilities their names stand for).
#include "platform/hlsl/sm2/target.h"

#include <vector>

namespace hlsl::sm2 {

namespace {

Target vertex(std::string_view name, int major, int minor, int slots, int temps) {
  Target t;
  t.name = name;
  t.pixel = false;
  t.major = major;
  t.minor = minor;
  t.maxSlots = slots;
  t.temps = temps;
  t.floatConstants = 256;
  t.arbitrarySwizzle = true;
  t.sincosConstants = major < 3;
  return t;
}

Target pixel(std::string_view name, int major, int minor, int slots, int temps) {
  Target t;
  t.name = name;
  t.pixel = true;
  t.major = major;
  t.minor = minor;
  t.maxSlots = slots;
  t.temps = temps;
  t.floatConstants = 32;
  t.samplers = 16;
  t.texcoordInputs = 8;
  t.colorInputs = 2;
  t.saturate = true;
  t.biasSampling = true;
  t.sincosConstants = major < 3;
  return t;
}

const std::vector<Target>& table() {
  static const std::vector<Target> targets = [] {
    std::vector<Target> t;
    t.push_back(vertex("vs_2_0", 2, 0, 256, 12));
    t.push_back(vertex("vs_2_a", 2, 1, 256, 13));
    t.push_back(vertex("vs_2_sw", 2, 255, 8192, 32));
    Target vs3 = vertex("vs_3_0", 3, 0, 512, 32);
    vs3.samplers = 4;
    vs3.saturate = true;
    vs3.lodSampling = true;
    vs3.semanticRegisters = true;
    vs3.outputRegisters = 12;
    t.push_back(vs3);
    Target ps20 = pixel("ps_2_0", 2, 0, 96, 12);
    ps20.maxArithmetic = 64;
    ps20.maxTexture = 32;
    ps20.dependentReadLevels = 4;
    t.push_back(ps20);
    Target ps2a = pixel("ps_2_a", 2, 1, 512, 22);
    ps2a.arbitrarySwizzle = true;
    ps2a.derivatives = true;
    t.push_back(ps2a);
    t.push_back(pixel("ps_2_b", 2, 1, 512, 32));
    Target ps2sw = pixel("ps_2_sw", 2, 255, 8192, 32);
    ps2sw.arbitrarySwizzle = true;
    ps2sw.derivatives = true;
    t.push_back(ps2sw);
    Target ps3 = pixel("ps_3_0", 3, 0, 512, 32);
    ps3.floatConstants = 224;
    ps3.texcoordInputs = 0;
    ps3.colorInputs = 0;
    ps3.arbitrarySwizzle = true;
    ps3.derivatives = true;
    ps3.lodSampling = true;
    ps3.semanticRegisters = true;
    t.push_back(ps3);
    return t;
  }();
  return targets;
}

}  // namespace

const Target* findTarget(std::string_view profile) {
  for (const Target& t : table())
    if (t.name == profile) return &t;
  return nullptr;
}

}  // namespace hlsl::sm2
