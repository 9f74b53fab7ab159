// Where the demo's data is: the working directory when it holds the data (so
// a data folder can be entered and the demo started there), else the "data"
// folder next to the executable, where the build puts it, else the
// executable's own folder, as in an unpacked release.
#pragma once

#include <filesystem>
#include <vector>

// A folder holds the data when it has the models, shaders and textures
// folders; single missing files are the loading phase's to report.
bool holdsDemoData(const std::filesystem::path& folder);

struct DataSearch {
  std::filesystem::path found;  // empty when no place holds the data
  std::vector<std::filesystem::path> lookedIn;
};

DataSearch findDemoData(const std::filesystem::path& workingDirectory, const std::filesystem::path& executable);
