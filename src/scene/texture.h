// Textures loaded from image files, and the device-side resource record that
// render targets share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/d3dx9/d3dx9.h"

constexpr std::uint32_t RT_TEXTURE = 0x01;
constexpr std::uint32_t RT_CUBE = 0x04;
constexpr std::uint32_t RT_OWNS_SURFACE = 0x08;

struct TextureResource {
  std::uint32_t minFilter = D3DTEXF_LINEAR;
  std::uint32_t magFilter = D3DTEXF_LINEAR;
  std::uint32_t maxAnisotropy = 0;
  std::uint32_t kind = 0;
  IDirect3DBaseTexture9* texture = nullptr;  // IDirect3DTexture9 or IDirect3DCubeTexture9
  ID3DXRenderToSurface* renderToSurface = nullptr;
  IDirect3DSurface9* surface = nullptr;
};

// Releases the Direct3D objects of a resource (render-to-surface and surface
// too when kind has RT_OWNS_SURFACE) and deletes it. Null is ignored.
void releaseTextureResource(TextureResource* resource);

// A texture from an image file with the device's default filters; null
// when D3DX cannot load it, with its result code in *result when given.
TextureResource* createTextureFromFile(const char* path, HRESULT* result = nullptr);

struct Texture {
  TextureResource* resource = nullptr;
  std::string name;

  Texture() = default;
  explicit Texture(const std::string& fileName);  // calls load
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  // Tries "textures\" + name, then name; true when a resource was created.
  // A file that neither path loads gets its one line on stderr (when there
  // is a device to load it onto).
  bool load(const std::string& fileName);
};
