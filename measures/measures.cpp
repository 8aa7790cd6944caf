// Units, the NGA-West2 periods and the ground-motion measures of one
// component (peaks, Arias intensity, CAV, significant durations).
#include "measures/measures.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace wavefft::measures {

std::optional<Unit> parse_unit(std::string_view word) {
  if (word == "g") return Unit::g;
  if (word == "gal") return Unit::gal;
  if (word == "m_s2") return Unit::m_s2;
  if (word == "mm_s2") return Unit::mm_s2;
  return std::nullopt;
}

std::string_view unit_word(Unit unit) {
  switch (unit) {
    case Unit::g: return "g";
    case Unit::gal: return "gal";
    case Unit::m_s2: return "m_s2";
    case Unit::mm_s2: return "mm_s2";
  }
  return "?";
}

double to_m_s2(Unit unit) {
  switch (unit) {
    case Unit::g: return kG;
    case Unit::gal: return 0.01;
    case Unit::m_s2: return 1.0;
    case Unit::mm_s2: return 0.001;
  }
  return 1.0;
}

namespace {

constexpr std::array<double, 111> kNgaWest2 = {
    0.01,  0.02,  0.022, 0.025, 0.029, 0.03,  0.032, 0.035, 0.036, 0.04, 0.042, 0.044, 0.045, 0.046,
    0.048, 0.05,  0.055, 0.06,  0.065, 0.067, 0.07,  0.075, 0.08,  0.085, 0.09, 0.095, 0.1,   0.11,
    0.12,  0.13,  0.133, 0.14,  0.15,  0.16,  0.17,  0.18,  0.19,  0.2,   0.22, 0.24,  0.25,  0.26,
    0.28,  0.29,  0.3,   0.32,  0.34,  0.35,  0.36,  0.38,  0.4,   0.42,  0.44, 0.45,  0.46,  0.48,
    0.5,   0.55,  0.6,   0.65,  0.667, 0.7,   0.75,  0.8,   0.85,  0.9,   0.95, 1,     1.1,   1.2,
    1.3,   1.4,   1.5,   1.6,   1.7,   1.8,   1.9,   2,     2.2,   2.4,   2.5,  2.6,   2.8,   3,
    3.2,   3.4,   3.5,   3.6,   3.8,   4,     4.2,   4.4,   4.6,   4.8,   5,    5.5,   6,     6.5,
    7,     7.5,   8,     8.5,   9,     9.5,   10,    11,    12,    13,    14,   15,    20};

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

std::span<const double> nga_west2_periods() { return kNgaWest2; }

Measures ground_motion(std::span<const double> a, double dt) {
  Measures m;
  const std::size_t n = a.size();
  if (n == 0) return m;
  double peak_a = std::fabs(a[0]);
  double v = 0.0, d = 0.0, peak_v = 0.0, peak_d = 0.0;
  double energy = 0.0, cav = 0.0;
  std::vector<double> cumulative(n, 0.0);  // trapezoid of a^2 up to t[i]
  for (std::size_t i = 1; i < n; ++i) {
    peak_a = std::max(peak_a, std::fabs(a[i]));
    const double v_next = v + dt * (a[i - 1] + a[i]) / 2.0;
    d = d + dt * (v + v_next) / 2.0;
    v = v_next;
    peak_v = std::max(peak_v, std::fabs(v));
    peak_d = std::max(peak_d, std::fabs(d));
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
