// SPDX-License-Identifier: GPL-3.0-or-later
#include "transform/wvfast.h"

#include <cassert>
#include <cmath>
#include <memory>
#include <span>

namespace wavefft::transform {

namespace {

[[maybe_unused]] constexpr bool is_power_of_two(std::int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

void bit_reverse(std::int32_t n, Complex* a) {
  if (n <= 1) return;
  assert(is_power_of_two(n));
  // Line i of the routine is a[i - 1].
  auto line = [a](std::int32_t i) -> Complex& { return a[i - 1]; };

  std::int32_t j = 1;
  for (std::int32_t i = 1; i <= n; ++i) {
    if (i < j) {
      const Complex temp = line(j);
      line(j) = line(i);
      line(i) = temp;
    }
    // Carry loop: subtract the set high bits of j. It stops as soon as the
    // carry m has dropped to 1 without testing the lowest bit; that only
    // matters in the last pass (i = n), after which j is not used.
    std::int32_t m = n / 2;
    while (j > m) {
      j -= m;
      m /= 2;
      if (m <= 1) break;
    }
    j += m;
  }
}

namespace {

/// Step 2 of the transform, the butterfly stages, on every array of `arrays`
/// (each already in bit-reversed order), stage by stage. Indices are 64-bit
/// so that i + istep cannot overflow for any power of two n.
///
/// The factor depends only on k, kmax and ind, so each stage first fills a
/// table with the factors of k = 1 .. kmax, each computed from its own angle
/// exactly as the butterfly needs it: exp(0 + i*theta) is
/// (1*cos theta, 1*sin theta), and 1*x is x exactly. The butterflies then
/// run span by span with k innermost, so both the table and the array are
/// walked with unit stride. Within a stage every butterfly touches its own
/// two lines only, and an array never meets another, so neither the order
/// of the butterflies nor that of the arrays changes a bit of the result.
void butterfly_stages(std::int64_t nn, std::span<Complex* const> arrays, std::int32_t ind) {
  // The largest stage has n/2 factors. Left uninitialised: every entry is
  // written before it is read.
  const std::unique_ptr<Complex[]> factors(new Complex[static_cast<std::size_t>(nn / 2)]);
  Complex* const w = factors.get();
  for (std::int64_t kmax = 1; kmax < nn; kmax *= 2) {
    const std::int64_t istep = 2 * kmax;
    for (std::int64_t k = 1; k <= kmax; ++k) {
      const double theta = kPai * static_cast<double>((k - 1) * ind) / static_cast<double>(kmax);
      w[k - 1] = Complex{std::cos(theta), std::sin(theta)};
    }
    for (Complex* const a : arrays) {
      // i = k, k + istep, ... <= n, counted from 0 here; j = i + kmax.
      for (std::int64_t span = 0; span < nn; span += istep) {
        Complex* const top = a + span;
        Complex* const bottom = top + kmax;
        for (std::int64_t k = 0; k < kmax; ++k) {
          const double wr = w[k].re;
          const double wi = w[k].im;
          const double ar = bottom[k].re;
          const double ai = bottom[k].im;
          const double tr = ar * wr - ai * wi;
          const double ti = ar * wi + ai * wr;
          const double ur = top[k].re;
          const double ui = top[k].im;
          bottom[k].re = ur - tr;
          bottom[k].im = ui - ti;
          top[k].re = ur + tr;
          top[k].im = ui + ti;
        }
      }
    }
  }
  // No normalisation and no reordering after the stages.
}

}  // namespace

void wvfast(std::int32_t n, Complex* a, std::int32_t /*mom*/, std::int32_t ind) {
  if (n <= 1) return;
  assert(is_power_of_two(n));
  // Step 1: permutation into bit-reversed order; step 2: the stages.
  bit_reverse(n, a);
  Complex* const one[] = {a};
  butterfly_stages(n, one, ind);
}

void wvfast_each(std::int32_t n, std::span<Complex* const> arrays, std::int32_t /*mom*/, std::int32_t ind) {
  if (n <= 1) return;
  assert(is_power_of_two(n));
  for (Complex* const a : arrays) bit_reverse(n, a);
  butterfly_stages(n, arrays, ind);
}

}  // namespace wavefft::transform
