// SPDX-License-Identifier: GPL-3.0-or-later
// The smoothed spectra of the signal and of the pre-event noise, from which
// the corners are chosen.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "correct/correct.h"
#include "correct/steps.h"
#include "measures/fas.h"

namespace wavefft::correct {

namespace {

constexpr std::size_t kSnrFrequencies = 301;
constexpr double kSnrBandwidth = 20.0;
constexpr double kSnrTaper = 0.05;

std::array<double, kSnrFrequencies> make_snr_frequencies() {
  std::array<double, kSnrFrequencies> f{};
  for (std::size_t k = 0; k < kSnrFrequencies; ++k) f[k] = std::pow(10.0, static_cast<double>(k) / 75.0 - 2.0);
  return f;
}

// The Fourier amplitudes of `part` demeaned (its own mean) and tapered.
std::vector<double> prepared_amplitudes(std::span<const double> part, double dt) {
  std::vector<double> x(part.begin(), part.end());
  const double m = mean(x);
  for (double& v : x) v -= m;
  taper(x, kSnrTaper);
  return measures::fourier_amplitudes(x, dt);
}

// The lines of the three components' stretch [from, to), smoothed at
// snr_frequencies().
std::vector<std::vector<double>> smoothed(const std::array<std::vector<double>, 3>& lines, double dt,
                                          std::size_t from, std::size_t to, std::span<const double> fc) {
  const std::array<std::span<const double>, 3> spans{lines[0], lines[1], lines[2]};
  return measures::ko_smooth(measures::LineGrid{to - from, dt}, spans, fc,
                             measures::Smoothing{kSnrBandwidth, measures::KoWindow::main});
}

}  // namespace

std::span<const double> snr_frequencies() {
  static const std::array<double, kSnrFrequencies> f = make_snr_frequencies();
  return f;
}

double mean(std::span<const double> a) {
  double s = 0.0;
  for (double v : a) s += v;
  return a.empty() ? 0.0 : s / static_cast<double>(a.size());
}

double peak(std::span<const double> a) {
  double p = 0.0;
  for (double v : a) p = std::fmax(p, std::fabs(v));
  return p;
}

NoiseSpectra noise_spectra(const std::array<std::span<const double>, 3>& a, double dt, std::size_t onset,
                           double upto) {
  NoiseSpectra s;
  const std::size_t n = a[0].size();
  if (onset == 0 || onset >= n || a[1].size() != n || a[2].size() != n) return s;
  // The six transforms side by side: signal k (k < 3), noise k - 3.
  std::array<std::vector<double>, 3> signal_lines, noise_lines;
  run_jobs(6, [&](std::size_t k) {
    const std::size_t c = k % 3;
    if (k < 3) {
      signal_lines[c] = prepared_amplitudes(a[c].subspan(onset), dt);
    } else {
      noise_lines[c] = prepared_amplitudes(a[c].first(onset), dt);
    }
  });
  const std::span<const double> all = snr_frequencies();
  const auto count = static_cast<std::size_t>(std::upper_bound(all.begin(), all.end(), upto) - all.begin());
  std::vector<std::vector<double>> signal = smoothed(signal_lines, dt, onset, n, all.first(count));
  std::vector<std::vector<double>> noise = smoothed(noise_lines, dt, 0, onset, all.first(count));
  const double scale = std::sqrt(static_cast<double>(n - onset) / static_cast<double>(onset));
  for (std::size_t c = 0; c < 3; ++c) {
    for (double& v : noise[c]) v *= scale;
    s.signal[c] = std::move(signal[c]);
    s.noise[c] = std::move(noise[c]);
  }
  return s;
}

}  // namespace wavefft::correct
