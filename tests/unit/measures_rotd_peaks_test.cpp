// SPDX-License-Identifier: GPL-3.0-or-later
// PGA, PGV and PGD RotD50 of the two horizontals (peak_rotd50) against a
// brute force that projects the accelerations on each of the 180 angles,
// integrates each projection with its own trapezoid and sorts the peaks;
// against closed forms for a single component and for a hand record; and
// on records of zeros, of one sample, of unequal lengths and of values whose
// integrals overflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "measures/measures.h"

namespace wavefft::measures {
namespace {

constexpr double kG = 9.80665;

double degrees(double d) { return d * std::numbers::pi / 180.0; }

// The median of 180 peaks: the mean of the 90th and 91st in ascending order.
double median(std::array<double, 180> p) {
  std::sort(p.begin(), p.end());
  return (p[89] + p[90]) / 2.0;
}

// The definition, angle by angle: x = a1 cos(theta) + a2 sin(theta), then
// v and d of x by the trapezoid from 0, and the peak of each over time.
PeakRotD50 brute_force(const std::vector<double>& a1, const std::vector<double>& a2, double dt) {
  std::array<double, 180> pa{}, pv{}, pd{};
  for (std::size_t k = 0; k < 180; ++k) {
    const double c = std::cos(degrees(static_cast<double>(k))), s = std::sin(degrees(static_cast<double>(k)));
    double x_prev = a1[0] * c + a2[0] * s;
    double v = 0.0, d = 0.0;
    pa[k] = std::fabs(x_prev);
    for (std::size_t i = 1; i < a1.size(); ++i) {
      const double x = a1[i] * c + a2[i] * s;
      const double v_next = v + dt * (x_prev + x) / 2.0;
      d += dt * (v + v_next) / 2.0;
      v = v_next;
      x_prev = x;
      pa[k] = std::max(pa[k], std::fabs(x));
      pv[k] = std::max(pv[k], std::fabs(v));
      pd[k] = std::max(pd[k], std::fabs(d));
    }
  }
  return {median(pa) / kG, median(pv) * 100.0, median(pd) * 100.0};
}

void expect_close(const PeakRotD50& got, const PeakRotD50& want, double rel, const std::string& what) {
  EXPECT_NEAR(got.pga, want.pga, rel * want.pga) << what << ": pga";
  EXPECT_NEAR(got.pgv, want.pgv, rel * want.pgv) << what << ": pgv";
  EXPECT_NEAR(got.pgd, want.pgd, rel * want.pgd) << what << ": pgd";
}

// Pseudo-random horizontals, seeded: `n` samples of noise under an
// envelope that rises and decays; a2 partly follows a1 (`coupling`), so that the
// points lie in a tilted ellipse and the median differs from either
// component's peak.
struct Pair {
  std::vector<double> a1, a2;
};
Pair noise_record(std::size_t n, unsigned seed, double coupling) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> g(0.0, 1.0);
  Pair p{std::vector<double>(n), std::vector<double>(n)};
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    const double envelope = 2.0 * (t / 0.15) * std::exp(1.0 - t / 0.15);  // m/s^2, largest at 0.15 n
    p.a1[i] = envelope * g(gen);
    p.a2[i] = coupling * p.a1[i] + (1.0 - coupling) * envelope * g(gen);
  }
  return p;
}

TEST(MeasuresRotdPeaks, RandomRecordsMatchTheBruteForce) {
  struct Case {
    std::size_t n;
    unsigned seed;
    double coupling;
    double dt;
  };
  for (const Case c : {Case{3000, 1, 0.0, 0.01}, Case{4096, 7, 0.8, 0.005}, Case{5001, 42, -0.5, 0.02}}) {
    const Pair p = noise_record(c.n, c.seed, c.coupling);
    const std::string what = "n " + std::to_string(c.n) + " seed " + std::to_string(c.seed);
    const PeakRotD50 got = peak_rotd50(p.a1, p.a2, c.dt);
    ASSERT_GT(got.pga * got.pgv * got.pgd, 0.0) << what;
    expect_close(got, brute_force(p.a1, p.a2, c.dt), 1e-12, what);
  }
}

