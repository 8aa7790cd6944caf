// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/decimal.h"

#include <bit>
#include <cassert>
#include <cstddef>

namespace wavefft::textio {

namespace {

using Wide = unsigned __int128;

/// 10^0 .. 10^19, all below 2^64.
constexpr std::uint64_t kPow10[] = {1u,
                                    10u,
                                    100u,
                                    1000u,
                                    10000u,
                                    100000u,
                                    1000000u,
                                    10000000u,
                                    100000000u,
                                    1000000000u,
                                    10000000000u,
                                    100000000000u,
                                    1000000000000u,
                                    10000000000000u,
                                    100000000000000u,
                                    1000000000000000u,
                                    10000000000000000u,
                                    100000000000000000u,
                                    1000000000000000000u,
                                    10000000000000000000u};
constexpr int kMaxPow10 = 19;

/// A normal double x = m * 2^-s, m with 53 bits (2^52 <= m < 2^53).
struct Binary {
  std::uint64_t m;
  int s;  ///< minus the binary exponent of m's last bit
};

/// False for zero, denormals, infinities and NaN.
bool decompose(double x, Binary& b) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return false;
  b.m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  b.s = 1075 - biased;
  return true;
}

/// The integer part of n / 2^s and whether the rest is below, at or above
/// one half; rounded to nearest, ties to even. 1 <= s <= 127.
Wide shift_rounded(Wide n, int s) {
  const Wide q = n >> s;
  const Wide rest = n - (q << s);
  const Wide half = Wide{1} << (s - 1);
  if (rest > half || (rest == half && (q & 1) != 0)) return q + 1;
  return q;
}

}  // namespace

bool round_significant(double x, int digits, SignificantDigits& out) {
  assert(digits >= 1 && digits <= kMaxSignificantDigits);
  Binary b;
  if (!(x > 0.0) || !decompose(x, b)) return false;
  // A first guess of the decimal exponent from the binary one (x lies in
  // [2^e, 2^(e+1)) with e = 52 - s); the loop corrects it by the exact value.
  const int e = 52 - b.s;
  int exp10 = (e * 1233) >> 12;  // about e * log10(2)
  const Wide low = kPow10[digits - 1];
  const Wide high = kPow10[digits];
  if (b.s < 1 || b.s > 127) return false;
  // The guess is at most one off; a value outside the range ends up here
  // with the exponent going back and forth until the attempts run out.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int k = digits - 1 - exp10;  // x * 10^k has `digits` integer digits
    if (k < 0) {
      --exp10;
      continue;
    }
    if (k > kMaxPow10) {
      ++exp10;
      continue;
    }
    const Wide n = Wide{b.m} * kPow10[k];  // below 2^53 * 2^64
    const Wide whole = n >> b.s;
    if (whole >= high) {
      ++exp10;
      continue;
    }
    if (whole < low) {
      --exp10;
      continue;
    }
    Wide q = shift_rounded(n, b.s);
    if (q == high) {  // 9.9996 to 4 digits: 1000 and one more in the exponent
      q = low;
      ++exp10;
    }
    out.q = static_cast<std::uint64_t>(q);
    out.exp10 = exp10;
    return true;
  }
  return false;
}

bool round_fixed(double x, int decimals, std::uint64_t& q) {
  assert(decimals >= 0 && decimals <= kMaxFixedDecimals);
  if (x == 0.0) {
    q = 0;
    return true;
  }
  if (!(x > 0.0)) return false;  // negative or NaN
  Binary b;
  if (!decompose(x, b)) {
    if (x > 1.0) return false;  // infinite
    q = 0;  // a denormal: x * 10^18 < 2^-960, so 0, and no tie
    return true;
  }
  if (b.s < 1) return false;  // x >= 2^52
  if (b.s > 127) {
    // x < 2^53 * 2^-128, so x * 10^18 < 2^-15: 0, and no tie.
    q = 0;
    return true;
  }
  const Wide n = Wide{b.m} * kPow10[decimals];
  const Wide r = shift_rounded(n, b.s);
  if ((r >> 64) != 0) return false;
  q = static_cast<std::uint64_t>(r);
  return true;
}

void write_digits(char* out, std::uint64_t v, int count) {
  // Two digits at a time from the right; 32-bit steps once v fits.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  int i = count;
  while (i >= 2 && v > 0xFFFFFFFFu) {
    const auto pair = static_cast<std::size_t>(v % 100);
    v /= 100;
    i -= 2;
    out[i] = kPairs[2 * pair];
    out[i + 1] = kPairs[2 * pair + 1];
  }
  if (v > 0xFFFFFFFFu) {  // at most one digit left to write
    if (i == 1) out[0] = static_cast<char>('0' + v % 10);
    return;
  }
  auto small = static_cast<std::uint32_t>(v);
  while (i >= 2) {
    const std::size_t pair = small % 100;
    small /= 100;
    i -= 2;
    out[i] = kPairs[2 * pair];
    out[i + 1] = kPairs[2 * pair + 1];
  }
  if (i == 1) out[0] = static_cast<char>('0' + small % 10);
}

int decimal_length(std::uint64_t v) {
  int n = 1;
  while (n <= kMaxPow10 && v >= kPow10[n]) ++n;
  return n;
}

}  // namespace wavefft::textio
