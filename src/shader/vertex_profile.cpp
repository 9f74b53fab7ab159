#include "shader/vertex_profile.h"

#include <limits>

void VertexProfile::create(std::int32_t n) {
  if (n < 0) n = 0;
  elements.assign(static_cast<std::size_t>(n), VertexProfileElement{});
  count = n;
  recomputeStride();
}

void VertexProfile::set(std::int32_t slot, std::int32_t offset, std::int32_t components, std::int32_t usage,
                        std::int32_t usageIndex) {
  if (slot >= 0 && slot < count) {
    elements[static_cast<std::size_t>(slot)] = VertexProfileElement{offset, components, usage, usageIndex};
  }
  recomputeStride();
}

std::int32_t VertexProfile::elementBytes(const VertexProfileElement& element) {
  switch (element.usage) {
    case USAGE_POSITION:
    case USAGE_NORMAL:
      return 12;
    case USAGE_TEXCOORD: {
      const std::int64_t bytes = 4 * static_cast<std::int64_t>(element.components);
      if (bytes > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
      if (bytes < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
      return static_cast<std::int32_t>(bytes);
    }
    case USAGE_COLOR:
      return element.components;
    default:
      return 0;
  }
}

void VertexProfile::recomputeStride() {
  // Summed wide and saturated, so that absurd component counts from a file
  // cannot overflow.
  std::int64_t sum = 0;
  for (std::int32_t i = 0; i < count && i < static_cast<std::int32_t>(elements.size()); ++i) {
    sum += elementBytes(elements[static_cast<std::size_t>(i)]);
  }
  if (sum > std::numeric_limits<std::int32_t>::max()) sum = std::numeric_limits<std::int32_t>::max();
  if (sum < std::numeric_limits<std::int32_t>::min()) sum = std::numeric_limits<std::int32_t>::min();
  stride = static_cast<std::int32_t>(sum);
}

std::vector<D3DVERTEXELEMENT9> VertexProfile::toDeclaration() const {
  std::vector<D3DVERTEXELEMENT9> declaration;
  declaration.reserve(static_cast<std::size_t>(count) + 1);
  for (std::int32_t i = 0; i < count && i < static_cast<std::int32_t>(elements.size()); ++i) {
    const VertexProfileElement& element = elements[static_cast<std::size_t>(i)];
    D3DVERTEXELEMENT9 entry{};
    entry.Stream = 0;
    entry.Offset = static_cast<WORD>(element.offset);
    entry.Method = D3DDECLMETHOD_DEFAULT;
    entry.UsageIndex = static_cast<BYTE>(element.usageIndex);
    switch (element.usage) {
      case USAGE_POSITION: entry.Usage = D3DDECLUSAGE_POSITION; break;
      case USAGE_NORMAL: entry.Usage = D3DDECLUSAGE_NORMAL; break;
      case USAGE_TEXCOORD: entry.Usage = D3DDECLUSAGE_TEXCOORD; break;
      case USAGE_COLOR: entry.Usage = D3DDECLUSAGE_COLOR; break;
      default: continue;  // no Direct3D usage: the element is left out
    }
    if (element.usage == USAGE_COLOR) {
      entry.Type = D3DDECLTYPE_D3DCOLOR;
    } else if (element.components >= 1 && element.components <= 4) {
      entry.Type = static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + (element.components - 1));
    } else {
      continue;  // no float type of that size
    }
    declaration.push_back(entry);
  }
  declaration.push_back(D3DVERTEXELEMENT9 D3DDECL_END());
  return declaration;
}
