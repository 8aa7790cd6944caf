// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a correction against records whose answer is known: the
// filter's gain and a sine inside its band, the baseline of an exact
// polynomial displacement, the onset of noise followed by a sine, the
// taper's ends, and the corners of a record without pre-event noise.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "correct/correct.h"

namespace wavefft::correct {
namespace {

constexpr double kPi = std::numbers::pi;

std::vector<double> noise(std::size_t n, double sd, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> d(0.0, sd);
  std::vector<double> x(n);
  for (double& v : x) v = d(gen);
  return x;
}

TEST(CorrectFilter, GainAtEachCornerAndAtZero) {
  for (int order : {1, 4, 5, 8}) {
    const double hp = 0.2, lp = 25.0;
    const double other_at_hp = 1.0 / std::sqrt(1.0 + std::pow(hp / lp, 2.0 * order));
    const double other_at_lp = 1.0 / std::sqrt(1.0 + std::pow(hp / lp, 2.0 * order));
    EXPECT_NEAR(butterworth_gain(hp, hp, lp, order), other_at_hp / std::sqrt(2.0), 1e-15) << order;
    EXPECT_NEAR(butterworth_gain(lp, hp, lp, order), other_at_lp / std::sqrt(2.0), 1e-15) << order;
    EXPECT_NEAR(butterworth_gain(hp, hp, std::nullopt, order), 1.0 / std::sqrt(2.0), 1e-15) << order;
    EXPECT_EQ(butterworth_gain(0.0, hp, lp, order), 0.0);
    EXPECT_EQ(butterworth_gain(0.0, hp, std::nullopt, order), 0.0);
  }
  // Far outside the band the gain falls as f^order.
  EXPECT_NEAR(butterworth_gain(0.01, 0.1, std::nullopt, 5), 1e-5, 1e-9);
  EXPECT_NEAR(butterworth_gain(250.0, 0.01, 25.0, 4), 1e-4, 1e-8);
}

TEST(CorrectFilter, SineWellInsideTheBandPassesUnchanged) {
  // 1 Hz between corners 0.1 and 10 Hz: both ratios 0.1, gain 1 - 1e-10.
  const double dt = 0.01, hp = 0.1, lp = 10.0;
  const std::size_t n = 40000;  // 400 s
  std::vector<double> a(n);
  for (std::size_t i = 0; i < n; ++i) a[i] = 3.0 * std::sin(2.0 * kPi * 1.0 * static_cast<double>(i) * dt + 0.3);
  const std::vector<double> y = butterworth(a, dt, hp, lp, 5);
  ASSERT_EQ(y.size(), n);
  // Eight high-pass periods (80 s) from each end.
  double worst = 0.0;
  for (std::size_t i = 8000; i < n - 8000; ++i) worst = std::max(worst, std::fabs(y[i] - a[i]));
  EXPECT_LT(worst, 1e-9 * 3.0);
  // Near the ends the cut sine rings: the filter did something there.
  EXPECT_GT(std::fabs(y[0] - a[0]), 1e-3);
}

TEST(CorrectFilter, TwoComponentsAtOnceAsOneByOne) {
  // Padded lengths odd and even, with and without a low-pass.
  for (std::size_t n : {1000u, 1001u}) {
    for (const std::optional<double> lp : {std::optional<double>(12.0), std::optional<double>()}) {
      const std::vector<double> a = noise(n, 1.0, 11), b = noise(n, 3.0, 12);
      const Butterworth f = make_butterworth(n, 0.01, 0.7, lp, 4);
      const std::array<std::vector<double>, 2> pair = filtered_pair(f, a, b);
      const std::vector<double> ya = filtered(f, a), yb = filtered(f, b);
      ASSERT_EQ(pair[0].size(), n);
      ASSERT_EQ(pair[1].size(), n);
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_NEAR(pair[0][i], ya[i], 1e-13);
        EXPECT_NEAR(pair[1][i], yb[i], 3e-13);
      }
    }
  }
}

TEST(CorrectFilter, RemovesAnOffsetAndKeepsTheLength) {
  std::vector<double> a(1001, 5.0);
  const std::vector<double> y = butterworth(a, 0.01, 0.5, std::nullopt, 4);
  ASSERT_EQ(y.size(), a.size());
  EXPECT_LT(std::fabs(y[500]), 0.05);
}

// The acceleration whose cumulative trapezoids give d exactly (v[0] = 0,
// a[0] = 0): each step of the two integrations undone in turn.
std::vector<double> acceleration_of(const std::vector<double>& d, double dt) {
  std::vector<double> v(d.size(), 0.0), a(d.size(), 0.0);
  for (std::size_t i = 1; i < d.size(); ++i) v[i] = 2.0 * (d[i] - d[i - 1]) / dt - v[i - 1];
  for (std::size_t i = 1; i < d.size(); ++i) a[i] = 2.0 * (v[i] - v[i - 1]) / dt - a[i - 1];
  return a;
}

TEST(CorrectBaseline, ExactPolynomialDisplacementIsRemoved) {
  const double dt = 0.01;
  const std::size_t n = 3001;  // 30 s
  for (int degree = 2; degree <= 6; ++degree) {
    // d(t) = sum_{p=2}^{degree} c_p (t/30)^p cm, the coefficients of order 1.
    const double c[] = {0.0, 0.0, 1.5, -2.0, 0.75, 3.0, -1.25};
    std::vector<double> d(n);
    std::vector<double> second(n);  // d''(t)
    for (std::size_t i = 0; i < n; ++i) {
      const double tau = static_cast<double>(i) / static_cast<double>(n - 1);
      double s = 0.0, s2 = 0.0;
      for (int p = 2; p <= degree; ++p) {
        s += c[p] * std::pow(tau, p);
        s2 += c[p] * p * (p - 1) * std::pow(tau, p - 2) / (30.0 * 30.0);
      }
      d[i] = s;
      second[i] = s2;
    }
    const std::vector<double> a = acceleration_of(d, dt);
    std::vector<double> corrected = a;
    remove_baseline(corrected, dt);
    // What came off is the polynomial's second derivative, to rounding.
    double worst = 0.0;
    for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::fabs((a[i] - corrected[i]) - second[i]));
    EXPECT_LT(worst, 1e-9) << "degree " << degree;
  }
}

