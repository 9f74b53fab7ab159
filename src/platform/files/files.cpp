#include "platform/files/files.h"

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
