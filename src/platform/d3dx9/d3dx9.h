// Our own stand-in for the subset of D3DX 9 that Vorn calls: matrix
// functions with D3DX's formulas, the shader compiler with its constant
// table, meshes, texture loading and render-to-surface.
#pragma once

#if defined(_WIN32)
// On Windows the declarations are the real D3DX 9 headers'; the
// implementation is still ours (src/platform/d3dx9), over the real Direct3D 9.
#include <d3dx9.h>
#else

#include <cstddef>

#include "platform/d3d9/d3d9.h"

// ---- math types ------------------------------------------------------------
struct D3DXVECTOR3 {
  float x, y, z;
};
struct D3DXVECTOR4 {
  float x, y, z, w;
};
struct D3DXQUATERNION {
  float x, y, z, w;
};
struct D3DXMATRIX : D3DMATRIX {
  D3DXMATRIX() = default;
  explicit D3DXMATRIX(const float* values);
  D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24, float m31,
             float m32, float m33, float m34, float m41, float m42, float m43, float m44);
  float& operator()(UINT row, UINT column) { return m[row][column]; }
  float operator()(UINT row, UINT column) const { return m[row][column]; }
  operator float*() { return &_11; }
  operator const float*() const { return &_11; }
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* out, float w, float h, float zn, float zf);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);

// ---- buffers ---------------------------------------------------------------
struct ID3DXBuffer : IUnknown {
  virtual void* GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};
HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);

// ---- shader compiler -------------------------------------------------------
using D3DXHANDLE = const char*;

enum D3DXREGISTER_SET : DWORD { D3DXRS_BOOL = 0, D3DXRS_INT4 = 1, D3DXRS_FLOAT4 = 2, D3DXRS_SAMPLER = 3 };
enum D3DXPARAMETER_CLASS : DWORD {
  D3DXPC_SCALAR = 0,
  D3DXPC_VECTOR = 1,
  D3DXPC_MATRIX_ROWS = 2,
  D3DXPC_MATRIX_COLUMNS = 3,
  D3DXPC_OBJECT = 4,
  D3DXPC_STRUCT = 5,
};
enum D3DXPARAMETER_TYPE : DWORD {
  D3DXPT_VOID = 0,
  D3DXPT_BOOL = 1,
  D3DXPT_INT = 2,
  D3DXPT_FLOAT = 3,
  D3DXPT_SAMPLER2D = 12,
  D3DXPT_SAMPLERCUBE = 14,
};

struct D3DXCONSTANT_DESC {
  const char* Name;
  D3DXREGISTER_SET RegisterSet;
  UINT RegisterIndex;
  UINT RegisterCount;
  D3DXPARAMETER_CLASS Class;
  D3DXPARAMETER_TYPE Type;
  UINT Rows;
  UINT Columns;
  UINT Elements;
  UINT StructMembers;
  UINT Bytes;
  const void* DefaultValue;
};

struct D3DXCONSTANTTABLE_DESC {
  const char* Creator;
  DWORD Version;
  UINT Constants;
};

// A handle may be a name string, as in D3DX; unknown names do nothing.
struct ID3DXConstantTable : IUnknown {
  virtual HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* desc) = 0;
  virtual HRESULT GetConstantDesc(D3DXHANDLE constant, D3DXCONSTANT_DESC* desc, UINT* count) = 0;
  virtual D3DXHANDLE GetConstant(D3DXHANDLE parent, UINT index) = 0;
  virtual D3DXHANDLE GetConstantByName(D3DXHANDLE parent, const char* name) = 0;
  virtual HRESULT SetFloat(IDirect3DDevice9* device, D3DXHANDLE constant, float value) = 0;
  virtual HRESULT SetFloatArray(IDirect3DDevice9* device, D3DXHANDLE constant, const float* values, UINT count) = 0;
  virtual HRESULT SetVector(IDirect3DDevice9* device, D3DXHANDLE constant, const D3DXVECTOR4* vector) = 0;
  virtual HRESULT SetMatrix(IDirect3DDevice9* device, D3DXHANDLE constant, const D3DXMATRIX* matrix) = 0;
};

struct D3DXMACRO {
  const char* Name;
  const char* Definition;
};
struct ID3DXInclude;

HRESULT D3DXCompileShader(const char* srcData, UINT srcDataLen, const D3DXMACRO* defines, ID3DXInclude* include,
                          const char* functionName, const char* profile, DWORD flags, ID3DXBuffer** shader,
                          ID3DXBuffer** errorMsgs, ID3DXConstantTable** constantTable);
// The constant table inside shader bytecode.
HRESULT D3DXGetShaderConstantTable(const DWORD* function, ID3DXConstantTable** constantTable);

// ---- meshes ----------------------------------------------------------------
constexpr DWORD D3DXMESH_32BIT = 0x001;
constexpr DWORD D3DXMESH_MANAGED = 0x220;

struct ID3DXMesh : IUnknown {
  virtual HRESULT DrawSubset(DWORD attribId) = 0;
  virtual DWORD GetNumFaces() = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetNumBytesPerVertex() = 0;
  virtual DWORD GetOptions() = 0;
  virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAXD3DDECLLENGTH]) = 0;
  virtual HRESULT LockVertexBuffer(DWORD flags, void** data) = 0;
  virtual HRESULT UnlockVertexBuffer() = 0;
  virtual HRESULT LockIndexBuffer(DWORD flags, void** data) = 0;
  virtual HRESULT UnlockIndexBuffer() = 0;
  virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT UnlockAttributeBuffer() = 0;
};

HRESULT D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                       IDirect3DDevice9* device, ID3DXMesh** mesh);

// ---- textures and render-to-surface ----------------------------------------
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFF;

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile, IDirect3DTexture9** texture);
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

struct D3DXRTS_DESC {
  UINT Width;
  UINT Height;
  D3DFORMAT Format;
  BOOL DepthStencil;
  D3DFORMAT DepthStencilFormat;
};

struct ID3DXRenderToSurface : IUnknown {
  virtual HRESULT GetDesc(D3DXRTS_DESC* desc) = 0;
  virtual HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT EndScene(DWORD mipFilter) = 0;
};

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface);

#endif  // _WIN32
