// Tokeniser and preprocessor: object-like and simple function-like macros,
// conditional compilation with integer expressions, #undef, #line, #error.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <unordered_map>

#include "platform/hlsl/front/syntax.h"

namespace hlsl::detail {

void Diagnostics::error(Loc loc, const std::string& message) {
  ++errors_;
  text_ += "(" + std::to_string(loc.line) + "," + std::to_string(loc.col) + "): error: " + message + "\n";
  if (errors_ >= kMaxErrors) {
    text_ += "(" + std::to_string(loc.line) + "," + std::to_string(loc.col) +
             "): error: too many errors, compilation stopped\n";
    ++errors_;
    throw AbortCompile{};
  }
}

void Diagnostics::warning(Loc loc, const std::string& message) {
  if (++warnings_ > 200) return;  // keep the log readable
  text_ += "(" + std::to_string(loc.line) + "," + std::to_string(loc.col) + "): warning: " + message + "\n";
}

namespace {

bool isIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char* const kPunctuators[] = {
    "<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<", ">>", "<=", ">=",
    "==", "!=", "&&", "||", "##", "::", "+", "-", "*", "/", "%", "=", "<", ">", "!", "~", "&", "|",
    "^", "?", ":", ";", ",", ".", "(", ")", "[", "]", "{", "}", "#",
};

class Lexer {
 public:
  Lexer(std::string_view src, Diagnostics& diag) : src_(src), diag_(diag) {}

  std::vector<Token> run() {
    std::vector<Token> out;
    bool lineStart = true;
    bool space = false;
    while (true) {
      // White space, comments and line continuations.
      while (pos_ < src_.size()) {
        char c = src_[pos_];
        if (c == '\n') {
          advance();
          lineStart = true;
          space = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
          advance();
          space = true;
        } else if (c == '\\' && nextIsNewline(pos_ + 1)) {
          advance();
          if (src_[pos_] == '\r') advance();
          advance();
          space = true;
        } else if (c == '/' && peek(1) == '/') {
          while (pos_ < src_.size() && src_[pos_] != '\n') advance();
          space = true;
        } else if (c == '/' && peek(1) == '*') {
          Loc start = loc();
          advance();
          advance();
          bool closed = false;
          while (pos_ < src_.size()) {
            if (src_[pos_] == '*' && peek(1) == '/') {
              advance();
              advance();
              closed = true;
              break;
            }
            advance();
          }
          if (!closed) diag_.error(start, "unterminated comment");
          space = true;
        } else {
          break;
        }
      }
      Token t;
      t.loc = loc();
      t.lineStart = lineStart;
      t.spaceBefore = space;
      if (pos_ >= src_.size()) {
        t.kind = Tok::End;
        out.push_back(std::move(t));
        return out;
      }
      lineStart = false;
      space = false;
      char c = src_[pos_];
      if (isIdentStart(c)) {
        size_t start = pos_;
        while (pos_ < src_.size() && isIdentChar(src_[pos_])) advance();
        t.kind = Tok::Ident;
        t.text = std::string(src_.substr(start, pos_ - start));
      } else if (isDigit(c) || (c == '.' && isDigit(peek(1)))) {
        lexNumber(t);
      } else if (c == '"') {
        size_t start = pos_;
        advance();
        while (pos_ < src_.size() && src_[pos_] != '"' && src_[pos_] != '\n') advance();
        if (pos_ < src_.size() && src_[pos_] == '"') {
          advance();
        } else {
          diag_.error(t.loc, "unterminated string");
        }
        t.kind = Tok::String;
        t.text = std::string(src_.substr(start, pos_ - start));
      } else {
        const char* found = nullptr;
        for (const char* p : kPunctuators) {
          std::string_view pv(p);
          if (src_.substr(pos_, pv.size()) == pv) {
            found = p;
            break;
          }
        }
        if (found) {
          t.kind = Tok::Punct;
          t.text = found;
          for (size_t i = 0; found[i]; ++i) advance();
        } else {
          unsigned char uc = static_cast<unsigned char>(c);
          char buf[64];
          if (uc >= 32 && uc < 127) {
            std::snprintf(buf, sizeof buf, "unexpected character '%c'", c);
          } else {
            std::snprintf(buf, sizeof buf, "unexpected character 0x%02X", uc);
          }
          diag_.error(t.loc, buf);
          advance();
          continue;
        }
      }
      out.push_back(std::move(t));
    }
  }

