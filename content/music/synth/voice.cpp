#include "synth/voice.h"

#include <algorithm>
#include <cmath>

#include "synth/oscillator.h"

namespace synth {

void SynthVoice::init(const Patch& patch, float sampleRate, uint32_t seed) {
  p_ = &patch;
  fs_ = sampleRate;
  rng_ = Rng(seed);
  amp_.setup(patch.a * 0.001f, patch.d * 0.001f, patch.s, patch.r * 0.001f, sampleRate);
  fenv_.setup(patch.fa * 0.001f, patch.fd * 0.001f, patch.fs, patch.fr * 0.001f, sampleRate);
  penvCoef_ = std::exp(-static_cast<float>(kControlStep) / std::max(1.0f, patch.pdecay * 0.001f * sampleRate));
  unison_ = std::clamp(static_cast<int>(patch.unison), 1, kMaxUnison);
  // The stack: copies spread evenly in pitch and across the stereo field, equal-power panned
  // and scaled so the stack's loudness does not grow with its size.
  // Copies are panned in order from left to right; their detune is interleaved (outermost
  // first, alternating sign) so both sides get sharp and flat copies alike.
  const float norm = 1.0f / std::sqrt(static_cast<float>(unison_));
  auto position = [&](int k) { return unison_ > 1 ? 2.0f * k / (unison_ - 1) - 1.0f : 0.0f; };
  for (int u = 0; u < unison_; ++u) {
    const int rank = (u & 1) ? unison_ - 1 - u / 2 : u / 2;
    const float cents = 0.5f * patch.detune * position(rank);
    ratio1_[u] = std::exp2(cents / 1200.0f);
    ratio2_[u] = std::exp2((patch.semi2 * 100.0f + patch.fine2 - cents) / 1200.0f);
    const float pan = std::clamp(patch.spread * position(u), -1.0f, 1.0f);
    gainL_[u] = norm * std::sqrt(1.0f - pan);
    gainR_[u] = norm * std::sqrt(1.0f + pan);
  }
  gain_ = dbToGain(patch.vol);
  driveNorm_ = patch.drive > 0.0f ? 1.0f / softClip(patch.drive) : 1.0f;
}

void SynthVoice::start(const NoteStart& n, uint64_t order) {
  const bool wasSilent = !amp_.active();
  id_ = n.id;
  order_ = order;
  note_ = target_ = n.note;
  glideCoef_ = 1.0f;
  velocity_ = n.velocity;
  noteCut_ = n.cutoff;
  penvLevel_ = 1.0f;
  age_ = 0;
  if (wasSilent) {
    svfL_.reset();
    svfR_.reset();
    for (int u = 0; u < unison_; ++u) {
      phase1_[u] = p_->freephase > 0.0f ? rng_.unipolar() : 0.0f;
      phase2_[u] = p_->freephase > 0.0f ? rng_.unipolar() : 0.0f;
    }
    subPhase_ = 0.0f;
    vibPhase_ = 0.0f;
  }
  amp_.gateOn();
  fenv_.gateOn();
}

void SynthVoice::glideTo(const NoteStart& n, float glideSamples, bool retrigger) {
  id_ = n.id;
  target_ = n.note;
  noteCut_ = n.cutoff;
  // Exponential approach: about 99% of the interval covered in glideSamples.
  glideCoef_ = glideSamples > 0.0f
                   ? 1.0f - std::exp(-4.6f * kControlStep / std::max(glideSamples, 1.0f))
                   : 1.0f;
  if (retrigger) {
    velocity_ = n.velocity;
    penvLevel_ = 1.0f;
    fenv_.gateOn();
  }
  amp_.gateOn();
}

void SynthVoice::render(float* outL, float* outR, int n, float trackCutoff) {
  if (!amp_.active()) return;
  const Patch& p = *p_;
  const int wave1 = static_cast<int>(p.wave1);
  const int wave2 = static_cast<int>(p.wave2);
  const int mode = static_cast<int>(p.mode);
  float bufL[kControlStep], bufR[kControlStep];

  for (int off = 0; off < n; off += kControlStep) {
    const int m = std::min(kControlStep, n - off);

    // Control rate: pitch, modulation and filter coefficients.
    note_ += (target_ - note_) * glideCoef_;
    if (std::fabs(target_ - note_) < 1e-4f) note_ = target_;
    float pitch = note_ + p.penv * penvLevel_;
    penvLevel_ *= penvCoef_;
    if (p.vib > 0.0f) {
      const float onset = std::clamp(
          (static_cast<float>(age_) - p.vibdelay * 0.001f * fs_) / (0.3f * fs_), 0.0f, 1.0f);
      pitch += 0.01f * p.vib * onset * sinTurn(vibPhase_);
      vibPhase_ = wrapPhase(vibPhase_ + p.vibrate * m / fs_);
    }
    float lfo = 0.0f;
    if (p.lfocut != 0.0f || p.pwm != 0.0f) {
      lfo = sinTurn(lfoPhase_);
      lfoPhase_ = wrapPhase(lfoPhase_ + p.lforate * m / fs_);
    }
    const float fenvLevel = fenv_.level();
    fenv_.skip(m);
    const float cutSemis = p.fenv * fenvLevel + p.keytrack * (note_ - 60.0f) +
                           p.velcut * (velocity_ - 1.0f) + noteCut_ + trackCutoff + p.lfocut * lfo;
    const float fc = p.cutoff * semitonesToRatio(cutSemis);
    svfL_.setup(fc, p.res, fs_);

    const float baseDt = noteToHz(pitch) / fs_;
    const float width = std::clamp(p.pw + p.pwm * lfo, 0.05f, 0.95f);
    std::fill(bufL, bufL + m, 0.0f);
    std::fill(bufR, bufR + m, 0.0f);
    for (int u = 0; u < unison_; ++u) {
      addWave(wave1, bufL, bufR, m, phase1_[u], baseDt * ratio1_[u], width, p.level1 * gainL_[u],
              p.level1 * gainR_[u], rng_);
      if (wave2 != kWaveOff) {
        addWave(wave2, bufL, bufR, m, phase2_[u], baseDt * ratio2_[u], width,
                p.level2 * gainL_[u], p.level2 * gainR_[u], rng_);
      }
    }
    if (p.sub > 0.0f) addWave(kWaveSine, bufL, bufR, m, subPhase_, baseDt * 0.5f, 0.5f, p.sub, p.sub, rng_);
    if (p.noise > 0.0f) {
      float noisePhase = 0.0f;
      addWave(kWaveNoise, bufL, bufR, m, noisePhase, 0.0f, 0.5f, p.noise, p.noise, rng_);
    }

    svfL_.processStereo(bufL, bufR, m, mode, svfR_);
    const float g = gain_ * velocity_;
    if (p.drive > 0.0f) {
      for (int i = 0; i < m; ++i) {
        const float e = amp_.next() * g;
        outL[off + i] += softClip(bufL[i] * p.drive) * driveNorm_ * e;
        outR[off + i] += softClip(bufR[i] * p.drive) * driveNorm_ * e;
      }
    } else {
      for (int i = 0; i < m; ++i) {
        const float e = amp_.next() * g;
        outL[off + i] += bufL[i] * e;
        outR[off + i] += bufR[i] * e;
      }
    }
    age_ += m;
    if (!amp_.active()) {
      id_ = -1;
      return;
    }
  }
}

}  // namespace synth
