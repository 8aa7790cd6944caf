// SPDX-License-Identifier: GPL-3.0-or-later
// Fourier amplitude spectra, the EAS and the Konno-Ohmachi smoothing,
// against records whose transforms are known by hand and against the
// definitions evaluated term by term in long double.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/units.h"
#include "fourier/real_transform.h"
#include "measures/fas.h"
#include "measures/ko_tails.h"

namespace wavefft::measures {
namespace {

constexpr double kG = common::kStandardGravity;

std::vector<double> noise(std::size_t n, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> d(0.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = d(gen);
  return x;
}

// S(fc) by the definition, term by term in long double; NaN when empty.
double smooth_by_definition(const LineGrid& grid, const std::vector<double>& x, double fc, double b, bool full) {
  if (fc > grid.nyquist()) return std::numeric_limits<double>::quiet_NaN();
  long double sw = 0, sx = 0;
  for (std::size_t j = 1; j < grid.lines(); ++j) {
    const long double xx = b * std::log10(static_cast<long double>(grid.frequency(j)) / fc);
    if (!full && std::fabs(xx) > 3) continue;
    const long double r = std::fabs(xx) < 1e-6L ? 1.0L : std::sin(xx) / xx;
    sw += r * r * r * r;
    sx += r * r * r * r * x[j];
  }
  return sw > 0 ? static_cast<double>(sx / sw) : std::numeric_limits<double>::quiet_NaN();
}

// The agreement the smoothed values owe the definitions: 1e-9 relative
// above 1e-6 of the column's largest value, 1e-12 of that value below.
void expect_agrees(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  double top = 0;
  for (double w : want) top = std::isnan(w) ? top : std::max(top, std::fabs(w));
  for (std::size_t k = 0; k < got.size(); ++k) {
    ASSERT_EQ(std::isnan(got[k]), std::isnan(want[k])) << "frequency " << k;
    if (std::isnan(want[k])) continue;
    const double bound = std::fabs(want[k]) > 1e-6 * top ? 1e-9 * std::fabs(want[k]) : 1e-12 * top;
    EXPECT_LE(std::fabs(got[k] - want[k]), bound) << "frequency " << k;
  }
}

// Equal to the bit, empty (NaN) where the other is empty.
bool same_bits(const std::vector<std::vector<double>>& a, const std::vector<std::vector<double>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t s = 0; s < a.size(); ++s) {
    if (a[s].size() != b[s].size()) return false;
    for (std::size_t k = 0; k < a[s].size(); ++k) {
      const bool both_empty = std::isnan(a[s][k]) && std::isnan(b[s][k]);
      if (!both_empty && std::bit_cast<std::uint64_t>(a[s][k]) != std::bit_cast<std::uint64_t>(b[s][k])) return false;
    }
  }
  return true;
}

TEST(FourierAmplitudes, SineImpulseZerosAndPrimeLength) {
  // A sine of amplitude A on line 5 of n = 64: dt n A / 2 there, 0 elsewhere.
  const std::size_t n = 64;
  const double dt = 0.01, amplitude = 3.0;
  std::vector<double> sine(n);
  for (std::size_t i = 0; i < n; ++i) sine[i] = amplitude * std::sin(2 * std::numbers::pi * 5.0 * double(i) / double(n));
  const std::vector<double> f = fourier_amplitudes(sine, dt);
  ASSERT_EQ(f.size(), n / 2 + 1);
  for (std::size_t j = 0; j < f.size(); ++j) EXPECT_NEAR(f[j], j == 5 ? dt * double(n) * amplitude / 2 : 0.0, 1e-12) << j;

  // An impulse of height h: dt h at every line.
  std::vector<double> impulse(n, 0.0);
  impulse[0] = 2.5;
  for (double v : fourier_amplitudes(impulse, dt)) EXPECT_DOUBLE_EQ(v, dt * 2.5);

  for (double v : fourier_amplitudes(std::vector<double>(n, 0.0), dt)) EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(fourier_amplitudes({}, dt).empty());

  // A prime length against the sum of the definition in long double.
  const std::size_t p = 1009;
  const std::vector<double> x = noise(p, 7);
  const std::vector<double> got = fourier_amplitudes(x, dt);
  ASSERT_EQ(got.size(), p / 2 + 1);
  for (std::size_t j : {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{333}, p / 2}) {
    long double re = 0, im = 0;
    for (std::size_t i = 0; i < p; ++i) {
      const long double phase = -2 * std::numbers::pi_v<long double> * static_cast<long double>((i * j) % p) / p;
      re += x[i] * std::cos(phase);
      im += x[i] * std::sin(phase);
    }
    EXPECT_NEAR(got[j], static_cast<double>(dt * std::sqrt(re * re + im * im)), 1e-12 * std::sqrt(double(p))) << j;
  }
}

TEST(FourierAmplitudes, InverseUndoesForward) {
  for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{128}, std::size_t{997}}) {
    const std::vector<double> x = noise(n, 3);
    const std::vector<double> back = fourier::inverse_real(fourier::forward_real(x), n);
    for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(back[i] / double(n), x[i], 1e-12) << n << " " << i;
  }
  EXPECT_THROW(fourier::inverse_real(std::vector<std::complex<double>>(3), 8), std::invalid_argument);
}

