// SPDX-License-Identifier: GPL-3.0-or-later
#include "transform/wvfast.h"
#include "tests/unit/literal_transform.h"
#include "tests/unit/test_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace wavefft::transform {
namespace {

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

std::vector<Complex> random_series(std::int32_t n, std::uint64_t seed, bool real_only) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<Complex> x(static_cast<std::size_t>(n));
  for (Complex& c : x) {
    c.re = u(gen);
    c.im = real_only ? 0.0 : u(gen);
  }
  return x;
}

int log2_of(std::int32_t n) {
  int p = 0;
  while ((std::int32_t{1} << p) < n) ++p;
  return p;
}

TEST(Wvfast, PaiBitPattern) {
  EXPECT_EQ(bits(kPai), 0x400921FB54524550u);
  EXPECT_EQ(kForward, -1);
  EXPECT_EQ(kInverse, +1);
}

TEST(Wvfast, LengthsOneAndTwo) {
  for (std::int32_t ind : {kForward, kInverse}) {
    Complex one[2] = {{0x1.8p-3, -0x1.4p+1}, {7.0, 7.0}};
    wvfast(1, one, 2, ind);
    EXPECT_EQ(bits(one[0].re), bits(0x1.8p-3));
    EXPECT_EQ(bits(one[0].im), bits(-0x1.4p+1));
    EXPECT_EQ(one[1].re, 7.0);  // above n

    // The only factor is exp(0) = 1: a sum and a difference, exactly.
    Complex two[2] = {{3.0, 1.0}, {1.0, -2.0}};
    wvfast(2, two, 2, ind);
    EXPECT_EQ(bits(two[0].re), bits(4.0));
    EXPECT_EQ(bits(two[0].im), bits(-1.0));
    EXPECT_EQ(bits(two[1].re), bits(2.0));
    EXPECT_EQ(bits(two[1].im), bits(3.0));
  }
}

TEST(Wvfast, WorkedExampleLengthFour) {
  Complex a[4] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}};
  wvfast(4, a, 4, kForward);
  // Lines 1 and 3 only meet the factor 1: exact. Lines 2 and 4 meet
  // w = (cos(pai/2), -sin(pai/2)) = (-2.05e-10, -1).
  EXPECT_EQ(bits(a[0].re), bits(10.0));
  EXPECT_EQ(bits(a[0].im), bits(0.0));
  EXPECT_EQ(bits(a[2].re), bits(-2.0));
  EXPECT_EQ(bits(a[2].im), bits(0.0));
  EXPECT_NEAR(a[1].re, -1.99999999959, 5e-12);
  EXPECT_EQ(a[1].im, 2.0);
  EXPECT_NEAR(a[3].re, -2.00000000041, 5e-12);
  EXPECT_EQ(a[3].im, -2.0);
  // Conjugate symmetry only up to pai: the real parts differ by 8.2e-10.
  EXPECT_NEAR(a[1].re - a[3].re, 8.2e-10, 1e-11);

  Complex b[4] = {{1, 0}, {2, 0}, {3, 0}, {4, 0}};
  wvfast(4, b, 4, kInverse);
  const double inverse_expected[4][2] = {{10, 0}, {-1.99999999959, -2}, {-2, 0}, {-2.00000000041, 2}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(bits(b[i].re), bits(a[i].re)) << i;  // same real parts
    EXPECT_NEAR(b[i].re, inverse_expected[i][0], 5e-12) << i;
    EXPECT_EQ(b[i].im, inverse_expected[i][1]) << i;
  }

  // Inverse of the forward result: 4 times the input.
  wvfast(4, a, 4, kInverse);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(a[i].re, 4.0 * (i + 1)) << i;
    EXPECT_LE(std::fabs(a[i].im), 1e-16) << i;
  }
}

TEST(Wvfast, BitReversalPermutation) {
  // n = 8: positions 1<->4 and 3<->6 are exchanged, the rest stay.
  Complex a[9];
  for (int i = 0; i < 9; ++i) a[i] = Complex{static_cast<double>(i), -static_cast<double>(i)};
  bit_reverse(8, a);
  const int expected[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(a[i].re, expected[i]) << i;
    EXPECT_EQ(a[i].im, -expected[i]) << i;
  }
  EXPECT_EQ(a[8].re, 8.0);  // above n

  // Every length up to 2^17: position r ends at reverse(r).
  for (std::int32_t n = 1; n <= 131072; n *= 2) {
    const int p = log2_of(n);
    std::vector<Complex> v(static_cast<std::size_t>(n));
    for (std::int32_t r = 0; r < n; ++r) v[static_cast<std::size_t>(r)].re = r;
    bit_reverse(n, v.data());
    for (std::int32_t r = 0; r < n; ++r) {
      std::int32_t rev = 0;
      for (int b = 0; b < p; ++b) rev |= ((r >> b) & 1) << (p - 1 - b);
      ASSERT_EQ(v[static_cast<std::size_t>(rev)].re, r) << "n=" << n << " r=" << r;
    }
  }
}

