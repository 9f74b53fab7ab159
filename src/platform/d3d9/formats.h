// Direct3D surface formats and vertex layouts in OpenGL terms.
#pragma once

#include "platform/d3d9/gl_calls.h"

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

namespace vorn::d3d {

struct FormatInfo {
  GLenum internalFormat = 0;
  GLenum format = 0;  // client-side layout of the Direct3D bytes
  GLenum type = 0;
  int bytesPerPixel = 0;
  bool alphaOnly = false;  // D3DFMT_A8: stored in the red channel, swizzled to alpha
};

// False for formats this stand-in does not support as textures.
bool formatInfo(D3DFORMAT format, FormatInfo* info);

// One vertex attribute fed to a fixed location (the locations of
// hlsl::attributeLocation, shared with the compiled shaders).
struct VertexAttribute {
  int location = 0;
  int components = 0;  // 1..4, or GL_BGRA for D3DCOLOR
  GLenum type = GL_FLOAT;
  bool normalized = false;
  int offset = 0;
  bool operator==(const VertexAttribute&) const = default;
};

enum Location : int {
  kLocPosition = 0,
  kLocNormal = 1,
  kLocColor0 = 2,
  kLocColor1 = 3,
  kLocTexcoord0 = 4,  // .. 11
  kLocPointSize = 14,
  kLocationCount = 16,
};

struct VertexLayout {
  std::vector<VertexAttribute> attributes;
  int size = 0;  // bytes one vertex spans: max(offset + element size)
  bool pretransformed = false;  // XYZRHW / POSITIONT: screen-space positions
  bool hasDiffuse = false;
  bool hasSpecular = false;
  bool hasPointSize = false;
  std::uint8_t texcoordMask = 0;  // texture coordinate sets present
  bool operator==(const VertexLayout&) const = default;
};

// The layout of a flexible vertex format; false when the format has no
// position or bits this stand-in does not know.
bool layoutFromFVF(DWORD fvf, VertexLayout* layout);
// The layout of a vertex declaration (stream 0 only); false on a malformed list.
bool layoutFromDeclaration(const D3DVERTEXELEMENT9* elements, VertexLayout* layout);
// Bytes of one declaration element type; 0 when unknown.
int declTypeSize(BYTE type);

}  // namespace vorn::d3d
