#include "peer_workloads.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/win32/win32.h"

#ifndef CALLBACK
#define CALLBACK
#endif

namespace peer {

namespace {

constexpr int kSize = 512;  // window, back buffer and blur targets
constexpr int kWarmUpFrames = 3;

DWORD floatBits(float f) {
  DWORD bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// A small deterministic generator, the same on every platform.
struct Random {
  std::uint32_t state = 12345;
  float next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / static_cast<float>(1u << 24);
  }
};

// Maps pixel coordinates (0, 0 top-left) to clip space, z kept.
D3DMATRIX screenProjection() {
  D3DMATRIX m{};
  m._11 = 2.0f / kSize;
  m._22 = -2.0f / kSize;
  m._33 = 1.0f;
  m._41 = -1.0f;
  m._42 = 1.0f;
  m._44 = 1.0f;
  return m;
}

D3DMATRIX translation(float x, float y) {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  m._41 = x;
  m._42 = y;
  return m;
}

// A managed A8R8G8B8 texture filled by a function of the texel.
IDirect3DTexture9* makeTexture(IDirect3DDevice9* device, int size, const std::function<DWORD(int, int)>& texel) {
  IDirect3DTexture9* texture = nullptr;
  if (FAILED(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
    return nullptr;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
    texture->Release();
    return nullptr;
  }
  for (int y = 0; y < size; ++y) {
    auto* row = reinterpret_cast<DWORD*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
    for (int x = 0; x < size; ++x) row[x] = texel(x, y);
  }
  texture->UnlockRect(0);
  return texture;
}

void commonStates(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  const D3DMATRIX projection = screenProjection();
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

// A workload: set up once, then draw one frame (between BeginScene and
// EndScene) per call; false from setUp when a resource cannot be made.
class Scene {
 public:
  virtual ~Scene() = default;
  virtual bool setUp(IDirect3DDevice9* device) = 0;
  virtual void frame(IDirect3DDevice9* device, int index) = 0;
};

// 10 000 point sprites, each its own DrawPrimitiveUP, as particles are drawn.
class Sprites final : public Scene {
 public:
  ~Sprites() override {
    if (texture_) texture_->Release();
  }
  bool setUp(IDirect3DDevice9* device) override {
    texture_ = makeTexture(device, 16, [](int x, int y) {
      const float dx = (x - 7.5f) / 8.0f, dy = (y - 7.5f) / 8.0f;
      const float fall = std::fmax(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
      const auto level = static_cast<DWORD>(fall * 255.0f);
      return (level << 24) | (level << 16) | (level << 8) | level;
    });
    if (!texture_) return false;
    Random random;
    for (Point& p : points_) {
      p.x = random.next() * kSize;
      p.y = random.next() * kSize;
      p.z = 0.5f;
      const auto shade = static_cast<DWORD>(64 + random.next() * 191);
      p.color = 0xFF000000u | (shade << 16) | ((shade / 2) << 8) | (255 - shade);
      speeds_.push_back(random.next() * 2.0f - 1.0f);
    }
    return true;
  }
  void frame(IDirect3DDevice9* device, int index) override {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->SetTexture(0, texture_);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_POINTSIZE, floatBits(8.0f));
    for (std::size_t i = 0; i < points_.size(); ++i) {
      Point p = points_[i];
      p.y = std::fmod(p.y + speeds_[i] * static_cast<float>(index) + kSize, static_cast<float>(kSize));
      device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p);
    }
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }

 private:
  struct Point {
    float x, y, z;
    DWORD color;
  };
  IDirect3DTexture9* texture_ = nullptr;
  std::vector<Point> points_ = std::vector<Point>(10000);
  std::vector<float> speeds_;
};

// A 512 x 512 picture blurred four times horizontally and vertically
// between two render-target textures (five additive taps a pass), then
// shown: fill rate and render-target switches.
class Blur final : public Scene {
 public:
  ~Blur() override {
    for (IDirect3DSurface9* s : surfaces_)
      if (s) s->Release();
    for (IDirect3DTexture9* t : targets_)
      if (t) t->Release();
    if (backBuffer_) backBuffer_->Release();
  }
  bool setUp(IDirect3DDevice9* device) override {
    for (int i = 0; i < 2; ++i) {
      if (FAILED(device->CreateTexture(kSize, kSize, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                       &targets_[i], nullptr)) ||
          FAILED(targets_[i]->GetSurfaceLevel(0, &surfaces_[i])))
        return false;
    }
    return SUCCEEDED(device->GetRenderTarget(0, &backBuffer_));
  }
  void frame(IDirect3DDevice9* device, int index) override {
    // The picture: sixteen moving coloured squares.
    device->SetRenderTarget(0, surfaces_[0]);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    for (int i = 0; i < 16; ++i) {
      const float x = static_cast<float>((i % 4) * 128 + (index * 3 + i * 7) % 64);
      const float y = static_cast<float>((i / 4) * 128 + 32);
      const DWORD color = 0xFF000000u | ((i * 53u & 255) << 16) | ((i * 97u & 255) << 8) | (255 - i * 13u);
      const ColoredVertex quad[4] = {{x, y, 0, 1, color}, {x + 48, y, 0, 1, color},
                                     {x + 48, y + 48, 0, 1, color}, {x, y + 48, 0, 1, color}};
      device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ColoredVertex));
    }
    // The passes: each tap adds a fifth of the source, shifted by whole texels.
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x33333333u);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    for (int pass = 0; pass < 8; ++pass) {
      const int source = pass % 2, destination = 1 - source;
      device->SetTexture(0, nullptr);
      device->SetRenderTarget(0, surfaces_[destination]);
      device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000u, 1.0f, 0);
      device->SetTexture(0, targets_[source]);
      for (int tap = -2; tap <= 2; ++tap) {
        const float shift = static_cast<float>(tap) / kSize;
        fullScreen(device, pass % 2 == 0 ? shift : 0.0f, pass % 2 == 0 ? 0.0f : shift);
      }
    }
    // Shown on the back buffer.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetRenderTarget(0, backBuffer_);
    fullScreen(device, 0.0f, 0.0f);
    device->SetTexture(0, nullptr);
  }

 private:
  struct ColoredVertex {
    float x, y, z, rhw;
    DWORD color;
  };
  struct TexturedVertex {
    float x, y, z, rhw, u, v;
  };
  static void fullScreen(IDirect3DDevice9* device, float du, float dv) {
    // Half a pixel up and left puts texel centres on pixel centres.
    const float e = kSize - 0.5f;
    const TexturedVertex quad[4] = {{-0.5f, -0.5f, 0, 1, du, dv},
                                    {e, -0.5f, 0, 1, 1 + du, dv},
                                    {e, e, 0, 1, 1 + du, 1 + dv},
                                    {-0.5f, e, 0, 1, du, 1 + dv}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TexturedVertex));
  }
  IDirect3DTexture9* targets_[2] = {};
  IDirect3DSurface9* surfaces_[2] = {};
  IDirect3DSurface9* backBuffer_ = nullptr;
};

