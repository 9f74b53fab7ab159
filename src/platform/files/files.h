// File opening with Windows-style relative paths: "models\scene_1.nc" opens
// models/scene_1.nc. Engine code opens every data file through these.
#pragma once

#include <cstdio>
#include <string>

// The native form of a Windows-style path (backslashes become slashes).
std::string nativePath(const char* windowsPath);

// fopen of the native form of the path, with the same mode string.
std::FILE* openFile(const char* windowsPath, const char* mode);
