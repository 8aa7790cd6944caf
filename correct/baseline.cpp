// SPDX-License-Identifier: GPL-3.0-or-later
// Integration by trapezoids and the polynomial baseline: the displacement
// fitted with t^2 .. t^6 by least squares, and the fit's second derivative
// taken from the acceleration. The fit is solved on time scaled to [0, 1]
// by a QR factorisation (modified Gram-Schmidt, run twice), never by
// normal equations in seconds, whose matrix holds t^12 sums.
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "correct/correct.h"
#include "correct/steps.h"

namespace wavefft::correct {

std::vector<double> integrate(std::span<const double> x, double dt) {
  std::vector<double> out(x.size(), 0.0);
  for (std::size_t i = 1; i < x.size(); ++i) out[i] = out[i - 1] + dt * (x[i - 1] + x[i]) / 2.0;
  return out;
}

namespace {

double dot(std::span<const double> x, std::span<const double> y) {
  double s = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) s += x[i] * y[i];
  return s;
}

// y -= c x
void subtract(std::vector<double>& y, double c, const std::vector<double>& x) {
  for (std::size_t i = 0; i < y.size(); ++i) y[i] -= c * x[i];
}

double scaled_time(std::size_t i, std::size_t n) { return static_cast<double>(i) / static_cast<double>(n - 1); }

}  // namespace

// Q's columns are built from the powers tau^2 .. tau^6, tau = i / (n-1), one
// by one, each made orthogonal to the earlier ones twice over; a power that
// adds nothing new (fewer samples than terms) is left out and keeps a zero
// coefficient.
PolynomialBaseline::PolynomialBaseline(std::size_t n) : n_(n) {
  if (n < 2) return;
  std::vector<double> power(n);
  for (std::size_t i = 0; i < n; ++i) power[i] = scaled_time(i, n) * scaled_time(i, n);
  for (std::size_t k = 0; k < kTerms; ++k) {
    if (k > 0) {
      for (std::size_t i = 0; i < n; ++i) power[i] *= scaled_time(i, n);
    }
    std::vector<double> col = power;
    const double norm0 = std::sqrt(dot(col, col));
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t j = 0; j < k; ++j) {
        if (!kept_[j]) continue;
        const double c = dot(q_[j], col);
        r_[j][k] += c;
        subtract(col, c, q_[j]);
      }
    }
    const double norm = std::sqrt(dot(col, col));
    kept_[k] = norm > 1e-10 * norm0;
    if (!kept_[k]) continue;
    for (double& v : col) v /= norm;
    r_[k][k] = norm;
    q_[k] = std::move(col);
  }
}

// R b = Q^T d, back substitution over the kept columns; Q^T d summed as
// the displacement is integrated from `a`.
std::array<double, PolynomialBaseline::kTerms> PolynomialBaseline::fit(std::span<const double> a, double dt) const {
  std::array<double, kTerms> qd{};
  integrate_twice(a, dt, [&](std::size_t i, double, double d) {
    for (std::size_t k = 0; k < kTerms; ++k) {
      if (kept_[k]) qd[k] += q_[k][i] * d;
    }
  });
  std::array<double, kTerms> b{};
  for (std::size_t k = kTerms; k-- > 0;) {
    if (!kept_[k]) continue;
    double s = qd[k];
    for (std::size_t j = k + 1; j < kTerms; ++j) s -= r_[k][j] * b[j];
    b[k] = s / r_[k][k];
  }
  return b;
}

// d(t) = sum_p b_p (t/T)^p, T = (n-1) dt -> d''(t) = sum_p p (p-1) b_p (t/T)^(p-2) / T^2.
void PolynomialBaseline::remove(std::span<double> a, double dt) const {
  if (n_ < 2 || a.size() != n_) return;
  const std::array<double, kTerms> b = fit(a, dt);
  const double span = static_cast<double>(n_ - 1) * dt;
  for (std::size_t i = 0; i < n_; ++i) {
    const double tau = scaled_time(i, n_);
    double second = 0.0;
    for (std::size_t k = kTerms; k-- > 0;) {
      const double p = static_cast<double>(k) + 2.0;
      second = second * tau + p * (p - 1.0) * b[k];
    }
    a[i] -= second / (span * span);
  }
}

void remove_baseline(std::span<double> a, double dt) { PolynomialBaseline(a.size()).remove(a, dt); }

}  // namespace wavefft::correct