// 50 000 small textured triangles in one vertex buffer, drawn ten times a
// frame at different offsets with the depth test on: vertex throughput.
class Triangles final : public Scene {
 public:
  static constexpr UINT kTriangles = 50000;
  ~Triangles() override {
    if (buffer_) buffer_->Release();
    if (texture_) texture_->Release();
  }
  bool setUp(IDirect3DDevice9* device) override {
    texture_ = makeTexture(device, 64, [](int x, int y) {
      return ((x / 8 + y / 8) % 2) ? 0xFFFFFFFFu : 0xFF404040u;
    });
    if (!texture_ ||
        FAILED(device->CreateVertexBuffer(kTriangles * 3 * sizeof(Vertex), D3DUSAGE_WRITEONLY,
                                          D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_MANAGED, &buffer_,
                                          nullptr)))
      return false;
    Vertex* v = nullptr;
    if (FAILED(buffer_->Lock(0, 0, reinterpret_cast<void**>(&v), 0))) return false;
    Random random;
    for (UINT t = 0; t < kTriangles; ++t) {
      const float x = random.next() * (kSize - 8), y = random.next() * (kSize - 8), z = random.next();
      const DWORD color = 0xFF000000u | (static_cast<DWORD>(random.next() * 255) << 8) | 0x00FF0080u;
      v[3 * t + 0] = {x, y, z, color, 0, 0};
      v[3 * t + 1] = {x + 8, y, z, color, 1, 0};
      v[3 * t + 2] = {x, y + 8, z, color, 0, 1};
    }
    buffer_->Unlock();
    return true;
  }
  void frame(IDirect3DDevice9* device, int index) override {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetTexture(0, texture_);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetStreamSource(0, buffer_, 0, sizeof(Vertex));
    for (int copy = 0; copy < 10; ++copy) {
      const D3DMATRIX view = translation(static_cast<float>((copy + index) % 10), static_cast<float>(copy % 3));
      device->SetTransform(D3DTS_VIEW, &view);
      device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, kTriangles);
    }
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  }

 private:
  struct Vertex {
    float x, y, z;
    DWORD color;
    float u, v;
  };
  IDirect3DVertexBuffer9* buffer_ = nullptr;
  IDirect3DTexture9* texture_ = nullptr;
};

