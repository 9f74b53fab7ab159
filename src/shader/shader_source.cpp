#include "shader/shader_source.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/files.h"

namespace {

// Working limits of the format. Text beyond a limit is cut off, never
// written past the buffer.
constexpr std::size_t kLineLimit = 1023;     // one logical line
constexpr std::size_t kHeaderLimit = 127;    // a directive line
constexpr std::size_t kSectionLimit = SHADER_TEXT_SIZE - 1;  // a section, "\n"s included
constexpr std::size_t kWordLimit = 127;      // names, values and call arguments

// The highest element count a profile command may ask for (the longest
// vertex declaration Direct3D accepts).
constexpr std::int32_t kMaxProfileElements = MAXD3DDECLLENGTH;

enum class SectionKind { Ignored, VertexShader, PixelShader, Commands };

const char* sectionName(SectionKind kind) {
  switch (kind) {
    case SectionKind::VertexShader: return "HLSL_VS";
    case SectionKind::PixelShader: return "HLSL_PS";
    case SectionKind::Commands: return "commands";
    case SectionKind::Ignored: break;
  }
  return "";
}

SectionKind sectionKindOf(const std::string& header) {
  if (header == "#preprocessor HLSL_VS") return SectionKind::VertexShader;
  if (header == "#preprocessor HLSL_PS") return SectionKind::PixelShader;
  if (header == "#preprocessor commands") return SectionKind::Commands;
  // "#preprocessor GLSL_VS", "#preprocessor GLSL_PS", "#end" and anything
  // else are dropped.
  return SectionKind::Ignored;
}

std::string_view firstWord(std::string_view line) { return line.substr(0, line.find(' ')); }

std::string_view limited(std::string_view text) { return text.substr(0, kWordLimit); }

// The standard atoi rule (leading white space, optional sign, digits; no
// digits give 0), saturating instead of overflowing.
std::int32_t toInteger(std::string_view text) {
  const std::string copy(text);
  errno = 0;
  const long long value = std::strtoll(copy.c_str(), nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Argument k of a call: it begins right after the k-th ',' that follows the
// '(' (argument 0 right after the '(') and ends before the next ',' or ')'
// outside double quotes, or at the end of the line.
std::string_view callArgument(std::string_view line, std::size_t open, int k) {
  std::size_t begin = open + 1;
  for (int i = 0; i < k; ++i) {
    const std::size_t comma = line.find(',', begin);
    if (comma == std::string_view::npos) return {};
    begin = comma + 1;
  }
  bool quoted = false;
  std::size_t end = begin;
  for (; end < line.size(); ++end) {
    const char c = line[end];
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ',' || c == ')')) break;
  }
  return limited(line.substr(begin, end - begin));
}

// Runs a commands section. What it cannot act on (a call it does not know, a
// usage name never defined) is told through note, the first of it only.
class CommandRunner {
 public:
  CommandRunner(VertexProfile* profile, std::function<void(const std::string&)> note)
      : profile_(profile), note_(std::move(note)) {}

  void run(const std::string& section) {
    std::size_t start = 0;
    while (start < section.size()) {
      std::size_t end = section.find('\n', start);
      if (end == std::string::npos) end = section.size();
      line(std::string_view(section).substr(start, end - start));
      start = end + 1;
    }
  }

 private:
  void line(std::string_view text) {
    if (firstWord(text) == "#define") {
      define(text);
    } else if (text.find('(') != std::string_view::npos) {
      call(text);
    }
  }

  // "#define NAME VALUE": NAME from the ninth character up to the next
  // space; VALUE is the rest after that space when anything but blanks is
  // left, else the value is 0.
  void define(std::string_view text) {
    constexpr std::size_t kNameStart = 8;
    if (text.size() <= kNameStart) {
      defines_.emplace_back(std::string(), 0);
      return;
    }
    const std::string_view rest = text.substr(kNameStart);
    const std::size_t space = rest.find(' ');
    const std::string_view name = rest.substr(0, space);
    std::int32_t value = 0;
    if (space != std::string_view::npos) {
      const std::string_view after = rest.substr(space);
      if (after.find_first_not_of(' ') != std::string_view::npos) value = toInteger(limited(rest.substr(space + 1)));
    }
    defines_.emplace_back(std::string(limited(name)), value);
  }

