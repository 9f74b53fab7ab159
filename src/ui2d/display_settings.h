// The display choices of the configuration screen for the current run.
#pragma once

#include <cstdint>

struct DisplaySettings {
  std::int32_t width = 640;
  std::int32_t height = 480;
  float aspectRatio = 1.3333334f;
  bool fullscreen = false;
  std::int32_t multisample = 0;
};

// How the configuration screen ended: with the choices for the show ("Run",
// Escape, or closing the window), or with the program to end (quit set):
// "Exit" gives exit code 0, a request from outside to quit (WM_QUIT with a
// non-zero exit code, as a quit signal makes) gives that code.
struct ConfigurationOutcome {
  DisplaySettings settings;
  bool quit = false;
  int exitCode = 0;
};

// Runs the configuration screen and tears it down, however it ends.
ConfigurationOutcome runConfigurationScreen();
