// The demo's command line: help, version, and display settings that skip the
// configuration screen. The command line travels as one string, as Windows
// hands it to WinMain, quoted and split by the Windows rules.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui2d/display_settings.h"

struct LaunchOptions {
  bool help = false;
  bool version = false;
  // Set when any display option was given: the show starts with these
  // settings (the options not given keep the configuration screen's initial
  // choices) and the configuration screen is skipped.
  std::optional<DisplaySettings> settings;
  // What is wrong with the command line, in a sentence; empty when nothing.
  std::string error;
};

LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments);

// One command-line string from separate arguments, and back.
std::string joinCommandLine(const std::vector<std::string>& arguments);
std::vector<std::string> splitCommandLine(const char* commandLine);

extern const char* const kVornUsage;
