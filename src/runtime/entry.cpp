// The Windows entry point: the command line, the data folder, the display,
// then the demo and the teardown of its framework.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/win32/win32.h"
#include "runtime/command_line.h"
#include "runtime/data_folder.h"
#include "runtime/demo.h"
#include "runtime/version.h"

namespace fs = std::filesystem;

namespace {

// Makes the data folder the working directory. False, after saying where it
// looked, when no place holds the data.
bool enterDataFolder() {
  std::error_code error;
  const fs::path workingDirectory = fs::current_path(error);
  char executable[4096] = {};
  GetModuleFileNameA(nullptr, executable, sizeof executable);
  const DataSearch search = findDemoData(workingDirectory, executable);
  if (search.found.empty()) {
    std::fprintf(stderr, "vorn: the demo data (the models, shaders and textures folders) is not in\n");
    for (const fs::path& place : search.lookedIn) std::fprintf(stderr, "  %s\n", place.string().c_str());
    std::fprintf(stderr, "Build it with scripts/setup.sh, or start vorn in the folder that holds it.\n");
    return false;
  }
  if (search.found != workingDirectory) fs::current_path(search.found, error);
  if (error) {
    std::fprintf(stderr, "vorn: cannot enter the data folder %s: %s\n", search.found.string().c_str(),
                 error.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

int WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  const LaunchOptions options = parseLaunchOptions(splitCommandLine(commandLine));
  if (!options.error.empty()) {
    std::fprintf(stderr, "vorn: %s\nTry 'vorn --help'.\n", options.error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(kVornUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vorn %s\n", kVornVersion);
    return 0;
  }
  if (!enterDataFolder()) return 2;
  // Without a screen nothing can be shown; the platform has said why.
  if (GetSystemMetrics(SM_CXSCREEN) == 0) return 1;

  const int status = runDemo(options.settings);
  destroyGlobalFramework();
  return status;
}
