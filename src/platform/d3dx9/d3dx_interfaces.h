// The real D3DX 9 interfaces declare more methods than Vorn calls. Our
// objects implement the ones Vorn uses; on Windows these bases add the rest,
// each answering E_NOTIMPL (or an empty value), so that the classes are
// complete against the real headers. Elsewhere they add nothing.
#pragma once

#include "platform/d3d9/com_object.h"
#include "platform/d3dx9/d3dx9.h"

namespace vorn::d3dx {

#if defined(_WIN32)

class BufferMethods : public d3d::ComObject<ID3DXBuffer> {};

class MeshMethods : public d3d::ComObject<ID3DXMesh> {
 public:
  DWORD STDMETHODCALLTYPE GetFVF() override { return 0; }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVertexBuffer(IDirect3DVertexBuffer9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIndexBuffer(IDirect3DIndexBuffer9**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD, DWORD, IDirect3DDevice9*, ID3DXMesh**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CloneMesh(DWORD, const D3DVERTEXELEMENT9*, IDirect3DDevice9*, ID3DXMesh**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConvertPointRepsToAdjacency(const DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConvertAdjacencyToPointReps(const DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UpdateSemantics(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Optimize(DWORD, const DWORD*, DWORD*, DWORD*, ID3DXBuffer**, ID3DXMesh**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD, const DWORD*, DWORD*, DWORD*, ID3DXBuffer**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE*, DWORD) override { return E_NOTIMPL; }
};

class ConstantTableMethods : public d3d::ComObject<ID3DXConstantTable> {
 public:
  void* STDMETHODCALLTYPE GetBufferPointer() override { return nullptr; }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return 0; }
  UINT STDMETHODCALLTYPE GetSamplerIndex(D3DXHANDLE) override { return static_cast<UINT>(-1); }
  D3DXHANDLE STDMETHODCALLTYPE GetConstantElement(D3DXHANDLE, UINT) override { return nullptr; }
  HRESULT STDMETHODCALLTYPE SetDefaults(IDirect3DDevice9*) override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE SetValue(IDirect3DDevice9*, D3DXHANDLE, const void*, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBool(IDirect3DDevice9*, D3DXHANDLE, WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBoolArray(IDirect3DDevice9*, D3DXHANDLE, const WINBOOL*, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetInt(IDirect3DDevice9*, D3DXHANDLE, INT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIntArray(IDirect3DDevice9*, D3DXHANDLE, const INT*, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetVectorArray(IDirect3DDevice9*, D3DXHANDLE, const D3DXVECTOR4*, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMatrixArray(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX*, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMatrixPointerArray(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX**, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMatrixTranspose(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX*, UINT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMatrixTransposePointerArray(IDirect3DDevice9*, D3DXHANDLE, const D3DXMATRIX**,
                                                           UINT) override {
    return E_NOTIMPL;
  }
};

class RenderToSurfaceMethods : public d3d::ComObject<ID3DXRenderToSurface> {
 public:
  HRESULT STDMETHODCALLTYPE OnLostDevice() override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return D3D_OK; }
};

#else

using BufferMethods = d3d::ComObject<ID3DXBuffer>;
using MeshMethods = d3d::ComObject<ID3DXMesh>;
using ConstantTableMethods = d3d::ComObject<ID3DXConstantTable>;
using RenderToSurfaceMethods = d3d::ComObject<ID3DXRenderToSurface>;

#endif

}  // namespace vorn::d3dx