 private:
  char peek(size_t ahead) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }
  bool nextIsNewline(size_t p) const {
    if (p < src_.size() && src_[p] == '\n') return true;
    return p + 1 < src_.size() && src_[p] == '\r' && src_[p + 1] == '\n';
  }
  void advance() {
    if (src_[pos_] == '\n') {
      ++line_;
      col_ = 1;
    } else {
      ++col_;
    }
    ++pos_;
  }
  Loc loc() const { return Loc{line_, col_}; }

  void lexNumber(Token& t) {
    size_t start = pos_;
    bool isFloat = false;
    if (src_[pos_] == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
      advance();
      advance();
      size_t digits = pos_;
      while (pos_ < src_.size() && std::isxdigit(static_cast<unsigned char>(src_[pos_]))) advance();
      std::string_view hex = src_.substr(digits, pos_ - digits);
      unsigned long long v = 0;
      bool overflow = false;
      for (char h : hex) {
        int d = isDigit(h) ? h - '0' : (std::tolower(static_cast<unsigned char>(h)) - 'a' + 10);
        if (v > (0xFFFFFFFFull >> 4)) overflow = true;
        v = (v << 4) | static_cast<unsigned>(d);
      }
      if (hex.empty()) diag_.error(t.loc, "invalid hexadecimal constant");
      if (overflow || v > 0xFFFFFFFFull) diag_.error(t.loc, "integer constant is too large");
      t.ival = static_cast<std::int64_t>(v & 0xFFFFFFFFull);
    } else {
      while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
      if (pos_ < src_.size() && src_[pos_] == '.') {
        isFloat = true;
        advance();
        while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
      }
      if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
        size_t save = pos_;
        int saveCol = col_;
        advance();
        if (pos_ < src_.size() && (src_[pos_] == '+' || src_[pos_] == '-')) advance();
        if (pos_ < src_.size() && isDigit(src_[pos_])) {
          isFloat = true;
          while (pos_ < src_.size() && isDigit(src_[pos_])) advance();
        } else {
          pos_ = save;
          col_ = saveCol;
        }
      }
      std::string_view body = src_.substr(start, pos_ - start);
      if (isFloat) {
        std::string s(body);
        t.fval = std::strtod(s.c_str(), nullptr);  // digits, '.', exponent only: locale-neutral
      } else {
        unsigned long long v = 0;
        bool overflow = false;
        bool octal = body.size() > 1 && body[0] == '0';
        for (char d : body) {
          unsigned digit = static_cast<unsigned>(d - '0');
          if (octal && digit > 7) {
            diag_.error(t.loc, "invalid digit in octal constant");
            break;
          }
          v = v * (octal ? 8 : 10) + digit;
          if (v > 0xFFFFFFFFull) overflow = true;
          if (overflow) v = 0xFFFFFFFFull + 1;
        }
        if (overflow) diag_.error(t.loc, "integer constant is too large");
        t.ival = static_cast<std::int64_t>(v & 0xFFFFFFFFull);
      }
    }
    // Suffixes.
    if (pos_ < src_.size()) {
      char s = src_[pos_];
      if (s == 'f' || s == 'F' || s == 'h' || s == 'H') {
        if (!isFloat) t.fval = static_cast<double>(t.ival);
        isFloat = true;
        advance();
      } else if (s == 'l' || s == 'L') {
        advance();
      } else if (s == 'u' || s == 'U') {
        if (isFloat) diag_.error(t.loc, "invalid suffix on floating-point constant");
        advance();
        if (pos_ < src_.size() && (src_[pos_] == 'l' || src_[pos_] == 'L')) advance();
      }
    }
    if (pos_ < src_.size() && isIdentChar(src_[pos_])) {
      diag_.error(t.loc, "invalid suffix on numeric constant");
      while (pos_ < src_.size() && isIdentChar(src_[pos_])) advance();
    }
    t.kind = isFloat ? Tok::Float : Tok::Int;
    t.text = std::string(src_.substr(start, pos_ - start));
  }

  std::string_view src_;
  Diagnostics& diag_;
  size_t pos_ = 0;
  int line_ = 1;
  int col_ = 1;
};

struct Macro {
  bool function = false;
  std::vector<std::string> params;
  std::vector<Token> body;
};

bool sameBody(const Macro& a, const Macro& b) {
  if (a.function != b.function || a.params != b.params || a.body.size() != b.body.size()) return false;
  for (size_t i = 0; i < a.body.size(); ++i) {
    if (a.body[i].text != b.body[i].text) return false;
  }
  return true;
}

