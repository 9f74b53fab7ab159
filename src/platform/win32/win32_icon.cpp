// The application icon (icon group resource 109): drawn here rather than
// loaded, as a set of 64, 48 and 32 pixel 32-bit images: a dark steel tile
// with an orange V.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

constexpr int kIconResource = 109;
constexpr int kIconSizes[] = {64, 48, 32};
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

struct Rgb {
  float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

float segmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0f, 1.0f);
  float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

// Signed distance to a rounded square covering [0,1]^2 (negative inside).
float tileDistance(float x, float y, float radius) {
  float qx = std::abs(x - 0.5f) - (0.5f - radius);
  float qy = std::abs(y - 0.5f) - (0.5f - radius);
  float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

std::vector<std::uint8_t> drawIcon(int size) {
  const Rgb steelTop{0.27f, 0.30f, 0.34f};
  const Rgb steelBottom{0.12f, 0.14f, 0.16f};
  const Rgb rim{0.06f, 0.07f, 0.08f};
  const Rgb orangeTop{1.00f, 0.58f, 0.12f};
  const Rgb orangeBottom{0.90f, 0.36f, 0.04f};
  const float stroke = 0.075f;  // half width of the V's strokes
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
  constexpr int kSub = 4;  // 4 x 4 samples per pixel
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          float u = (x + (sx + 0.5f) / kSub) / size;
          float v = (y + (sy + 0.5f) / kSub) / size;
          float tile = tileDistance(u, v, 0.12f);
          if (tile > 0) continue;
          Rgb colour = mix(steelTop, steelBottom, v);
          // Brushed-metal streaks and a bright upper edge.
          colour = mix(colour, Rgb{0.36f, 0.40f, 0.45f}, 0.08f * (0.5f + 0.5f * std::sin(v * 90.0f + u * 7.0f)));
          if (v < 0.07f) colour = mix(colour, Rgb{0.50f, 0.55f, 0.60f}, 0.5f);
          if (tile > -0.035f) colour = rim;
          float d = std::min(segmentDistance(u, v, 0.24f, 0.22f, 0.50f, 0.80f),
                             segmentDistance(u, v, 0.76f, 0.22f, 0.50f, 0.80f));
          if (d < stroke) colour = mix(orangeTop, orangeBottom, std::clamp((v - 0.22f) / 0.58f, 0.0f, 1.0f));
          r += colour.r;
          g += colour.g;
          b += colour.b;
          a += 1.0f;
        }
      }
      std::uint8_t* pixel = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      if (a > 0) {
        pixel[0] = static_cast<std::uint8_t>(std::lround(255.0f * r / a));
        pixel[1] = static_cast<std::uint8_t>(std::lround(255.0f * g / a));
        pixel[2] = static_cast<std::uint8_t>(std::lround(255.0f * b / a));
      }
      pixel[3] = static_cast<std::uint8_t>(std::lround(255.0f * a / (kSub * kSub)));
    }
  }
  return rgba;
}

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
  for (int size : kIconSizes) icon.images[size] = drawIcon(size);
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
