// Virtual-key codes for SDL keys, both ways (keyboard messages and the
// synthetic input script).
#pragma once

#include <SDL.h>

#include <string>

namespace vorn::win32 {

// The virtual-key code of an SDL key (0 when the key has none). Letters and
// digits follow the keyboard layout, the other keys their position.
int virtualKeyFromSdl(const SDL_Keysym& key);

// The SDL key that produces a virtual-key code (false if none does).
bool sdlKeyFromVirtualKey(int vk, SDL_Keysym* key);

// A key name of the input script (ESCAPE, A, F5, LEFT, ...; case-insensitive)
// as a virtual-key code, 0 if unknown.
int virtualKeyFromName(const std::string& name);

// Keysyms made by the input script carry their virtual-key code in `unused`
// with this mark, so that every code, even one without an SDL key, goes
// through the ordinary translation.
constexpr Uint32 kScriptKeyMark = 0x56000000u;

}  // namespace vorn::win32
