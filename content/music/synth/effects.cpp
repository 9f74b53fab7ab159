#include "synth/effects.h"

#include <algorithm>
#include <cmath>

namespace synth {

StereoDelay::StereoDelay(const DelaySettings& s, float samplesPerRow, float sampleRate) : s_(s) {
  bufL_.assign(std::max<size_t>(1, static_cast<size_t>(std::lround(s.rowsLeft * samplesPerRow))), 0.0f);
  bufR_.assign(std::max<size_t>(1, static_cast<size_t>(std::lround(s.rowsRight * samplesPerRow))), 0.0f);
  lpL_.setLowPass(s.highCut, sampleRate);
  lpR_.setLowPass(s.highCut, sampleRate);
  hpL_.setLowPass(s.lowCut, sampleRate);
  hpR_.setLowPass(s.lowCut, sampleRate);
  s_.feedback = std::clamp(s_.feedback, 0.0f, 0.95f);
}

void StereoDelay::process(float* l, float* r, int n) {
  const bool pingPong = s_.pingPong > 0.5f;
  for (int i = 0; i < n; ++i) {
    const float outL = bufL_[posL_], outR = bufR_[posR_];
    // The loop is band-limited and gently saturated, so repeats darken and can never run away.
    const float fbL = softClip(hpL_.highPass(lpL_.lowPass(outL)) * s_.feedback);
    const float fbR = softClip(hpR_.highPass(lpR_.lowPass(outR)) * s_.feedback);
    if (pingPong) {
      // The mono sum enters on the left; each repeat crosses to the other side.
      bufL_[posL_] = flushDenormal(0.5f * (l[i] + r[i]) + fbR);
      bufR_[posR_] = flushDenormal(fbL);
    } else {
      bufL_[posL_] = flushDenormal(l[i] + fbL);
      bufR_[posR_] = flushDenormal(r[i] + fbR);
    }
    if (++posL_ == bufL_.size()) posL_ = 0;
    if (++posR_ == bufR_.size()) posR_ = 0;
    l[i] = outL * s_.level;
    r[i] = outR * s_.level;
  }
}

namespace {

// Comb and all-pass lengths for 44.1 kHz; the right channel is offset for decorrelation.
constexpr int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllPassLengths[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
constexpr float kInputGain = 0.015f;

size_t scaled(int length, float sampleRate) {
  return std::max<size_t>(1, static_cast<size_t>(std::lround(length * sampleRate / 44100.0f)));
}

}  // namespace

Reverb::Reverb(const ReverbSettings& s, float sampleRate) : s_(s) {
  feedback_ = 0.7f + 0.28f * std::clamp(s.size, 0.0f, 1.0f);
  damp_ = 0.4f * std::clamp(s.damp, 0.0f, 1.0f);
  for (int i = 0; i < 8; ++i) {
    combL_[i].buf.assign(scaled(kCombLengths[i], sampleRate), 0.0f);
    combR_[i].buf.assign(scaled(kCombLengths[i] + kStereoSpread, sampleRate), 0.0f);
  }
  for (int i = 0; i < 4; ++i) {
    apL_[i].buf.assign(scaled(kAllPassLengths[i], sampleRate), 0.0f);
    apR_[i].buf.assign(scaled(kAllPassLengths[i] + kStereoSpread, sampleRate), 0.0f);
  }
  pre_.assign(std::max<size_t>(1, static_cast<size_t>(s.predelay * 0.001f * sampleRate)) * 2, 0.0f);
  hpL_.setLowPass(s.lowCut, sampleRate);
  hpR_.setLowPass(s.lowCut, sampleRate);
}

float Reverb::comb(Comb& c, float in) {
  const float out = c.buf[c.pos];
  c.store = flushDenormal(out * (1.0f - damp_) + c.store * damp_);
  c.buf[c.pos] = flushDenormal(in + c.store * feedback_);
  if (++c.pos == c.buf.size()) c.pos = 0;
  return out;
}

float Reverb::allPass(AllPass& a, float in) {
  const float delayed = a.buf[a.pos];
  a.buf[a.pos] = flushDenormal(in + delayed * 0.5f);
  if (++a.pos == a.buf.size()) a.pos = 0;
  return delayed - in;
}

void Reverb::process(float* l, float* r, int n) {
  const float wet1 = s_.level * (0.5f + 0.5f * s_.width);
  const float wet2 = s_.level * (0.5f - 0.5f * s_.width);
  for (int i = 0; i < n; ++i) {
    // Pre-delay line holds interleaved left/right samples.
    const float dl = pre_[prePos_], dr = pre_[prePos_ + 1];
    pre_[prePos_] = hpL_.highPass(l[i]);
    pre_[prePos_ + 1] = hpR_.highPass(r[i]);
    prePos_ += 2;
    if (prePos_ >= pre_.size()) prePos_ = 0;
    const float in = (dl + dr) * kInputGain;
    float outL = 0.0f, outR = 0.0f;
    for (int k = 0; k < 8; ++k) {
      outL += comb(combL_[k], in);
      outR += comb(combR_[k], in);
    }
    for (int k = 0; k < 4; ++k) {
      outL = allPass(apL_[k], outL);
      outR = allPass(apR_[k], outR);
    }
    l[i] = outL * wet1 + outR * wet2;
    r[i] = outR * wet1 + outL * wet2;
  }
}

SidechainCompressor::SidechainCompressor(const DuckSettings& s, float sampleRate) : s_(s) {
  attackCoef_ = 1.0f - std::exp(-1.0f / std::max(1.0f, s.attack * 0.001f * sampleRate));
  releaseCoef_ = 1.0f - std::exp(-1.0f / std::max(1.0f, s.release * 0.001f * sampleRate));
  s_.ratio = std::max(1.0f, s_.ratio);
}

void SidechainCompressor::computeGain(const float* keyL, const float* keyR, float* gain, int n) {
  const float slope = 1.0f - 1.0f / s_.ratio;
  for (int i = 0; i < n; ++i) {
    const float level = std::max(std::fabs(keyL[i]), std::fabs(keyR[i]));
    env_ += (level - env_) * (level > env_ ? attackCoef_ : releaseCoef_);
    env_ = flushDenormal(env_);
    const float db = 20.0f * std::log10(std::max(env_, 1e-6f));
    const float over = db - s_.threshold;
    gain[i] = over > 0.0f ? std::pow(10.0f, -over * slope / 20.0f) : 1.0f;
  }
}

}  // namespace synth
