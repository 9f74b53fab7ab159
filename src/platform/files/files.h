// File opening with Windows-style relative paths: "models\scene_1.nc" opens
// models/scene_1.nc. Engine code opens every data file through these.
#pragma once

#include <cstdio>
#include <string>

// The native form of a Windows-style path (backslashes become slashes).
std::string nativePath(const char* windowsPath);

// fopen of the native form of the path, with the same mode string.
std::FILE* openFile(const char* windowsPath, const char* mode);

// One line on stderr about a data file that is missing, unreadable or
// rejected: "PATH: REASON" with the native form of the path. Loading goes on
// without the file, but the person running the program learns what is
// missing and why. Each file (by its absolute path) is reported once per run,
// however often it is tried; false when it had been reported already.
bool reportDataFileProblem(const char* windowsPath, const std::string& reason);