TEST(FourierAmplitudes, SameBitsFromSeveralThreadsOverMoreLengthsThanPlansKept) {
  // Twelve lengths, more than the plans kept, so that plans are dropped
  // while other threads may still run them.
  std::vector<std::vector<double>> inputs, want;
  for (std::size_t n = 1000; n < 1012; ++n) {
    inputs.push_back(noise(n, static_cast<std::uint32_t>(n)));
    want.push_back(fourier_amplitudes(inputs.back(), 0.01));
  }
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < mismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t round = 0; round < 30; ++round) {
        const std::size_t k = (round * 5 + t * 7) % inputs.size();
        if (fourier_amplitudes(inputs[k], 0.01) != want[k]) ++mismatches[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(EffectiveAmplitudes, MeanOfSquaresWithoutOverflow) {
  const std::vector<double> f{0.0, 1.0, 3.0, 1e200, 1e-200};
  EXPECT_EQ(effective_amplitudes(f, f), f);  // two identical horizontals: their FAS
  const std::vector<double> e = effective_amplitudes(std::vector<double>{3.0, 1e300, 3e-300}, std::vector<double>{4.0, 0.0, 4e-300});
  EXPECT_DOUBLE_EQ(e[0], std::sqrt(12.5));
  EXPECT_DOUBLE_EQ(e[1], 1e300 / std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(e[2], 5e-300 / std::sqrt(2.0));
  EXPECT_THROW(effective_amplitudes(std::vector<double>(2), std::vector<double>(3)), std::invalid_argument);
}

TEST(KonnoOhmachi, WeightAtAndNearTheCentre) {
  const double b = 188.5;
  EXPECT_EQ(konno_ohmachi(2.0, 2.0, b), 1.0);
  // x below 1e-6: exactly 1; just above: (sin x / x)^4 = 1 - 2x^2/3 + ...
  const double below = 2.0 * std::pow(10.0, 0.9e-6 / b);
  const double above = 2.0 * std::pow(10.0, 1e-3 / b);
  EXPECT_EQ(konno_ohmachi(below, 2.0, b), 1.0);
  EXPECT_NEAR(konno_ohmachi(above, 2.0, b), 1.0 - 2.0 / 3.0 * 1e-6, 1e-12);
  // The first zero at x = pi, symmetric in log f, and (sin 3 / 3)^4 at the lobe's edge.
  EXPECT_NEAR(konno_ohmachi(2.0 * std::pow(10.0, std::numbers::pi / b), 2.0, b), 0.0, 1e-20);
  EXPECT_NEAR(konno_ohmachi(2.0 * std::pow(10.0, 3.0 / b), 2.0, b), std::pow(std::sin(3.0) / 3.0, 4), 1e-13);
  EXPECT_DOUBLE_EQ(konno_ohmachi(2.0 * 1.01, 2.0, b), konno_ohmachi(2.0 / 1.01, 2.0, b));
}

TEST(KoSmooth, EmptyAboveNyquistBelowTheFirstLineAndBetweenLines) {
  // n = 8, dt = 0.1: lines every 1.25 Hz up to the Nyquist frequency 5 Hz,
  // far wider apart than the main window (a few per cent of fc).
  const LineGrid grid{8, 0.1};
  const std::vector<double> x{9, 1, 2, 3, 4};
  const std::vector<std::span<const double>> one{x};
  const std::vector<double> fc{0.5, 1.25, 1.9, 5.0, 5.000001, 2.5};
  const auto main = ko_smooth(grid, one, fc, {})[0];
  EXPECT_TRUE(std::isnan(main[0]));  // below the first line
  EXPECT_EQ(main[1], 1.0);
  EXPECT_TRUE(std::isnan(main[2]));  // between lines 1 and 2
  EXPECT_EQ(main[3], 4.0);           // exactly the Nyquist frequency
  EXPECT_TRUE(std::isnan(main[4]));  // above it
  EXPECT_EQ(main[5], 2.0);
  // The full window has every line above 0 Hz: only above Nyquist is empty.
  const auto full = ko_smooth(grid, one, fc, {188.5, KoWindow::full})[0];
  for (std::size_t k = 0; k < fc.size(); ++k) EXPECT_EQ(std::isnan(full[k]), k == 4) << k;
  // A record of zeros smooths to zeros.
  const std::vector<double> zeros(5, 0.0);
  const std::vector<std::span<const double>> z{zeros};
  EXPECT_EQ(ko_smooth(grid, z, std::vector<double>{1.25, 2.5}, {})[0], (std::vector<double>{0.0, 0.0}));
}

TEST(KoSmooth, AgreesWithTheDefinitionOnALongRecord) {
  // 131072 samples: 65537 lines, full and main, the default bandwidth and a
  // narrow one that sends the tails term by term (|b log10 f| > 4096).
  const LineGrid grid{131072, 0.005};
  std::vector<double> x = fourier_amplitudes(noise(grid.n, 11), grid.dt);
  const std::vector<std::span<const double>> spectra{x};
  std::vector<double> fc;
  for (double f = 0.003; f < 120.0; f *= 2.7) fc.push_back(f);
  fc.push_back(grid.nyquist());
  for (const auto& [b, full] : {std::pair{188.5, true}, std::pair{188.5, false}, std::pair{40.0, true},
                                std::pair{3000.0, true}}) {
    const auto got = ko_smooth(grid, spectra, fc, {b, full ? KoWindow::full : KoWindow::main})[0];
    std::vector<double> want;
    for (double f : fc) want.push_back(smooth_by_definition(grid, x, f, b, full));
    SCOPED_TRACE(testing::Message() << "b " << b << (full ? " full" : " main"));
    expect_agrees(got, want);
  }
}

TEST(KoSmooth, SameBitsOnAnyThreadCountAndMainCloseToFull) {
  const LineGrid grid{4000, 0.01};
  // A smooth spectrum: main and full differ only by the tails' few parts in 1e3.
  std::vector<double> smooth(grid.lines());
  for (std::size_t j = 0; j < smooth.size(); ++j) smooth[j] = 1.0 / (1.0 + grid.frequency(j));
  const std::vector<double> rough = fourier_amplitudes(noise(grid.n, 5), grid.dt);
  const std::vector<std::span<const double>> spectra{smooth, rough, smooth, rough, smooth};  // two groups
  const auto fc = fas_frequencies();
  const auto one = ko_smooth(grid, spectra, fc, {188.5, KoWindow::full}, 1);
  const auto two = ko_smooth(grid, spectra, fc, {188.5, KoWindow::full}, 2);
  EXPECT_TRUE(same_bits(one, two));
  EXPECT_TRUE(same_bits({one[0]}, {one[4]}));  // the fifth spectrum is smoothed in a group of its own
  const auto main = ko_smooth(grid, spectra, fc, {}, 2);
  for (std::size_t k = 0; k < fc.size(); ++k) {
    if (std::isnan(main[0][k])) continue;
    EXPECT_NEAR(main[0][k], one[0][k], 5e-3 * one[0][k]) << fc[k];
  }
}

TEST(KoSmooth, EveryKernelOfTheTailsGivesTheSameBits) {
  // Main lobes (the lines left out) that start and end inside blocks of 32
  // lines; the tails span chunks.
  const LineGrid grid{20011, 0.01};
  const std::vector<double> x = fourier_amplitudes(noise(grid.n, 9), grid.dt);
  const std::vector<std::span<const double>> spectra{x, x, x};
  const TailLines tails(grid, 188.5, spectra);
  ASSERT_TRUE(tails.usable());
  std::vector<TailRequest> want{{0.37, 72, 77}, {12.5, 2410, 2594}, {49.0, 9452, 10006}};
  tails.add(want, TailIsa::base);
  for (const TailIsa isa : runnable_tail_isas()) {
    std::vector<TailRequest> got{{0.37, 72, 77}, {12.5, 2410, 2594}, {49.0, 9452, 10006}};
    tails.add(got, isa);
    for (std::size_t r = 0; r < got.size(); ++r) {
      for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got[r].sums[k]), std::bit_cast<std::uint64_t>(want[r].sums[k]))
            << "instruction set " << static_cast<int>(isa) << ", request " << r << ", sum " << k;
      }
    }
  }
  // Each request's sums do not depend on the others in the call.
  std::vector<TailRequest> alone{{12.5, 2410, 2594}};
  tails.add(alone);
  EXPECT_EQ(alone[0].sums, want[1].sums);
}

