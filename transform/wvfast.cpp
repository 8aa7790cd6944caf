#include "transform/wvfast.h"

#include <cassert>
#include <cmath>

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

void wvfast(std::int32_t n, Complex* a, std::int32_t /*mom*/, std::int32_t ind) {
  if (n <= 1) return;
  assert(is_power_of_two(n));

  // Step 1: permutation into bit-reversed order.
  bit_reverse(n, a);

  // Step 2: butterfly stages of half-span kmax and span istep. Indices are
  // 64-bit so that i + istep cannot overflow for any power of two n.
  const std::int64_t nn = n;
  for (std::int64_t kmax = 1; kmax < nn; kmax *= 2) {
    const std::int64_t istep = 2 * kmax;
    for (std::int64_t k = 1; k <= kmax; ++k) {
      // The factor depends only on k, kmax and ind; it is the same for every
      // butterfly of this k, so it is evaluated once here. exp(0 + i*theta)
      // is (1*cos theta, 1*sin theta), and 1*x is x exactly.
      const double theta = kPai * static_cast<double>((k - 1) * ind) / static_cast<double>(kmax);
      const double wr = std::cos(theta);
      const double wi = std::sin(theta);
      // i = k, k + istep, ... <= n, counted from 0 here; j = i + kmax.
      for (std::int64_t i = k - 1; i < nn; i += istep) {
        Complex* const top = a + i;
        Complex* const bottom = top + kmax;
        const double ar = bottom->re;
        const double ai = bottom->im;
        const double tr = ar * wr - ai * wi;
        const double ti = ar * wi + ai * wr;
        const double ur = top->re;
        const double ui = top->im;
        bottom->re = ur - tr;
        bottom->im = ui - ti;
        top->re = ur + tr;
        top->im = ui + ti;
      }
    }
  }
  // No normalisation and no reordering after the stages.
}

}  // namespace wavefft::transform
