// SPDX-License-Identifier: GPL-3.0-or-later
// Response spectra: the one-step coefficients against the textbook closed
// forms in long double, the lockstep lanes against the scalar recurrence,
// closed-form responses (a step, a sine at resonance), the sub-step rule,
// RotD through the hull against a brute-force loop, the jobs shared out
// between threads, and PEER's published spectra of RSN 8883.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "measures/lanes.h"
#include "measures/measures.h"
#include "measures/peak_hull.h"
#include "measures/pool.h"
#include "measures/step.h"
#include "tests/unit/test_files.h"

namespace wavefft::measures {
namespace {

const std::filesystem::path kData = testing::kTestData / "measures";
constexpr double kG = common::kStandardGravity;

// Three components of `n` samples of standard normal noise from `seed`.
std::array<std::vector<double>, 3> noise_record(std::uint64_t seed, std::size_t n) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> nd;
  std::array<std::vector<double>, 3> a;
  for (auto& c : a) {
    c.resize(n);
    for (double& x : c) x = nd(gen);
  }
  return a;
}

// Nigam and Jennings' closed forms, in long double: they cancel at long
// periods and short steps, and the extra bits keep the cancellation below
// 1e-11 relative at T = 20 s, h = 0.005 s.
StepCoefficients textbook(long double period, long double z, long double h) {
  const long double pi = 3.141592653589793238462643383279503L;
  const long double w = 2 * pi / period, q = std::sqrt(1 - z * z), wd = w * q;
  const long double e = std::exp(-z * w * h), s = std::sin(wd * h), c = std::cos(wd * h), r = z / q;
  const long double k1 = (2 * z * z - 1) / (w * w * h), k2 = 2 * z / (w * w * w * h);
  StepCoefficients o;
  o.a11 = static_cast<double>(e * (r * s + c));
  o.a12 = static_cast<double>(e * s / wd);
  o.a21 = static_cast<double>(-w / q * e * s);
  o.a22 = static_cast<double>(e * (c - r * s));
  o.b11 = static_cast<double>(e * ((k1 + z / w) * s / wd + (k2 + 1 / (w * w)) * c) - k2);
  o.b12 = static_cast<double>(-e * (k1 * s / wd + k2 * c) - 1 / (w * w) + k2);
  o.b21 = static_cast<double>(e * ((k1 + z / w) * (c - r * s) - (k2 + 1 / (w * w)) * (wd * s + z * w * c)) + 1 / (w * w * h));
  o.b22 = static_cast<double>(-e * (k1 * (c - r * s) - k2 * (wd * s + z * w * c)) - 1 / (w * w * h));
  return o;
}

double rel(double got, double want) { return std::fabs(got - want) / std::fabs(want); }

TEST(MeasuresCoefficients, MatchLongDoubleClosedFormsFromShortToLongPeriods) {
  struct Case {
    double period, damping, h, tol;
  };
  // The long-period cases are where the double closed forms lose eight digits.
  const Case cases[] = {{20.0, 0.05, 0.005, 1e-10}, {20.0, 0.02, 0.001, 1e-9},  {15.0, 0.05, 0.005, 1e-10},
                        {1.0, 0.05, 0.005, 1e-13},  {0.1, 0.3, 0.005, 1e-13},   {0.01, 0.05, 0.001, 1e-13},
                        {0.02, 0.05, 0.005 / 3, 1e-13}, {0.5, 0.9, 0.02, 1e-13}};
  for (const Case& k : cases) {
    SCOPED_TRACE("T " + std::to_string(k.period) + " z " + std::to_string(k.damping) + " h " + std::to_string(k.h));
    const StepCoefficients got = step_coefficients(k.period, k.damping, k.h);
    const StepCoefficients want = textbook(k.period, k.damping, k.h);
    EXPECT_LT(rel(got.a11, want.a11), 1e-14);
    EXPECT_LT(rel(got.a12, want.a12), 1e-14);
    EXPECT_LT(rel(got.a21, want.a21), 1e-14);
    EXPECT_LT(rel(got.a22, want.a22), 1e-14);
    EXPECT_LT(rel(got.b11, want.b11), k.tol);
    EXPECT_LT(rel(got.b12, want.b12), k.tol);
    EXPECT_LT(rel(got.b21, want.b21), k.tol);
    EXPECT_LT(rel(got.b22, want.b22), k.tol);
  }
}

TEST(MeasuresLanes, EveryWidthRoundsLikeTheScalarRecurrence) {
  // Eight oscillators over 300 sub-steps of a noisy input: each lane in use
  // must equal, bit for bit, the recurrence written out for it alone (no
  // fused multiply-add, whatever the instruction set picked); lanes beyond
  // the width run must be left alone.
  const double periods[kLanes] = {0.01, 0.05, 0.1, 0.3, 1.0, 2.5, 7.0, 20.0};
  const double h = 0.002;
  Lanes lanes;
  for (std::size_t l = 0; l < kLanes; ++l) {
    const StepCoefficients k = step_coefficients(periods[l], 0.05, h);
    lanes.a11[l] = k.a11, lanes.a12[l] = k.a12, lanes.a21[l] = k.a21, lanes.a22[l] = k.a22;
    lanes.b11[l] = k.b11, lanes.b12[l] = k.b12, lanes.b21[l] = k.b21, lanes.b22[l] = k.b22;
  }
  const std::size_t count = 300;
  const std::vector<double> f = noise_record(19, count + 1)[0];
  EXPECT_EQ(lane_width(1), 2u);
  EXPECT_EQ(lane_width(3), 4u);
  EXPECT_EQ(lane_width(5), kLanes);
  for (std::size_t used = 1; used <= kLanes; ++used) {
    State st;
    std::vector<double> out(count * kLanes, -7.0);
    advance_lanes(used, lanes, st, f.data(), count, out.data());
    for (std::size_t l = 0; l < kLanes; ++l) {
      double u = 0.0, v = 0.0, peak = 0.0;
      for (std::size_t k = 0; k < count; ++k) {
        const double un = lanes.a11[l] * u + lanes.a12[l] * v + lanes.b11[l] * f[k] + lanes.b12[l] * f[k + 1];
        v = lanes.a21[l] * u + lanes.a22[l] * v + lanes.b21[l] * f[k] + lanes.b22[l] * f[k + 1];
        u = un;
        peak = std::max(peak, std::fabs(u));
        const double want = l < lane_width(used) ? u : -7.0;
        ASSERT_EQ(out[k * kLanes + l], want) << "used " << used << " lane " << l << " sub-step " << k;
      }
      EXPECT_EQ(st.peak[l], l < lane_width(used) ? peak : 0.0) << "used " << used << " lane " << l;
      EXPECT_GT(peak, 0.0);
    }
  }
}

// One record per component, all three the same.
std::vector<SpectrumRow> spectra_of(const std::vector<double>& a, double dt, double period, double damping) {
  const double periods[] = {period};
  const double dampings[] = {damping};
  return response_spectra({a, a, a}, dt, periods, dampings, 1);
}

TEST(MeasuresResponse, StepAndResonantSineFollowTheirClosedForms) {
  // A constant input A from t = 0 is exactly linear between samples:
  // u = -A/w^2 (1 - e^(-z w t) (cos wd t + z/sqrt(1-z^2) sin wd t)).
  {
    const double period = 0.5, z = 0.05, dt = 0.01, amp = 3.0;
    const std::vector<double> a(400, amp);
    const double w = 2 * std::numbers::pi / period, wd = w * std::sqrt(1 - z * z);
    double peak = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {  // m = 1 here: the samples are the sub-steps
      const double t = static_cast<double>(i) * dt;
      const double u = -amp / (w * w) * (1 - std::exp(-z * w * t) * (std::cos(wd * t) + z / std::sqrt(1 - z * z) * std::sin(wd * t)));
      peak = std::max(peak, std::fabs(u));
    }
    const SpectrumRow r = spectra_of(a, dt, period, z).at(0);
    EXPECT_NEAR(r.psa[0], w * w * peak / kG, 1e-12 * r.psa[0]);
    EXPECT_EQ(r.psa[0], r.psa[2]);
    // Both horizontals equal: the response moves on the 45-degree line.
    EXPECT_NEAR(r.rotd100, std::sqrt(2.0) * r.psa[0], 1e-12 * r.rotd100);
  }
  // A sine at the oscillator's own frequency from rest:
  // u = C cos(w t) - C e^(-z w t) (cos wd t + (z w / wd) sin wd t), C = A / (2 z w^2).
  // Linear interpolation of the sine costs about (w dt)^2 / 12 relative.
  {
    const double period = 1.0, z = 0.02, dt = 0.001, amp = 1.0;
    const double w = 2 * std::numbers::pi / period, wd = w * std::sqrt(1 - z * z), cst = amp / (2 * z * w * w);
    std::vector<double> a(20001);
    double peak = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const double t = static_cast<double>(i) * dt;
      a[i] = amp * std::sin(w * t);
      const double u = cst * std::cos(w * t) - cst * std::exp(-z * w * t) * (std::cos(wd * t) + z * w / wd * std::sin(wd * t));
      peak = std::max(peak, std::fabs(u));
    }
    const SpectrumRow r = spectra_of(a, dt, period, z).at(0);
    EXPECT_NEAR(r.psa[0], w * w * peak / kG, 1e-4 * r.psa[0]);
    EXPECT_GT(r.psa[0], 0.99 * amp / (2 * z) / kG * (1 - std::exp(-z * w * 19.0)));
  }
  // Zeros: nothing moves.
  const SpectrumRow zero = spectra_of(std::vector<double>(50, 0.0), 0.01, 0.3, 0.05).at(0);
  EXPECT_EQ(zero.psa[0], 0.0);
  EXPECT_EQ(zero.rotd50, 0.0);
  EXPECT_EQ(zero.rotd100, 0.0);
}

