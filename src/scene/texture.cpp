#include "scene/texture.h"

#include <cstdio>
#include <cstring>

#include "graphics/graphics_device.h"
#include "platform/files/files.h"

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

TextureResource* createTextureFromFile(const char* path, HRESULT* outcome) {
  GraphicsDevice* graphics = g_graphicsDevice;
  if (outcome) *outcome = D3DERR_INVALIDCALL;
  if (!graphics || !path) return nullptr;
  auto* resource = new TextureResource;
  IDirect3DTexture9* texture = nullptr;
  const HRESULT result = D3DXCreateTextureFromFileA(graphics->device, path, &texture);
  if (outcome) *outcome = result;
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

namespace {

std::string describeFailure(HRESULT result) {
  if (result == D3DERR_NOTAVAILABLE) return "cannot open it";
  if (result == D3DXERR_INVALIDDATA) return "not a PNG, JPEG, BMP or TGA image, or a damaged one";
  char code[16];
  std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result));
  return std::string("no texture could be made of it (error 0x") + code + ")";
}

}  // namespace

bool Texture::load(const std::string& fileName) {
  releaseTextureResource(resource);
  resource = nullptr;

  char path[kPathBufferSize] = {};
  const std::size_t folderLength = std::strlen(kTextureFolder);
  std::string folderPath;
  HRESULT inFolder = D3DERR_NOTAVAILABLE;
  HRESULT asGiven = D3DERR_NOTAVAILABLE;
  if (folderLength + fileName.size() < kPathBufferSize) {
    std::memcpy(path, kTextureFolder, folderLength);
    std::memcpy(path + folderLength, fileName.data(), fileName.size());
    path[folderLength + fileName.size()] = '\0';
    folderPath = path;
    resource = createTextureFromFile(path, &inFolder);
  }
  if (!resource) {
    if (fileName.size() < kPathBufferSize) {
      std::memcpy(path, fileName.data(), fileName.size());
      path[fileName.size()] = '\0';
      resource = createTextureFromFile(path, &asGiven);
      name = path;
    } else {
      name = fileName;
    }
  } else {
    name = path;
  }
  if (!resource && g_graphicsDevice && g_graphicsDevice->device) {
    // The report names the file that was found, if either was.
    const char* consequence = "; the texture stays empty";
    if (fileName.size() >= kPathBufferSize) {
      reportDataFileProblem(fileName.c_str(), "the name is longer than " + std::to_string(kPathBufferSize - 1) +
                                                  " characters" + consequence);
    } else if (inFolder != D3DERR_NOTAVAILABLE && !folderPath.empty()) {
      reportDataFileProblem(folderPath.c_str(), describeFailure(inFolder) + consequence);
    } else if (asGiven != D3DERR_NOTAVAILABLE) {
      reportDataFileProblem(fileName.c_str(), describeFailure(asGiven) + consequence);
    } else if (folderPath.empty()) {
      reportDataFileProblem(fileName.c_str(), std::string("cannot open it") + consequence);
    } else {
      reportDataFileProblem(folderPath.c_str(), "cannot open it, nor " + nativePath(fileName.c_str()) + consequence);
    }
  }
  return resource != nullptr;
}
