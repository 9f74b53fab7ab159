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

// Runs the configuration screen; returns the choices, or ends the process
// (exit code 0) when the user chooses Exit, presses Escape or closes it.
DisplaySettings runConfigurationScreen();
