#include "capture_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kCaptureUsage =
    "usage: vorn-capture [--size WxH] [--aspect W/H] [--multisample 0|2|4] [--data DIR] [--quiet]\n"
    "                    --at MS [--at MS ...] [--out DIR]        single frames, PNG files named by time\n"
    "                  | --video OUT.mp4 [--fps N] [--from MS] [--to MS]   the show with its music (ffmpeg)\n"
    "                  | --frames DIR [--fps N] [--from MS] [--to MS]      the show as a PNG sequence\n"
    "       vorn-capture --help | --version\n";

namespace {

bool parseInt(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  *value = parsed;
  return true;
}

bool parseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  double parsed = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool parsePair(const std::string& text, char separator, double* a, double* b) {
  auto at = text.find(separator);
  if (at == std::string::npos) return false;
  return parseNumber(text.substr(0, at), a) && parseNumber(text.substr(at + 1), b);
}

}  // namespace

bool parseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error) {
  auto fail = [&](const std::string& message) {
    *error = message;
    return false;
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      (arg == "--version" ? options->version : options->help) = true;
      return true;
    }
    if (arg == "--quiet") {
      options->quiet = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) return fail("unexpected argument '" + arg + "'");
    if (!value(&text)) return fail(arg + " needs a value");
    long long integer = 0;
    double a = 0, b = 0;
    if (arg == "--size") {
      if (!parsePair(text, 'x', &a, &b) || a < 16 || b < 16 || a > 8192 || b > 8192 || a != std::floor(a) ||
          b != std::floor(b))
        return fail("--size wants WxH between 16 and 8192, got '" + text + "'");
      options->width = static_cast<int>(a);
      options->height = static_cast<int>(b);
    } else if (arg == "--aspect") {
      if (parsePair(text, '/', &a, &b)) {
        if (a <= 0 || b <= 0) return fail("--aspect wants a positive ratio, got '" + text + "'");
        options->aspectRatio = static_cast<float>(a / b);
      } else if (parseNumber(text, &a) && a > 0) {
        options->aspectRatio = static_cast<float>(a);
      } else {
        return fail("--aspect wants W/H or a number, got '" + text + "'");
      }
    } else if (arg == "--multisample") {
      if (!parseInt(text, &integer) || (integer != 0 && integer != 2 && integer != 4))
        return fail("--multisample wants 0, 2 or 4, got '" + text + "'");
      options->multisample = static_cast<int>(integer);
    } else if (arg == "--at") {
      if (!parseInt(text, &integer) || integer < 0 || integer > 10000000)
        return fail("--at wants a music time in milliseconds, got '" + text + "'");
      options->times.push_back(static_cast<std::int32_t>(integer));
    } else if (arg == "--out") {
      options->outDir = text;
    } else if (arg == "--video") {
      options->videoPath = text;
    } else if (arg == "--frames") {
      options->framesDir = text;
    } else if (arg == "--fps") {
      if (!parseNumber(text, &a) || a < 1 || a > 240) return fail("--fps wants 1 to 240, got '" + text + "'");
      options->fps = a;
    } else if (arg == "--from") {
      if (!parseInt(text, &integer) || integer < 0 || integer > 10000000)
        return fail("--from wants milliseconds, got '" + text + "'");
      options->fromMs = static_cast<std::int32_t>(integer);
    } else if (arg == "--to") {
      if (!parseInt(text, &integer) || integer < 0 || integer > 10000000)
        return fail("--to wants milliseconds, got '" + text + "'");
      options->toMs = static_cast<std::int32_t>(integer);
    } else if (arg == "--data") {
      options->dataDir = text;
    } else {
      return fail("unknown option '" + arg + "'");
    }
  }
  int modes = !options->times.empty() + !options->videoPath.empty() + !options->framesDir.empty();
  if (modes == 0) return fail("nothing to capture: give --at, --video or --frames");
  if (!options->times.empty() && modes > 1) return fail("--at cannot be combined with --video or --frames");
  if (options->toMs <= options->fromMs) return fail("--to must be after --from");
  return true;
}

std::int32_t frameTimeMs(const CaptureOptions& options, std::int64_t frame) {
  return options.fromMs + static_cast<std::int32_t>(std::llround(static_cast<double>(frame) * 1000.0 / options.fps));
}

std::int64_t frameCount(const CaptureOptions& options) {
  std::int64_t count = 0;
  while (frameTimeMs(options, count) < options.toMs) ++count;
  return count;
}
