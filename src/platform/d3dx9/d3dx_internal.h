// Helpers shared by the D3DX stand-in's files (and its tests).
#pragma once

#include <cstdint>
#include <vector>

namespace vorn::d3dx {

// One 2x2 box-filter step of an RGBA8 (or BGRA8) image: each output texel
// averages four inputs, edges repeating on odd sizes; sizes halve down to 1.
void boxDownsample(const std::uint8_t* source, int width, int height, std::vector<std::uint8_t>* out, int* outWidth,
                   int* outHeight);

}  // namespace vorn::d3dx
