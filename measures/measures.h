// SPDX-License-Identifier: GPL-3.0-or-later
// Ground-motion measures and response spectra of an acceleration record:
// peak acceleration, velocity and displacement, Arias intensity, cumulative
// absolute velocity, significant durations, the RotD50 of the three peaks
// of the two horizontals, the pseudo-spectral acceleration of a damped
// single-degree-of-freedom oscillator per component, and the
// rotation-independent RotD50 and RotD100 of the two horizontals. Arrays
// in, structs out: nothing here reads or writes files (the records come
// from wavefft_records).
//
// Shared by wavefft-measures and wavefft-report.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "common/units.h"

namespace wavefft::measures {

/// The unit of a record's values, in the tools' one vocabulary. Everything
/// below takes m/s^2; scale_to_m_s2 is the way in from a record's unit.
using Unit = common::Unit;

/// `values` in `unit` turned into m/s^2 in place, each multiplied by
/// common::metres_per_s2(unit) (gal: {150} -> {1.5}). False, `values`
/// untouched, for a unit that is no acceleration (none, counts): such
/// values have no measures.
bool scale_to_m_s2(std::span<double> values, Unit unit);

/// The measures of one component.
struct Measures {
  double pga = 0.0;    // g
  double pgv = 0.0;    // cm/s
  double pgd = 0.0;    // cm
  double arias = 0.0;  // m/s
  double cav = 0.0;    // m/s
  std::optional<double> d5_75;  // s; empty for a record of zeros
  std::optional<double> d5_95;  // s
};

/// The measures of one component `a` (m/s^2) sampled every `dt` seconds,
/// by the definitions of the wavefft-measures manual page.
Measures ground_motion(std::span<const double> a, double dt);

/// The RotD50 of the peaks of the two horizontals.
struct PeakRotD50 {
  double pga = 0.0;  // g
  double pgv = 0.0;  // cm/s
  double pgd = 0.0;  // cm
};

/// PGA, PGV and PGD RotD50 of the horizontals `a1` and `a2` (m/s^2, the
/// same length) sampled every `dt` seconds: for each of the 180 angles
/// theta = 0, 1, ..., 179 degrees the peak over time of
/// |x1 cos(theta) + x2 sin(theta)|, x the accelerations, then the
/// velocities, then the displacements (each integrated as ground_motion
/// integrates them), and the median of the 180 peaks (the mean of the 90th
/// and 91st in ascending order), in ground_motion's units. All 0 for no
/// samples; infinity for a measure whose values or integrals are not all
/// finite (ground_motion's peak is infinite then too). Throws
/// std::invalid_argument when the lengths differ.
PeakRotD50 peak_rotd50(std::span<const double> a1, std::span<const double> a2, double dt);

/// The 111 periods of the NGA-West2 set, 0.01 s to 20 s, ascending.
std::span<const double> nga_west2_periods();

/// One row of the response spectra: a period and a damping ratio.
struct SpectrumRow {
  double period = 0.0;   // s
  double damping = 0.0;  // ratio of critical
  std::array<double, 3> psa{};  // g, components 1, 2, 3
  double rotd50 = 0.0;   // g, components 1 and 2
  double rotd100 = 0.0;  // g
};

/// Response spectra of the three components (m/s^2, the same length, at
/// least two samples, interval `dt` > 0): one row per damping and period,
/// dampings in the order given, periods in the order given within each.
/// Periods must be > 0, dampings in (0, 1). `threads` 0 means as many as
/// the machine has. Throws std::invalid_argument when an argument breaks
/// these rules.
std::vector<SpectrumRow> response_spectra(const std::array<std::span<const double>, 3>& a, double dt,
                                          std::span<const double> periods, std::span<const double> dampings,
                                          unsigned threads = 0);

}  // namespace wavefft::measures
