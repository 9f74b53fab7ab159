// vorn-tool icon OUT.ico: writes the application icon as an .ico file, which
// the Windows build links into the executable as icon group resource 109.
#include <cstdio>
#include <string>
#include <vector>

#include "command_registry.h"
#include "platform/icon/app_icon.h"

namespace {

int runIcon(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: vorn-tool icon OUT.ico\n");
    return 2;
  }
  const std::vector<std::uint8_t> bytes = vorn::icon::appIconFile();
  std::FILE* file = std::fopen(args[0].c_str(), "wb");
  bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file && std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "vorn-tool icon: cannot write %s\n", args[0].c_str());
    return 1;
  }
  return 0;
}

tools::Command command("icon", "icon OUT.ico", runIcon);

}  // namespace
