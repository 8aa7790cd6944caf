// SPDX-License-Identifier: GPL-3.0-or-later
// The Fourier amplitudes of the three components, their EAS, and the way
// both are smoothed at the output frequencies.
#include "measures/fas.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <stdexcept>
#include <string>

#include "common/units.h"
#include "fourier/real_transform.h"

namespace wavefft::measures {

namespace {

constexpr std::size_t kDefaultFrequencies = 401;

// 10^(j/100 - 2), j = 0 .. 400: the exponent exact at every whole decade,
// so 0.01, 0.1, 1, 10 and 100 are those numbers.
std::vector<double> default_frequencies() {
  std::vector<double> f(kDefaultFrequencies);
  for (std::size_t j = 0; j < f.size(); ++j) f[j] = std::pow(10.0, static_cast<double>(j) / 100.0 - 2.0);
  return f;
}

// Below this, a sum of two squares has lost bits to underflow (or is close).
constexpr double kSmallestSafeSquare = 0x1p-960;

void check_arguments(const std::array<std::span<const double>, 3>& a, double dt, std::span<const double> frequencies) {
  if (!(dt > 0.0) || !std::isfinite(dt)) throw std::invalid_argument("the sample interval must be a positive number");
  if (a[0].empty()) throw std::invalid_argument("the record has no samples");
  if (a[1].size() != a[0].size() || a[2].size() != a[0].size()) {
    throw std::invalid_argument("the three components differ in length");
  }
  for (double f : frequencies) {
    if (!(f > 0.0) || !std::isfinite(f)) throw std::invalid_argument("an output frequency is not a positive number");
  }
}

void check_finite(std::span<const double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) throw std::invalid_argument("the record's values are too large for a Fourier spectrum");
  }
}

}  // namespace

std::span<const double> fas_frequencies() {
  static const std::vector<double> f = default_frequencies();
  return f;
}

double LineGrid::frequency(std::size_t j) const { return static_cast<double>(j) / (static_cast<double>(n) * dt); }

double LineGrid::nyquist() const { return 1.0 / (2.0 * dt); }

std::vector<double> fourier_amplitudes(std::span<const double> a, double dt) {
  const std::vector<std::complex<double>> lines = fourier::forward_real(a);
  std::vector<double> f(lines.size());
  for (std::size_t j = 0; j < lines.size(); ++j) f[j] = dt * std::abs(lines[j]);
  return f;
}

std::vector<double> effective_amplitudes(std::span<const double> f1, std::span<const double> f2) {
  if (f1.size() != f2.size()) throw std::invalid_argument("the two horizontals differ in length");
  std::vector<double> e(f1.size());
  for (std::size_t j = 0; j < e.size(); ++j) {
    const double s = f1[j] * f1[j] + f2[j] * f2[j];
    if (s >= kSmallestSafeSquare && s <= std::numeric_limits<double>::max()) {
      e[j] = std::sqrt(s / 2.0);
      continue;
    }
    // Squares that overflow or underflow: the same mean of squares, scaled
    // by the larger amplitude.
    const double m = std::max(f1[j], f2[j]);
    if (!(m > 0.0)) {
      e[j] = 0.0;
      continue;
    }
    const double r1 = f1[j] / m;
    const double r2 = f2[j] / m;
    e[j] = m * std::sqrt((r1 * r1 + r2 * r2) / 2.0);
  }
  return e;
}

FourierSpectra fourier_spectra(const std::array<std::span<const double>, 3>& a, double dt,
                               std::span<const double> frequencies, const Smoothing& smoothing, unsigned threads) {
  check_arguments(a, dt, frequencies);
  FourierSpectra s;
  s.grid = LineGrid{a[0].size(), dt};
  // dt |X| / g: the amplitudes of the record converted to g.
  for (std::size_t c = 0; c < 3; ++c) {
    s.lines[c] = fourier_amplitudes(a[c], dt);
    for (double& v : s.lines[c]) v /= common::kStandardGravity;
    check_finite(s.lines[c]);
  }
  s.eas_lines = effective_amplitudes(s.lines[0], s.lines[1]);
  s.frequencies.assign(frequencies.begin(), frequencies.end());
  const std::array<std::span<const double>, 4> all{s.lines[0], s.lines[1], s.lines[2], s.eas_lines};
  std::vector<std::vector<double>> smoothed = ko_smooth(s.grid, all, frequencies, smoothing, threads);
  for (std::size_t c = 0; c < 3; ++c) s.fas[c] = std::move(smoothed[c]);
  s.eas = std::move(smoothed[3]);
  return s;
}

}  // namespace wavefft::measures
