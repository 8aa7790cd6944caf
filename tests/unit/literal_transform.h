// SPDX-License-Identifier: GPL-3.0-or-later
// The transform read literally, for tests: 1-based lines, the bit-reversal
// counter with its carry loop, and exp(0 + i*theta) evaluated for every
// butterfly. The routine under test must agree with it bit for bit, so any
// rework of its loops keeps the results.
#pragma once

#include <cmath>
#include <cstdint>

#include "transform/complex.h"

namespace wavefft::reference {

inline void literal_transform(std::int32_t n, Complex* a, std::int32_t ind) {
  auto at = [a](std::int32_t i) -> Complex& { return a[i - 1]; };
  const double pai = 3.141592654;
  std::int32_t j = 1;
  for (std::int32_t i = 1; i <= n; ++i) {
    if (i < j) {
      const Complex temp = at(j);
      at(j) = at(i);
      at(i) = temp;
    }
    std::int32_t m = n / 2;
    for (;;) {
      if (j <= m) break;
      j = j - m;
      m = m / 2;
      if (m <= 1) break;
    }
    j = j + m;
  }
  std::int32_t kmax = 1;
  while (kmax < n) {
    const std::int32_t istep = 2 * kmax;
    for (std::int32_t k = 1; k <= kmax; ++k) {
      const double theta = pai * static_cast<double>((k - 1) * ind) / kmax;
      for (std::int32_t i = k; i <= n; i += istep) {
        const std::int32_t jj = i + kmax;
        const double e = std::exp(0.0);
        const Complex w{e * std::cos(theta), e * std::sin(theta)};
        const Complex temp{at(jj).re * w.re - at(jj).im * w.im, at(jj).re * w.im + at(jj).im * w.re};
        at(jj) = Complex{at(i).re - temp.re, at(i).im - temp.im};
        at(i) = Complex{at(i).re + temp.re, at(i).im + temp.im};
      }
    }
    kmax = istep;
  }
}

}  // namespace wavefft::reference