TEST(Wvfast, ImpulsesLengthEight) {
  // 1 at line 1: 1 at every line, exactly, for either sign.
  for (std::int32_t ind : {kForward, kInverse}) {
    Complex a[8] = {};
    a[0].re = 1.0;
    wvfast(8, a, 8, ind);
    for (int q = 0; q < 8; ++q) {
      EXPECT_EQ(bits(a[q].re), bits(1.0)) << q;
      EXPECT_EQ(a[q].im, 0.0) << q;
    }
  }
  // 1 at line 2 (position 1): line q + 1 receives exp(-2 pi i q/8).
  Complex a[8] = {};
  a[1].re = 1.0;
  wvfast(8, a, 8, kForward);
  const double h = 0.70711;
  const double expected[8][2] = {{1, 0}, {h, -h}, {0, -1}, {-h, -h}, {-1, 0}, {-h, h}, {0, 1}, {h, h}};
  for (int q = 0; q < 8; ++q) {
    EXPECT_NEAR(a[q].re, expected[q][0], 1e-5) << q;  // 0.70711 is rounded
    EXPECT_NEAR(a[q].im, expected[q][1], 1e-5) << q;
    const long double angle = -2.0L * 3.141592653589793238462643383279502884L * q / 8.0L;
    EXPECT_NEAR(a[q].re, static_cast<double>(std::cos(angle)), 1e-9) << q;
    EXPECT_NEAR(a[q].im, static_cast<double>(std::sin(angle)), 1e-9) << q;
  }
}

TEST(Wvfast, EntriesAboveLengthUntouched) {
  const double sentinel = std::bit_cast<double>(std::uint64_t{0x7FF8DEADBEEF0001u});  // a NaN
  for (std::int32_t n : {1, 2, 4, 8, 64, 1024}) {
    std::vector<Complex> a = random_series(n, 7u + static_cast<std::uint64_t>(n), false);
    a.resize(static_cast<std::size_t>(n) + 5, Complex{sentinel, -0.0});
    wvfast(n, a.data(), n + 5, kForward);
    wvfast(n, a.data(), n + 5, kInverse);
    for (std::size_t i = static_cast<std::size_t>(n); i < a.size(); ++i) {
      EXPECT_EQ(bits(a[i].re), bits(sentinel)) << n;
      EXPECT_EQ(bits(a[i].im), bits(-0.0)) << n;
    }
  }
}

TEST(Wvfast, RealInputHasExactlyRealZeroAndNyquistLines) {
  // Every butterfly leading to lines 1 and n/2 + 1 has the factor 1, so their
  // imaginary parts stay +0.
  for (std::int32_t n = 2; n <= 131072; n *= 2) {
    std::vector<Complex> a = random_series(n, 100u + static_cast<std::uint64_t>(n), true);
    wvfast(n, a.data(), n, kForward);
    ASSERT_EQ(bits(a[0].im), bits(0.0)) << n;
    ASSERT_EQ(bits(a[static_cast<std::size_t>(n / 2)].im), bits(0.0)) << n;
  }
}

