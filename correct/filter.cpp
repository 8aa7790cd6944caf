// SPDX-License-Identifier: GPL-3.0-or-later
// The cosine taper and the acausal Butterworth band-pass, applied to the
// zero-padded record's transform.
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "correct/correct.h"
#include "correct/steps.h"
#include "fourier/real_transform.h"

namespace wavefft::correct {

void taper(std::span<double> a, double frac) {
  const std::size_t n = a.size();
  const auto m = static_cast<std::size_t>(std::floor(frac * static_cast<double>(n)));
  if (m == 0 || 2 * m > n) return;
  for (std::size_t i = 0; i < m; ++i) {
    const double w = 0.5 * (1.0 - std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(m)));
    a[i] *= w;
    a[n - 1 - i] *= w;
  }
}

double butterworth_gain(double f, double highpass, std::optional<double> lowpass, int order) {
  if (f == 0.0) return 0.0;
  const double twice = 2.0 * static_cast<double>(order);
  double h = 1.0 / std::sqrt(1.0 + std::pow(highpass / f, twice));
  if (lowpass) h *= 1.0 / std::sqrt(1.0 + std::pow(f / *lowpass, twice));
  return h;
}

std::optional<std::size_t> padded_length(std::size_t n, double dt, double highpass, int order) {
  const double pad = std::ceil(1.5 * static_cast<double>(order) / (highpass * dt));
  if (!(pad >= 0.0) || !(pad <= static_cast<double>(kMaxTransform - std::min(n, kMaxTransform)))) {
    return std::nullopt;
  }
  return n + static_cast<std::size_t>(pad);
}

Butterworth make_butterworth(std::size_t n, double dt, double highpass, std::optional<double> lowpass, int order) {
  const std::optional<std::size_t> padded = padded_length(n, dt, highpass, order);
  if (!padded) throw std::invalid_argument("the high-pass corner needs too long a transform");
  Butterworth f;
  f.length = *padded;
  f.gain.resize(f.length / 2 + 1);
  const double span = static_cast<double>(f.length) * dt;
  for (std::size_t j = 0; j < f.gain.size(); ++j) {
    f.gain[j] = butterworth_gain(static_cast<double>(j) / span, highpass, lowpass, order);
  }
  return f;
}

std::vector<double> filtered(const Butterworth& f, std::span<const double> a) {
  std::vector<double> x = fourier::filter_real(a, f.length, f.gain);
  for (double& v : x) v /= static_cast<double>(f.length);
  return x;
}

std::array<std::vector<double>, 2> filtered_pair(const Butterworth& f, std::span<const double> a1,
                                                 std::span<const double> a2) {
  std::array<std::vector<double>, 2> y = fourier::filter_real_pair(a1, a2, f.length, f.gain);
  for (std::vector<double>& x : y) {
    for (double& v : x) v /= static_cast<double>(f.length);
  }
  return y;
}

std::vector<double> butterworth(std::span<const double> a, double dt, double highpass,
                                std::optional<double> lowpass, int order) {
  return filtered(make_butterworth(a.size(), dt, highpass, lowpass, order), a);
}

}  // namespace wavefft::correct
