#include "platform/files/files.h"

#include <filesystem>
#include <mutex>
#include <set>

std::string nativePath(const char* windowsPath) {
  std::string path = windowsPath ? windowsPath : "";
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

std::FILE* openFile(const char* windowsPath, const char* mode) {
  if (!windowsPath || !mode) return nullptr;
  return std::fopen(nativePath(windowsPath).c_str(), mode);
}

bool reportDataFileProblem(const char* windowsPath, const std::string& reason) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  const std::string path = nativePath(windowsPath);
  std::error_code error;
  std::string key = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error) key = path;
  std::lock_guard<std::mutex> lock(mutex);
  if (!reported.insert(key).second) return false;
  std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
  return true;
}
