#include "synth/drums.h"

#include <algorithm>
#include <cmath>

#include "synth/oscillator.h"

namespace synth {

namespace {

// Per-sample factor for an exponential fall of 60 dB in ms milliseconds.
float decayCoef(float ms, float fs) {
  return std::exp(std::log(0.001f) / std::max(1.0f, ms * 0.001f * fs));
}

// Partials of the classic six-oscillator metallic hat, in Hz.
constexpr float kHatPartials[6] = {205.3f, 304.4f, 369.6f, 522.7f, 540.0f, 800.0f};
constexpr float kSilent = 1e-4f;  // -80 dB: a voice below this is finished

}  // namespace

void DrumVoice::init(const Patch& patch, float sampleRate, uint32_t seed) {
  p_ = &patch;
  fs_ = sampleRate;
  rng_ = Rng(seed);
  sweepCoef_ = std::exp(-1.0f / std::max(1.0f, patch.sweep * 0.001f * sampleRate));
  bodyCoef_ = decayCoef(patch.decay, sampleRate);
  noiseCoef_ = decayCoef(patch.ndecay, sampleRate);
  clickCoef_ = decayCoef(6.0f, sampleRate);
  chokeCoef_ = decayCoef(15.0f, sampleRate);
  gain_ = dbToGain(patch.vol);
  driveNorm_ = patch.drive > 0.0f ? 1.0f / softClip(patch.drive) : 1.0f;
}

void DrumVoice::start(float note, float velocity, float colorShift, uint64_t order) {
  const Patch& p = *p_;
  active_ = true;
  choking_ = false;
  chokeLevel_ = 1.0f;
  order_ = order;
  velocity_ = velocity;
  pitch_ = semitonesToRatio(note - 60.0f);
  phase_ = phase2_ = 0.0f;
  for (int i = 0; i < 6; ++i) partials_[i] = rng_.unipolar();
  sweepLevel_ = bodyLevel_ = noiseLevel_ = clickLevel_ = 1.0f;
  t_ = 0;
  noiseFilter_.reset();
  highPass_.reset();
  const float color = p.color * pitch_ * semitonesToRatio(colorShift);
  noiseFilter_.setup(color, p.res, fs_);
  highPass_.setLowPass(color * 0.6f, fs_);
}

void DrumVoice::render(float* outL, float* outR, int n) {
  if (!active_) return;
  switch (static_cast<int>(p_->kind)) {
    case kKick: renderKick(outL, outR, n); break;
    case kSnare: renderSnare(outL, outR, n); break;
    case kHat: renderHat(outL, outR, n); break;
    case kClap: renderClap(outL, outR, n); break;
    default: active_ = false; break;
  }
}

void DrumVoice::renderKick(float* outL, float* outR, int n) {
  const Patch& p = *p_;
  const float f1 = p.freq * pitch_, f0 = p.freq0 * pitch_;
  const float hold = 0.006f * fs_;  // body stays at full level for the first few ms
  const float g = gain_ * velocity_;
  for (int i = 0; i < n; ++i) {
    const float f = f1 + (f0 - f1) * sweepLevel_;
    sweepLevel_ *= sweepCoef_;
    const float body = sinTurn(phase_) * bodyLevel_;
    phase_ += f / fs_;
    if (phase_ >= 1.0f) phase_ -= 1.0f;
    if (t_ > hold) bodyLevel_ *= bodyCoef_;
    const float click = highPass_.highPass(rng_.bipolar()) * clickLevel_ * p.click;
    clickLevel_ *= clickCoef_;
    float x = body + click;
    if (p.drive > 0.0f) x = softClip(x * p.drive) * driveNorm_;
    x *= g * chokeGain();
    outL[i] += x;
    outR[i] += x;
    ++t_;
  }
  if (bodyLevel_ < kSilent) active_ = false;
}

void DrumVoice::renderSnare(float* outL, float* outR, int n) {
  const Patch& p = *p_;
  const float g = gain_ * velocity_;
  for (int i = 0; i < n; ++i) {
    // Two body tones falling slightly in pitch, plus band-passed noise for the wires.
    const float drop = 1.0f + 0.5f * sweepLevel_;
    sweepLevel_ *= sweepCoef_;
    const float dt = p.freq * pitch_ * drop / fs_;
    const float tone = (sinTurn(phase_) + 0.6f * sinTurn(phase2_)) * bodyLevel_;
    phase_ += dt;
    if (phase_ >= 1.0f) phase_ -= 1.0f;
    phase2_ += dt * 1.73f;
    if (phase2_ >= 1.0f) phase2_ -= 1.0f;
    bodyLevel_ *= bodyCoef_;
    const float wires = noiseFilter_.process(rng_.bipolar(), kBandPass) * noiseLevel_;
    noiseLevel_ *= noiseCoef_;
    float x = 0.6f * tone + p.snap * 1.6f * highPass_.highPass(wires);
    if (p.drive > 0.0f) x = softClip(x * p.drive) * driveNorm_;
    x *= g * chokeGain();
    outL[i] += x;
    outR[i] += x;
  }
  noiseFilter_.flush();
  if (bodyLevel_ < kSilent && noiseLevel_ < kSilent) active_ = false;
}

void DrumVoice::renderHat(float* outL, float* outR, int n) {
  const Patch& p = *p_;
  const float g = gain_ * velocity_;
  float dts[6];
  for (int k = 0; k < 6; ++k) dts[k] = std::min(0.45f, kHatPartials[k] * p.freq * pitch_ / fs_);
  for (int i = 0; i < n; ++i) {
    float metal = 0.0f;
    for (int k = 0; k < 6; ++k) metal += pulseStep(partials_[k], dts[k], 0.5f);
    const float src = p.metal * metal * (1.0f / 6.0f) + (1.0f - p.metal) * rng_.bipolar();
    const float x0 = highPass_.highPass(noiseFilter_.process(src, kBandPass));
    bodyLevel_ *= bodyCoef_;
    const float x = x0 * bodyLevel_ * 6.0f * g * chokeGain();
    outL[i] += x;
    outR[i] += x;
  }
  noiseFilter_.flush();
  if (bodyLevel_ < kSilent) active_ = false;
}

void DrumVoice::renderClap(float* outL, float* outR, int n) {
  const float g = gain_ * velocity_;
  const int64_t burst = static_cast<int64_t>(0.011f * fs_);  // spacing of the hand claps
  for (int i = 0; i < n; ++i) {
    // Three quick bursts, then the room tail.
    float env;
    if (t_ < 3 * burst) {
      if (t_ % burst == 0) clickLevel_ = 1.0f;
      clickLevel_ *= clickCoef_;
      env = clickLevel_;
    } else {
      bodyLevel_ *= bodyCoef_;
      clickLevel_ *= clickCoef_;
      env = clickLevel_ + 0.7f * bodyLevel_;
    }
    const float x0 = noiseFilter_.process(rng_.bipolar(), kBandPass);
    const float x = highPass_.highPass(x0) * env * 5.0f * g * chokeGain();
    outL[i] += x;
    outR[i] += x;
    ++t_;
  }
  noiseFilter_.flush();
  if (t_ > 3 * burst && bodyLevel_ < kSilent) active_ = false;
}

}  // namespace synth
