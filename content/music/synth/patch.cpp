#include "synth/patch.h"

#include <cstdlib>
#include <cstring>

#include "synth/filter.h"
#include "synth/oscillator.h"

namespace synth {

namespace {

struct Field {
  const char* name;
  float Patch::*member;
};

constexpr Field kFields[] = {
    {"kind", &Patch::kind},       {"wave1", &Patch::wave1},       {"wave2", &Patch::wave2},
    {"level1", &Patch::level1},   {"level2", &Patch::level2},     {"semi2", &Patch::semi2},
    {"fine2", &Patch::fine2},     {"sub", &Patch::sub},           {"noise", &Patch::noise},
    {"unison", &Patch::unison},   {"detune", &Patch::detune},     {"spread", &Patch::spread},
    {"pw", &Patch::pw},           {"pwm", &Patch::pwm},           {"freephase", &Patch::freephase},
    {"mono", &Patch::mono},       {"glide", &Patch::glide},       {"vib", &Patch::vib},
    {"vibrate", &Patch::vibrate}, {"vibdelay", &Patch::vibdelay}, {"penv", &Patch::penv},
    {"pdecay", &Patch::pdecay},   {"mode", &Patch::mode},         {"cutoff", &Patch::cutoff},
    {"res", &Patch::res},         {"fenv", &Patch::fenv},         {"keytrack", &Patch::keytrack},
    {"velcut", &Patch::velcut},   {"fa", &Patch::fa},             {"fd", &Patch::fd},
    {"fs", &Patch::fs},           {"fr", &Patch::fr},             {"lfocut", &Patch::lfocut},
    {"lforate", &Patch::lforate}, {"a", &Patch::a},               {"d", &Patch::d},
    {"s", &Patch::s},             {"r", &Patch::r},               {"vol", &Patch::vol},
    {"drive", &Patch::drive},     {"poly", &Patch::poly},         {"len", &Patch::len},
    {"freq", &Patch::freq},       {"freq0", &Patch::freq0},       {"sweep", &Patch::sweep},
    {"decay", &Patch::decay},     {"click", &Patch::click},       {"snap", &Patch::snap},
    {"ndecay", &Patch::ndecay},   {"color", &Patch::color},       {"metal", &Patch::metal},
};

struct Word {
  const char* word;
  float value;
};

constexpr Word kWords[] = {
    {"saw", kWaveSaw},   {"pulse", kWavePulse}, {"sine", kWaveSine},   {"noise", kWaveNoise},
    {"off", kWaveOff},   {"lp", kLowPass},      {"bp", kBandPass},     {"hp", kHighPass},
    {"synth", kSynth},   {"kick", kKick},       {"snare", kSnare},     {"hat", kHat},
    {"clap", kClap},
};

bool parseValue(const std::string& text, float& out) {
  for (const Word& w : kWords) {
    if (text == w.word) {
      out = w.value;
      return true;
    }
  }
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtof(text.c_str(), &end);
  return end && *end == '\0';
}

}  // namespace

bool setPatchParam(Patch& patch, const std::string& name, const std::string& value) {
  for (const Field& f : kFields) {
    if (name == f.name) {
      float v = 0.0f;
      if (!parseValue(value, v)) return false;
      patch.*(f.member) = v;
      return true;
    }
  }
  return false;
}

}  // namespace synth
