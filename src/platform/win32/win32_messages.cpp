// The message queue of the Win32 stand-in.
//
// SDL events become Win32 messages the way Windows delivers them:
// - input (keys, mouse) and window close are queued; PeekMessageA returns
//   them and DispatchMessageA hands them to the window procedure;
// - activation, size and move notifications are sent: the procedure runs
//   while PeekMessageA or WaitMessage takes in the SDL events;
// - WM_QUIT comes last, once nothing else is queued.
// As on Windows, a slow reader never faces a backlog of repeats: a key's
// auto-repeats fold into its pending WM_KEYDOWN (the repeat count in lParam
// bits 0-15), and WM_MOUSEMOVE is never stored: a queue entry only marks that
// the cursor moved, and the message is made from the cursor's position when
// it is read. WaitMessage waits for input that arrived after the queue was
// last looked at, not for what is still unread.
// SDL has no notion of the modal move-or-size loop, so a move or resize that
// SDL reports is announced as WM_ENTERSIZEMOVE, WM_MOVE or WM_SIZE, then
// WM_EXITSIZEMOVE, all at once.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/win32/win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_keys.h"
#include "platform/win32/win32_vorn.h"

namespace vorn::win32 {

namespace {

struct Entry {
  MSG msg;
  // The cursor moved: the WM_MOUSEMOVE is made when the entry is read.
  bool cursorMove = false;
};

struct Queue {
  std::mutex mutex;
  std::deque<Entry> messages;
  bool quitPosted = false;
  int quitCode = 0;
  // The pending quit comes from a quit signal: its exit code stands.
  bool quitFromSignal = false;
  // Counts every message posted, folded in or sent, so that WaitMessage can
  // tell new input from what was there at the last PeekMessageA.
  std::uint64_t arrivals = 0;
};

Queue& queue() {
  static Queue instance;
  return instance;
}

// The arrival count when PeekMessageA last looked at the queue.
std::uint64_t gArrivalsSeen = 0;
std::thread::id gMainThread = std::this_thread::get_id();
bool keyDown[256] = {};

LPARAM pointParam(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<std::int16_t>(x)), static_cast<WORD>(static_cast<std::int16_t>(y)));
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  GetCursorPos(&msg.pt);
  return msg;
}

void post(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  postToQueue(makeMessage(window->handle, message, wParam, lParam));
}

void noteArrival() {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  ++q.arrivals;
}

void send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  noteArrival();
  sendToWindow(window->handle, message, wParam, lParam);
}

// Posts WM_QUIT for a request to end the program from outside (a signal).
void postQuitRequest(int exitCode) {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.quitPosted = true;
  q.quitCode = exitCode;
  q.quitFromSignal = true;
  ++q.arrivals;
}

// An auto-repeat of a key whose WM_KEYDOWN is still unread adds to that
// message's repeat count instead of queuing another.
bool foldKeyRepeat(HWND window, int vk) {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  for (auto it = q.messages.rbegin(); it != q.messages.rend(); ++it) {
    MSG& msg = it->msg;
    if (msg.hwnd != window || msg.wParam != static_cast<WPARAM>(vk)) continue;
    if (msg.message == WM_KEYUP) return false;
    if (msg.message != WM_KEYDOWN) continue;
    const LPARAM count = msg.lParam & 0xFFFF;
    if (count < 0xFFFF) msg.lParam = (msg.lParam & ~LPARAM(0xFFFF)) | (count + 1);
    ++q.arrivals;
    return true;
  }
  return false;
}

// Notes that the cursor moved over a window: one entry at most stands for
// every move not yet read.
void markCursorMoved(HWND window) {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  ++q.arrivals;
  for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
    if (!it->cursorMove) continue;
    if (it->msg.hwnd == window) return;
    q.messages.erase(it);  // the cursor has left that window
    break;
  }
  Entry entry;
  entry.msg.hwnd = window;
  entry.msg.message = WM_MOUSEMOVE;
  entry.cursorMove = true;
  q.messages.push_back(entry);
}

WPARAM modifierBits() {
  WPARAM bits = 0;
  if (keyDown[VK_SHIFT]) bits |= MK_SHIFT;
  if (keyDown[VK_CONTROL]) bits |= MK_CONTROL;
  return bits;
}

Window* eventWindow(std::uint32_t id) {
  Window* window = findWindowBySdlId(id);
  return window ? window : defaultTargetWindow();
}

void reportSize(Window* window, WPARAM kind, int width, int height) {
  // A window under an emulated mode keeps its size in that mode.
  if (window->fullscreen) {
    width = window->clientWidth;
    height = window->clientHeight;
  }
  if (kind == window->reportedSizeKind && width == window->reportedWidth && height == window->reportedHeight) return;
  window->reportedSizeKind = kind;
  window->reportedWidth = width;
  window->reportedHeight = height;
  send(window, WM_SIZE, kind, kind == SIZE_MINIMIZED ? 0 : pointParam(width, height));
}