TEST(CorrectBaseline, TrapezoidsFromZero) {
  const std::vector<double> v = integrate(std::vector<double>{1.0, 3.0, 5.0}, 0.5);
  EXPECT_EQ(v, (std::vector<double>{0.0, 1.0, 3.0}));
  std::vector<double> two = {1.0, -1.0};
  remove_baseline(two, 0.1);  // two samples: one usable power, no failure
  EXPECT_TRUE(std::isfinite(two[0]) && std::isfinite(two[1]));
}

TEST(CorrectOnset, NoiseThenStrongSine) {
  const double dt = 0.01;
  for (std::size_t change : {700u, 1234u, 2500u}) {
    std::vector<double> a = noise(6000, 0.01, static_cast<unsigned>(change));
    for (std::size_t i = change; i < a.size(); ++i) {
      a[i] += std::sin(2.0 * kPi * 2.0 * static_cast<double>(i - change) * dt);
    }
    const std::optional<std::size_t> k = aic_onset(a, dt);
    ASSERT_TRUE(k);
    EXPECT_LE(std::max(*k, change) - std::min(*k, change), 5u) << change << " picked " << *k;
  }
}

TEST(CorrectOnset, NothingToSplit) {
  // The peak at the first sample: no k from max(2, ceil(1/dt)) up to it.
  std::vector<double> a = noise(500, 0.01, 7);
  a[0] = 10.0;
  EXPECT_FALSE(aic_onset(a, 0.01));
  // Constant: every variance zero.
  EXPECT_FALSE(aic_onset(std::vector<double>(500, 2.0), 0.01));
}

TEST(CorrectTaper, Ends) {
  std::vector<double> a(1000, 1.0);
  taper(a, 0.05);  // m = 50
  EXPECT_EQ(a[0], 0.0);
  EXPECT_EQ(a[999], 0.0);
  EXPECT_DOUBLE_EQ(a[25], 0.5);
  EXPECT_DOUBLE_EQ(a[974], 0.5);
  EXPECT_DOUBLE_EQ(a[10], 0.5 * (1.0 - std::cos(kPi * 10.0 / 50.0)));
  EXPECT_EQ(a[50], 1.0);
  EXPECT_EQ(a[949], 1.0);
  std::vector<double> b(10, 1.0);
  taper(b, 0.0);
  EXPECT_EQ(b, std::vector<double>(10, 1.0));
}

TEST(CorrectAuto, RecordWithoutPreEventNoiseFallsBack) {
  // A decaying 3 Hz sine from the first sample: the onset (if any) lies
  // well inside the first 5 s, so there is no usable noise.
  const double dt = 0.01;
  std::vector<double> a(4000);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double t = static_cast<double>(i) * dt;
    a[i] = std::exp(-0.2 * t) * std::sin(2.0 * kPi * 3.0 * t);
  }
  Settings s;
  const Correction c = correct_record({a, a, a}, dt, s);
  EXPECT_FALSE(c.noise_usable);
  for (const ComponentReport& r : c.components) {
    EXPECT_TRUE(r.flags.no_noise);
    EXPECT_FALSE(r.flags.low_snr);
    EXPECT_EQ(r.corners, Corners::fallback);
    EXPECT_EQ(r.highpass_hz, 0.1);
    EXPECT_EQ(r.lowpass_hz, 40.0);
    EXPECT_EQ(flag_words(r.flags).front(), "no-noise");
  }
}

TEST(CorrectSettings, Refusals) {
  const auto refused = [](Settings s, std::size_t n = 1000, double dt = 0.01) {
    return check_settings(s, n, dt);
  };
  EXPECT_EQ(refused(Settings{}), "");
  Settings s;
  s.highpass = 0.0;
  EXPECT_NE(refused(s).find("--highpass 0"), std::string::npos);
  s = {};
  s.lowpass = -1.0;
  EXPECT_NE(refused(s).find("--lowpass -1"), std::string::npos);
  s = {};
  s.highpass = 1.0;
  s.lowpass = 1.0;
  EXPECT_NE(refused(s).find("is not above"), std::string::npos);
  s = {};
  s.order = 0;
  EXPECT_NE(refused(s).find("--order 0"), std::string::npos);
  for (double frac : {-0.01, 0.5, std::nan("")}) {
    s = {};
    s.taper = frac;
    EXPECT_NE(refused(s).find("--taper"), std::string::npos) << frac;
  }
  for (double t : {-0.01, 9.995}) {
    s = {};
    s.onset_s = t;
    EXPECT_NE(refused(s).find("outside the record"), std::string::npos) << t;
  }
  s = {};
  s.onset_s = 9.99;  // the last sample
  EXPECT_EQ(refused(s), "");
  EXPECT_NE(refused(Settings{}, 1).find("at least 2"), std::string::npos);
  s = {};
  s.highpass = 1e-9;
  EXPECT_NE(refused(s).find("transform"), std::string::npos);
  EXPECT_THROW(correct_record({std::vector<double>(1), std::vector<double>(1), std::vector<double>(1)}, 0.01, Settings{}),
               std::invalid_argument);
}

}  // namespace
}  // namespace wavefft::correct