TEST(MeasuresResponse, SubStepRuleAndSignAndOrderSymmetries) {
  EXPECT_EQ(sub_steps(0.005, 0.01), 5u);   // 10 dt / T = 5
  EXPECT_EQ(sub_steps(0.005, 0.02), 3u);   // 2.5 -> 3
  EXPECT_EQ(sub_steps(0.005, 0.025), 2u);  // 2 up to rounding -> 2, not 3
  EXPECT_EQ(sub_steps(0.005, 0.05), 1u);   // 1 up to rounding -> 1, not 2
  EXPECT_EQ(sub_steps(0.005, 20.0), 1u);
  EXPECT_EQ(sub_steps(0.02, 0.01), 20u);
  EXPECT_EQ(sub_steps(0.01, 1e-6), 100000u);  // the largest allowed
  EXPECT_FALSE(sub_steps(0.01, 9e-7).has_value());
  EXPECT_FALSE(sub_steps(0.01, 0.0).has_value());
  EXPECT_FALSE(sub_steps(std::nan(""), 1.0).has_value());

  // Negating the record changes nothing; swapping the horizontals swaps
  // their PSA and leaves RotD alone (the angle set maps onto itself).
  const std::array<std::vector<double>, 3> a = noise_record(7, 300);
  std::array<std::vector<double>, 3> neg = a, swapped = {a[1], a[0], a[2]};
  for (auto& c : neg) {
    for (double& x : c) x = -x;
  }
  const double periods[] = {0.01, 0.037, 0.2, 3.0};
  const double dampings[] = {0.05, 0.2};
  const auto base = response_spectra({a[0], a[1], a[2]}, 0.01, periods, dampings);
  const auto n = response_spectra({neg[0], neg[1], neg[2]}, 0.01, periods, dampings, 2);
  const auto s = response_spectra({swapped[0], swapped[1], swapped[2]}, 0.01, periods, dampings, 1);
  ASSERT_EQ(base.size(), 8u);
  for (std::size_t k = 0; k < base.size(); ++k) {
    EXPECT_EQ(base[k].period, periods[k % 4]);
    EXPECT_EQ(base[k].damping, dampings[k / 4]);
    EXPECT_EQ(n[k].psa, base[k].psa);
    EXPECT_EQ(n[k].rotd50, base[k].rotd50);
    EXPECT_EQ(s[k].psa[0], base[k].psa[1]);
    EXPECT_NEAR(s[k].rotd50, base[k].rotd50, 1e-14 * base[k].rotd50);
    EXPECT_NEAR(s[k].rotd100, base[k].rotd100, 1e-14 * base[k].rotd100);
    EXPECT_LE(base[k].rotd50, base[k].rotd100);
    EXPECT_GE(base[k].rotd100, std::max(base[k].psa[0], base[k].psa[1]) * (1 - 1e-14));
  }
}