  std::optional<std::int32_t> lookUp(std::string_view name) const {
    for (const auto& [defined, value] : defines_) {
      if (defined == name) return value;
    }
    return std::nullopt;
  }

  void call(std::string_view text) {
    const std::size_t open = text.find('(');
    const std::string_view function = text.substr(0, open);
    if (function == "VertexProfileCreate") {
      const std::int32_t n = toInteger(callArgument(text, open, 0));
      // A count no vertex declaration can hold is not acted on.
      if (n >= 0 && n <= kMaxProfileElements) profile_->create(n);
    } else if (function == "VertexProfileSet") {
      const std::string_view usage = callArgument(text, open, 3);
      const std::optional<std::int32_t> usageValue = lookUp(usage);
      if (!usageValue) note_("its commands use the usage name \"" + std::string(usage) + "\", which is not defined");
      // An undefined name counts as -1, which no usage has.
      profile_->set(toInteger(callArgument(text, open, 0)), toInteger(callArgument(text, open, 1)),
                    toInteger(callArgument(text, open, 2)), usageValue.value_or(-1),
                    toInteger(callArgument(text, open, 4)));
    } else {
      note_("its commands call \"" + std::string(limited(function)) + "\", which is no command");
    }
  }

  VertexProfile* profile_;
  std::function<void(const std::string&)> note_;
  std::vector<std::pair<std::string, std::int32_t>> defines_;
};

class SourceReader {
 public:
  SourceReader(std::FILE* file, VertexProfile* profile, char* vertexText, char* pixelText)
      : file_(file), profile_(profile), vertexText_(vertexText), pixelText_(pixelText) {}

  void read() {
    int c;
    while ((c = next()) != EOF) {
      if (c == '\n') {
        completeLine();
        continue;
      }
      if (c == '"') inQuote_ = !inQuote_;
      // Inside quotes nothing is normalised and no comment is recognised.
      if (inQuote_) {
        append(static_cast<char>(c));
        continue;
      }
      if (c == '\t') c = ' ';
      if (!line_.empty() && line_.back() == '/') {
        if (c == '/') {
          // Line comment: the line break goes with it, so the next physical
          // line continues this logical line.
          line_.pop_back();
          if (!skipLineComment()) break;
          continue;
        }
        if (c == '*') {
          line_.pop_back();
          if (!skipBlockComment()) break;
          continue;
        }
      }
      if (c == ' ' && (line_.empty() || (line_.size() > 1 && line_.back() == ' '))) continue;
      append(static_cast<char>(c));
    }
    // The end of the file completes the last line; a section still open
    // then is dropped, which loses what the file meant to say when it is
    // one that delivers something.
    completeLine();
    const SectionKind open = inSection_ ? sectionKindOf(header_) : SectionKind::Ignored;
    if (open != SectionKind::Ignored) {
      note(std::string("the file ends inside its ") + sectionName(open) +
           " section, which is dropped (is the file cut short?)");
    }
  }

  const std::string& problem() const { return problem_; }

 private:
  // The next character as a text-mode read delivers it: a CR LF pair reads
  // as one "\n" on every platform.
  int next() {
    int c = std::fgetc(file_);
    if (c == '\r') {
      const int following = std::fgetc(file_);
      if (following == '\n') {
        c = '\n';
      } else if (following != EOF) {
        std::ungetc(following, file_);
      }
    }
    if (c == '\n') ++lineNumber_;
    return c;
  }

  void note(const std::string& what) {
    if (problem_.empty()) problem_ = what;
  }

  void append(char c) {
    if (line_.size() < kLineLimit) {
      line_.push_back(c);
    } else if (!lineCut_) {
      lineCut_ = true;
      note("line " + std::to_string(lineNumber_) + " is longer than " + std::to_string(kLineLimit) +
           " characters; the rest of it is cut");
    }
  }

