// Helpers shared by the music tests.
#pragma once

#include <cmath>
#include <complex>
#include <string>
#include <vector>

namespace music_test {

// Power spectrum of a Hann-windowed signal by direct DFT (bins 0 .. n/2).
inline std::vector<double> powerSpectrum(const std::vector<float>& x) {
  const size_t n = x.size();
  const double pi = 3.14159265358979323846;
  std::vector<double> w(n);
  for (size_t i = 0; i < n; ++i) w[i] = x[i] * (0.5 - 0.5 * std::cos(2.0 * pi * i / (n - 1)));
  std::vector<double> power(n / 2 + 1);
  for (size_t k = 0; k <= n / 2; ++k) {
    // Rotating phasor instead of a cos/sin per term.
    const std::complex<double> step = std::polar(1.0, -2.0 * pi * k / n);
    std::complex<double> rot = 1.0, acc = 0.0;
    for (size_t i = 0; i < n; ++i) {
      acc += w[i] * rot;
      rot *= step;
    }
    power[k] = std::norm(acc);
  }
  return power;
}

inline double toDb(double power) { return 10.0 * std::log10(std::max(power, 1e-300)); }

inline std::string sourceDir() { return std::string(VORN_TEST_SOURCE_DIR) + "/.."; }
inline std::string songPath() { return sourceDir() + "/content/music/song/milk.song"; }

}  // namespace music_test