void translateWindowEvent(const SDL_WindowEvent& event) {
  Window* window = findWindowBySdlId(event.windowID);
  if (!window) return;
  HWND handle = window->handle;
  int width = window->clientWidth, height = window->clientHeight;
  if (window->sdl) SDL_GetWindowSize(window->sdl, &width, &height);
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      post(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      send(window, WM_ACTIVATE, WA_ACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      send(window, WM_ACTIVATE, WA_INACTIVE, 0);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      reportSize(window, SIZE_MINIMIZED, 0, 0);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      reportSize(window, SIZE_MAXIMIZED, width, height);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      reportSize(window, SIZE_RESTORED, width, height);
      break;
    case SDL_WINDOWEVENT_MOVED:
      send(window, WM_ENTERSIZEMOVE, 0, 0);
      if ((window = findWindow(handle))) send(window, WM_MOVE, 0, pointParam(event.data1, event.data2));
      if ((window = findWindow(handle))) send(window, WM_EXITSIZEMOVE, 0, 0);
      break;
    case SDL_WINDOWEVENT_RESIZED:
      send(window, WM_ENTERSIZEMOVE, 0, 0);
      if ((window = findWindow(handle)) && window->reportedSizeKind != SIZE_MINIMIZED) {
        reportSize(window, window->reportedSizeKind, event.data1, event.data2);
      }
      if ((window = findWindow(handle))) send(window, WM_EXITSIZEMOVE, 0, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (window->reportedSizeKind != SIZE_MINIMIZED) {
        reportSize(window, window->reportedSizeKind, event.data1, event.data2);
      }
      break;
    case SDL_WINDOWEVENT_SHOWN:
      send(window, WM_SHOWWINDOW, TRUE, 0);
      break;
    case SDL_WINDOWEVENT_HIDDEN:
      send(window, WM_SHOWWINDOW, FALSE, 0);
      break;
    default:
      break;
  }
}

void translateKey(const SDL_KeyboardEvent& event) {
  int vk = virtualKeyFromSdl(event.keysym);
  if (vk <= 0 || vk > 0xFF) return;
  Window* window = eventWindow(event.windowID);
  if (!window) return;
  bool down = event.type == SDL_KEYDOWN;
  bool wasDown = keyDown[vk];
  keyDown[vk] = down;
  bool repeat = down && (wasDown || event.repeat);
  if (repeat && foldKeyRepeat(window->handle, vk)) return;
  // lParam: repeat count 1, previous key state in bit 30, transition in bit 31.
  LPARAM lParam = 1;
  if (repeat || !down) lParam |= LPARAM(1) << 30;
  if (!down) lParam |= static_cast<LPARAM>(static_cast<DWORD>(1u << 31));
  post(window, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(vk), lParam);
}

void noteMouse(Window* window, int x, int y) {
  State& s = state();
  s.mouseWindow = window->handle;
  s.mouseX = x;
  s.mouseY = y;
  s.haveMouse = true;
}

void translateMouseButton(const SDL_MouseButtonEvent& event) {
  Window* window = eventWindow(event.windowID);
  if (!window) return;
  int x = event.x, y = event.y;
  windowToClient(*window, &x, &y);
  noteMouse(window, x, y);
  bool down = event.type == SDL_MOUSEBUTTONDOWN;
  UINT message = 0;
  WPARAM bit = 0;
  switch (event.button) {
    case SDL_BUTTON_LEFT:
      message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      bit = MK_LBUTTON;
      break;
    case SDL_BUTTON_RIGHT:
      message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      bit = MK_RBUTTON;
      break;
    case SDL_BUTTON_MIDDLE:
      message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      bit = MK_MBUTTON;
      break;
    default:
      return;
  }
  window->buttons = down ? (window->buttons | bit) : (window->buttons & ~bit);
  post(window, message, window->buttons | modifierBits(), pointParam(x, y));
}

// The WM_MOUSEMOVE that a cursor-move entry stands for, as of now.
void makeCursorMove(MSG* msg) {
  State& s = state();
  Window* window = findWindow(msg->hwnd);
  int x = 0, y = 0;
  if (s.haveMouse && s.mouseWindow == msg->hwnd) {
    x = s.mouseX;
    y = s.mouseY;
  } else {
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(msg->hwnd, &cursor);
    x = cursor.x;
    y = cursor.y;
  }
  msg->wParam = (window ? window->buttons : 0) | modifierBits();
  msg->lParam = pointParam(x, y);
  msg->time = GetTickCount();
  GetCursorPos(&msg->pt);
}

// Whether anything arrived since PeekMessageA last looked at the queue.
bool hasNewArrivals() {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  return q.arrivals != gArrivalsSeen;
}

// Takes in a quit signal, every pending SDL event and the due script events.
// Returns the milliseconds until the next time-keyed script event, or -1.
int pumpEvents() {
  if (int signal = takeQuitSignal()) postQuitRequest(128 + signal);
  if (videoReady()) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) translateSdlEvent(event);
  }
  return pumpInputScript();
}

bool matchesFilter(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window == reinterpret_cast<HWND>(-1)) {
    if (msg.hwnd) return false;
  } else if (window && msg.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

}  // namespace

