// SPDX-License-Identifier: GPL-3.0-or-later
// The program's only Fourier transform: in-place, radix-2, decimation in time,
// unnormalised, one routine for both directions.
#pragma once

#include <cstdint>
#include <span>

#include "transform/complex.h"

namespace wavefft::transform {

/// Exponent signs passed as `ind`.
inline constexpr std::int32_t kForward = -1;
inline constexpr std::int32_t kInverse = +1;

/// The transform's pi: the double nearest to 3.141592654 (bits
/// 0x400921FB54524550), about 4.1e-10 above pi. It is used only here; every
/// twiddle angle is larger in magnitude than the exact one by kPai/pi.
inline constexpr double kPai = 3.141592654;

/// Bit-reversal permutation of a[0 .. n-1] (a[0] is line 1), with the
/// program's own counter: j runs through the reversed indices by a carry loop
/// that stops once the carry has dropped to 1. For n a power of two the value
/// at position r (from 0) ends at the position whose log2(n)-bit form is that
/// of r reversed; for n = 8, positions 1<->4 and 3<->6 are exchanged.
/// n <= 1 does nothing. Requires n a power of two.
void bit_reverse(std::int32_t n, Complex* a);

/// Transforms a[0 .. n-1] in place (a[0] is line 1); entries from a[n] on are
/// never touched. With positions p, q = 0 .. n-1 the result is
///   X_q = sum_p x_p * exp(ind * i * 2pi * p * q / n)
/// in natural order, without any 1/n factor (forward then inverse gives n
/// times the input), up to rounding and to the deviation of kPai from pi
/// (about 1e-9 relative to the sum of the input magnitudes).
///
/// Arithmetic is fixed so that results are reproducible bit for bit: for
/// each stage half-span kmax = 1, 2, 4, ... and position k = 1 .. kmax the
/// angle is kPai * double((k - 1) * ind) / kmax, the factor is
/// w = (cos angle, sin angle), and a butterfly on lines i, j = i + kmax is
///   temp = (a(j).re*w.re - a(j).im*w.im, a(j).re*w.im + a(j).im*w.re),
///   a(j) = a(i) - temp, a(i) = a(i) + temp.
///
/// `mom` is the declared capacity of `a`; it is not used. `ind` is kForward
/// or kInverse. Requires n a power of two, at most the capacity of `a`;
/// n <= 1 leaves `a` unchanged.
void wvfast(std::int32_t n, Complex* a, std::int32_t mom, std::int32_t ind);

/// wvfast(n, a, mom, ind) for every array a of `arrays` (distinct, none
/// overlapping another), with the results of separate calls bit for bit;
/// the factors of a stage are computed once for all of them.
void wvfast_each(std::int32_t n, std::span<Complex* const> arrays, std::int32_t mom, std::int32_t ind);

}  // namespace wavefft::transform
