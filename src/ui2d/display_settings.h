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

// Runs the configuration screen and returns the choices ("Run", Escape or
// closing the window); "Exit" ends the process with exit code 0 instead.
// With VORN_DEBUG_SETTINGS set in the environment, the choices are also
// written to stderr as one "settings: ..." line.
DisplaySettings runConfigurationScreen();