TEST(MeasuresRotD, HullPeaksEqualBruteForceOverAnglesAndPoints) {
  std::mt19937_64 gen(11);
  std::normal_distribution<double> nd;
  const auto& c = angle_cos();
  const auto& s = angle_sin();
  // Shapes: a random walk (drifting, nearly every point a new vertex), a
  // decaying elongated oscillation, points on one line, all zero.
  for (int shape = 0; shape < 4; ++shape) {
    std::vector<double> x(20000), y(20000);
    double wx = 0, wy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      const double t = static_cast<double>(i) * 0.01;
      if (shape == 0) {
        wx += nd(gen);
        wy += nd(gen);
        x[i] = wx;
        y[i] = wy;
      } else if (shape == 1) {
        x[i] = 5 * std::sin(3 * t) * std::exp(-0.01 * t) + 0.1 * nd(gen);
        y[i] = 0.3 * std::cos(2.9 * t) + 0.1 * nd(gen);
      } else if (shape == 2) {
        x[i] = nd(gen);
        y[i] = -2 * x[i];
      }
    }
    PeakHull hull;
    for (std::size_t i = 0; i < x.size(); ++i) hull.add(x[i], y[i]);
    const auto got = hull.peaks();
    const double scale = *std::max_element(got.begin(), got.end());
    if (shape != 3) {
      EXPECT_GT(scale, 0.0);
    }
    for (std::size_t k = 0; k < kAngles; ++k) {
      double want = 0.0;
      for (std::size_t i = 0; i < x.size(); ++i) want = std::max(want, std::fabs(x[i] * c[k] + y[i] * s[k]));
      EXPECT_NEAR(got[k], want, 1e-14 * scale) << "shape " << shape << " angle " << k;
    }
  }
  std::array<double, kAngles> p{};
  for (std::size_t k = 0; k < kAngles; ++k) p[k] = static_cast<double>((k * 37) % kAngles);  // 0..179 shuffled
  const auto md = rotd_median_max(p);
  EXPECT_EQ(md[0], 89.5);  // mean of the 90th (89) and 91st (90)
  EXPECT_EQ(md[1], 179.0);
}

