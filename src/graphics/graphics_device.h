// The Direct3D device wrapper and the render state all drawing shares.
#pragma once

#include <cstdint>

#include "graphics/value_types.h"
#include "platform/d3d9/d3d9.h"

struct TransformStack;  // scene/transform_stack.h
struct TextureResource;  // scene/texture.h

struct GraphicsDevice {
  std::uint32_t backBufferWidth = 0;
  std::uint32_t backBufferHeight = 0;
  IDirect3D9* direct3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  ColorF clearColor{0.5f, 0.5f, 0.5f, 1.0f};
  std::uint32_t clearFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  std::int32_t inScene = 0;
  TransformStack* transformStack = nullptr;
  D3DTRANSFORMSTATETYPE currentTransform = D3DTS_PROJECTION;
  ColorF materialDiffuse{1.0f, 1.0f, 1.0f, 1.0f};
  ColorF materialAmbient{0.0f, 0.0f, 0.0f, 1.0f};
  ColorF materialSpecular{0.0f, 0.0f, 0.0f, 1.0f};
  float objectMatrix[16] = {};
  bool texturingEnabled = true;
  std::uint32_t defaultMagFilter = D3DTEXF_LINEAR;
  std::uint32_t defaultMinFilter = D3DTEXF_LINEAR;
  std::uint32_t defaultMaxAnisotropy = 0;
  float pointSize = 1.0f;

  // Creates the device for a window; on failure shows "Configuration not
  // supported!" and ends the process with a non-zero exit code.
  static GraphicsDevice* create(HWND window, std::uint32_t width, std::uint32_t height, int multisample);
  // As create, but returns null on failure instead of ending the process.
  static GraphicsDevice* tryCreate(HWND window, std::uint32_t width, std::uint32_t height, int multisample);

  void clear();
  void setViewportPercent(float x, float y, float w, float h);
  void endFrame();
  void bindTextureResource(std::uint32_t stage, const TextureResource* resource);
  void setTextureFilterDefaults(D3DTEXTUREFILTERTYPE filter);
};

// The one device in use, published by whoever created it.
extern GraphicsDevice* g_graphicsDevice;

// The colour word for a clear colour: A<<24 | R<<16 | G<<8 | B, each channel
// the low 8 bits of trunc(channel * 255).
D3DCOLOR clearColorWord(const ColorF& color);

// The presentation parameters the device is created with: windowed, the
// desktop format, discard swap, a 16-bit automatic depth buffer, 2 or 4
// samples when asked for (any other count means none), the back buffer
// sized by the window's client area.
D3DPRESENT_PARAMETERS devicePresentParameters(D3DFORMAT desktopFormat, int multisample);

// The viewport setViewportPercent sets for a back buffer of the given size.
D3DVIEWPORT9 viewportPercent(std::uint32_t width, std::uint32_t height, float x, float y, float w, float h);
