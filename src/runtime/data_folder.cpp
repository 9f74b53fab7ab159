#include "runtime/data_folder.h"

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
  search.lookedIn.push_back(workingDirectory);
  if (!executable.empty()) search.lookedIn.push_back(executable.parent_path() / "data");
  for (const fs::path& place : search.lookedIn) {
    if (holdsDemoData(place)) {
      search.found = place;
      break;
    }
  }
  return search;
}