class Preprocessor {
 public:
  Preprocessor(std::vector<Token> raw, Diagnostics& diag) : raw_(std::move(raw)), diag_(diag) {}

  std::vector<Token> run() {
    size_t i = 0;
    while (raw_[i].kind != Tok::End) {
      const Token& t = raw_[i];
      if (t.lineStart && t.is("#")) {
        size_t end = i + 1;
        while (raw_[end].kind != Tok::End && !raw_[end].lineStart) ++end;
        std::vector<Token> line(raw_.begin() + static_cast<long>(i) + 1, raw_.begin() + static_cast<long>(end));
        int physicalLine = t.loc.line;
        directive(t, line);
        // A #line directive renumbers the physical line after it.
        if (pendingLine_ >= 0) {
          lineOffset_ = pendingLine_ - (physicalLine + 1);
          pendingLine_ = -1;
        }
        i = end;
        continue;
      }
      if (!active()) {
        ++i;
        continue;
      }
      Token tok = t;
      tok.loc.line += lineOffset_;
      if (tok.kind == Tok::Ident && macros_.count(tok.text)) {
        const Macro& m = macros_.at(tok.text);
        if (!m.function) {
          std::vector<std::string> disabled;
          expandMacro(tok, m, {}, disabled, out_, 0);
          ++i;
          continue;
        }
        if (raw_[i + 1].is("(")) {
          size_t j = i + 2;
          std::vector<std::vector<Token>> args;
          if (collectArgs(raw_, j, args, tok.loc, true)) {
            for (auto& arg : args)
              for (auto& a : arg) a.loc.line += lineOffset_;
            std::vector<std::string> disabled;
            invoke(tok, m, args, disabled, out_, 0);
          }
          i = j;
          continue;
        }
      }
      pushOut(std::move(tok));
      ++i;
    }
    if (!conds_.empty()) diag_.error(conds_.back().loc, "unterminated conditional directive");
    Token end = raw_[i];
    end.loc.line += lineOffset_;
    out_.push_back(end);
    return std::move(out_);
  }

 private:
  struct Cond {
    bool parentActive;
    bool active;
    bool taken;
    bool sawElse;
    Loc loc;
  };

  bool active() const { return conds_.empty() || conds_.back().active; }

  // Bounds the work of macro expansion: every token copied at any level counts.
  void charge(Loc loc, size_t n = 1) {
    work_ += n;
    if (work_ > kMaxExpansionWork) {
      diag_.error(loc, "macro expansion produces too many tokens");
      throw AbortCompile{};
    }
  }

  void pushOut(Token t) {
    if (out_.size() >= 2000000) {
      diag_.error(t.loc, "macro expansion produces too many tokens");
      throw AbortCompile{};
    }
    out_.push_back(std::move(t));
  }

  // Reads macro arguments from tokens[j...] (just past the '('); j ends past ')'.
  bool collectArgs(const std::vector<Token>& tokens, size_t& j, std::vector<std::vector<Token>>& args, Loc at,
                   bool raw) {
    int depth = 0;
    args.assign(1, {});
    while (j < tokens.size() && tokens[j].kind != Tok::End) {
      const Token& a = tokens[j];
      if (raw && a.lineStart && a.is("#")) break;
      if (a.is("(")) ++depth;
      if (a.is(")")) {
        if (depth == 0) {
          ++j;
          if (args.size() == 1 && args[0].empty()) args.clear();
          return true;
        }
        --depth;
      }
      if (a.is(",") && depth == 0) {
        args.emplace_back();
      } else {
        args.back().push_back(a);
      }
      ++j;
    }
    diag_.error(at, "unterminated argument list of macro invocation");
    return false;
  }

  void expandMacro(const Token& at, const Macro& m, const std::vector<std::vector<Token>>& args,
                   std::vector<std::string>& disabled, std::vector<Token>& out, int depth) {
    if (depth > 64) {
      diag_.error(at.loc, "macro expansion nested too deeply");
      throw AbortCompile{};
    }
    std::vector<Token> substituted;
    for (const Token& b : m.body) {
      if (m.function && b.kind == Tok::Ident) {
        auto p = std::find(m.params.begin(), m.params.end(), b.text);
        if (p != m.params.end()) {
          // Arguments are fully expanded before substitution.
          std::vector<Token> expanded;
          rescan(args[static_cast<size_t>(p - m.params.begin())], disabled, expanded, depth + 1);
          for (Token e : expanded) {
            e.loc = at.loc;
            substituted.push_back(std::move(e));
          }
          continue;
        }
      }
      Token copy = b;
      copy.loc = at.loc;
      substituted.push_back(std::move(copy));
    }
    charge(at.loc, substituted.size());
    disabled.push_back(at.text);
    std::vector<Token> result;
    rescan(substituted, disabled, result, depth + 1);
    disabled.pop_back();
    for (size_t k = 0; k < result.size(); ++k) {
      result[k].lineStart = k == 0 ? at.lineStart : false;
      if (&out == &out_) {
        pushOut(std::move(result[k]));
      } else {
        out.push_back(std::move(result[k]));
        if (out.size() > 2000000) {
          diag_.error(at.loc, "macro expansion produces too many tokens");
          throw AbortCompile{};
        }
      }
    }
  }

