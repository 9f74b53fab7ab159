// The profiles and their limits, as the Direct3D 9 shader models define
// them (the 2_x profiles at the capabilities their names stand for).
#include "platform/hlsl/sm2/target.h"

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

const Target* table() {
  static const Target targets[] = {
      [] {
        Target t = vertex("vs_2_0", 2, 0, 256, 12);
        return t;
      }(),
      [] {
        Target t = vertex("vs_2_a", 2, 1, 256, 13);
        return t;
      }(),
      [] {
        Target t = vertex("vs_2_sw", 2, 255, 8192, 32);
        return t;
      }(),
      [] {
        Target t = vertex("vs_3_0", 3, 0, 512, 32);
        t.samplers = 4;
        t.saturate = true;
        t.lodSampling = true;
        t.semanticRegisters = true;
        t.outputRegisters = 12;
        return t;
      }(),
      [] {
        Target t = pixel("ps_2_0", 2, 0, 96, 12);
        t.maxArithmetic = 64;
        t.maxTexture = 32;
        t.dependentReadLevels = 4;
        return t;
      }(),
      [] {
        Target t = pixel("ps_2_a", 2, 1, 512, 22);
        t.arbitrarySwizzle = true;
        t.derivatives = true;
        return t;
      }(),
      [] {
        Target t = pixel("ps_2_b", 2, 1, 512, 32);
        return t;
      }(),
      [] {
        Target t = pixel("ps_2_sw", 2, 255, 8192, 32);
        t.arbitrarySwizzle = true;
        t.derivatives = true;
        return t;
      }(),
      [] {
        Target t = pixel("ps_3_0", 3, 0, 512, 32);
        t.floatConstants = 224;
        t.texcoordInputs = 0;
        t.colorInputs = 0;
        t.arbitrarySwizzle = true;
        t.derivatives = true;
        t.lodSampling = true;
        t.semanticRegisters = true;
        return t;
      }(),
  };
  return targets;
}

constexpr int kTargetCount = 9;

}  // namespace

const Target* findTarget(std::string_view profile) {
  const Target* targets = table();
  for (int i = 0; i < kTargetCount; ++i)
    if (targets[i].name == profile) return &targets[i];
  return nullptr;
}

}  // namespace hlsl::sm2
