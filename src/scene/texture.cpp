#include "scene/texture.h"

#include <cstring>

#include "graphics/graphics_device.h"

namespace {

// Texture paths are formed in a fixed buffer: 127 characters and the
// terminator. A name whose path would not fit is not tried.
constexpr std::size_t kPathBufferSize = 128;
constexpr const char* kTextureFolder = "textures\\";

}  // namespace

void releaseTextureResource(TextureResource* resource) {
  if (!resource) return;
  if (resource->texture) resource->texture->Release();
  if (resource->kind & RT_OWNS_SURFACE) {
    if (resource->renderToSurface) resource->renderToSurface->Release();
    if (resource->surface) resource->surface->Release();
  }
  delete resource;
}

TextureResource* createTextureFromFile(const char* path) {
  GraphicsDevice* graphics = g_graphicsDevice;
  if (!graphics || !path) return nullptr;
  auto* resource = new TextureResource;
  IDirect3DTexture9* texture = nullptr;
  const HRESULT result = D3DXCreateTextureFromFileA(graphics->device, path, &texture);
  resource->texture = texture;
  // The filters in force now stay with the texture, whatever the defaults
  // become later.
  resource->magFilter = graphics->defaultMagFilter;
  resource->minFilter = graphics->defaultMinFilter;
  resource->maxAnisotropy = graphics->defaultMaxAnisotropy;
  resource->kind = 1;
  if (result != D3D_OK) {
    releaseTextureResource(resource);
    return nullptr;
  }
  return resource;
}

Texture::Texture(const std::string& fileName) { load(fileName); }

Texture::~Texture() {
  releaseTextureResource(resource);
  resource = nullptr;
}

bool Texture::load(const std::string& fileName) {
  releaseTextureResource(resource);
  resource = nullptr;

  char path[kPathBufferSize] = {};
  const std::size_t folderLength = std::strlen(kTextureFolder);
  if (folderLength + fileName.size() < kPathBufferSize) {
    std::memcpy(path, kTextureFolder, folderLength);
    std::memcpy(path + folderLength, fileName.data(), fileName.size());
    path[folderLength + fileName.size()] = '\0';
    resource = createTextureFromFile(path);
  }
  if (!resource) {
    if (fileName.size() < kPathBufferSize) {
      std::memcpy(path, fileName.data(), fileName.size());
      path[fileName.size()] = '\0';
      resource = createTextureFromFile(path);
      name = path;
    } else {
      name = fileName;
    }
  } else {
    name = path;
  }
  return resource != nullptr;
}
