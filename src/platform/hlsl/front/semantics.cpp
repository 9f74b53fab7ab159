// Semantic names and the attribute locations shared with vertex declarations.
#include <cctype>

#include "platform/hlsl/hlsl.h"

namespace hlsl {

std::string canonicalSemantic(std::string_view semantic) {
  std::string name;
  for (char c : semantic) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.empty() || !std::isdigit(static_cast<unsigned char>(name.back()))) name += '0';
  return name;
}

int attributeLocation(std::string_view canonical) {
  struct Entry {
    std::string_view semantic;
    int location;
  };
  static constexpr Entry table[] = {
      {"POSITION0", 0},  {"NORMAL0", 1},    {"COLOR0", 2},     {"COLOR1", 3},      {"TEXCOORD0", 4},
      {"TEXCOORD1", 5},  {"TEXCOORD2", 6},  {"TEXCOORD3", 7},  {"TEXCOORD4", 8},   {"TEXCOORD5", 9},
      {"TEXCOORD6", 10}, {"TEXCOORD7", 11}, {"TANGENT0", 12},  {"BINORMAL0", 13},  {"PSIZE0", 14},
      {"BLENDWEIGHT0", 15},
  };
  for (const Entry& entry : table) {
    if (entry.semantic == canonical) return entry.location;
  }
  return -1;
}

std::string varyingName(std::string_view canonical) { return "v_" + std::string(canonical); }

}  // namespace hlsl
