// Process entry: the platform's main hands the command line to the
// Windows-style entry point as one string, as Windows does.
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "runtime/command_line.h"

int main(int argc, char** argv) {
  std::string commandLine = joinCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOW);
}
