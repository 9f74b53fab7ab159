#include "platform/win32/win32_keys.h"

#include <algorithm>
#include <cctype>

#include "platform/win32/win32.h"

namespace vorn::win32 {

namespace {

struct KeyEntry {
  int vk;
  SDL_Scancode scancode;
  SDL_Keycode keycode;
  const char* name;
};

// Keys other than letters and digits, with the names the script accepts.
const KeyEntry kKeys[] = {
    {VK_BACK, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, "BACK"},
    {VK_TAB, SDL_SCANCODE_TAB, SDLK_TAB, "TAB"},
    {VK_RETURN, SDL_SCANCODE_RETURN, SDLK_RETURN, "RETURN"},
    {VK_RETURN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, nullptr},
    {VK_SHIFT, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, "SHIFT"},
    {VK_SHIFT, SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, nullptr},
    {VK_CONTROL, SDL_SCANCODE_LCTRL, SDLK_LCTRL, "CONTROL"},
    {VK_CONTROL, SDL_SCANCODE_RCTRL, SDLK_RCTRL, nullptr},
    {VK_MENU, SDL_SCANCODE_LALT, SDLK_LALT, "MENU"},
    {VK_MENU, SDL_SCANCODE_RALT, SDLK_RALT, nullptr},
    {VK_PAUSE, SDL_SCANCODE_PAUSE, SDLK_PAUSE, "PAUSE"},
    {VK_CAPITAL, SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK, "CAPITAL"},
    {VK_ESCAPE, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, "ESCAPE"},
    {VK_SPACE, SDL_SCANCODE_SPACE, SDLK_SPACE, "SPACE"},
    {VK_PRIOR, SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, "PRIOR"},
    {VK_NEXT, SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, "NEXT"},
    {VK_END, SDL_SCANCODE_END, SDLK_END, "END"},
    {VK_HOME, SDL_SCANCODE_HOME, SDLK_HOME, "HOME"},
    {VK_LEFT, SDL_SCANCODE_LEFT, SDLK_LEFT, "LEFT"},
    {VK_UP, SDL_SCANCODE_UP, SDLK_UP, "UP"},
    {VK_RIGHT, SDL_SCANCODE_RIGHT, SDLK_RIGHT, "RIGHT"},
    {VK_DOWN, SDL_SCANCODE_DOWN, SDLK_DOWN, "DOWN"},
    {VK_INSERT, SDL_SCANCODE_INSERT, SDLK_INSERT, "INSERT"},
    {VK_DELETE, SDL_SCANCODE_DELETE, SDLK_DELETE, "DELETE"},
    {VK_NUMPAD0, SDL_SCANCODE_KP_0, SDLK_KP_0, "NUMPAD0"},
    {VK_NUMPAD0 + 1, SDL_SCANCODE_KP_1, SDLK_KP_1, "NUMPAD1"},
    {VK_NUMPAD0 + 2, SDL_SCANCODE_KP_2, SDLK_KP_2, "NUMPAD2"},
    {VK_NUMPAD0 + 3, SDL_SCANCODE_KP_3, SDLK_KP_3, "NUMPAD3"},
    {VK_NUMPAD0 + 4, SDL_SCANCODE_KP_4, SDLK_KP_4, "NUMPAD4"},
    {VK_NUMPAD0 + 5, SDL_SCANCODE_KP_5, SDLK_KP_5, "NUMPAD5"},
    {VK_NUMPAD0 + 6, SDL_SCANCODE_KP_6, SDLK_KP_6, "NUMPAD6"},
    {VK_NUMPAD0 + 7, SDL_SCANCODE_KP_7, SDLK_KP_7, "NUMPAD7"},
    {VK_NUMPAD0 + 8, SDL_SCANCODE_KP_8, SDLK_KP_8, "NUMPAD8"},
    {VK_NUMPAD0 + 9, SDL_SCANCODE_KP_9, SDLK_KP_9, "NUMPAD9"},
    {VK_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, "MULTIPLY"},
    {VK_ADD, SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, "ADD"},
    {VK_SUBTRACT, SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, "SUBTRACT"},
    {VK_DECIMAL, SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, "DECIMAL"},
    {VK_DIVIDE, SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, "DIVIDE"},
    {VK_F1, SDL_SCANCODE_F1, SDLK_F1, "F1"},
    {VK_F1 + 1, SDL_SCANCODE_F2, SDLK_F2, "F2"},
    {VK_F1 + 2, SDL_SCANCODE_F3, SDLK_F3, "F3"},
    {VK_F1 + 3, SDL_SCANCODE_F4, SDLK_F4, "F4"},
    {VK_F1 + 4, SDL_SCANCODE_F5, SDLK_F5, "F5"},
    {VK_F1 + 5, SDL_SCANCODE_F6, SDLK_F6, "F6"},
    {VK_F1 + 6, SDL_SCANCODE_F7, SDLK_F7, "F7"},
    {VK_F1 + 7, SDL_SCANCODE_F8, SDLK_F8, "F8"},
    {VK_F1 + 8, SDL_SCANCODE_F9, SDLK_F9, "F9"},
    {VK_F1 + 9, SDL_SCANCODE_F10, SDLK_F10, "F10"},
    {VK_F1 + 10, SDL_SCANCODE_F11, SDLK_F11, "F11"},
    {VK_F1 + 11, SDL_SCANCODE_F12, SDLK_F12, "F12"},
    {VK_OEM_1, SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, nullptr},
    {VK_OEM_PLUS, SDL_SCANCODE_EQUALS, SDLK_EQUALS, nullptr},
    {VK_OEM_COMMA, SDL_SCANCODE_COMMA, SDLK_COMMA, nullptr},
    {VK_OEM_MINUS, SDL_SCANCODE_MINUS, SDLK_MINUS, nullptr},
    {VK_OEM_PERIOD, SDL_SCANCODE_PERIOD, SDLK_PERIOD, nullptr},
    {VK_OEM_2, SDL_SCANCODE_SLASH, SDLK_SLASH, nullptr},
    {VK_OEM_3, SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, nullptr},
    {VK_OEM_4, SDL_SCANCODE_LEFTBRACKET, SDLK_LEFTBRACKET, nullptr},
    {VK_OEM_5, SDL_SCANCODE_BACKSLASH, SDLK_BACKSLASH, nullptr},
    {VK_OEM_6, SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, nullptr},
    {VK_OEM_7, SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, nullptr},
};

struct Alias {
  const char* name;
  int vk;
};
const Alias kAliases[] = {{"ESC", VK_ESCAPE}, {"ENTER", VK_RETURN}, {"BACKSPACE", VK_BACK}, {"CTRL", VK_CONTROL},
                          {"ALT", VK_MENU},   {"PAGEUP", VK_PRIOR}, {"PAGEDOWN", VK_NEXT}};

}  // namespace

int virtualKeyFromSdl(const SDL_Keysym& key) {
  if ((key.unused & 0xFF000000u) == kScriptKeyMark) return static_cast<int>(key.unused & 0xFFu);
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return '0' + (key.sym - SDLK_0);
  for (const KeyEntry& entry : kKeys) {
    if (entry.keycode == key.sym && key.sym != SDLK_UNKNOWN) return entry.vk;
  }
  if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z) return 'A' + (key.scancode - SDL_SCANCODE_A);
  if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9) return '1' + (key.scancode - SDL_SCANCODE_1);
  if (key.scancode == SDL_SCANCODE_0) return '0';
  for (const KeyEntry& entry : kKeys) {
    if (entry.scancode == key.scancode && key.scancode != SDL_SCANCODE_UNKNOWN) return entry.vk;
  }
  return 0;
}

bool sdlKeyFromVirtualKey(int vk, SDL_Keysym* key) {
  *key = SDL_Keysym{};
  if (vk >= 'A' && vk <= 'Z') {
    key->sym = SDLK_a + (vk - 'A');
    key->scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - 'A'));
    return true;
  }
  if (vk >= '0' && vk <= '9') {
    key->sym = SDLK_0 + (vk - '0');
    key->scancode = vk == '0' ? SDL_SCANCODE_0 : static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - '1'));
    return true;
  }
  for (const KeyEntry& entry : kKeys) {
    if (entry.vk == vk) {
      key->sym = entry.keycode;
      key->scancode = entry.scancode;
      return true;
    }
  }
  return false;
}

int virtualKeyFromName(const std::string& name) {
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  if (upper.size() == 1 && ((upper[0] >= 'A' && upper[0] <= 'Z') || (upper[0] >= '0' && upper[0] <= '9'))) {
    return upper[0];
  }
  for (const KeyEntry& entry : kKeys) {
    if (entry.name && upper == entry.name) return entry.vk;
  }
  for (const Alias& alias : kAliases) {
    if (upper == alias.name) return alias.vk;
  }
  return 0;
}

}  // namespace vorn::win32
