// vorn-bench points: the cost of many single-point DrawPrimitiveUP calls (the
// way particles, glyphs and noise tiles are drawn) with batching on and off,
// against one DrawPrimitiveUP of all the points. Headless.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command_registry.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_vorn.h"

namespace {

struct Vertex {
  float x, y, z, nx, ny, nz;
  DWORD color;
  float u, v;
};

LRESULT benchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

DWORD floatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, 4);
  return d;
}

enum class Mode { Batched, Unbatched, Single };

struct Result {
  double msPerFrame = 0;
  double drawsPerFrame = 0;
};

Result run(IDirect3DDevice9* device, Mode mode, const std::vector<Vertex>& points, int frames, int width,
           int height) {
  VornD3D_SetBatching(mode != Mode::Unbatched);
  D3DMATRIX m{};
  m._11 = 2.0f / width;
  m._22 = -2.0f / height;
  m._33 = 1;
  m._41 = -1;
  m._42 = 1;
  m._44 = 1;
  device->SetTransform(D3DTS_PROJECTION, &m);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(1.0f));
  std::vector<std::uint8_t> pixels;
  auto frame = [&] {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->BeginScene();
    if (mode == Mode::Single) {
      device->SetFVF(0x152);
      device->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(points.size()), points.data(), sizeof(Vertex));
    } else {
      for (const Vertex& p : points) {
        device->SetFVF(0x152);  // as the emitter does before every draw
        device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof(Vertex));
      }
    }
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
  };
  frame();  // links the program, sizes the stream buffer
  int w = 0, h = 0;
  VornD3D_ReadPixels(device, &pixels, &w, &h);
  VornD3D_ResetDrawCallCount();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame();
  VornD3D_ReadPixels(device, &pixels, &w, &h);  // waits for the last frame
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Result result;
  result.msPerFrame = seconds * 1000.0 / frames;
  result.drawsPerFrame = static_cast<double>(VornD3D_DrawCallCount()) / frames;
  VornD3D_SetBatching(true);
  return result;
}

int points(const std::vector<std::string>& args) {
  int count = 10000, frames = 30, width = 640, height = 480;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--points") count = std::atoi(args[i + 1].c_str());
    else if (args[i] == "--frames") frames = std::atoi(args[i + 1].c_str());
    else if (args[i] == "--size") std::sscanf(args[i + 1].c_str(), "%dx%d", &width, &height);
    else {
      std::fprintf(stderr, "points: unknown option %s\n", args[i].c_str());
      return 2;
    }
  }
  if (args.size() % 2 || count <= 0 || frames <= 0 || width <= 0 || height <= 0) {
    std::fprintf(stderr, "usage: vorn-bench points [--points N] [--frames N] [--size WxH]\n");
    return 2;
  }
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = benchWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "vorn-bench";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "vorn-bench", "vorn-bench points", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                wc.hInstance, nullptr);
  IDirect3D9* d3d = window ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  if (!d3d || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                       &pp, &device))) {
    std::fprintf(stderr, "points: no device\n");
    return 1;
  }
  VornD3D_SetVsync(false);
  std::vector<Vertex> cloud(static_cast<std::size_t>(count));
  unsigned seed = 12345;
  for (Vertex& v : cloud) {
    seed = seed * 1103515245u + 12345u;
    v.x = static_cast<float>(seed % static_cast<unsigned>(width));
    seed = seed * 1103515245u + 12345u;
    v.y = static_cast<float>(seed % static_cast<unsigned>(height));
    v.z = 0;
    v.nx = v.ny = v.nz = 0;
    v.color = 0xFF404040u;
    v.u = v.v = 0;
  }
  const Result batched = run(device, Mode::Batched, cloud, frames, width, height);
  const Result unbatched = run(device, Mode::Unbatched, cloud, frames, width, height);
  const Result single = run(device, Mode::Single, cloud, frames, width, height);
  std::printf("points: %d points, %d frames, %dx%d\n", count, frames, width, height);
  std::printf("  %-34s %10s %12s\n", "", "ms/frame", "GL draws");
  std::printf("  %-34s %10.3f %12.0f\n", "one call per point, batched", batched.msPerFrame, batched.drawsPerFrame);
  std::printf("  %-34s %10.3f %12.0f\n", "one call per point, unbatched", unbatched.msPerFrame,
              unbatched.drawsPerFrame);
  std::printf("  %-34s %10.3f %12.0f\n", "one call for all points", single.msPerFrame, single.drawsPerFrame);
  std::printf("  batched / single: %.2fx (target at most 3x)\n", batched.msPerFrame / single.msPerFrame);
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  return 0;
}

tools::Command command("points", "points [--points N] [--frames N] [--size WxH]", points);

}  // namespace
