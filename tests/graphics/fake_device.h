// A Direct3D device that keeps transforms, viewport and states and records
// the calls the engine makes, so that graphics code can be checked without
// a rendering back end.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9.h"

struct FakeDevice final : IDirect3DDevice9 {
  std::vector<std::string> calls;
  std::map<DWORD, D3DMATRIX> transforms;
  D3DVIEWPORT9 viewport{0, 0, 0, 0, 0.0f, 1.0f};
  std::map<DWORD, DWORD> renderStates;
  std::map<std::pair<DWORD, DWORD>, DWORD> samplerStates;
  std::map<DWORD, IDirect3DBaseTexture9*> textures;
  struct ClearCall {
    DWORD flags;
    D3DCOLOR color;
    float z;
    DWORD stencil;
  };
  std::vector<ClearCall> clears;
  int presents = 0;
  HRESULT createTextureResult = D3D_OK;

  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 0; }

  HRESULT Clear(DWORD, const void*, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
    calls.push_back("Clear");
    clears.push_back({flags, color, z, stencil});
    return D3D_OK;
  }
  HRESULT BeginScene() override {
    calls.push_back("BeginScene");
    return D3D_OK;
  }
  HRESULT EndScene() override {
    calls.push_back("EndScene");
    return D3D_OK;
  }
  HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
    calls.push_back("Present");
    ++presents;
    return D3D_OK;
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) override {
    calls.push_back("SetTransform " + std::to_string(state));
    transforms[state] = *m;
    return D3D_OK;
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* m) override {
    auto found = transforms.find(state);
    if (found == transforms.end()) {
      std::memset(m, 0, sizeof *m);
      m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
    } else {
      *m = found->second;
    }
    return D3D_OK;
  }
  HRESULT SetViewport(const D3DVIEWPORT9* v) override {
    calls.push_back("SetViewport");
    viewport = *v;
    return D3D_OK;
  }
  HRESULT GetViewport(D3DVIEWPORT9* v) override {
    *v = viewport;
    return D3D_OK;
  }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    calls.push_back("SetRenderState " + std::to_string(state) + "=" + std::to_string(value));
    renderStates[state] = value;
    return D3D_OK;
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override {
    *value = renderStates[state];
    return D3D_OK;
  }
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override {
    calls.push_back("SetSamplerState " + std::to_string(sampler) + " " + std::to_string(type) + "=" +
                    std::to_string(value));
    samplerStates[{sampler, type}] = value;
    return D3D_OK;
  }
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override {
    *value = samplerStates[{sampler, type}];
    return D3D_OK;
  }
  HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return D3D_OK; }
  HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD* value) override {
    *value = 0;
    return D3D_OK;
  }
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override {
    calls.push_back("SetTexture " + std::to_string(stage));
    textures[stage] = texture;
    return D3D_OK;
  }
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override {
    *texture = textures[stage];
    return D3D_OK;
  }
  HRESULT CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9** texture,
                        HANDLE*) override {
    *texture = nullptr;
    return createTextureResult == D3D_OK ? D3DERR_NOTAVAILABLE : createTextureResult;
  }
  HRESULT CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9** texture,
                            HANDLE*) override {
    *texture = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** b, HANDLE*) override {
    *b = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9** b, HANDLE*) override {
    *b = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT SetFVF(DWORD) override { return D3D_OK; }
  HRESULT GetFVF(DWORD* fvf) override {
    *fvf = 0;
    return D3D_OK;
  }
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** d) override {
    *d = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9*) override {
    calls.push_back("SetVertexDeclaration");
    return D3D_OK;
  }
  HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return D3D_OK; }
  HRESULT SetIndices(IDirect3DIndexBuffer9*) override { return D3D_OK; }
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return D3D_OK; }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3D_OK; }
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override { return D3D_OK; }
  HRESULT CreateVertexShader(const DWORD*, IDirect3DVertexShader9** s) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT CreatePixelShader(const DWORD*, IDirect3DPixelShader9** s) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT SetVertexShader(IDirect3DVertexShader9*) override {
    calls.push_back("SetVertexShader");
    return D3D_OK;
  }
  HRESULT SetPixelShader(IDirect3DPixelShader9*) override {
    calls.push_back("SetPixelShader");
    return D3D_OK;
  }
  HRESULT SetVertexShaderConstantF(UINT, const float*, UINT) override { return D3D_OK; }
  HRESULT SetPixelShaderConstantF(UINT, const float*, UINT) override { return D3D_OK; }
  HRESULT SetRenderTarget(DWORD, IDirect3DSurface9*) override { return D3DERR_NOTAVAILABLE; }
  HRESULT GetRenderTarget(DWORD, IDirect3DSurface9** s) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9** s) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9** s,
                             HANDLE*) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9** s, HANDLE*) override {
    *s = nullptr;
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                      D3DTEXTUREFILTERTYPE) override {
    return D3DERR_NOTAVAILABLE;
  }
  HRESULT GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override { return D3DERR_NOTAVAILABLE; }

  int count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
  }
};

// Publishes a GraphicsDevice over a fake device for the lifetime of a test.
struct FakeGraphics {
  FakeDevice device;
  GraphicsDevice graphics;
  GraphicsDevice* previous;

  FakeGraphics(std::uint32_t width = 800, std::uint32_t height = 600) : previous(g_graphicsDevice) {
    graphics.backBufferWidth = width;
    graphics.backBufferHeight = height;
    graphics.device = &device;
    g_graphicsDevice = &graphics;
  }
  ~FakeGraphics() {
    graphics.device = nullptr;
    g_graphicsDevice = previous;
  }
};