TEST(MeasuresRotD, StridedAddsKeepTheSameHullAsOneByOne) {
  // Interleaved (x, y) of two streams, stride 2: an outward spiral (the
  // hull and its inscribed circle grow within one call), a random walk and
  // a decaying oscillation. Feeding stream 0 in calls of varied length must
  // give the very peaks that add() one point at a time gives.
  std::mt19937_64 gen(5);
  std::normal_distribution<double> nd;
  for (int shape = 0; shape < 3; ++shape) {
    const std::size_t n = 30000;
    std::vector<double> xs(2 * n), ys(2 * n);
    double wx = 0, wy = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) * 0.01;
      double x = 0, y = 0;
      if (shape == 0) {
        x = t * std::cos(7 * t), y = 0.5 * t * std::sin(7 * t);
      } else if (shape == 1) {
        wx += nd(gen), wy += nd(gen);
        x = wx, y = wy;
      } else {
        x = 4 * std::sin(5 * t) * std::exp(-0.02 * t) + 0.05 * nd(gen);
        y = std::cos(4.7 * t) * std::exp(-0.01 * t);
      }
      xs[2 * i] = x, ys[2 * i] = y;
      xs[2 * i + 1] = 1e6 + nd(gen), ys[2 * i + 1] = -1e6;  // the other stream: must be skipped
    }
    PeakHull one, strided;
    for (std::size_t i = 0; i < n; ++i) one.add(xs[2 * i], ys[2 * i]);
    // A hull that held other points, then reset, must start afresh.
    for (std::size_t i = 0; i < n; ++i) strided.add(3 * xs[2 * i + 1], ys[2 * i + 1] * (i % 2 == 0 ? 1 : -1));
    strided.reset();
    std::size_t at = 0;
    for (std::size_t len = 1; at < n; len = len * 3 % 1000 + 1) {
      const std::size_t count = std::min(len, n - at);
      strided.add_strided(xs.data() + 2 * at, ys.data() + 2 * at, count, 2);
      at += count;
    }
    strided.add_strided(xs.data(), ys.data(), 0, 2);  // nothing to add
    const auto want = one.peaks();
    const auto got = strided.peaks();
    EXPECT_GT(want[0] + want[90], 0.0) << "shape " << shape;
    for (std::size_t k = 0; k < kAngles; ++k) EXPECT_EQ(got[k], want[k]) << "shape " << shape << " angle " << k;
  }
}

