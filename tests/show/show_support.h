// Shared pieces of the show tests: the generated data folder, a working
// directory that is restored afterwards, and picture statistics.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace showtest {

// The generated data (VORN_DATA_DIR from the environment first).
inline std::filesystem::path dataDir() {
  const char* fromEnvironment = std::getenv("VORN_DATA_DIR");
  return fromEnvironment && *fromEnvironment ? std::filesystem::path(fromEnvironment)
                                             : std::filesystem::path(VORN_DATA_DIR);
}

inline bool haveData() {
  const std::filesystem::path data = dataDir();
  return std::filesystem::exists(data / "models" / "scene_1.nc") && std::filesystem::exists(data / "shaders") &&
         std::filesystem::exists(data / "textures");
}

#define SKIP_WITHOUT_DATA() \
  if (!::showtest::haveData()) GTEST_SKIP() << "no generated data in " << ::showtest::dataDir()

// Enters a folder for the lifetime of the object.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// A fresh, empty folder under the system temporary folder, removed at the end.
class EmptyFolder {
 public:
  EmptyFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorn-show-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) path_ = name.data();
  }
  ~EmptyFolder() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct PictureStats {
  int maxChannel = 0;     // brightest red, green or blue value
  double meanLuma = 0.0;  // average of (r + g + b) / 3
  int distinctRgb = 0;    // different colours, counted up to 64
  bool uniform = true;    // every pixel equal to the first
};

inline PictureStats pictureStats(const std::vector<std::uint8_t>& rgba) {
  PictureStats stats;
  std::vector<std::uint32_t> seen;
  double sum = 0.0;
  const std::size_t pixels = rgba.size() / 4;
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t* p = &rgba[i * 4];
    for (int c = 0; c < 3; ++c) stats.maxChannel = std::max(stats.maxChannel, static_cast<int>(p[c]));
    sum += (p[0] + p[1] + p[2]) / 3.0;
    if (p[0] != rgba[0] || p[1] != rgba[1] || p[2] != rgba[2]) stats.uniform = false;
    const std::uint32_t key = (p[0] << 16) | (p[1] << 8) | p[2];
    if (seen.size() < 64) {
      bool found = false;
      for (std::uint32_t k : seen) found = found || k == key;
      if (!found) seen.push_back(key);
    }
  }
  stats.meanLuma = pixels ? sum / static_cast<double>(pixels) : 0.0;
  stats.distinctRgb = static_cast<int>(seen.size());
  return stats;
}

}  // namespace showtest
