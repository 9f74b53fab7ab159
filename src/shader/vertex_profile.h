// A vertex layout: elements (offset, components, usage, usage index) and the
// stride, shared by shader files and scene files.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

constexpr std::int32_t USAGE_POSITION = 1;
constexpr std::int32_t USAGE_NORMAL = 2;
constexpr std::int32_t USAGE_TEXCOORD = 4;
constexpr std::int32_t USAGE_COLOR = 8;

struct VertexProfileElement {
  std::int32_t offset = 0;
  std::int32_t components = 0;
  std::int32_t usage = 0;
  std::int32_t usageIndex = 0;
};

struct VertexProfile {
  std::vector<VertexProfileElement> elements;  // zero-filled on create
  std::int32_t count = 0;
  std::int32_t stride = 0;

  void create(std::int32_t n);
  // Stores element `slot` (ignored outside 0..count-1) and recomputes stride.
  void set(std::int32_t slot, std::int32_t offset, std::int32_t components, std::int32_t usage,
           std::int32_t usageIndex);
  // Bytes one element adds to the stride: 12 for position and normal,
  // 4 x components for texture coordinates, components for colours, else 0.
  static std::int32_t elementBytes(const VertexProfileElement& element);
  void recomputeStride();
  // count + 1 entries ending with D3DDECL_END; elements whose usage is not
  // 1, 2, 4 or 8 are skipped, and so are position, normal and texture
  // coordinate elements whose component count is not 1 to 4 (no Direct3D
  // type fits them).
  std::vector<D3DVERTEXELEMENT9> toDeclaration() const;
};
