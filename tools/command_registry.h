// Sub-command registry shared by the multi-command tools: each command lives
// in its own source file and registers itself with a static Command object.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/version.h"

namespace tools {

using CommandFunction = std::function<int(const std::vector<std::string>& args)>;

struct CommandInfo {
  std::string usage;
  CommandFunction run;
};

inline std::map<std::string, CommandInfo>& commands() {
  static std::map<std::string, CommandInfo> table;
  return table;
}

struct Command {
  Command(const std::string& name, const std::string& usage, CommandFunction run) {
    commands()[name] = CommandInfo{usage, std::move(run)};
  }
};

// Runs argv[1] with the remaining arguments; prints usage on a bad call.
// --help prints the usage to stdout and --version the version, both with
// status 0.
inline int dispatch(const char* program, int argc, char** argv) {
  auto usage = [&](std::FILE* out) {
    std::fprintf(out, "usage:\n");
    for (const auto& [name, info] : commands()) std::fprintf(out, "  %s %s\n", program, info.usage.c_str());
    std::fprintf(out, "  %s --help | --version\n", program);
  };
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    usage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("%s %s\n", program, kVornVersion);
    return 0;
  }
  auto found = commands().find(first);
  if (found == commands().end()) {
    std::fprintf(stderr, "%s: unknown command '%s'\n", program, argv[1]);
    usage(stderr);
    return 2;
  }
  return found->second.run(std::vector<std::string>(argv + 2, argv + argc));
}

}  // namespace tools
