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

/// Calls visit(i, v, d) for i = 0 .. n-1 with v and d the cumulative
/// trapezoids of `a` and of v (the values integrate() gives, without
/// storing them).
template <typename Visit>
void integrate_twice(std::span<const double> a, double dt, Visit visit) {
  double v = 0.0, d = 0.0;
  if (!a.empty()) visit(std::size_t{0}, v, d);
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double next = v + dt * (a[i - 1] + a[i]) / 2.0;
    d = d + dt * (v + next) / 2.0;
    v = next;
    visit(i, v, d);
  }
}

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
  std::array<double, kTerms> fit(std::span<const double> a, double dt) const;
  std::size_t n_;
  std::array<std::vector<double>, kTerms> q_;
  std::array<std::array<double, kTerms>, kTerms> r_{};  // r_[j][k]: power k on column j
  std::array<bool, kTerms> kept_{};
};

}  // namespace wavefft::correct