std::unique_ptr<Scene> makeScene(const std::string& name) {
  if (name == "sprites") return std::make_unique<Sprites>();
  if (name == "blur") return std::make_unique<Blur>();
  if (name == "triangles") return std::make_unique<Triangles>();
  return nullptr;
}

// A window and a device of 512 x 512 pixels without vertical sync.
struct Stage {
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  ~Stage() {
    if (device) device->Release();
    if (d3d) d3d->Release();
    if (window) DestroyWindow(window);
  }
  bool open(std::string* error) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "vorn-peer";
    RegisterClassExA(&windowClass);
    window = CreateWindowExA(0, "vorn-peer", "vorn-bench peer", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr,
                             nullptr, windowClass.hInstance, nullptr);
    d3d = window ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
    if (!d3d) {
      *error = "no window or no Direct3D";
      return false;
    }
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = kSize;
    parameters.BackBufferHeight = kSize;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &parameters, &device))) {
      *error = "no device";
      return false;
    }
    return true;
  }
};

}  // namespace

const std::vector<Workload>& workloads() {
  static const std::vector<Workload> list = {
      {"sprites", "10 000 point sprites, one draw each"},
      {"blur", "512x512 blur chain, 8 passes of 5 taps"},
      {"triangles", "50 000 textured triangles x 10"},
  };
  return list;
}

Timing run(const std::string& workload, int frames, const std::function<void(IDirect3DDevice9*)>& lastFrame) {
  Timing timing;
  Stage stage;  // outlives the scene's resources
  std::unique_ptr<Scene> scene = makeScene(workload);
  if (!scene) {
    timing.error = "no workload called " + workload;
    return timing;
  }
  if (!stage.open(&timing.error)) return timing;
  IDirect3DDevice9* device = stage.device;
  commonStates(device);
  if (!scene->setUp(device)) {
    timing.error = "could not create the workload's resources";
    return timing;
  }
  auto frame = [&](int index) {
    device->BeginScene();
    scene->frame(device, index);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
  };
  for (int i = 0; i < kWarmUpFrames; ++i) frame(i);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame(kWarmUpFrames + i);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timing.ok = true;
  timing.msPerFrame = seconds * 1000.0 / frames;
  if (lastFrame) lastFrame(device);
  return timing;
}

}  // namespace peer
