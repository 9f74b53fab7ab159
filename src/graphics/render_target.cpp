#include "graphics/render_target.h"

#include "graphics/graphics_device.h"

namespace {

TextureResource* fail(TextureResource* target, const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION);
  releaseTextureResource(target);
  return nullptr;
}

}  // namespace

TextureResource* createRenderTarget(std::uint32_t kind, std::uint32_t width, std::uint32_t height,
                                    std::uint32_t bytesPerPixel) {
  auto* target = new TextureResource;
  target->minFilter = D3DTEXF_LINEAR;
  target->magFilter = D3DTEXF_LINEAR;
  target->maxAnisotropy = 0;
  target->kind = kind;

  D3DFORMAT format = D3DFMT_UNKNOWN;
  if (bytesPerPixel == 4) {
    format = D3DFMT_A8R8G8B8;
  } else if (bytesPerPixel == 3) {
    format = D3DFMT_R8G8B8;
  } else {
    return fail(target, "Incorrect depth components !", "bwCreateTexture Error");
  }

  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->device : nullptr;
  if (kind & RT_TEXTURE) {
    IDirect3DTexture9* texture = nullptr;
    const HRESULT result =
        D3DXCreateTexture(device, width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture);
    target->texture = texture;
    if (FAILED(result) || !texture) {
      return fail(target, "Failed to create a texture with the D3DUSAGE_RENDERTARGET usage flag set!",
                  "D3DXCreateTexture Error");
    }
  } else if (kind & RT_CUBE) {
    IDirect3DCubeTexture9* cube = nullptr;
    const HRESULT result = device ? device->CreateCubeTexture(width, 1, D3DUSAGE_RENDERTARGET, format,
                                                              D3DPOOL_DEFAULT, &cube, nullptr)
                                  : D3DERR_INVALIDCALL;
    target->texture = cube;
    if (FAILED(result) || !cube) {
      return fail(target, "Failed to create a texture with the D3DUSAGE_RENDERTARGET usage flag set!",
                  "D3DXCreateTexture Error");
    }
  }

  if (kind & RT_TEXTURE) {
    auto* texture = static_cast<IDirect3DTexture9*>(target->texture);
    IDirect3DSurface9* surface = nullptr;
    HRESULT result = texture->GetSurfaceLevel(0, &surface);
    target->surface = surface;
    D3DSURFACE_DESC description{};
    if (SUCCEEDED(result) && surface) result = surface->GetDesc(&description);
    ID3DXRenderToSurface* renderToSurface = nullptr;
    if (SUCCEEDED(result) && surface) {
      result = D3DXCreateRenderToSurface(device, description.Width, description.Height, description.Format, TRUE,
                                         D3DFMT_D16, &renderToSurface);
    }
    target->renderToSurface = renderToSurface;
    if (FAILED(result) || !surface || !renderToSurface) {
      // Whatever was made goes with the record.
      target->kind |= RT_OWNS_SURFACE;
      return fail(target, "Failed to create the off-screen render surface!", "D3DXCreateRenderToSurface Error");
    }
  }
  return target;
}

void beginRenderTarget(TextureResource* target) {
  if (target && target->renderToSurface && target->surface) {
    target->renderToSurface->BeginScene(target->surface, nullptr);
  }
}

void endRenderTarget(TextureResource* target) {
  if (target && target->renderToSurface && target->surface) target->renderToSurface->EndScene(0);
}

void destroyRenderTarget(TextureResource* target) { releaseTextureResource(target); }