TEST(KoSmooth, RefusesBadArguments) {
  const LineGrid grid{8, 0.1};
  const std::vector<double> x(5, 1.0), short_x(4, 1.0);
  const std::vector<std::span<const double>> good{x}, bad{short_x};
  const std::vector<double> fc{1.0};
  for (double b : {0.0, -1.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_THROW(ko_smooth(grid, good, fc, {b, KoWindow::main}), std::invalid_argument) << b;
  }
  EXPECT_THROW(ko_smooth(grid, bad, fc, {}), std::invalid_argument);
  EXPECT_THROW(ko_smooth(grid, good, std::vector<double>{-1.0}, {}), std::invalid_argument);
  EXPECT_THROW(ko_smooth(LineGrid{8, 0.0}, good, fc, {}), std::invalid_argument);
}

TEST(FourierSpectra, ConvertsToGAndSmoothsEveryColumn) {
  // 2 s of a 1 Hz cosine of 1 g in comp1 and comp2, zeros in comp3.
  const std::size_t n = 200;
  const double dt = 0.01;
  std::vector<double> a(n), zeros(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) a[i] = kG * std::cos(2 * std::numbers::pi * double(i) * dt);
  const std::vector<double> fc{1.0, 0.1, 60.0};
  const FourierSpectra s = fourier_spectra({a, a, zeros}, dt, fc);
  ASSERT_EQ(s.lines[0].size(), n / 2 + 1);
  EXPECT_NEAR(s.lines[0][2], dt * double(n) / 2, 1e-12);  // line 2 is 1 Hz
  EXPECT_NEAR(s.fas[0][0], 1.0, 1e-12);
  EXPECT_EQ(s.eas[0], s.fas[0][0]);
  EXPECT_EQ(s.fas[2][0], 0.0);
  EXPECT_TRUE(std::isnan(s.fas[0][1]) && std::isnan(s.eas[2]));  // below the first line, above Nyquist
  EXPECT_THROW(fourier_spectra({a, a, std::vector<double>(n - 1)}, dt, fc), std::invalid_argument);
  EXPECT_THROW(fourier_spectra({a, a, zeros}, -dt, fc), std::invalid_argument);
  const std::vector<double> huge(n, 1e306);
  EXPECT_THROW(fourier_spectra({huge, huge, huge}, 1e3, fc), std::invalid_argument);
}

}  // namespace
}  // namespace wavefft::measures
