// Synthetic input: a script of key, mouse and close events played into the
// message queue through the same translation as real SDL events.
//
// Each line is `<when> <event> [arguments]`, `#` starts a comment. `when` is
// fN (once N frames have been presented since the script was loaded) or tMS
// (once MS milliseconds have passed since then). Lines fire in file order: a
// line waits for its own condition and for every line before it. Events:
// keydown VK, keyup VK, key VK (down, and up once a frame has been presented),
// move X Y (client pixels), ldown, lup, rdown, rup, click X Y (move, down,
// up), close, and the window notifications focus, blur, minimize, restore,
// maximize. Events go to the focused window, else the newest one.
#include <SDL.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_keys.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

enum class Trigger { Frame, Time, NextFrame };
enum class Action {
  KeyDown,
  KeyUp,
  Move,
  LeftDown,
  LeftUp,
  RightDown,
  RightUp,
  Close,
  Focus,
  Blur,
  Minimize,
  Restore,
  Maximize
};

struct ScriptEvent {
  Trigger trigger = Trigger::Frame;
  std::uint64_t value = 0;  // frames or milliseconds
  Action action = Action::KeyDown;
  int vk = 0;
  int x = 0;
  int y = 0;
};

struct Script {
  bool active = false;
  std::vector<ScriptEvent> events;
  std::size_t next = 0;
  std::chrono::steady_clock::time_point loaded;
  std::uint64_t framesAtLoad = 0;
  std::uint64_t framesAtLastFire = 0;
};

Script gScript;
bool gEnvironmentTried = false;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool parseUnsigned(const std::string& text, std::uint64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  *value = std::stoull(text);
  return true;
}

bool parseCoordinate(const std::string& text, int* value) {
  std::size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
  std::uint64_t magnitude = 0;
  if (!parseUnsigned(text.substr(start), &magnitude) || magnitude > 32767) return false;
  *value = start ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
  return true;
}

// A key: a single letter or digit names that key, a longer number (decimal or
// 0x hex) is the code itself, anything else a key name.
bool parseKey(const std::string& text, int* vk) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 4) return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str() + 2, &end, 16);
    if (*end != '\0' || value < 1 || value > 0xFF) return false;
    *vk = static_cast<int>(value);
    return true;
  }
  std::uint64_t value = 0;
  if (text.size() > 1 && parseUnsigned(text, &value)) {
    if (value < 1 || value > 0xFF) return false;
    *vk = static_cast<int>(value);
    return true;
  }
  *vk = virtualKeyFromName(text);
  return *vk != 0;
}

bool parseLine(const std::string& line, std::vector<ScriptEvent>* out, std::string* message) {
  std::string text = line.substr(0, line.find('#'));
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  if (words.empty()) return true;
  if (words.size() < 2) {
    *message = "expected '<when> <event>'";
    return false;
  }
  ScriptEvent event;
  const std::string& when = words[0];
  char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(when[0])));
  if ((kind != 'f' && kind != 't') || !parseUnsigned(when.substr(1), &event.value)) {
    *message = "bad time '" + when + "' (want fN or tMS)";
    return false;
  }
  event.trigger = kind == 'f' ? Trigger::Frame : Trigger::Time;
  std::string name = lower(words[1]);
  std::size_t arguments = words.size() - 2;
  auto expect = [&](std::size_t count) {
    if (arguments == count) return true;
    *message = "'" + name + "' takes " + std::to_string(count) + " argument" + (count == 1 ? "" : "s");
    return false;
  };
  if (name == "keydown" || name == "keyup" || name == "key") {
    if (!expect(1)) return false;
    if (!parseKey(words[2], &event.vk)) {
      *message = "unknown key '" + words[2] + "'";
      return false;
    }
    event.action = name == "keyup" ? Action::KeyUp : Action::KeyDown;
    out->push_back(event);
    if (name == "key") {
      ScriptEvent up = event;
      up.trigger = Trigger::NextFrame;
      up.action = Action::KeyUp;
      out->push_back(up);
    }
    return true;
  }
  if (name == "move" || name == "click") {
    if (!expect(2)) return false;
    if (!parseCoordinate(words[2], &event.x) || !parseCoordinate(words[3], &event.y)) {
      *message = "bad coordinates '" + words[2] + " " + words[3] + "'";
      return false;
    }
    event.action = Action::Move;
    out->push_back(event);
    if (name == "click") {
      event.action = Action::LeftDown;
      out->push_back(event);
      event.action = Action::LeftUp;
      out->push_back(event);
    }
    return true;
  }
  static const std::pair<const char*, Action> kPlain[] = {{"ldown", Action::LeftDown}, {"lup", Action::LeftUp},
                                                          {"rdown", Action::RightDown}, {"rup", Action::RightUp},
                                                          {"close", Action::Close},     {"focus", Action::Focus},
                                                          {"blur", Action::Blur},       {"minimize", Action::Minimize},
                                                          {"restore", Action::Restore}, {"maximize", Action::Maximize}};
  for (const auto& [plain, action] : kPlain) {
    if (name == plain) {
      if (!expect(0)) return false;
      event.action = action;
      out->push_back(event);
      return true;
    }
  }
  *message = "unknown event '" + words[1] + "'";
  return false;
}

