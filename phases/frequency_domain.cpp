// SPDX-License-Identifier: GPL-3.0-or-later
#include "phases/frequency_domain.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "transform/wvfast.h"

namespace wavefft::phases {

namespace {

/// Angular frequency of line i: the integer i - 1 as a double, times dom.
double line_omega(std::int32_t i, double dom) {
  return static_cast<double>(std::int64_t{i} - 1) * dom;
}

void scale(Complex& c, double factor) {
  c.re = c.re * factor;
  c.im = c.im * factor;
}

}  // namespace

std::optional<TransformLength> choose_length(std::int32_t nt) {
  std::int32_t nf = 2;
  for (std::int32_t i = 2; i <= 17; ++i) {
    nf = 2 * nf;
    if (nf >= nt) return TransformLength{nf, i};
  }
  return std::nullopt;  // nt > 2^17
}

void negate(Series<double>& x, std::int32_t nt) {
  // nt counts every record read, also those past the arrays (a file of more
  // than kCapacity records reaches the sign questions before the length
  // limit stops the run); only the stored entries can be reversed.
  const std::int32_t last = std::min(nt, kCapacity);
  for (std::int32_t i = 1; i <= last; ++i) x(i) = -x(i);
}

void load_and_forward(RunState& s) {
  assert(s.nf >= 4 && s.nf <= kMaxTransform);
  assert(s.nt <= s.nf);
  const std::int32_t nf = std::clamp(s.nf, 0, kMaxTransform);
  const std::int32_t nt = std::min(s.nt, nf);

  // Load: real samples, imaginary parts +0.
  for (std::int32_t i = 1; i <= nt; ++i) {
    s.fx1(i) = Complex{s.xr1(i), 0.0};
    s.fx2(i) = Complex{s.xr2(i), 0.0};
    s.fx3(i) = Complex{s.xr3(i), 0.0};
  }
  // Pad up to the transform length.
  for (std::int32_t i = std::max(nt, 0) + 1; i <= nf; ++i) {
    s.fx1(i) = Complex{0.0, 0.0};
    s.fx2(i) = Complex{0.0, 0.0};
    s.fx3(i) = Complex{0.0, 0.0};
  }
  // Forward transforms, unscaled.
  Complex* const spectra[] = {s.fx1.data(), s.fx2.data(), s.fx3.data()};
  transform::wvfast_each(nf, spectra, kCapacity, transform::kForward);
}

void scale_and_grid(RunState& s) {
  assert(s.nf >= 4 && s.nf <= kMaxTransform);
  const std::int32_t nf = std::clamp(s.nf, 0, kMaxTransform);

  s.dur = static_cast<double>(nf) * s.dt;  // exact: nf is a power of two
  for (std::int32_t i = 1; i <= nf; ++i) {
    scale(s.fx1(i), s.dt);
    scale(s.fx2(i), s.dt);
    scale(s.fx3(i), s.dt);
  }
  s.dom = kTwoPi / s.dur;
  s.nom = nf / 2 + 1;
  s.eom = static_cast<double>(s.nom) * s.dom;
}

void band_pass(RunState& s) {
  s.oml1 = s.fl1 * kTwoPi;
  s.oml2 = s.fl2 * kTwoPi;
  s.omh1 = s.fh1 * kTwoPi;
  s.omh2 = s.fh2 * kTwoPi;

  assert(s.nom <= kCapacity);
  const std::int32_t nom = std::min(s.nom, kCapacity);
  for (std::int32_t i = 1; i <= nom; ++i) {
    s.omega = line_omega(i, s.dom);
    if (s.omega < s.oml1 || s.omega > s.omh2) {
      // Out of band (strictly below the lowest or above the highest corner).
      s.fx1(i) = Complex{0.0, 0.0};
      s.fx2(i) = Complex{0.0, 0.0};
      s.fx3(i) = Complex{0.0, 0.0};
      continue;
    }
    // In band: oml1 <= omega <= omh2, so a ramp that applies never has a
    // zero denominator. The falling ramp replaces the rising one where both
    // apply (overlapping ramps).
    s.aa = 1.0;
    if (s.omega < s.oml2) s.aa = (s.omega - s.oml1) / (s.oml2 - s.oml1);
    if (s.omega > s.omh1) s.aa = (s.omh2 - s.omega) / (s.omh2 - s.omh1);
    scale(s.fx1(i), s.aa);
    scale(s.fx2(i), s.aa);
    scale(s.fx3(i), s.aa);
  }
}

void integrate_or_differentiate(RunState& s) {
  if (s.nit != 1 && s.nit != 2 && s.nit != 3) return;
  assert(s.nom <= kCapacity);
  const std::int32_t nom = std::min(s.nom, kCapacity);

  // Line 1 (zero frequency, omega = 0) is never divided.
  for (std::int32_t i = 2; i <= nom; ++i) {
    s.omega = line_omega(i, s.dom);
    const double omega = s.omega;
    for (Series<Complex>* fx : {&s.fx1, &s.fx2, &s.fx3}) {
      Complex& c = (*fx)(i);
      const double re = c.re;
      const double im = c.im;
      switch (s.nit) {
        case 1:  // (3, 4) at omega 2 -> (2, -1.5)
          c.re = im / omega;
          c.im = (-re) / omega;
          break;
        case 2: {  // (3, 4) at omega 2 -> (-0.75, -1)
          const double w2 = omega * omega;
          c.re = re / (-w2);
          c.im = im / (-w2);
          break;
        }
        default:  // 3: (3, 4) at omega 2 -> (-8, 6)
          c.re = -(im * omega);
          c.im = re * omega;
          break;
      }
    }
  }
}

double modulus(Complex c) {
  const double a = std::fabs(c.re);
  const double b = std::fabs(c.im);
  // Written with one comparison so that a NaN part ends up in the result.
  const double big = a >= b ? a : b;
  const double small = a >= b ? b : a;
  if (big + small == big) return big;  // zero, a zero part, or negligible
  const double q = small / big;
  return big * std::sqrt(1.0 + q * q);
}

double line_frequency(std::int32_t i, double dom) { return line_omega(i, dom) / kTwoPi; }

void rebuild(RunState& s) {
  assert(s.nf >= 4 && s.nf <= kMaxTransform);
  assert(s.nt <= s.nf);
  const std::int32_t nf = std::clamp(s.nf, 0, kMaxTransform);

  // Negative frequencies from the positive ones; lines 1 and nf/2 + 1 are
  // neither source nor target.
  for (std::int32_t i = 2; i <= nf / 2; ++i) {
    const std::int32_t mirror = nf - i + 2;
    for (Series<Complex>* fx : {&s.fx1, &s.fx2, &s.fx3}) {
      const Complex c = (*fx)(i);
      (*fx)(mirror) = Complex{c.re, -c.im};
    }
  }

  Complex* const spectra[] = {s.fx1.data(), s.fx2.data(), s.fx3.data()};
  transform::wvfast_each(nf, spectra, kCapacity, transform::kInverse);

  // Forward times dt, inverse divided by nf*dt: the round trip is the identity.
  for (std::int32_t i = 1; i <= nf; ++i) {
    s.xr1(i) = s.fx1(i).re / s.dur;
    s.xr2(i) = s.fx2(i).re / s.dur;
    s.xr3(i) = s.fx3(i).re / s.dur;
  }
  const std::int32_t nt = std::min(s.nt, nf);
  for (std::int32_t i = 1; i <= nt; ++i) {
    s.x1(i) = s.xr1(i);
    s.x2(i) = s.xr2(i);
    s.x3(i) = s.xr3(i);
  }
}

std::int32_t truncate_count(double q) {
  // Every double strictly between these bounds truncates into the 32-bit
  // range; the bounds themselves are exact doubles. NaN fails both tests.
  constexpr double kBelow = -2147483649.0;
  constexpr double kAbove = 2147483648.0;
  if (!(q > kBelow && q < kAbove)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(q);
}

std::int32_t window_length(std::int32_t ndur) { return std::min(ndur, kCapacity); }

void cut_window(RunState& s, std::int32_t nused) {
  assert(nused <= kCapacity);
  const std::int32_t last = std::min(nused, kCapacity);
  for (std::int32_t i = 1; i <= last; ++i) {
    const std::int64_t k = std::int64_t{i} + s.nstime;
    if (k > 0 && k <= kCapacity) {
      s.x1(i) = s.xr1(k);
      s.x2(i) = s.xr2(k);
      s.x3(i) = s.xr3(k);
    } else {
      // Before the record (k <= 0: zeros put in front) or past the arrays.
      s.x1(i) = 0.0;
      s.x2(i) = 0.0;
      s.x3(i) = 0.0;
    }
  }
}

std::int64_t row_step(std::int32_t iskip) {
  const std::int64_t step = std::int64_t{iskip} + 1;
  return step == 0 ? 1 : step;  // answer -1: every sample, not a division by 0
}

std::int64_t row_count(std::int64_t nt, std::int64_t step) {
  assert(nt >= std::numeric_limits<std::int32_t>::min() && nt <= std::numeric_limits<std::int32_t>::max());
  assert(step >= std::numeric_limits<std::int32_t>::min() &&
         step <= std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1);
  if (step == 0) step = 1;
  const std::int64_t q = (step - 1 + nt) / step;
  return std::max<std::int64_t>(0, q);
}

bool row_in_arrays(std::int64_t i) { return i >= 1 && i <= kCapacity; }

}  // namespace wavefft::phases