TEST(Wvfast, AgreesWithDirectTransformInLongDouble) {
  constexpr long double kPiL = 3.141592653589793238462643383279502884L;
  for (std::int32_t n = 4; n <= 64; n *= 2) {
    for (std::int32_t ind : {kForward, kInverse}) {
      const std::vector<Complex> x = random_series(n, 1000u + static_cast<std::uint64_t>(n), false);
      std::vector<Complex> a = x;
      wvfast(n, a.data(), n, ind);

      long double magnitude_sum = 0;
      for (const Complex& c : x) magnitude_sum += std::hypot(static_cast<long double>(c.re), c.im);
      // Each output is a sum over p of x_p times a product of one factor per
      // stage. Every stage angle is below pi in magnitude and is too large by
      // the factor kPai/pi = 1 + 1.31e-10, so the phase of each term is off by
      // at most log2(n) * pi * 1.31e-10, which moves the output by at most that
      // times the sum of the input magnitudes. Rounding adds a few ulps per
      // stage relative to the same sum (complex product, sum, cos/sin): 8 eps.
      const int stages = log2_of(n);
      const long double eps = std::numeric_limits<double>::epsilon();
      const long double tolerance = magnitude_sum * stages * (kPiL * 1.31e-10L + 8 * eps);

      for (std::int32_t q = 0; q < n; ++q) {
        long double re = 0, im = 0;
        for (std::int32_t p = 0; p < n; ++p) {
          const long double angle = ind * 2 * kPiL * static_cast<long double>((p * q) % n) / n;
          const long double c = std::cos(angle), s = std::sin(angle);
          const Complex& v = x[static_cast<std::size_t>(p)];
          re += v.re * c - v.im * s;
          im += v.re * s + v.im * c;
        }
        const Complex& got = a[static_cast<std::size_t>(q)];
        const long double err = std::hypot(got.re - re, got.im - im);
        EXPECT_LE(err, tolerance) << "n=" << n << " ind=" << ind << " q=" << q;
      }
    }
  }
}

TEST(Wvfast, RoundTripEveryPowerOfTwo) {
  // Forward then inverse is n times the input. The kPai deviation cancels
  // between the two directions; what remains is rounding, at most a few eps
  // per stage and direction: 2 directions * 17 stages * 2 eps < 1e-14,
  // relative to n times the largest input magnitude.
  for (std::int32_t n = 4; n <= 131072; n *= 2) {
    for (bool real_only : {false, true}) {
      const std::vector<Complex> x = random_series(n, 5000u + static_cast<std::uint64_t>(n), real_only);
      std::vector<Complex> a = x;
      wvfast(n, a.data(), n, kForward);
      wvfast(n, a.data(), n, kInverse);
      double worst = 0;
      for (std::size_t i = 0; i < x.size(); ++i) {
        worst = std::max(worst, std::hypot(a[i].re - n * x[i].re, a[i].im - n * x[i].im));
      }
      EXPECT_LE(worst, 1e-14 * n * std::sqrt(2.0)) << "n=" << n << " real=" << real_only;
    }
  }
}

using wavefft::reference::literal_transform;

TEST(Wvfast, MatchesLiteralReadingBitForBit) {
  for (std::int32_t n = 1; n <= 131072; n *= 2) {
    for (std::int32_t ind : {kForward, kInverse}) {
      std::vector<Complex> a = random_series(n, 9000u + static_cast<std::uint64_t>(n), ind == kForward);
      std::vector<Complex> b = a;
      wvfast(n, a.data(), n, ind);
      literal_transform(n, b.data(), ind);
      for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(bits(a[i].re), bits(b[i].re)) << "n=" << n << " ind=" << ind << " line " << i + 1;
        ASSERT_EQ(bits(a[i].im), bits(b[i].im)) << "n=" << n << " ind=" << ind << " line " << i + 1;
      }
    }
  }
}

TEST(Wvfast, AccelerogramRoundTrip) {
  const std::filesystem::path path = wavefft::testing::kTestData / "records" / "ELCENTRO_1940.txt";
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << "cannot read " << path;

  // Two header lines, then time and 42 values per line; component 1 is
  // value 1.
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  std::vector<double> time, sample;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double t = 0, v = 0;
    if (!(fields >> t >> v)) continue;
    time.push_back(t);
    sample.push_back(v);
  }
  ASSERT_EQ(sample.size(), 5346u);
  const double dt = time[1] - time[0];
  double peak = 0;
  for (double v : sample) peak = std::max(peak, std::fabs(v));
  ASSERT_NEAR(peak, 0.280795, 1e-6);

  const std::int32_t nf = 8192;
  std::vector<Complex> a(nf, Complex{0.0, 0.0});
  for (std::size_t i = 0; i < sample.size(); ++i) a[i].re = sample[i];
  wvfast(nf, a.data(), nf, kForward);
  for (Complex& c : a) c = Complex{c.re * dt, c.im * dt};
  wvfast(nf, a.data(), nf, kInverse);
  const double dur = nf * dt;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double expected = i < sample.size() ? sample[i] : 0.0;
    ASSERT_NEAR(a[i].re / dur, expected, 1e-9 * peak) << "sample " << i + 1;
    ASSERT_NEAR(a[i].im / dur, 0.0, 1e-9 * peak) << "sample " << i + 1;
  }
}

}  // namespace
}  // namespace wavefft::transform