  void invoke(const Token& at, const Macro& m, std::vector<std::vector<Token>>& args,
              std::vector<std::string>& disabled, std::vector<Token>& out, int depth) {
    if (args.size() != m.params.size()) {
      diag_.error(at.loc, "macro '" + at.text + "' expects " + std::to_string(m.params.size()) +
                              " arguments, " + std::to_string(args.size()) + " given");
      return;
    }
    expandMacro(at, m, args, disabled, out, depth);
  }

  void rescan(const std::vector<Token>& in, std::vector<std::string>& disabled, std::vector<Token>& out,
              int depth) {
    for (size_t k = 0; k < in.size(); ++k) {
      const Token& t = in[k];
      if (t.kind == Tok::Ident && macros_.count(t.text) &&
          std::find(disabled.begin(), disabled.end(), t.text) == disabled.end()) {
        const Macro& m = macros_.at(t.text);
        if (!m.function) {
          expandMacro(t, m, {}, disabled, out, depth);
          continue;
        }
        if (k + 1 < in.size() && in[k + 1].is("(")) {
          size_t j = k + 2;
          std::vector<std::vector<Token>> args;
          if (collectArgs(in, j, args, t.loc, false)) invoke(t, m, args, disabled, out, depth);
          k = j - 1;
          continue;
        }
      }
      out.push_back(t);
      charge(t.loc);
    }
  }

  Loc at(const Token& t) const { return Loc{t.loc.line + lineOffset_, t.loc.col}; }

  void directive(const Token& hash, std::vector<Token>& line) {
    if (line.empty()) return;  // the null directive
    const Token& name = line[0];
    std::string d = name.kind == Tok::Ident ? name.text : std::string();
    Loc loc = at(hash);
    if (d == "if" || d == "ifdef" || d == "ifndef") {
      bool parent = active();
      bool value = false;
      if (parent) {
        if (d == "if") {
          value = evaluate(line, loc) != 0;
        } else {
          if (line.size() < 2 || line[1].kind != Tok::Ident) {
            diag_.error(loc, "#" + d + " expects a macro name");
          } else {
            value = macros_.count(line[1].text) != 0;
            if (d == "ifndef") value = !value;
          }
        }
      }
      conds_.push_back(Cond{parent, parent && value, parent && value, false, loc});
      return;
    }
    if (d == "elif") {
      if (conds_.empty()) {
        diag_.error(loc, "#elif without #if");
        return;
      }
      Cond& c = conds_.back();
      if (c.sawElse) diag_.error(loc, "#elif after #else");
      if (c.parentActive && !c.taken) {
        c.active = evaluate(line, loc) != 0;
        c.taken = c.active;
      } else {
        c.active = false;
      }
      return;
    }
    if (d == "else") {
      if (conds_.empty()) {
        diag_.error(loc, "#else without #if");
        return;
      }
      Cond& c = conds_.back();
      if (c.sawElse) diag_.error(loc, "#else after #else");
      c.sawElse = true;
      c.active = c.parentActive && !c.taken;
      c.taken = true;
      return;
    }
    if (d == "endif") {
      if (conds_.empty()) {
        diag_.error(loc, "#endif without #if");
        return;
      }
      conds_.pop_back();
      return;
    }
    if (!active()) return;
    if (d == "define") {
      define(line, loc);
    } else if (d == "undef") {
      if (line.size() < 2 || line[1].kind != Tok::Ident) {
        diag_.error(loc, "#undef expects a macro name");
      } else {
        macros_.erase(line[1].text);
      }
    } else if (d == "line") {
      if (line.size() < 2 || line[1].kind != Tok::Int || line[1].ival <= 0 || line[1].ival > 100000000 ||
          (line.size() > 2 && line[2].kind != Tok::String) || line.size() > 3) {
        diag_.error(loc, "#line expects a positive line number and an optional file name");
      } else {
        pendingLine_ = static_cast<int>(line[1].ival);
      }
    } else if (d == "error") {
      std::string text;
      for (size_t k = 1; k < line.size(); ++k) {
        if (k > 1 && line[k].spaceBefore) text += ' ';
        text += line[k].text;
      }
      diag_.error(loc, "#error " + text);
    } else if (d == "pragma") {
      // Matrix packing and optimisation pragmas do not change the output.
    } else if (d == "include") {
      diag_.error(loc, "#include is not supported");
    } else {
      diag_.error(loc, "unknown preprocessor directive '#" + name.text + "'");
    }
  }

