// SPDX-License-Identifier: GPL-3.0-or-later
// The oscillator's one-step coefficients by power series, and the
// sub-step rule.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "measures/step.h"

namespace wavefft::measures {

namespace {

// 2 x 2 matrix, row-major.
struct Mat2 {
  double m00 = 0.0, m01 = 0.0, m10 = 0.0, m11 = 0.0;
};

Mat2 times(const Mat2& p, const Mat2& q) {
  return {p.m00 * q.m00 + p.m01 * q.m10, p.m00 * q.m01 + p.m01 * q.m11, p.m10 * q.m00 + p.m11 * q.m10,
          p.m10 * q.m01 + p.m11 * q.m11};
}

void add_scaled(Mat2& sum, const Mat2& t, double s) {
  sum.m00 += t.m00 * s;
  sum.m01 += t.m01 * s;
  sum.m10 += t.m10 * s;
  sum.m11 += t.m11 * s;
}

double largest(const Mat2& t) {
  return std::max(std::max(std::fabs(t.m00), std::fabs(t.m01)), std::max(std::fabs(t.m10), std::fabs(t.m11)));
}

}  // namespace

StepCoefficients step_coefficients(double period, double damping, double h) {
  const double w = 2.0 * std::numbers::pi / period;
  const double x = w * h;
  // In the scaled state y = (u, v / w) the system is y' = w K y + (0, -a/w)
  // with K = [[0, 1], [-1, -2 z]]; over one step X = w h K and
  //   y(h) = E y(0) - (h / w) (Q a0 + P a1) e2,
  //   E = sum X^j / j!,  P = sum X^j / (j + 2)!,  Q = sum X^j (j + 1) / (j + 2)!
  // (P and Q weigh the input's two end values: the integrals of
  // e^(X s) (1 - s) and e^(X s) s over s in [0, 1], written so that no
  // difference of nearly equal sums is formed).
  const Mat2 xm{0.0, x, -x, -2.0 * damping * x};
  Mat2 term{1.0, 0.0, 0.0, 1.0};  // X^j / j!
  Mat2 e{}, p{}, q{};
  const double tiny = 1e-19 * std::min(1.0, x);
  for (int j = 0; j < 80; ++j) {
    const double jd = static_cast<double>(j);
    add_scaled(e, term, 1.0);
    add_scaled(p, term, 1.0 / ((jd + 1.0) * (jd + 2.0)));
    add_scaled(q, term, 1.0 / (jd + 2.0));
    term = times(term, xm);
    const double inv = 1.0 / (jd + 1.0);
    term = {term.m00 * inv, term.m01 * inv, term.m10 * inv, term.m11 * inv};
    if (j >= 2 && !(largest(term) > tiny)) break;
  }
  const double h_w = h / w;
  StepCoefficients c;
  c.a11 = e.m00;
  c.a12 = e.m01 / w;
  c.a21 = e.m10 * w;
  c.a22 = e.m11;
  c.b11 = -h_w * q.m01;
  c.b12 = -h_w * p.m01;
  c.b21 = -h * q.m11;
  c.b22 = -h * p.m11;
  return c;
}

std::optional<std::size_t> sub_steps(double dt, double period) {
  const double x = 10.0 * dt / period - 1e-9;
  // NaN and infinity fail this test too.
  if (!(x <= static_cast<double>(kMaxSubSteps))) return std::nullopt;
  // 10 dt / T = 0.4 -> 1; 2.5 -> 3; 1.0000000001 -> 1 (the 1e-9 absorbs rounding).
  if (x <= 1.0) return 1;
  return static_cast<std::size_t>(std::ceil(x));
}

}  // namespace wavefft::measures
