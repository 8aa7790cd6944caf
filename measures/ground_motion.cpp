// SPDX-License-Identifier: GPL-3.0-or-later
// The ground-motion measures of one component (peaks, Arias intensity,
// CAV, significant durations) and the way in from a record's unit.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "measures/measures.h"
#include "measures/trapezoid.h"

namespace wavefft::measures {

namespace {

constexpr double kG = common::kStandardGravity;

// The time at which the Husid curve `h` (ascending from 0 to 1) first
// reaches `p`, linear between the two samples that bracket it.
// h = {0, 0.5, 1}, dt = 0.5, p = 0.75 -> 0.75.
double husid_time(const std::vector<double>& h, double dt, double p) {
  std::size_t i = 1;
  while (i + 1 < h.size() && h[i] < p) ++i;
  const double lo = h[i - 1];
  const double hi = h[i];
  const double t0 = static_cast<double>(i - 1) * dt;
  // hi >= p > lo, so the step is positive; hi == p gives t[i].
  return t0 + dt * (p - lo) / (hi - lo);
}

}  // namespace

bool scale_to_m_s2(std::span<double> values, Unit unit) {
  if (!common::is_acceleration(unit)) return false;
  const double scale = common::metres_per_s2(unit);
  for (double& x : values) x *= scale;
  return true;
}

Measures ground_motion(std::span<const double> a, double dt) {
  Measures m;
  const std::size_t n = a.size();
  if (n == 0) return m;
  double peak_a = std::fabs(a[0]);
  Trapezoid u;
  double peak_v = 0.0, peak_d = 0.0;
  double energy = 0.0, cav = 0.0;
  std::vector<double> cumulative(n, 0.0);  // trapezoid of a^2 up to t[i]
  for (std::size_t i = 1; i < n; ++i) {
    peak_a = std::max(peak_a, std::fabs(a[i]));
    u.step(a[i - 1], a[i], dt);
    peak_v = std::max(peak_v, std::fabs(u.v));
    peak_d = std::max(peak_d, std::fabs(u.d));
    energy = energy + dt * (a[i - 1] * a[i - 1] + a[i] * a[i]) / 2.0;
    cav = cav + dt * (std::fabs(a[i - 1]) + std::fabs(a[i])) / 2.0;
    cumulative[i] = energy;
  }
  m.pga = peak_a / kG;
  m.pgv = peak_v * 100.0;
  m.pgd = peak_d * 100.0;
  m.arias = std::numbers::pi / (2.0 * kG) * energy;
  m.cav = cav;

  // A record of zeros has no Husid curve; neither has one whose energy
  // overflowed.
  if (!(energy > 0.0) || !std::isfinite(energy)) return m;
  for (double& h : cumulative) h /= energy;
  const double t5 = husid_time(cumulative, dt, 0.05);
  m.d5_75 = husid_time(cumulative, dt, 0.75) - t5;
  m.d5_95 = husid_time(cumulative, dt, 0.95) - t5;
  return m;
}

}  // namespace wavefft::measures