  void define(std::vector<Token>& line, Loc loc) {
    if (line.size() < 2 || line[1].kind != Tok::Ident) {
      diag_.error(loc, "#define expects a macro name");
      return;
    }
    const std::string& name = line[1].text;
    if (name == "defined") {
      diag_.error(loc, "'defined' cannot be used as a macro name");
      return;
    }
    Macro m;
    size_t k = 2;
    if (k < line.size() && line[k].is("(") && !line[k].spaceBefore) {
      m.function = true;
      ++k;
      bool ok = false;
      if (k < line.size() && line[k].is(")")) {
        ok = true;
        ++k;
      } else {
        while (k < line.size()) {
          if (line[k].kind != Tok::Ident) break;
          if (std::find(m.params.begin(), m.params.end(), line[k].text) != m.params.end()) {
            diag_.error(loc, "duplicate macro parameter '" + line[k].text + "'");
            return;
          }
          m.params.push_back(line[k].text);
          ++k;
          if (k < line.size() && line[k].is(")")) {
            ok = true;
            ++k;
            break;
          }
          if (k < line.size() && line[k].is(",")) {
            ++k;
            continue;
          }
          break;
        }
      }
      if (!ok) {
        diag_.error(loc, "invalid parameter list in macro '" + name + "'");
        return;
      }
    }
    for (; k < line.size(); ++k) {
      if (line[k].is("##") || (line[k].is("#") && m.function)) {
        diag_.error(loc, "'" + line[k].text + "' operators are not supported in macros");
        return;
      }
      Token t = line[k];
      t.lineStart = false;
      m.body.push_back(std::move(t));
    }
    auto old = macros_.find(name);
    if (old != macros_.end() && !sameBody(old->second, m)) diag_.warning(loc, "macro '" + name + "' redefined");
    macros_[name] = std::move(m);
  }

  // #if expressions ------------------------------------------------------
  std::int64_t evaluate(const std::vector<Token>& line, Loc loc) {
    std::vector<Token> pre;
    for (size_t k = 1; k < line.size(); ++k) {
      if (line[k].isIdent("defined")) {
        bool paren = k + 1 < line.size() && line[k + 1].is("(");
        size_t n = k + (paren ? 2 : 1);
        if (n >= line.size() || line[n].kind != Tok::Ident || (paren && (n + 1 >= line.size() || !line[n + 1].is(")")))) {
          diag_.error(loc, "'defined' expects a macro name");
          return 0;
        }
        Token v;
        v.kind = Tok::Int;
        v.ival = macros_.count(line[n].text) ? 1 : 0;
        v.text = std::to_string(v.ival);
        v.loc = line[k].loc;
        pre.push_back(v);
        k = n + (paren ? 1 : 0);
        continue;
      }
      pre.push_back(line[k]);
    }
    std::vector<Token> expanded;
    std::vector<std::string> disabled;
    rescan(pre, disabled, expanded, 0);
    expr_ = &expanded;
    epos_ = 0;
    eerr_ = false;
    edepth_ = 0;
    if (expanded.empty()) {
      diag_.error(loc, "#if with no expression");
      return 0;
    }
    std::int64_t v = ternary();
    if (!eerr_ && epos_ < expanded.size()) eerr_ = true;
    if (eerr_) {
      diag_.error(loc, errMsg_.empty() ? "invalid preprocessor expression" : errMsg_);
      errMsg_.clear();
      return 0;
    }
    return v;
  }

  const Token* cur() const { return epos_ < expr_->size() ? &(*expr_)[epos_] : nullptr; }
  bool accept(std::string_view p) {
    if (cur() && cur()->is(p)) {
      ++epos_;
      return true;
    }
    return false;
  }
  static std::int64_t wrap(std::uint64_t v) { return static_cast<std::int64_t>(v); }

