// Process entry. On Windows the C runtime calls WinMain itself with the
// command line; elsewhere the platform's main hands it over as one string,
// as Windows does.
#include "platform/win32/win32.h"

#if !defined(_WIN32)
#include <string>
#include <vector>

#include "runtime/command_line.h"

int main(int argc, char** argv) {
  std::string commandLine = joinCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOW);
}
#endif
