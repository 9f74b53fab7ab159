// Text format of a song, line by line ('#' at the start of a word comments out the rest):
//
//   title NAME / artist NAME / tempo BPM / rows ROWS-PER-BEAT / tail SECONDS
//   master lufs=L ceiling=DB release=MS
//   delay left=ROWS right=ROWS feedback=F pingpong=0|1 lowcut=HZ highcut=HZ level=G reverb=SEND
//   reverb size=S damp=D width=W predelay=MS lowcut=HZ level=G
//   duck key=TRACK threshold=DB ratio=R attack=MS release=MS
//   instrument NAME KIND            (then key=value lines, closed by 'end')
//   track NAME INSTRUMENT level=DB pan=P rev=S dly=S duck=D swing=F hp=HZ clip=DB choke=TRACK
//   def NAME NOTE+NOTE+...          (a chord name usable in patterns)
//   pattern NAME ROWS               (then ROWS cells, any number per line, closed by 'end')
//   section NAME BEATS              (then order lists and automation, closed by 'end')
//     TRACK: ITEM ITEM ...          ITEM = PATTERN[:+T|:-T][*N] or _ROWS[*N] (a rest)
//     auto TRACK.PARAM B0 B1 V0 V1  PARAM = gain | cutoff | rev | dly; TRACK may be 'master'
//
// Cells: '.' empty, '^' note off, 'x' 'X' 'o' a hit (normal, accent, ghost), a note ("A3",
// "C#4", "Bb2"), a def name or notes joined by '+'; then optionally ':' and effects, each a
// letter and a number: v velocity in percent, l length in rows, s slide time in rows,
// f filter offset in semitones, r hits within the row.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "synth/song.h"

namespace synth {

int Song::trackIndex(const std::string& name) const {
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].name == name) return static_cast<int>(i);
  return -1;
}

int Song::patternIndex(const std::string& name) const {
  for (size_t i = 0; i < patterns.size(); ++i)
    if (patterns[i].name == name) return static_cast<int>(i);
  return -1;
}

int Song::instrumentIndex(const std::string& name) const {
  for (size_t i = 0; i < instruments.size(); ++i)
    if (instruments[i].name == name) return static_cast<int>(i);
  return -1;
}

int64_t Song::totalBeats() const {
  int64_t beats = 0;
  for (const Section& s : sections) beats += s.beats;
  return beats;
}

double Song::sectionStartBeat(size_t section) const {
  double beat = 0.0;
  for (size_t i = 0; i < section && i < sections.size(); ++i) beat += sections[i].beats;
  return beat;
}

