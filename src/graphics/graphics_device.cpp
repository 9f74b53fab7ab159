#include "graphics/graphics_device.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "scene/texture.h"

GraphicsDevice* g_graphicsDevice = nullptr;

namespace {

// The low 8 bits of trunc(channel * 255); values that do not fit an int
// (or NaN) give 0 instead of undefined behaviour.
std::uint32_t channelByte(float channel) {
  const float scaled = channel * 255.0f;
  if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled)) & 0xFFu;
}

// trunc(size * percent / 100) as a viewport coordinate; negative or
// unrepresentable results clamp to the valid range.
DWORD percentOf(std::uint32_t size, float percent) {
  const double value = std::trunc(static_cast<double>(static_cast<float>(size)) * percent / 100.0);
  if (!(value > 0.0)) return 0;
  if (value >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<DWORD>(value);
}

}  // namespace

D3DCOLOR clearColorWord(const ColorF& color) {
  return channelByte(color.a) << 24 | channelByte(color.r) << 16 | channelByte(color.g) << 8 |
         channelByte(color.b);
}

D3DPRESENT_PARAMETERS devicePresentParameters(D3DFORMAT desktopFormat, int multisample) {
  D3DPRESENT_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.BackBufferFormat = desktopFormat;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.Windowed = TRUE;
  parameters.EnableAutoDepthStencil = TRUE;
  parameters.AutoDepthStencilFormat = D3DFMT_D16;
  if (multisample == 2) parameters.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
  if (multisample == 4) parameters.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
  parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
  return parameters;
}

D3DVIEWPORT9 viewportPercent(std::uint32_t width, std::uint32_t height, float x, float y, float w, float h) {
  D3DVIEWPORT9 viewport{};
  viewport.X = percentOf(width, x);
  viewport.Y = percentOf(height, y);
  viewport.Width = percentOf(width, w);
  viewport.Height = percentOf(height, h);
  viewport.MinZ = 0.0f;
  viewport.MaxZ = 1.0f;
  return viewport;
}

GraphicsDevice* GraphicsDevice::tryCreate(HWND window, std::uint32_t width, std::uint32_t height, int multisample) {
  auto* graphics = new GraphicsDevice;
  graphics->backBufferWidth = width;
  graphics->backBufferHeight = height;
  graphics->direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (graphics->direct3d) {
    D3DDISPLAYMODE mode{};
    graphics->direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    D3DPRESENT_PARAMETERS parameters = devicePresentParameters(mode.Format, multisample);
    graphics->direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &parameters, &graphics->device);
  }
  if (!graphics->device) {
    if (graphics->direct3d) graphics->direct3d->Release();
    delete graphics;
    return nullptr;
  }
  IDirect3DDevice9* device = graphics->device;
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
  return graphics;
}

GraphicsDevice* GraphicsDevice::create(HWND window, std::uint32_t width, std::uint32_t height, int multisample) {
  GraphicsDevice* graphics = tryCreate(window, width, height, multisample);
  if (!graphics) {
    MessageBoxA(nullptr, "Configuration not supported!", "Bang!", MB_OK);
    // The show cannot run without a device: end with a failure status.
    std::exit(EXIT_FAILURE);
  }
  return graphics;
}

void GraphicsDevice::clear() { device->Clear(0, nullptr, clearFlags, clearColorWord(clearColor), 1.0f, 0); }

void GraphicsDevice::setViewportPercent(float x, float y, float w, float h) {
  const D3DVIEWPORT9 viewport = viewportPercent(backBufferWidth, backBufferHeight, x, y, w, h);
  device->SetViewport(&viewport);
}

void GraphicsDevice::endFrame() {
  setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  if (inScene) {
    device->EndScene();
    inScene = 0;
  }
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

void GraphicsDevice::bindTextureResource(std::uint32_t stage, const TextureResource* resource) {
  if (!resource) {
    device->SetTexture(stage, nullptr);
    return;
  }
  device->SetSamplerState(stage, D3DSAMP_MINFILTER, resource->minFilter);
  device->SetSamplerState(stage, D3DSAMP_MAGFILTER, resource->magFilter);
  if (resource->maxAnisotropy != 0) {
    device->SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, resource->maxAnisotropy);
    device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC);
  }
  device->SetTexture(stage, resource->texture);
}

void GraphicsDevice::setTextureFilterDefaults(D3DTEXTUREFILTERTYPE filter) {
  defaultMinFilter = filter;
  defaultMagFilter = filter;
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
}