void inject(const ScriptEvent& scripted, Window& window) {
  SDL_Event event{};
  State& s = state();
  // Script coordinates are client pixels; events carry window coordinates.
  int x = s.haveMouse && s.mouseWindow == window.handle ? s.mouseX : 0;
  int y = s.haveMouse && s.mouseWindow == window.handle ? s.mouseY : 0;
  clientToWindow(window, &x, &y);
  int scriptedX = scripted.x, scriptedY = scripted.y;
  clientToWindow(window, &scriptedX, &scriptedY);
  switch (scripted.action) {
    case Action::KeyDown:
    case Action::KeyUp:
      event.type = scripted.action == Action::KeyDown ? SDL_KEYDOWN : SDL_KEYUP;
      event.key.windowID = window.sdlId;
      event.key.state = scripted.action == Action::KeyDown ? SDL_PRESSED : SDL_RELEASED;
      sdlKeyFromVirtualKey(scripted.vk, &event.key.keysym);
      event.key.keysym.unused = kScriptKeyMark | static_cast<Uint32>(scripted.vk);
      break;
    case Action::Move:
      event.type = SDL_MOUSEMOTION;
      event.motion.windowID = window.sdlId;
      event.motion.x = scriptedX;
      event.motion.y = scriptedY;
      event.motion.xrel = scriptedX - x;
      event.motion.yrel = scriptedY - y;
      break;
    case Action::LeftDown:
    case Action::LeftUp:
    case Action::RightDown:
    case Action::RightUp: {
      bool down = scripted.action == Action::LeftDown || scripted.action == Action::RightDown;
      bool left = scripted.action == Action::LeftDown || scripted.action == Action::LeftUp;
      event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      event.button.windowID = window.sdlId;
      event.button.button = left ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT;
      event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
      event.button.clicks = 1;
      event.button.x = x;
      event.button.y = y;
      break;
    }
    case Action::Close:
    case Action::Focus:
    case Action::Blur:
    case Action::Minimize:
    case Action::Restore:
    case Action::Maximize: {
      static const std::pair<Action, Uint8> kWindowEvents[] = {{Action::Close, SDL_WINDOWEVENT_CLOSE},
                                                               {Action::Focus, SDL_WINDOWEVENT_FOCUS_GAINED},
                                                               {Action::Blur, SDL_WINDOWEVENT_FOCUS_LOST},
                                                               {Action::Minimize, SDL_WINDOWEVENT_MINIMIZED},
                                                               {Action::Restore, SDL_WINDOWEVENT_RESTORED},
                                                               {Action::Maximize, SDL_WINDOWEVENT_MAXIMIZED}};
      event.type = SDL_WINDOWEVENT;
      event.window.windowID = window.sdlId;
      for (const auto& [action, code] : kWindowEvents) {
        if (action == scripted.action) event.window.event = code;
      }
      break;
    }
  }
  event.common.timestamp = SDL_GetTicks();
  translateSdlEvent(event);
}

}  // namespace

void loadEnvironmentScriptOnce() {
  if (gEnvironmentTried) return;
  gEnvironmentTried = true;
  const char* path = std::getenv("VORN_INPUT_SCRIPT");
  if (!path || !*path) return;
  std::string error;
  VornWin32_LoadInputScript(path, &error);  // a bad script reports itself and is ignored
}

int pumpInputScript() {
  loadEnvironmentScriptOnce();
  if (!gScript.active) return -1;
  while (gScript.next < gScript.events.size()) {
    const ScriptEvent& event = gScript.events[gScript.next];
    std::uint64_t frames = VornWin32_PresentedFrames() - gScript.framesAtLoad;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                        gScript.loaded)
                       .count();
    bool due = false;
    switch (event.trigger) {
      case Trigger::Frame:
        due = frames >= event.value;
        break;
      case Trigger::Time:
        due = static_cast<std::uint64_t>(elapsed) >= event.value;
        break;
      case Trigger::NextFrame:
        due = VornWin32_PresentedFrames() > gScript.framesAtLastFire;
        break;
    }
    if (!due) {
      if (event.trigger != Trigger::Time) return -1;
      return static_cast<int>(std::min<std::uint64_t>(event.value - elapsed, 1u << 30));
    }
    // Events wait for a window to go to.
    Window* window = defaultTargetWindow();
    if (!window) return -1;
    ++gScript.next;
    gScript.framesAtLastFire = VornWin32_PresentedFrames();
    inject(event, *window);
  }
  gScript.active = false;
  return -1;
}

void resetInputScript() {
  gScript = Script{};
  gEnvironmentTried = false;
}

}  // namespace vorn::win32

using namespace vorn::win32;

bool VornWin32_LoadInputScript(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& message) {
    std::fprintf(stderr, "input script %s\n", message.c_str());
    if (error) *error = message;
    return false;
  };
  std::ifstream file(path);
  if (!file) return fail(path + ": cannot open the file; script ignored");
  std::vector<ScriptEvent> events;
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    std::string message;
    if (!parseLine(line, &events, &message)) {
      return fail(path + ":" + std::to_string(number) + ": " + message + "; script ignored");
    }
  }
  // A script loaded by hand takes the place of the environment's.
  gEnvironmentTried = true;
  gScript = Script{};
  gScript.active = true;
  gScript.events = std::move(events);
  gScript.loaded = std::chrono::steady_clock::now();
  gScript.framesAtLoad = VornWin32_PresentedFrames();
  gScript.framesAtLastFire = gScript.framesAtLoad;
  if (error) error->clear();
  return true;
}

void VornWin32_ClearInputScript() {
  gScript = Script{};
  gEnvironmentTried = true;
}
