// Command-line options of vorn-capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CaptureOptions {
  int width = 640;
  int height = 480;
  float aspectRatio = 1.3333334f;
  int multisample = 0;
  std::vector<std::int32_t> times;  // --at: single frames
  std::string outDir = ".";        // where --at frames go
  std::string videoPath;           // --video OUT.mp4
  std::string framesDir;           // --frames DIR: a PNG sequence
  double fps = 60.0;
  std::int32_t fromMs = 0;
  std::int32_t toMs = 174500;
  std::string dataDir;  // the demo's working directory
  bool quiet = false;
  bool help = false;     // --help: print the usage and stop
  bool version = false;  // --version
};

// Parses argv; on a bad command line returns false with a message. --help
// and --version end the parsing with the flag set.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);

// Music time of frame n of a fixed-step capture.
std::int32_t frameTimeMs(const CaptureOptions& options, std::int64_t frame);
// Number of frames in [from, to) at the capture rate.
std::int64_t frameCount(const CaptureOptions& options);

extern const char* const kCaptureUsage;