TEST(MeasuresRotdPeaks, OneComponentIsItsPeakTimesTheMedianCosine) {
  // With a2 = 0 the peak at theta is |cos theta| times a1's own peak. The
  // 180 values |cos k| are 0 and 1 once and cos 1 .. cos 89 degrees twice
  // each, so the 90th and 91st in ascending order are both cos 45 (at 45
  // and 135 degrees). With a1 = 0 the |sin k| are the same values.
  const Pair p = noise_record(3000, 3, 0.0);
  const std::vector<double> zeros(p.a1.size(), 0.0);
  const double factor = std::numbers::sqrt2 / 2.0;
  const Measures m = ground_motion(p.a1, 0.01);
  const PeakRotD50 scaled{m.pga * factor, m.pgv * factor, m.pgd * factor};
  for (const bool first : {true, false}) {
    const std::vector<double>& a1 = first ? p.a1 : zeros;
    const std::vector<double>& a2 = first ? zeros : p.a1;
    const std::string what = first ? "a2 = 0" : "a1 = 0";
    const PeakRotD50 got = peak_rotd50(a1, a2, 0.01);
    expect_close(got, brute_force(a1, a2, 0.01), 1e-12, what);
    expect_close(got, scaled, 1e-12, what);
  }
}

TEST(MeasuresRotdPeaks, HandRecord) {
  // a1 = {0, 2, 0}, a2 = {1, 1, 1}, dt 0.5: both give v = {0, 0.5, 1} m/s
  // and d = {0, 0.125, 0.5} m, so v and d at theta are (cos + sin) times
  // a1's, sqrt(2) |cos(theta - 45)| times: theta - 45 runs over every whole
  // degree modulo 180, so the median is sqrt(2) cos 45 = 1 (at 0 and 90
  // degrees, where the projection is exact) of 1 m/s and 0.5 m.
  const PeakRotD50 got = peak_rotd50(std::vector<double>{0.0, 2.0, 0.0}, std::vector<double>{1.0, 1.0, 1.0}, 0.5);
  EXPECT_EQ(got.pgv, 100.0);
  EXPECT_EQ(got.pgd, 50.0);
  // The accelerations: max(|sin|, |2 cos + sin|) per angle, the brute force's.
  EXPECT_NEAR(got.pga, brute_force({0.0, 2.0, 0.0}, {1.0, 1.0, 1.0}, 0.5).pga, 1e-15);
}

TEST(MeasuresRotdPeaks, DegenerateRecords) {
  // Zeros: every peak 0, exactly.
  const std::vector<double> zeros(4000, 0.0);
  const PeakRotD50 z = peak_rotd50(zeros, zeros, 0.01);
  EXPECT_EQ(z.pga, 0.0);
  EXPECT_EQ(z.pgv, 0.0);
  EXPECT_EQ(z.pgd, 0.0);
  // No samples: 0; one sample: its acceleration only.
  const PeakRotD50 e = peak_rotd50({}, {}, 0.01);
  EXPECT_EQ(e.pga + e.pgv + e.pgd, 0.0);
  const PeakRotD50 one = peak_rotd50(std::vector<double>{3.0}, std::vector<double>{-4.0}, 0.01);
  EXPECT_NEAR(one.pga, brute_force({3.0}, {-4.0}, 0.01).pga, 1e-15);
  EXPECT_GT(one.pga, 0.0);
  EXPECT_EQ(one.pgv + one.pgd, 0.0);
  // Horizontals of unequal lengths are refused.
  EXPECT_THROW(peak_rotd50(std::vector<double>(3, 1.0), std::vector<double>(2, 1.0), 0.01), std::invalid_argument);
}

TEST(MeasuresRotdPeaks, OverflowingIntegralsAreInfinite) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  // A constant 1e303 m/s^2 for 999 s (dt 1): v = 1e303 t stays finite, in
  // cm/s too, d = 1e303 t^2 / 2 overflows from t = 599 on. The accelerations
  // and velocities keep their brute-force RotD50, the displacements' is
  // infinite, as ground_motion's PGD is.
  const std::vector<double> big(1000, 1e303), zeros(1000, 0.0);
  const PeakRotD50 got = peak_rotd50(big, zeros, 1.0);
  const PeakRotD50 want = brute_force(big, zeros, 1.0);
  EXPECT_NEAR(got.pga, want.pga, 1e-12 * want.pga);
  EXPECT_NEAR(got.pgv, want.pgv, 1e-12 * want.pgv);
  ASSERT_TRUE(std::isfinite(got.pgv));
  EXPECT_EQ(ground_motion(big, 1.0).pgd, inf);
  EXPECT_EQ(got.pgd, inf);
  // Opposite horizontals whose first step already overflows v (dt 10):
  // both integrals infinite, the accelerations' median finite.
  const std::vector<double> up(4, 1e307), down(4, -1e307);
  const PeakRotD50 o = peak_rotd50(up, down, 10.0);
  EXPECT_NEAR(o.pga, brute_force(up, down, 10.0).pga, 1e-12 * o.pga);
  EXPECT_EQ(o.pgv, inf);
  EXPECT_EQ(o.pgd, inf);
}

}  // namespace
}  // namespace wavefft::measures
