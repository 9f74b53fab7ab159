#include "runtime/command_line.h"

#include "ui2d/configuration_screen.h"

const char* const kVornUsage =
    "usage: vorn [--windowed | --fullscreen] [--size WxH] [--aspect RATIO] [--multisample N]\n"
    "       vorn --help | --version\n"
    "\n"
    "Plays the Vorn demo. Without options the configuration screen comes first. Any\n"
    "of these options skips it and starts the show with the settings given; the\n"
    "others keep the screen's defaults (full screen, 640x480, 4/3, no multisampling).\n"
    "\n"
    "  --windowed          show the demo in a window\n"
    "  --fullscreen        cover the screen (the screen is scaled, never switched)\n"
    "  --size WxH          picture size: 320x240 640x480 800x600 1024x768 1280x720\n"
    "                      1280x800 1280x1024 1368x768 1440x900 1600x1200 1680x1050\n"
    "                      1920x1080 1920x1200\n"
    "  --aspect RATIO      shape of the 3D projection: 16/9 16/10 4/3 5/4\n"
    "  --multisample N     anti-aliasing samples: 0 2 4\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "The data (models, shaders, textures, milk.ogg) is read from the working\n"
    "directory, or else from the data folder next to the program.\n"
    "Keys: Escape ends the show; hold A to see the music time and frame rate.\n";

namespace {

constexpr int kResolutionCount = 13;
const char* const kAspectNames[] = {"16/9", "16/10", "4/3", "5/4"};
const char* const kMultisampleNames[] = {"0", "2", "4"};

// The configuration screen's choices before the user changes any.
constexpr int kInitialResolution = 1;
constexpr int kInitialAspect = 2;

template <std::size_t N>
int indexOf(const char* const (&names)[N], const std::string& value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (value == names[i]) return static_cast<int>(i);
  }
  return -1;
}

int resolutionIndexOf(const std::string& value) {
  for (int i = 0; i < kResolutionCount; ++i) {
    const DisplaySettings s = settingsForSelections(i, 0, 0, 0);
    if (value == std::to_string(s.width) + "x" + std::to_string(s.height)) return i;
  }
  return -1;
}

}  // namespace

LaunchOptions parseLaunchOptions(const std::vector<std::string>& arguments) {
  LaunchOptions options;
  int resolution = kInitialResolution, aspect = kInitialAspect, antiAlias = 0;
  int fullscreen = -1;  // not given
  bool anySetting = false;
  auto fail = [&](const std::string& message) {
    options.error = message;
    options.settings.reset();
    return options;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::string value;
    bool hasValue = false;
    if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
      hasValue = true;
    }
    if (name == "--help" || name == "-h" || name == "--version") {
      if (hasValue) return fail(name + " takes no value, got '" + arguments[i] + "'");
      (name == "--version" ? options.version : options.help) = true;
      return options;
    }
    if (name == "--windowed" || name == "--fullscreen") {
      if (hasValue) return fail(name + " takes no value, got '" + arguments[i] + "'");
      const int wanted = name == "--fullscreen" ? 1 : 0;
      if (fullscreen != -1 && fullscreen != wanted) return fail("--windowed and --fullscreen exclude each other");
      fullscreen = wanted;
      anySetting = true;
      continue;
    }
    if (name != "--size" && name != "--aspect" && name != "--multisample") {
      return fail("unknown option '" + arguments[i] + "'");
    }
    if (!hasValue) {
      if (i + 1 >= arguments.size()) return fail(name + " needs a value");
      value = arguments[++i];
    }
    anySetting = true;
    if (name == "--size") {
      resolution = resolutionIndexOf(value);
      if (resolution < 0) return fail("--size takes one of the configuration screen's resolutions, not '" + value + "'");
    } else if (name == "--aspect") {
      aspect = indexOf(kAspectNames, value);
      if (aspect < 0) return fail("--aspect takes 16/9, 16/10, 4/3 or 5/4, not '" + value + "'");
    } else {
      antiAlias = indexOf(kMultisampleNames, value);
      if (antiAlias < 0) return fail("--multisample takes 0, 2 or 4, not '" + value + "'");
    }
  }
  if (anySetting) options.settings = settingsForSelections(resolution, fullscreen != 0, aspect, antiAlias);
  return options;
}

std::string joinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
      line += argument;
      continue;
    }
    // Quoted: backslashes double before a quote (escaped or closing one).
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
  }
  return line;
}

std::vector<std::string> splitCommandLine(const char* commandLine) {
  std::vector<std::string> arguments;
  if (!commandLine) return arguments;
  std::string current;
  bool inArgument = false, quoted = false;
  for (const char* p = commandLine; *p; ++p) {
    if (*p == '\\') {
      std::size_t backslashes = 0;
      while (p[backslashes] == '\\') ++backslashes;
      if (p[backslashes] == '"') {
        // 2n backslashes and a quote: n backslashes, the quote delimits;
        // 2n + 1: n backslashes and a literal quote.
        current.append(backslashes / 2, '\\');
        if (backslashes % 2) current += '"';
        p += backslashes - (backslashes % 2 ? 0 : 1);
      } else {
        current.append(backslashes, '\\');
        p += backslashes - 1;
      }
      inArgument = true;
    } else if (*p == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if ((*p == ' ' || *p == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += *p;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}