  std::int64_t ternary() {
    if (++edepth_ > 200) {
      eerr_ = true;
      errMsg_ = "preprocessor expression nested too deeply";
      return 0;
    }
    std::int64_t c = binary(0);
    if (accept("?")) {
      std::int64_t a = ternary();
      if (!accept(":")) eerr_ = true;
      std::int64_t b = ternary();
      --edepth_;
      return c ? a : b;
    }
    --edepth_;
    return c;
  }

  std::int64_t binary(int minPrec) {
    std::int64_t lhs = unary();
    while (!eerr_ && cur()) {
      int prec = cur()->binaryPrecedence();
      if (prec < minPrec) break;
      std::string op = cur()->text;
      ++epos_;
      std::int64_t rhs = binary(prec + 1);
      auto ul = static_cast<std::uint64_t>(lhs), ur = static_cast<std::uint64_t>(rhs);
      if (op == "||") lhs = (lhs || rhs);
      else if (op == "&&") lhs = (lhs && rhs);
      else if (op == "|") lhs = wrap(ul | ur);
      else if (op == "^") lhs = wrap(ul ^ ur);
      else if (op == "&") lhs = wrap(ul & ur);
      else if (op == "==") lhs = lhs == rhs;
      else if (op == "!=") lhs = lhs != rhs;
      else if (op == "<") lhs = lhs < rhs;
      else if (op == ">") lhs = lhs > rhs;
      else if (op == "<=") lhs = lhs <= rhs;
      else if (op == ">=") lhs = lhs >= rhs;
      else if (op == "<<") lhs = wrap(ul << (ur & 63));
      else if (op == ">>") lhs = lhs >> (ur & 63);
      else if (op == "+") lhs = wrap(ul + ur);
      else if (op == "-") lhs = wrap(ul - ur);
      else if (op == "*") lhs = wrap(ul * ur);
      else if (op == "/" || op == "%") {
        if (rhs == 0) {
          eerr_ = true;
          errMsg_ = "division by zero in preprocessor expression";
          return 0;
        }
        if (rhs == -1) {
          lhs = op == "/" ? wrap(0 - ul) : 0;
        } else {
          lhs = op == "/" ? lhs / rhs : lhs % rhs;
        }
      }
    }
    return lhs;
  }

  std::int64_t unary() {
    const Token* t = cur();
    if (!t) {
      eerr_ = true;
      return 0;
    }
    if (++edepth_ > 200) {
      eerr_ = true;
      errMsg_ = "preprocessor expression nested too deeply";
      return 0;
    }
    std::int64_t v = 0;
    if (accept("!")) v = !unary();
    else if (accept("-")) v = wrap(0 - static_cast<std::uint64_t>(unary()));
    else if (accept("+")) v = unary();
    else if (accept("~")) v = wrap(~static_cast<std::uint64_t>(unary()));
    else if (accept("(")) {
      v = ternary();
      if (!accept(")")) eerr_ = true;
    } else if (t->kind == Tok::Int) {
      v = t->ival;
      ++epos_;
    } else if (t->kind == Tok::Ident) {
      v = t->text == "true" ? 1 : 0;  // names left after expansion count as 0
      ++epos_;
    } else {
      if (t->kind == Tok::Float) errMsg_ = "floating-point constant in preprocessor expression";
      eerr_ = true;
    }
    --edepth_;
    return v;
  }

  static constexpr size_t kMaxExpansionWork = 300000;
  std::vector<Token> raw_;
  Diagnostics& diag_;
  size_t work_ = 0;
  std::vector<Token> out_;
  std::unordered_map<std::string, Macro> macros_;
  std::vector<Cond> conds_;
  int lineOffset_ = 0;
  int pendingLine_ = -1;
  const std::vector<Token>* expr_ = nullptr;
  size_t epos_ = 0;
  bool eerr_ = false;
  int edepth_ = 0;
  std::string errMsg_;
};

}  // namespace

int Token::binaryPrecedence() const {
  if (kind != Tok::Punct) return -1;
  static const std::pair<const char*, int> table[] = {
      {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
      {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10},
  };
  for (const auto& [spelling, precedence] : table)
    if (text == spelling) return precedence;
  return -1;
}

std::vector<Token> preprocess(std::string_view source, Diagnostics& diag) {
  std::vector<Token> raw = Lexer(source, diag).run();
  return Preprocessor(std::move(raw), diag).run();
}

}  // namespace hlsl::detail