  // Both return false when the file ends inside the comment.
  bool skipLineComment() {
    int c;
    while ((c = next()) != EOF) {
      if (c == '\n') return true;
    }
    return false;
  }

  bool skipBlockComment() {
    int previous = 0;
    int c;
    while ((c = next()) != EOF) {
      if (previous == '*' && c == '/') return true;
      previous = c;
    }
    return false;
  }

  bool isDirective() const {
    if (line_.empty() || line_[0] != '#') return false;
    const std::string_view word = firstWord(line_);
    return word == "#preprocessor" || word == "#end";
  }

  void completeLine() {
    if (isDirective()) {
      const SectionKind closing = sectionKindOf(header_);
      if (line_.size() > kHeaderLimit) {
        note("a directive line is longer than " +
             std::to_string(kHeaderLimit) + " characters and is cut");
      }
      header_ = line_.substr(0, kHeaderLimit);
      if (!inSection_) {
        inSection_ = true;
      } else {
        deliver(closing);
        section_.clear();
        sectionFull_ = false;
      }
    } else if (inSection_ && !sectionFull_) {
      // A line that no longer fits ends the section's text; nothing after
      // it is kept, so the text never has a gap.
      if (section_.size() + line_.size() + 1 <= kSectionLimit) {
        section_ += line_;
        section_ += '\n';
      } else {
        sectionFull_ = true;
        if (sectionKindOf(header_) != SectionKind::Ignored) {
          note(std::string("its ") + sectionName(sectionKindOf(header_)) + " section is longer than " +
               std::to_string(kSectionLimit) + " characters; the rest of it is cut");
        }
      }
    }
    line_.clear();
    lineCut_ = false;
  }

  void deliver(SectionKind kind) {
    switch (kind) {
      case SectionKind::VertexShader: copyText(vertexText_); break;
      case SectionKind::PixelShader: copyText(pixelText_); break;
      case SectionKind::Commands:
        CommandRunner(profile_, [this](const std::string& what) { note(what); }).run(section_);
        break;
      case SectionKind::Ignored: break;
    }
  }

  void copyText(char* target) {
    const std::size_t length = section_.size() < kSectionLimit ? section_.size() : kSectionLimit;
    std::memcpy(target, section_.data(), length);
    target[length] = '\0';
  }

  std::FILE* file_;
  VertexProfile* profile_;
  char* vertexText_;
  char* pixelText_;
  std::string line_;
  std::string header_;
  std::string section_;
  bool sectionFull_ = false;
  bool inSection_ = false;
  bool inQuote_ = false;
  bool lineCut_ = false;
  int lineNumber_ = 1;  // of the physical line being read
  std::string problem_;
};

}  // namespace

bool readShaderSource(const char* path, VertexProfile* profile, char* vertexText, char* pixelText,
                      std::string* problem) {
  if (problem) problem->clear();
  std::FILE* file = openFile(path, "r");
  if (!file) {
    if (problem) *problem = std::string("cannot open it (") + std::strerror(errno) + ")";
    return false;
  }
  const bool read = readShaderSourceFile(file, profile, vertexText, pixelText, problem);
  std::fclose(file);
  return read;
}

bool readShaderSourceFile(std::FILE* file, VertexProfile* profile, char* vertexText, char* pixelText,
                          std::string* problem) {
  if (problem) problem->clear();
  if (!file) return false;
  // A file that opens but cannot be read (a folder) is refused before it can
  // pass for an empty one.
  std::fgetc(file);
  if (std::ferror(file)) {
    if (problem) *problem = std::string("cannot read it (") + std::strerror(errno) + ")";
    return false;
  }
  std::rewind(file);
  SourceReader reader(file, profile, vertexText, pixelText);
  reader.read();
  if (problem) *problem = std::ferror(file) ? "the file could not be read to its end" : reader.problem();
  return true;
}
