// Sub-command registry shared by the multi-command tools: each command lives
// in its own source file and registers itself with a static Command object.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

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
inline int dispatch(const char* program, int argc, char** argv) {
  auto usage = [&] {
    std::fprintf(stderr, "usage:\n");
    for (const auto& [name, info] : commands()) std::fprintf(stderr, "  %s %s\n", program, info.usage.c_str());
  };
  if (argc < 2) {
    usage();
    return 2;
  }
  auto found = commands().find(argv[1]);
  if (found == commands().end()) {
    std::fprintf(stderr, "%s: unknown command '%s'\n", program, argv[1]);
    usage();
    return 2;
  }
  return found->second.run(std::vector<std::string>(argv + 2, argv + argc));
}

}  // namespace tools
