#include "synth/master.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "synth/filter.h"

namespace synth {

namespace {

// K-weighting: a high shelf modelling the head, then a high-pass (RLB curve), derived for
// the given sample rate from their analogue prototypes.
void kWeighting(float fs, Biquad& shelf, Biquad& highPass) {
  const double pi = 3.14159265358979323846;
  {
    const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(pi * f0 / fs);
    const double vh = std::pow(10.0, gainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    shelf.b0 = (vh + vb * k / q + k * k) / a0;
    shelf.b1 = 2.0 * (k * k - vh) / a0;
    shelf.b2 = (vh - vb * k / q + k * k) / a0;
    shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    shelf.a2 = (1.0 - k / q + k * k) / a0;
  }
  {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(pi * f0 / fs);
    const double a0 = 1.0 + k / q + k * k;
    highPass.b0 = 1.0;
    highPass.b1 = -2.0;
    highPass.b2 = 1.0;
    highPass.a1 = 2.0 * (k * k - 1.0) / a0;
    highPass.a2 = (1.0 - k / q + k * k) / a0;
  }
}

// 4x interpolation: windowed-sinc phases at 1/4, 2/4, 3/4 of a sample, 16 taps each.
constexpr int kTaps = 16;
struct Interpolator {
  float h[3][kTaps];
  Interpolator() {
    const double pi = 3.14159265358979323846;
    for (int ph = 0; ph < 3; ++ph) {
      const double frac = (ph + 1) / 4.0;
      double sum = 0.0;
      for (int t = 0; t < kTaps; ++t) {
        const double x = (t - (kTaps / 2 - 1)) - frac;  // tap distance from the point
        const double sinc = std::fabs(x) < 1e-9 ? 1.0 : std::sin(pi * x) / (pi * x);
        const double w = 0.5 + 0.5 * std::cos(pi * x / (kTaps / 2 + 0.5));
        h[ph][t] = static_cast<float>(sinc * w);
        sum += sinc * w;
      }
      for (int t = 0; t < kTaps; ++t) h[ph][t] = static_cast<float>(h[ph][t] / sum);
    }
  }
};

}  // namespace

double integratedLoudness(const std::vector<float>& stereo, float sampleRate) {
  const size_t frames = stereo.size() / 2;
  const size_t step = static_cast<size_t>(sampleRate * 0.1f);  // 100 ms: 75% block overlap
  if (frames < 4 * step) return -70.0;
  Biquad shelf[2], hp[2];
  kWeighting(sampleRate, shelf[0], hp[0]);
  kWeighting(sampleRate, shelf[1], hp[1]);
  // Mean square per 100 ms step, both channels summed (weights 1).
  std::vector<double> stepPower;
  stepPower.reserve(frames / step + 1);
  double acc = 0.0;
  size_t count = 0;
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < 2; ++c) {
      const double y = hp[c].process(shelf[c].process(stereo[2 * i + c]));
      acc += y * y;
    }
    if (++count == step) {
      stepPower.push_back(acc / step);
      acc = 0.0;
      count = 0;
    }
  }
  std::vector<double> blocks;
  for (size_t i = 3; i < stepPower.size(); ++i)
    blocks.push_back(0.25 * (stepPower[i - 3] + stepPower[i - 2] + stepPower[i - 1] + stepPower[i]));
  auto lufs = [](double power) { return -0.691 + 10.0 * std::log10(std::max(power, 1e-30)); };
  // Absolute gate at -70 LUFS, then a relative gate 10 LU under the mean of what passed.
  double sum = 0.0;
  size_t n = 0;
  for (double b : blocks) {
    if (lufs(b) > -70.0) {
      sum += b;
      ++n;
    }
  }
  if (n == 0) return -70.0;
  const double relativeGate = lufs(sum / n) - 10.0;
  sum = 0.0;
  n = 0;
  for (double b : blocks) {
    if (lufs(b) > -70.0 && lufs(b) > relativeGate) {
      sum += b;
      ++n;
    }
  }
  return n ? lufs(sum / n) : -70.0;
}

float samplePeak(const std::vector<float>& stereo) {
  float peak = 0.0f;
  for (float v : stereo) peak = std::max(peak, std::fabs(v));
  return peak;
}

std::vector<float> truePeakEnvelope(const std::vector<float>& stereo) {
  static const Interpolator interp;
  const size_t frames = stereo.size() / 2;
  std::vector<float> env(frames, 0.0f);
  for (size_t i = 0; i < frames; ++i) {
    float peak = std::max(std::fabs(stereo[2 * i]), std::fabs(stereo[2 * i + 1]));
    if (i + 1 >= kTaps / 2 && i + kTaps / 2 < frames) {
      const size_t first = i + 1 - kTaps / 2;
      for (int c = 0; c < 2; ++c) {
        for (int ph = 0; ph < 3; ++ph) {
          float v = 0.0f;
          for (int t = 0; t < kTaps; ++t) v += interp.h[ph][t] * stereo[2 * (first + t) + c];
          peak = std::max(peak, std::fabs(v));
        }
      }
    }
    env[i] = peak;
  }
  return env;
}

