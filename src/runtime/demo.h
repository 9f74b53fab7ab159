// The main driver: configuration, start-up, loading, the frame loop and
// shutdown.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "runtime/demo_blocks.h"
#include "runtime/timeline.h"
#include "ui2d/bitmap_font.h"

#include "ui2d/display_settings.h"

struct DemoResources;
struct Texture;
struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_CHANNEL;

// The music time past which the show ends.
constexpr std::int32_t kShowEndMs = 174500;

// One run of the show after the configuration screen: start-up, one frame
// loop iteration at a time, shutdown. runDemo drives it; offline tools
// drive it the same way with settings of their own.
struct DemoSession {
  DemoResources* resources = nullptr;
  Timeline timeline;
  DemoBlocks blocks;
  Texture* overlayTexture = nullptr;
  BitmapFont overlayFont;
  FMOD_SYSTEM* soundSystem = nullptr;
  FMOD_SOUND* music = nullptr;
  FMOD_CHANNEL* channel = nullptr;
  unsigned int soundVersion = 0;
  // The exit code of the WM_QUIT that ended the frame loop (0 otherwise).
  int exitCode = 0;
  // Called right before each Present, with the frame complete in the back
  // buffer (capture tools read it there). Empty by default.
  std::function<void()> beforePresent;

  DemoSession() = default;
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;

  // Creates and starts the global framework with the settings, names the
  // window, loads every resource, creates the blocks, loads the overlay font
  // and starts the music at 0 ms.
  bool start(const DisplaySettings& settings);
  // Exactly one iteration of the frame loop; false when the loop ends
  // (WM_QUIT, Escape, or the music past the end of the show).
  bool runFrame();
  // Stops the music and releases what start made, except the framework.
  void shutdown();
};

// Tears down, deletes and clears the global framework (if any).
void destroyGlobalFramework();

// The whole program after its command line: the configuration screen (unless
// the settings are given), the show, and its shutdown. Returns the exit
// status: 0, or the exit code of a request to quit (a quit signal).
int runDemo(const std::optional<DisplaySettings>& chosen);
