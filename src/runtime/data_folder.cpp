#include "runtime/data_folder.h"

#include <algorithm>

namespace fs = std::filesystem;

bool holdsDemoData(const fs::path& folder) {
  std::error_code error;
  for (const char* part : {"models", "shaders", "textures"}) {
    if (!fs::is_directory(folder / part, error)) return false;
  }
  return true;
}

DataSearch findDemoData(const fs::path& workingDirectory, const fs::path& executable) {
  DataSearch search;
  auto lookIn = [&](const fs::path& place) {
    if (std::find(search.lookedIn.begin(), search.lookedIn.end(), place) == search.lookedIn.end()) {
      search.lookedIn.push_back(place);
    }
  };
  lookIn(workingDirectory);
  if (!executable.empty()) {
    // A build keeps the data in a "data" folder beside the program; an
    // unpacked release holds it beside the program itself.
    lookIn(executable.parent_path() / "data");
    lookIn(executable.parent_path());
  }
  for (const fs::path& place : search.lookedIn) {
    if (holdsDemoData(place)) {
      search.found = place;
      break;
    }
  }
  return search;
}
