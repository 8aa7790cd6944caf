// SPDX-License-Identifier: GPL-3.0-or-later
// The velocity and displacement of an acceleration record by the trapezoid
// rule, one sample at a time: the one integration behind PGV and PGD, of
// each component and of the horizontals' RotD50.
#pragma once

namespace wavefft::measures {

/// v and d at t[i], from v = d = 0 at t[0]. step(a[i-1], a[i], dt) moves
/// them to t[i]:
///   v[i] = v[i-1] + dt (a[i-1] + a[i]) / 2,
///   d[i] = d[i-1] + dt (v[i-1] + v[i]) / 2.
/// a = {0, 2, 0}, dt = 0.5: v = {0, 0.5, 1}, d = {0, 0.125, 0.5}.
struct Trapezoid {
  double v = 0.0;
  double d = 0.0;
  void step(double a_prev, double a, double dt) {
    const double v_next = v + dt * (a_prev + a) / 2.0;
    d = d + dt * (v + v_next) / 2.0;
    v = v_next;
  }
};

}  // namespace wavefft::measures