float truePeak(const std::vector<float>& stereo) {
  float peak = 0.0f;
  for (float v : truePeakEnvelope(stereo)) peak = std::max(peak, v);
  return peak;
}

namespace {

// The limiter proper; peaks is the true-peak envelope of stereo as it is now.
void limitWithPeaks(std::vector<float>& stereo, const std::vector<float>& peaks,
                    const LimiterSettings& s, float sampleRate) {
  const size_t frames = stereo.size() / 2;
  if (frames == 0) return;
  const size_t window = std::max<size_t>(1, static_cast<size_t>(s.lookahead * 0.001f * sampleRate));
  // Gain each frame needs on its own.
  std::vector<float> need(frames);
  for (size_t i = 0; i < frames; ++i) need[i] = peaks[i] > s.ceiling ? s.ceiling / peaks[i] : 1.0f;
  // Forward-looking minimum over the window (monotonic deque), so the gain is already down
  // when a peak arrives.
  std::vector<float> held(frames);
  std::deque<size_t> q;
  for (size_t j = 0; j + 1 < frames + window; ++j) {
    if (j < frames) {
      while (!q.empty() && need[q.back()] >= need[j]) q.pop_back();
      q.push_back(j);
    }
    if (j + 1 >= window) {
      const size_t i = j + 1 - window;  // held[i] = min(need[i .. i + window - 1])
      while (q.front() < i) q.pop_front();
      held[i] = need[q.front()];
    }
  }
  // Release: recover slowly, never above what is needed.
  const float rel = 1.0f - std::exp(-1.0f / std::max(1.0f, s.release * 0.001f * sampleRate));
  float g = 1.0f;
  for (size_t i = 0; i < frames; ++i) {
    g = held[i] < g ? held[i] : g + (held[i] - g) * rel;
    held[i] = g;
  }
  // Smooth with a backward moving average over the window: every value averaged for frame i
  // comes from a held minimum that covers frame i, so the average never exceeds need[i].
  double sum = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    sum += held[i];
    if (i >= window) sum -= held[i - window];
    const size_t len = std::min(i + 1, window);
    // Frames before the window is full average only what exists, padded with unity gain.
    const float gain = static_cast<float>((sum + static_cast<double>(window - len)) / window);
    const float safe = std::min(gain, need[i]);
    stereo[2 * i] *= safe;
    stereo[2 * i + 1] *= safe;
  }
}

}  // namespace

void limit(std::vector<float>& stereo, const LimiterSettings& s, float sampleRate) {
  limitWithPeaks(stereo, truePeakEnvelope(stereo), s, sampleRate);
}

MasterResult masterToLoudness(std::vector<float>& stereo, double targetLufs,
                              const LimiterSettings& s, float sampleRate) {
  MasterResult result;
  const std::vector<float> mix = stereo;
  // The peak envelope scales with the gain, so it is measured once.
  const std::vector<float> mixPeaks = truePeakEnvelope(mix);
  std::vector<float> peaks(mixPeaks.size());
  const double raw = integratedLoudness(mix, sampleRate);
  // Gain in dB; limiting makes loudness grow less than the gain, so after the first step the
  // next gain comes from the secant through the last two measurements.
  double gainDb = raw > -70.0 ? targetLufs - raw : 0.0;
  double prevGainDb = 0.0, prevLoudness = 0.0;
  bool havePrev = false;
  for (int pass = 0; pass < 8; ++pass) {
    const double gain = std::pow(10.0, gainDb / 20.0);
    for (size_t i = 0; i < mix.size(); ++i) stereo[i] = static_cast<float>(mix[i] * gain);
    for (size_t i = 0; i < peaks.size(); ++i) peaks[i] = static_cast<float>(mixPeaks[i] * gain);
    limitWithPeaks(stereo, peaks, s, sampleRate);
    result.loudness = integratedLoudness(stereo, sampleRate);
    result.gain = static_cast<float>(gain);
    const double miss = targetLufs - result.loudness;
    if (result.loudness <= -70.0 || std::fabs(miss) < 0.05) break;
    double step = miss;
    if (havePrev && std::fabs(result.loudness - prevLoudness) > 1e-3) {
      step = miss * (gainDb - prevGainDb) / (result.loudness - prevLoudness);
    }
    prevGainDb = gainDb;
    prevLoudness = result.loudness;
    havePrev = true;
    gainDb += std::clamp(step, -12.0, 12.0);
  }
  result.truePeak = truePeak(stereo);
  return result;
}

}  // namespace synth
