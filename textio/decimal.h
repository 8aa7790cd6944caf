// SPDX-License-Identifier: GPL-3.0-or-later
// Exact decimal rounding of doubles by integer arithmetic, for the number
// writers: the same digits as std::to_chars with a precision (the exact
// binary value rounded to nearest, ties to even), without its general
// machinery. Each function covers the range in which a double times a power
// of ten fits in 128 bits and says when a value lies outside it; the caller
// then takes std::to_chars.
#pragma once

#include <cstdint>

namespace wavefft::textio {

/// Largest count of significant digits round_significant() takes.
inline constexpr int kMaxSignificantDigits = 17;
/// Largest count of decimals round_fixed() takes.
inline constexpr int kMaxFixedDecimals = 18;

/// x rounded to `digits` significant digits: x ~ q * 10^(exp10 - digits + 1)
/// with 10^(digits-1) <= q < 10^digits, so exp10 is the decimal exponent of
/// the first digit after rounding (9.9996 to 4 digits: q = 1000, exp10 = 1).
struct SignificantDigits {
  std::uint64_t q;
  int exp10;
};

/// Rounds a finite x > 0 to `digits` (1 .. kMaxSignificantDigits)
/// significant digits. False, with `out` unspecified, when x is a denormal,
/// x >= 2^52, or the decimal exponent of x lies outside digits - 20 ..
/// digits - 1 (for 9 digits 1e-11 <= x < 1e9 is covered, for 4 digits
/// 1e-16 <= x < 1e4).
bool round_significant(double x, int digits, SignificantDigits& out);

/// Rounds a finite x >= 0 to `decimals` (0 .. kMaxFixedDecimals) decimals:
/// q = x * 10^decimals rounded to an integer. False, with `q` unspecified,
/// when x >= 2^52 or q does not fit in 64 bits.
bool round_fixed(double x, int decimals, std::uint64_t& q);

/// Writes the `count` lowest decimal digits of v, with leading zeros, to
/// out[0 .. count-1].
void write_digits(char* out, std::uint64_t v, int count);

/// Number of decimal digits of v (1 for 0).
int decimal_length(std::uint64_t v);

}  // namespace wavefft::textio