TEST(MeasuresResponse, RowsDoNotDependOnBatchingOrThreads) {
  // Periods that, with two dampings, make batches of 2, 4, 6 and 8 periods
  // at several sub-step counts: every row must equal the row of its period
  // computed alone (a batch of one), bit for bit, with one thread and with
  // three.
  const std::array<std::vector<double>, 3> a = noise_record(3, 2000);
  std::vector<double> periods = {0.004, 0.011, 0.012, 0.021, 0.022, 0.023};  // m = 25, 10, 9, 5, 5, 5 at dt = 0.01
  for (int k = 0; k < 10; ++k) periods.push_back(0.1 + 0.37 * k);              // m = 1: 20 rows, batches of 8, 8, 4
  const double dampings[] = {0.05, 0.3};
  for (unsigned threads : {1u, 3u}) {
    const auto rows = response_spectra({a[0], a[1], a[2]}, 0.01, periods, dampings, threads);
    ASSERT_EQ(rows.size(), 2 * periods.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double period[] = {periods[r % periods.size()]};
      const double damping[] = {dampings[r / periods.size()]};
      const auto alone = response_spectra({a[0], a[1], a[2]}, 0.01, period, damping, 1);
      EXPECT_EQ(rows[r].period, period[0]);
      EXPECT_EQ(rows[r].damping, damping[0]);
      EXPECT_EQ(rows[r].psa, alone[0].psa) << "row " << r << " threads " << threads;
      EXPECT_EQ(rows[r].rotd50, alone[0].rotd50) << "row " << r << " threads " << threads;
      EXPECT_EQ(rows[r].rotd100, alone[0].rotd100) << "row " << r << " threads " << threads;
      EXPECT_GT(rows[r].rotd100, 0.0);
    }
  }
}

TEST(MeasuresPool, EveryJobOnceOnAThreadOfItsOwnCount) {
  EXPECT_EQ(worker_count(8, 3), 3u);
  EXPECT_EQ(worker_count(2, 100), 2u);
  EXPECT_EQ(worker_count(5, 0), 0u);
  const unsigned all = worker_count(0, 1000);
  EXPECT_GE(all, 1u);
  EXPECT_LE(all, 1000u);
  for (const unsigned workers : {1u, 3u}) {
    std::vector<std::atomic<int>> calls(500);
    std::atomic<bool> worker_in_range{true};
    share_out(calls.size(), workers, [&](std::size_t k, unsigned w) {
      ++calls[k];
      if (w >= workers) worker_in_range = false;
    });
    EXPECT_TRUE(worker_in_range) << workers;
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const std::atomic<int>& c) { return c == 1; })) << workers;
  }
  bool called = false;
  share_out(0, 2, [&](std::size_t, unsigned) { called = true; });
  EXPECT_FALSE(called);
}

