// Fuzz entry for the .nsl reader: any bytes read within the buffer limits,
// and the profile they build turns into a vertex declaration.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shader/shader_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> copy(data, data + size);
  std::FILE* file = fmemopen(copy.data(), copy.size(), "r");
  if (!file) return 0;
  VertexProfile profile;
  std::vector<char> vertexText(SHADER_TEXT_SIZE, '\0'), pixelText(SHADER_TEXT_SIZE, '\0');
  std::string problem;
  if (!readShaderSourceFile(file, &profile, vertexText.data(), pixelText.data(), &problem)) __builtin_trap();
  std::fclose(file);
  // The texts are terminated inside their buffers.
  if (!std::memchr(vertexText.data(), 0, SHADER_TEXT_SIZE) || !std::memchr(pixelText.data(), 0, SHADER_TEXT_SIZE)) {
    __builtin_trap();
  }
  (void)profile.toDeclaration();
  return 0;
}
