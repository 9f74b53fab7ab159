#include "platform/d3d9/formats.h"

#include <algorithm>
#include <string>

#include "platform/hlsl/hlsl.h"

namespace vorn::d3d {

bool formatInfo(D3DFORMAT format, FormatInfo* info) {
  // Direct3D formats name channels from the most significant bit down; on a
  // little-endian machine A8R8G8B8 is stored as the bytes B, G, R, A.
  switch (format) {
    case D3DFMT_A8R8G8B8:
      *info = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, false};
      return true;
    case D3DFMT_X8R8G8B8:
      *info = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, 4, false};
      return true;
    case D3DFMT_R8G8B8:
      *info = {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3, false};
      return true;
    case D3DFMT_R5G6B5:
      *info = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, false};
      return true;
    case D3DFMT_A8:
      *info = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, true};
      return true;
    default:
      return false;
  }
}

int declTypeSize(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR: return 4;
    case D3DDECLTYPE_UBYTE4: return 4;
    default: return 0;
  }
}

namespace {

void add(VertexLayout* layout, int location, int components, GLenum type, bool normalized, int offset, int bytes) {
  layout->attributes.push_back({location, components, type, normalized, offset});
  layout->size = std::max(layout->size, offset + bytes);
}

}  // namespace

bool layoutFromFVF(DWORD fvf, VertexLayout* layout) {
  *layout = VertexLayout();
  int offset = 0;
  const DWORD position = fvf & 0x00E;  // D3DFVF_POSITION_MASK
  if (position == D3DFVF_XYZ) {
    add(layout, kLocPosition, 3, GL_FLOAT, false, offset, 12);
    offset += 12;
  } else if (position == D3DFVF_XYZRHW) {
    add(layout, kLocPosition, 4, GL_FLOAT, false, offset, 16);
    layout->pretransformed = true;
    offset += 16;
  } else {
    return false;  // no position, or blend weights we do not support
  }
  if (fvf & D3DFVF_NORMAL) {
    add(layout, kLocNormal, 3, GL_FLOAT, false, offset, 12);
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) {
    add(layout, kLocPointSize, 1, GL_FLOAT, false, offset, 4);
    layout->hasPointSize = true;
    offset += 4;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    add(layout, kLocColor0, GL_BGRA, GL_UNSIGNED_BYTE, true, offset, 4);
    layout->hasDiffuse = true;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    add(layout, kLocColor1, GL_BGRA, GL_UNSIGNED_BYTE, true, offset, 4);
    layout->hasSpecular = true;
    offset += 4;
  }
  const DWORD known = 0x00E | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                      D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u;
  if (fvf & ~known) return false;
  const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (sets > 8) return false;
  for (int set = 0; set < sets; ++set) {
    // D3DFVF_TEXCOORDSIZEn: 0 two floats, 1 three, 2 four, 3 one.
    static constexpr int kComponents[4] = {2, 3, 4, 1};
    const int components = kComponents[(fvf >> (16 + 2 * set)) & 3];
    add(layout, kLocTexcoord0 + set, components, GL_FLOAT, false, offset, 4 * components);
    layout->texcoordMask |= static_cast<std::uint8_t>(1u << set);
    offset += 4 * components;
  }
  return true;
}

bool layoutFromDeclaration(const D3DVERTEXELEMENT9* elements, VertexLayout* layout) {
  *layout = VertexLayout();
  if (!elements) return false;
  for (int i = 0; i < MAXD3DDECLLENGTH; ++i) {
    const D3DVERTEXELEMENT9& e = elements[i];
    if (e.Stream == 0xFF) return true;  // a declaration without a position is valid for shaders
    if (e.Stream != 0) continue;  // only stream 0 is fed
    const int bytes = declTypeSize(e.Type);
    if (bytes == 0) return false;
    std::string semantic;
    switch (e.Usage) {
      case D3DDECLUSAGE_POSITION: semantic = "POSITION"; break;
      case D3DDECLUSAGE_POSITIONT: semantic = "POSITION"; layout->pretransformed = true; break;
      case D3DDECLUSAGE_NORMAL: semantic = "NORMAL"; break;
      case D3DDECLUSAGE_TEXCOORD: semantic = "TEXCOORD"; break;
      case D3DDECLUSAGE_COLOR: semantic = "COLOR"; break;
      case D3DDECLUSAGE_TANGENT: semantic = "TANGENT"; break;
      case D3DDECLUSAGE_BINORMAL: semantic = "BINORMAL"; break;
      case D3DDECLUSAGE_PSIZE: semantic = "PSIZE"; break;
      case D3DDECLUSAGE_BLENDWEIGHT: semantic = "BLENDWEIGHT"; break;
      default: semantic.clear(); break;
    }
    int location = -1;
    if (!semantic.empty()) location = hlsl::attributeLocation(semantic + std::to_string(e.UsageIndex));
    layout->size = std::max(layout->size, e.Offset + bytes);
    if (location < 0) continue;  // no shader input can read it
    bool duplicate = false;
    for (const VertexAttribute& a : layout->attributes) duplicate |= a.location == location;
    if (duplicate) return false;
    VertexAttribute attribute;
    attribute.location = location;
    attribute.offset = e.Offset;
    switch (e.Type) {
      case D3DDECLTYPE_FLOAT1: attribute.components = 1; break;
      case D3DDECLTYPE_FLOAT2: attribute.components = 2; break;
      case D3DDECLTYPE_FLOAT3: attribute.components = 3; break;
      case D3DDECLTYPE_FLOAT4: attribute.components = 4; break;
      case D3DDECLTYPE_D3DCOLOR:
        attribute.components = GL_BGRA;
        attribute.type = GL_UNSIGNED_BYTE;
        attribute.normalized = true;
        break;
      case D3DDECLTYPE_UBYTE4:
        attribute.components = 4;
        attribute.type = GL_UNSIGNED_BYTE;
        break;
      default: return false;
    }
    layout->attributes.push_back(attribute);
    if (location == kLocColor0) layout->hasDiffuse = true;
    if (location == kLocColor1) layout->hasSpecular = true;
    if (location == kLocPointSize) layout->hasPointSize = true;
    if (location >= kLocTexcoord0 && location < kLocTexcoord0 + 8)
      layout->texcoordMask |= static_cast<std::uint8_t>(1u << (location - kLocTexcoord0));
  }
  return false;  // no terminator within MAXD3DDECLLENGTH elements
}

}  // namespace vorn::d3d
