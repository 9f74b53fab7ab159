// The application icon (icon group resource 109): drawn (platform/icon)
// rather than loaded from the executable.
#include <SDL.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/icon/app_icon.h"

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

constexpr int kIconResource = 109;
constexpr std::uintptr_t kModuleHandle = 0x00400000;

struct Icon {
  std::map<int, std::vector<std::uint8_t>> images;  // size -> RGBA
  SDL_Surface* surface = nullptr;                   // largest image, for SDL
};

std::map<std::uintptr_t, Icon>& icons() {
  static std::map<std::uintptr_t, Icon> table;
  return table;
}
std::uintptr_t gNextIcon = 0x00020010;

Icon* findIcon(HICON icon) {
  auto found = icons().find(reinterpret_cast<std::uintptr_t>(icon));
  return found == icons().end() ? nullptr : &found->second;
}

void freeIcon(Icon& icon) {
  if (icon.surface) SDL_FreeSurface(icon.surface);
  icon.surface = nullptr;
}

}  // namespace

SDL_Surface* iconSurface(HICON handle) {
  Icon* icon = findIcon(handle);
  if (!icon || icon->images.empty()) return nullptr;
  if (!icon->surface) {
    auto& largest = *icon->images.rbegin();
    int size = largest.first;
    icon->surface = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_RGBA32);
    if (!icon->surface) return nullptr;
    SDL_LockSurface(icon->surface);
    for (int y = 0; y < size; ++y) {
      std::copy_n(&largest.second[static_cast<std::size_t>(y) * size * 4], size * 4,
                  static_cast<std::uint8_t*>(icon->surface->pixels) + y * icon->surface->pitch);
    }
    SDL_UnlockSurface(icon->surface);
  }
  return icon->surface;
}

void resetIcons() {
  for (auto& entry : icons()) freeIcon(entry.second);
  icons().clear();
}

}  // namespace vorn::win32

using namespace vorn::win32;

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int, int, UINT) {
  if (type != IMAGE_ICON) return nullptr;
  if (instance != reinterpret_cast<HINSTANCE>(kModuleHandle)) return nullptr;
  if (reinterpret_cast<std::uintptr_t>(name) != kIconResource) return nullptr;
  Icon icon;
  for (int size : vorn::icon::kAppIconSizes) icon.images[size] = vorn::icon::drawAppIcon(size);
  std::uintptr_t handle = gNextIcon;
  gNextIcon += 0x10;
  icons().emplace(handle, std::move(icon));
  return reinterpret_cast<HANDLE>(handle);
}

BOOL DestroyIcon(HICON handle) {
  auto found = icons().find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == icons().end()) return FALSE;
  freeIcon(found->second);
  icons().erase(found);
  return TRUE;
}

bool VornWin32_IconPixels(HICON handle, int size, std::vector<std::uint8_t>* rgba) {
  Icon* icon = findIcon(handle);
  if (!icon || !rgba) return false;
  auto image = icon->images.find(size);
  if (image == icon->images.end()) return false;
  *rgba = image->second;
  return true;
}