bool parseNoteName(const std::string& text, float& note) {
  if (text.size() < 2) return false;
  static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  const char letter = text[0];
  if (letter < 'A' || letter > 'G') return false;
  int pitch = kSteps[letter - 'A'];
  size_t pos = 1;
  if (text[pos] == '#') {
    ++pitch;
    ++pos;
  } else if (text[pos] == 'b') {
    --pitch;
    ++pos;
  }
  if (pos >= text.size()) return false;
  char* end = nullptr;
  const long octave = std::strtol(text.c_str() + pos, &end, 10);
  if (*end != '\0' || end == text.c_str() + pos || octave < -1 || octave > 9) return false;
  note = static_cast<float>(12 * (octave + 1) + pitch);
  return true;
}

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines_.push_back(split(line));
  }

  Song run() {
    while (next()) {
      const std::string& head = words_[0];
      if (head == "title") song_.title = joinRest(1);
      else if (head == "artist") song_.artist = joinRest(1);
      else if (head == "tempo") song_.bpm = number(arg(1));
      else if (head == "rows") song_.rowsPerBeat = integer(arg(1));
      else if (head == "tail") song_.tailSeconds = number(arg(1));
      else if (head == "master") parseMaster();
      else if (head == "delay") parseDelay();
      else if (head == "reverb") parseReverb();
      else if (head == "duck") {
        keyTrackName_ = parseDuck();
        keyLine_ = lineNo_;
      }
      else if (head == "instrument") parseInstrument();
      else if (head == "track") parseTrack();
      else if (head == "def") parseDef();
      else if (head == "pattern") parsePattern();
      else if (head == "section") parseSection();
      else fail("unknown statement '" + head + "'");
    }
    finish();
    return song_;
  }

 private:
  static std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w) {
      if (w[0] == '#') break;
      words.push_back(w);
    }
    return words;
  }

  bool next() {
    while (index_ < lines_.size()) {
      lineNo_ = static_cast<int>(index_) + 1;
      words_ = lines_[index_++];
      if (!words_.empty()) return true;
    }
    return false;
  }

  [[noreturn]] void fail(const std::string& message) const {
    throw SongError("line " + std::to_string(lineNo_) + ": " + message);
  }

  const std::string& arg(size_t i) const {
    if (i >= words_.size()) fail("'" + words_[0] + "' needs more arguments");
    return words_[i];
  }

  std::string joinRest(size_t from) const {
    std::string s;
    for (size_t i = from; i < words_.size(); ++i) s += (i > from ? " " : "") + words_[i];
    return s;
  }

  double number(const std::string& text) const {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v)) fail("'" + text + "' is not a number");
    return v;
  }

  int integer(const std::string& text) const {
    const double v = number(text);
    if (v != std::floor(v)) fail("'" + text + "' is not a whole number");
    return static_cast<int>(v);
  }

  // key=value words from position `from`.
  std::map<std::string, std::string> options(size_t from) const {
    std::map<std::string, std::string> out;
    for (size_t i = from; i < words_.size(); ++i) {
      const size_t eq = words_[i].find('=');
      if (eq == std::string::npos || eq == 0) fail("expected key=value, got '" + words_[i] + "'");
      out[words_[i].substr(0, eq)] = words_[i].substr(eq + 1);
    }
    return out;
  }

  // Reads each option into the matching float; an unknown key is an error.
  void readOptions(const std::map<std::string, std::string>& opts,
                   std::initializer_list<std::pair<const char*, float*>> fields) const {
    for (const auto& [key, value] : opts) {
      bool found = false;
      for (const auto& [name, target] : fields) {
        if (key == name) {
          *target = static_cast<float>(number(value));
          found = true;
        }
      }
      if (!found) fail("unknown setting '" + key + "'");
    }
  }

  void parseMaster() {
    float lufs = static_cast<float>(song_.targetLufs);
    readOptions(options(1), {{"lufs", &lufs}, {"ceiling", &song_.ceilingDb}, {"release", &song_.limiterRelease}});
    song_.targetLufs = lufs;
  }

  void parseDelay() {
    DelaySettings& d = song_.delay;
    readOptions(options(1), {{"left", &d.rowsLeft}, {"right", &d.rowsRight}, {"feedback", &d.feedback},
                             {"pingpong", &d.pingPong}, {"lowcut", &d.lowCut}, {"highcut", &d.highCut},
                             {"level", &d.level}, {"reverb", &song_.delayToReverb}});
    if (d.rowsLeft <= 0.0f || d.rowsRight <= 0.0f) fail("delay times must be positive");
  }

  void parseReverb() {
    ReverbSettings& r = song_.reverb;
    readOptions(options(1), {{"size", &r.size}, {"damp", &r.damp}, {"width", &r.width},
                             {"predelay", &r.predelay}, {"lowcut", &r.lowCut}, {"level", &r.level}});
  }

  std::string parseDuck() {
    auto opts = options(1);
    std::string key;
    if (auto it = opts.find("key"); it != opts.end()) {
      key = it->second;
      opts.erase(it);
    }
    DuckSettings& d = song_.duck;
    readOptions(opts, {{"threshold", &d.threshold}, {"ratio", &d.ratio}, {"attack", &d.attack},
                       {"release", &d.release}});
    return key;
  }

  void parseInstrument() {
    InstrumentDef def;
    def.name = arg(1);
    if (song_.instrumentIndex(def.name) >= 0) fail("instrument '" + def.name + "' defined twice");
    if (words_.size() > 2 && !setPatchParam(def.patch, "kind", words_[2])) fail("unknown instrument kind '" + words_[2] + "'");
    const int start = lineNo_;
    for (;;) {
      if (!next()) {
        lineNo_ = start;
        fail("instrument '" + def.name + "' has no 'end'");
      }
      if (words_[0] == "end") break;
      for (const std::string& w : words_) {
        const size_t eq = w.find('=');
        if (eq == std::string::npos) fail("expected key=value, got '" + w + "'");
        if (!setPatchParam(def.patch, w.substr(0, eq), w.substr(eq + 1))) fail("bad instrument setting '" + w + "'");
      }
    }
    song_.instruments.push_back(def);
  }

  void parseTrack() {
    TrackDef t;
    t.name = arg(1);
    if (t.name == "master") fail("'master' is reserved");
    if (song_.trackIndex(t.name) >= 0) fail("track '" + t.name + "' defined twice");
    t.instrument = song_.instrumentIndex(arg(2));
    if (t.instrument < 0) fail("unknown instrument '" + words_[2] + "'");
    auto opts = options(3);
    if (auto it = opts.find("choke"); it != opts.end()) {
      t.choke = song_.trackIndex(it->second);
      if (t.choke < 0) fail("choke names unknown track '" + it->second + "'");
      opts.erase(it);
    }
    readOptions(opts, {{"level", &t.level}, {"pan", &t.pan}, {"rev", &t.rev}, {"dly", &t.dly},
                       {"duck", &t.duck}, {"swing", &t.swing}, {"hp", &t.hp},
                       {"clip", &t.clip}});
    if (t.clip > 0.0f) fail("clip is a ceiling in dBFS and must be negative");
    song_.tracks.push_back(t);
  }

  void parseDef() {
    const std::string& name = arg(1);
    float dummy;
    if (parseNoteName(name, dummy) || name == "x" || name == "X" || name == "o")
      fail("'" + name + "' reads as a note and cannot be a def name");
    std::vector<float> notes;
    for (size_t i = 2; i < words_.size(); ++i) {
      std::stringstream parts(words_[i]);
      std::string part;
      while (std::getline(parts, part, '+')) appendNotes(part, notes);
    }
    if (notes.empty()) fail("def '" + name + "' has no notes");
    defs_[name] = notes;
  }

  void appendNotes(const std::string& text, std::vector<float>& notes) const {
    float n;
    if (parseNoteName(text, n)) {
      notes.push_back(n);
      return;
    }
    auto it = defs_.find(text);
    if (it == defs_.end()) fail("'" + text + "' is neither a note nor a def");
    notes.insert(notes.end(), it->second.begin(), it->second.end());
  }

  Cell parseCell(const std::string& token) const {
    Cell c;
    if (token == ".") return c;
    if (token == "^") {
      c.kind = Cell::kOff;
      return c;
    }
    const size_t colon = token.find(':');
    const std::string head = token.substr(0, colon);
    c.kind = Cell::kNotes;
    if (head == "x" || head == "X" || head == "o") {
      c.notes.push_back(60.0f);
      c.velocity = head == "X" ? 1.0f : head == "x" ? 0.8f : 0.45f;
    } else {
      std::stringstream parts(head);
      std::string part;
      while (std::getline(parts, part, '+')) appendNotes(part, c.notes);
      if (c.notes.empty()) fail("empty cell '" + token + "'");
    }
    if (colon == std::string::npos) return c;
    const std::string fx = token.substr(colon + 1);
    size_t pos = 0;
    while (pos < fx.size()) {
      const char letter = fx[pos++];
      const char* begin = fx.c_str() + pos;
      char* end = nullptr;
      const double v = std::strtod(begin, &end);
      if (end == begin) fail("effect '" + std::string(1, letter) + "' in '" + token + "' needs a number");
      pos += static_cast<size_t>(end - begin);
      switch (letter) {
        case 'v': c.velocity = static_cast<float>(v / 100.0); break;
        case 'l': c.length = static_cast<float>(v); break;
        case 's': c.slide = static_cast<float>(v); break;
        case 'f': c.cutoff = static_cast<float>(v); break;
        case 'r': c.retrigger = static_cast<int>(v); break;
        default: fail("unknown effect '" + std::string(1, letter) + "' in '" + token + "'");
      }
    }
    if (c.velocity < 0.0f || c.length < 0.0f || c.slide < 0.0f || c.retrigger < 1 || c.retrigger > 16)
      fail("effect value out of range in '" + token + "'");
    return c;
  }

  void parsePattern() {
    Pattern p;
    p.name = arg(1);
    p.rows = integer(arg(2));
    if (p.rows <= 0) fail("pattern '" + p.name + "' needs a positive row count");
    if (song_.patternIndex(p.name) >= 0) fail("pattern '" + p.name + "' defined twice");
    const int start = lineNo_;
    for (;;) {
      if (!next()) {
        lineNo_ = start;
        fail("pattern '" + p.name + "' has no 'end'");
      }
      if (words_[0] == "end") break;
      for (const std::string& w : words_) p.cells.push_back(parseCell(w));
    }
    if (static_cast<int>(p.cells.size()) != p.rows) {
      lineNo_ = start;
      fail("pattern '" + p.name + "' declares " + std::to_string(p.rows) + " rows but has " +
           std::to_string(p.cells.size()));
    }
    song_.patterns.push_back(p);
  }

  SeqItem parseItem(const std::string& text) const {
    SeqItem item;
    std::string body = text;
    if (const size_t star = body.find('*'); star != std::string::npos) {
      item.repeat = integer(body.substr(star + 1));
      if (item.repeat < 1) fail("repeat count must be at least 1 in '" + text + "'");
      body = body.substr(0, star);
    }
    if (const size_t colon = body.find(':'); colon != std::string::npos) {
      item.transpose = integer(body.substr(colon + 1));
      body = body.substr(0, colon);
    }
    if (!body.empty() && body[0] == '_') {
      item.restRows = integer(body.substr(1));
      if (item.restRows <= 0) fail("rest must be positive in '" + text + "'");
      return item;
    }
    item.pattern = song_.patternIndex(body);
    if (item.pattern < 0) fail("unknown pattern '" + body + "'");
    return item;
  }

  void parseSection() {
    Section s;
    s.name = arg(1);
    s.beats = integer(arg(2));
    if (s.beats <= 0) fail("section '" + s.name + "' needs a positive length in beats");
    s.sequences.resize(song_.tracks.size());
    const int sectionRows = s.beats * song_.rowsPerBeat;
    const int start = lineNo_;
    for (;;) {
      if (!next()) {
        lineNo_ = start;
        fail("section '" + s.name + "' has no 'end'");
      }
      if (words_[0] == "end") break;
      if (words_[0] == "auto") {
        s.automation.push_back(parseAutomation(s.beats));
        continue;
      }
      const std::string& head = words_[0];
      if (head.back() != ':') fail("expected 'TRACK:' or 'auto', got '" + head + "'");
      const int track = song_.trackIndex(head.substr(0, head.size() - 1));
      if (track < 0) fail("unknown track '" + head + "'");
      int rows = 0;
      for (const auto& item : s.sequences[track]) rows += itemRows(item);
      for (size_t i = 1; i < words_.size(); ++i) {
        const SeqItem item = parseItem(words_[i]);
        // The last item may run past the section end (it is cut there); a later one would
        // never be heard, which is a mistake.
        if (rows >= sectionRows) fail("'" + words_[i] + "' starts after the end of section '" + s.name + "'");
        rows += itemRows(item);
        s.sequences[track].push_back(item);
      }
    }
    song_.sections.push_back(s);
  }

  int itemRows(const SeqItem& item) const {
    const int one = item.pattern >= 0 ? song_.patterns[item.pattern].rows : item.restRows;
    return one * item.repeat;
  }

  Automation parseAutomation(int sectionBeats) const {
    Automation a;
    const std::string& target = arg(1);
    const size_t dot = target.find('.');
    if (dot == std::string::npos) fail("automation target must be TRACK.PARAM, got '" + target + "'");
    const std::string trackName = target.substr(0, dot), param = target.substr(dot + 1);
    if (trackName != "master") {
      a.track = song_.trackIndex(trackName);
      if (a.track < 0) fail("unknown track '" + trackName + "'");
    }
    if (param == "gain") a.param = kAutoGain;
    else if (param == "cutoff" && a.track >= 0) a.param = kAutoCutoff;
    else if (param == "rev" && a.track >= 0) a.param = kAutoReverb;
    else if (param == "dly" && a.track >= 0) a.param = kAutoDelay;
    else fail("cannot automate '" + target + "'");
    a.beatFrom = number(arg(2));
    a.beatTo = number(arg(3));
    a.from = static_cast<float>(number(arg(4)));
    a.to = static_cast<float>(number(arg(5)));
    if (a.beatFrom < 0.0 || a.beatTo < a.beatFrom || a.beatTo > sectionBeats)
      fail("automation beats must satisfy 0 <= from <= to <= section length");
    return a;
  }

  void finish() {
    if (song_.bpm <= 0.0 || song_.rowsPerBeat <= 0) throw SongError("tempo and rows must be positive");
    if (song_.sections.empty()) throw SongError("the song has no sections");
    if (!keyTrackName_.empty()) {
      song_.keyTrack = song_.trackIndex(keyTrackName_);
      if (song_.keyTrack < 0) {
        lineNo_ = keyLine_;
        fail("duck key names unknown track '" + keyTrackName_ + "'");
      }
    }
    // Sections written before a track was declared get empty order lists for it.
    for (Section& s : song_.sections) s.sequences.resize(song_.tracks.size());
  }

  std::vector<std::vector<std::string>> lines_;
  size_t index_ = 0;
  int lineNo_ = 0;
  std::vector<std::string> words_;
  std::map<std::string, std::vector<float>> defs_;
  std::string keyTrackName_;
  int keyLine_ = 0;
  Song song_;
};

}  // namespace

Song parseSong(const std::string& text) { return Parser(text).run(); }

Song loadSong(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SongError("cannot open " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return parseSong(buffer.str());
}

}  // namespace synth
