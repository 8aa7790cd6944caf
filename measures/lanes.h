// SPDX-License-Identifier: GPL-3.0-or-later
// kLanes oscillators of one component advanced in lockstep (structure of
// arrays, so that the loop over the lanes runs in vector registers), with
// the instruction set picked once at run time.
#pragma once

#include <cstddef>

namespace wavefft::measures {

/// Oscillators (periods) advanced together.
inline constexpr std::size_t kLanes = 8;

/// The step coefficients (StepCoefficients) of kLanes oscillators.
struct Lanes {
  alignas(64) double a11[kLanes]{}, a12[kLanes]{}, a21[kLanes]{}, a22[kLanes]{};
  alignas(64) double b11[kLanes]{}, b12[kLanes]{}, b21[kLanes]{}, b22[kLanes]{};
};

/// The state of kLanes oscillators of one component: displacement,
/// velocity and the peak of |displacement| so far.
struct State {
  alignas(64) double u[kLanes]{}, v[kLanes]{}, peak[kLanes]{};
};

/// The lanes advance_lanes runs for `used` lanes in use (1 .. kLanes): 2, 4
/// or kLanes, the fewest that hold them (3 -> 4). A batch of few periods
/// does not pay for the empty lanes.
std::size_t lane_width(std::size_t used);

/// Advances the first lane_width(used) lanes over `count` sub-steps whose
/// input goes from f[k] to f[k + 1] (f holds count + 1 values), and writes u
/// after sub-step k to out[k * kLanes + lane]:
///   u' = a11 u + a12 v + b11 f0 + b12 f1,  v' = a21 u + a22 v + b21 f0 + b22 f1,
///   peak = max(peak, |u'|),
/// each sum from the left. Every lane rounds the same whatever the width
/// and the instruction set (base or AVX2, chosen by what the processor has;
/// no fused multiply-add in either). `out` must not overlap `f` or `st`.
void advance_lanes(std::size_t used, const Lanes& c, State& st, const double* f, std::size_t count, double* out);

}  // namespace wavefft::measures
