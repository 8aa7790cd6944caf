// SPDX-License-Identifier: GPL-3.0-or-later
// One step of a damped oscillator: the exact recurrence under an input
// that is linear over the step, and the rule that picks how many steps a
// sample interval is cut into.
#pragma once

#include <cstddef>
#include <optional>

namespace wavefft::measures {

/// The exact recurrence (Nigam and Jennings) of
///   u'' + 2 z w u' + w^2 u = -a(t),   w = 2 pi / T,
/// over one step of length h in which a(t) goes linearly from a0 to a1:
///   u1 = a11 u0 + a12 v0 + b11 a0 + b12 a1
///   v1 = a21 u0 + a22 v0 + b21 a0 + b22 a1
/// (v = u'). The coefficients come from the power series of the matrix
/// exponential and of its first two integrals, summed without subtracting
/// nearly equal terms: they keep full double precision where the textbook
/// closed forms cancel (long periods against short steps: T = 20 s,
/// h = 0.005 s loses eight digits there). The series needs w h (1 + 2 z)
/// below about 2, which the sub-step rule guarantees (w h <= 2 pi / 10).
struct StepCoefficients {
  double a11 = 0.0, a12 = 0.0, a21 = 0.0, a22 = 0.0;
  double b11 = 0.0, b12 = 0.0, b21 = 0.0, b22 = 0.0;
};
StepCoefficients step_coefficients(double period, double damping, double h);

/// The most sub-steps per sample interval that the spectra will take.
inline constexpr std::size_t kMaxSubSteps = 100000;

/// Sub-steps per sample interval so that the peak is sought at least ten
/// times per period: m = max(1, ceil(10 dt / T - 1e-9)). dt = 0.005,
/// T = 0.01 -> 5; T = 0.05 -> 1 (10 dt / T is 1 up to rounding). nullopt
/// when m would exceed kMaxSubSteps or dt / T is not finite.
std::optional<std::size_t> sub_steps(double dt, double period);

}  // namespace wavefft::measures
