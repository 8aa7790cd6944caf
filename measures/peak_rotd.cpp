// SPDX-License-Identifier: GPL-3.0-or-later
// PGA, PGV and PGD RotD50 of the two horizontals: the accelerations, and
// the velocities and displacements integrated as they come, each pair fed
// to a convex hull of its points whose 180 peaks give the median.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "measures/measures.h"
#include "measures/peak_hull.h"
#include "measures/trapezoid.h"

namespace wavefft::measures {

namespace {

// Samples of v and d integrated before their points go to the hulls
// together (add_strided drops those inside the hull in one pass).
constexpr std::size_t kBlock = 256;

// The RotD50 of a stream of points through their hull, or infinity once a
// point is not finite (an integral that overflowed): the component's own
// peak in ground_motion is infinite then too.
class MedianPeak {
 public:
  void add(const double* x, const double* y, std::size_t count) {
    if (!finite_) return;
    bool all = true;
    for (std::size_t k = 0; k < count; ++k) all = all && std::isfinite(x[k]) && std::isfinite(y[k]);
    if (all) {
      hull_.add_strided(x, y, count, 1);
    } else {
      finite_ = false;
    }
  }
  double value() { return finite_ ? rotd_median_max(hull_.peaks())[0] : HUGE_VAL; }

 private:
  PeakHull hull_;
  bool finite_ = true;
};

}  // namespace

PeakRotD50 peak_rotd50(std::span<const double> a1, std::span<const double> a2, double dt) {
  if (a1.size() != a2.size()) throw std::invalid_argument("peak_rotd50: the two horizontals differ in length");
  const std::size_t n = a1.size();
  MedianPeak acc, vel, disp;
  acc.add(a1.data(), a2.data(), n);
  // v and d are 0 at t[0]: their points start at t[1].
  Trapezoid u1, u2;
  std::array<double, kBlock> v1, v2, d1, d2;
  for (std::size_t i = 1; i < n;) {
    const std::size_t count = std::min(kBlock, n - i);
    for (std::size_t k = 0; k < count; ++k, ++i) {
      u1.step(a1[i - 1], a1[i], dt);
      u2.step(a2[i - 1], a2[i], dt);
      v1[k] = u1.v;
      v2[k] = u2.v;
      d1[k] = u1.d;
      d2[k] = u2.d;
    }
    vel.add(v1.data(), v2.data(), count);
    disp.add(d1.data(), d2.data(), count);
  }
  return {acc.value() / common::kStandardGravity, vel.value() * 100.0, disp.value() * 100.0};
}

}  // namespace wavefft::measures
