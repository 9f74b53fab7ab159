// Shader programs: vertex declaration, vertex and pixel shader and their
// constant tables, made from one .nsl file.
#pragma once

#include "platform/d3dx9/d3dx9.h"

struct ShaderProgram {
  IDirect3DVertexDeclaration9* vertexDeclaration = nullptr;
  ID3DXConstantTable* vertexConstants = nullptr;
  ID3DXConstantTable* pixelConstants = nullptr;
  IDirect3DPixelShader9* pixelShader = nullptr;
  IDirect3DVertexShader9* vertexShader = nullptr;

  // Null when the file cannot be read or a shader does not compile (the
  // compiler's errors are shown in a message box).
  static ShaderProgram* load(const char* path);
  // Uploads mv, mvp, mvit, m_object and the material colours, then makes the
  // declaration and shaders current. A null program does nothing.
  static void bind(ShaderProgram* program);
  static void setVector(ShaderProgram* program, const char* name, float x, float y, float z, float w);
  static void release(ShaderProgram* program);
};
