// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the steps of a correction; private to this folder.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace wavefft::correct {

/// n + ceil(1.5 order / (highpass dt)), the length the filter pads to;
/// empty when that exceeds kMaxTransform or is not a number.
std::optional<std::size_t> padded_length(std::size_t n, double dt, double highpass, int order);

/// The mean of `a` (0 for an empty span).
double mean(std::span<const double> a);

/// The largest |a| (0 for an empty span).
double peak(std::span<const double> a);

/// Calls job(k) once for every k in 0 .. jobs - 1, on as many threads as
/// the machine has; when a job throws, the first exception is thrown again
/// here once every job has returned.
void run_jobs(std::size_t jobs, const std::function<void(std::size_t)>& job);

/// The baseline fit of remove_baseline for records of n samples: the
/// orthonormal basis of t^2 .. t^6 is built once and serves every
/// component and every pass.
class PolynomialBaseline {
 public:
  static constexpr std::size_t kTerms = 5;  // t^2 .. t^6
  explicit PolynomialBaseline(std::size_t n);
  /// remove_baseline on `a` (n samples; any other length is left alone).
  void remove(std::span<double> a, double dt) const;

 private:
  std::array<double, kTerms> fit(std::span<const double> d) const;
  std::size_t n_;
  std::array<std::vector<double>, kTerms> q_;
  std::array<std::array<double, kTerms>, kTerms> r_{};  // r_[j][k]: power k on column j
  std::array<bool, kTerms> kept_{};
};

}  // namespace wavefft::correct