// An AT2 file: four header lines ("NPTS=..., DT=..." last), then values in g.
std::vector<double> read_at2(const std::filesystem::path& path, double& dt) {
  std::istringstream in(testing::slurp(path));
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(in, line);
  const std::size_t npts = std::stoul(line.substr(line.find("NPTS=") + 5));
  dt = std::stod(line.substr(line.find("DT=") + 3));
  std::vector<double> a;
  double v = 0;
  while (in >> v) a.push_back(v * kG);
  EXPECT_EQ(a.size(), npts);
  return a;
}

// Significant digits in a printed number: "0.1602728" -> 7, "6.498e-05" -> 4.
int printed_digits(const std::string& text) {
  const std::string mantissa = text.substr(0, text.find_first_of("eE"));
  const std::size_t first = mantissa.find_first_of("123456789");
  int digits = 0;
  for (std::size_t i = first; i < mantissa.size(); ++i) digits += std::isdigit(static_cast<unsigned char>(mantissa[i])) != 0;
  return digits;
}

// |got - want| within half a unit of want's last printed digit (at most the
// 5th), plus 2e-6 relative: a few RotD50 values lie that close to a rounding
// boundary (0.134064998 against PEER's 0.13407 at T = 0.02 s, 2 %).
void expect_printed_digits(double got, const std::string& text, const std::string& what) {
  const double want = std::stod(text);
  const int digits = std::min(5, printed_digits(text));
  const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(want))) - (digits - 1));
  EXPECT_LE(std::fabs(got - want), 0.5 * unit + 2e-6 * std::fabs(want)) << what << ": got " << got << ", PEER " << text;
}

TEST(MeasuresPeer, Rsn8883MatchesPublishedSpectraAtEveryPeriod) {
  double dt360 = 0, dt090 = 0;
  const std::vector<double> a360 = read_at2(kData / "RSN8883_14383980_13849360.AT2", dt360);
  const std::vector<double> a090 = read_at2(kData / "RSN8883_14383980_13849090.AT2", dt090);
  ASSERT_EQ(a360.size(), 16396u);
  ASSERT_EQ(a360.size(), a090.size());
  ASSERT_EQ(dt360, 0.005);
  std::istringstream in(testing::slurp(kData / "peer_rsn8883_psa.csv"));
  std::string line;
  std::getline(in, line);
  std::vector<std::array<std::string, 5>> ref;
  while (std::getline(in, line)) {
    std::array<std::string, 5> v;
    std::istringstream fields(line);
    for (std::string& x : v) std::getline(fields, x, ',');
    ref.push_back(v);
  }
  ASSERT_EQ(ref.size(), 111u);
  const double dampings[] = {0.05, 0.02};
  const auto rows = response_spectra({a360, a090, a090}, dt360, nga_west2_periods(), dampings);
  ASSERT_EQ(rows.size(), 222u);
  for (std::size_t k = 0; k < 111; ++k) {
    const std::string at = "T = " + ref[k][0];
    EXPECT_EQ(rows[k].period, std::stod(ref[k][0]));
    expect_printed_digits(rows[k].psa[0], ref[k][1], at + " 360");
    expect_printed_digits(rows[k].psa[1], ref[k][2], at + " 090");
    expect_printed_digits(rows[k].rotd50, ref[k][3], at + " RotD50 5%");
    expect_printed_digits(rows[111 + k].rotd50, ref[k][4], at + " RotD50 2%");
  }
}

}  // namespace
}  // namespace wavefft::measures