void postToQueue(const MSG& msg, bool front) {
  Queue& q = queue();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    if (front) {
      q.messages.push_front(Entry{msg, false});
    } else {
      q.messages.push_back(Entry{msg, false});
    }
    ++q.arrivals;
  }
  // A message posted from another thread wakes a waiting main thread.
  if (videoReady() && std::this_thread::get_id() != gMainThread) {
    SDL_Event wake{};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
  }
}

void purgeWindowMessages(HWND window) {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.messages.erase(std::remove_if(q.messages.begin(), q.messages.end(),
                                  [window](const Entry& entry) { return entry.msg.hwnd == window; }),
                   q.messages.end());
}

void resetQueue() {
  Queue& q = queue();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    q.messages.clear();
    q.quitPosted = false;
    q.quitCode = 0;
    q.quitFromSignal = false;
    gArrivalsSeen = q.arrivals;
  }
  takeQuitSignal();
  std::fill(std::begin(keyDown), std::end(keyDown), false);
}

LRESULT sendToWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = findWindow(handle);
  if (!window || !window->procedure) return 0;
  // The procedure may destroy the window: nothing of it is used afterwards.
  WNDPROC procedure = window->procedure;
  return procedure(handle, message, wParam, lParam);
}

void translateSdlEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      translateWindowEvent(event.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      translateKey(event.key);
      break;
    case SDL_MOUSEMOTION: {
      Window* window = eventWindow(event.motion.windowID);
      if (!window) break;
      int x = event.motion.x, y = event.motion.y;
      windowToClient(*window, &x, &y);
      noteMouse(window, x, y);
      markCursorMoved(window->handle);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      translateMouseButton(event.button);
      break;
    case SDL_QUIT:
      // The desktop asks the application to quit (SDL's own signal handlers
      // are off): end the program as a termination signal does.
      postQuitRequest(128 + SIGTERM);
      break;
    default:
      break;
  }
}

}  // namespace vorn::win32

using namespace vorn::win32;

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (!msg) return FALSE;
  pumpEvents();
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  gArrivalsSeen = q.arrivals;
  const bool quitWanted = (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
  auto takeQuit = [&] {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(q.quitCode);
    msg->time = GetTickCount();
    if (removeMsg & PM_REMOVE) q.quitPosted = q.quitFromSignal = false;
    return TRUE;
  };
  // A quit signal is not kept waiting by input that keeps coming (a moving
  // mouse, a held key); an ordinary WM_QUIT comes once the queue is empty.
  if (q.quitPosted && q.quitFromSignal && quitWanted) return takeQuit();
  for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
    if (!matchesFilter(it->msg, window, filterMin, filterMax)) continue;
    *msg = it->msg;
    if (it->cursorMove) makeCursorMove(msg);
    if (removeMsg & PM_REMOVE) q.messages.erase(it);
    return TRUE;
  }
  if (q.quitPosted && quitWanted) return takeQuit();
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP || msg->message == WM_SYSKEYDOWN) return TRUE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  // Characters of the US layout for the keys that type one.
  int vk = static_cast<int>(msg->wParam);
  bool shift = keyDown[VK_SHIFT];
  bool control = keyDown[VK_CONTROL];
  int character = 0;
  if (vk >= 'A' && vk <= 'Z') {
    character = control ? (vk & 0x1F) : (shift ? vk : vk + ('a' - 'A'));
  } else if (vk >= '0' && vk <= '9') {
    character = shift ? ")!@#$%^&*("[vk - '0'] : vk;
  } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
    character = '0' + (vk - VK_NUMPAD0);
  } else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE) {
    character = vk == VK_RETURN ? '\r' : vk;
  }
  if (character) {
    MSG charMessage = *msg;
    charMessage.message = WM_CHAR;
    charMessage.wParam = static_cast<WPARAM>(character);
    postToQueue(charMessage, true);
  }
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return sendToWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WaitMessage() {
  for (;;) {
    int scriptWait = pumpEvents();
    if (hasNewArrivals()) return TRUE;
    // Wake at the next script event and now and then for posts from other
    // threads; an SDL event that arrives is translated at once, never lost.
    int timeout = scriptWait >= 0 ? std::min(scriptWait, 100) : 100;
    if (videoReady()) {
      SDL_Event event;
      if (SDL_WaitEventTimeout(&event, std::max(timeout, 1))) translateSdlEvent(event);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(timeout, 1, 10)));
    }
  }
}

void PostQuitMessage(int exitCode) {
  Queue& q = queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  q.quitPosted = true;
  // A window closing on its way out does not undo the signal's exit code.
  if (!q.quitFromSignal) q.quitCode = exitCode;
  ++q.arrivals;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The window table belongs to the main thread; a post from elsewhere is
  // checked when it is dispatched instead.
  if (window && std::this_thread::get_id() == gMainThread && !findWindow(window)) return FALSE;
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  postToQueue(msg);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return sendToWindow(window, message, wParam, lParam);
}
