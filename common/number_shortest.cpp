// SPDX-License-Identifier: GPL-3.0-or-later
// The shortest round-trip writer: std::to_chars's text, with a quick path
// for short decimals.
#include <charconv>
#include <cstring>

#include "common/numbers.h"

namespace wavefft::common {

namespace {

// 10^0 .. 10^17, each exact in a double.
constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                             1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

/// v = m / 10^d exactly, with m a whole number below 10^15 (see
/// write_shortest, step 1)?
bool is_decimal(double a, int d, unsigned long long& m) {
  const double scaled = a * kPow10[d];
  if (!(scaled < 1e15)) return false;
  const auto whole = static_cast<unsigned long long>(scaled);
  if (static_cast<double>(whole) != scaled || scaled / kPow10[d] != a) return false;
  m = whole;
  return true;
}

/// Writes m * 10^-d (m >= 1) the way std::to_chars writes the double it
/// stands for (steps 2 and 3 of write_shortest).
char* write_decimal(char* p, bool negative, unsigned long long m, int d) {
  // Step 2: the digits of m without trailing zeros, and the decimal
  // exponent e of the last digit: 1234500000 -> "12345", e = 5;
  // 123 with d = 4 -> "123", e = -4.
  char digits[20];
  int k = 0;
  int e = -d;
  while (m % 10 == 0) {
    m /= 10;
    ++e;
  }
  for (unsigned long long t = m; t != 0; t /= 10) ++k;
  for (int i = k - 1; i >= 0; --i, m /= 10) digits[i] = static_cast<char>('0' + m % 10);
  // Step 3: fixed or scientific, whichever is shorter (fixed on a tie).
  const int x = e + k - 1;  // exponent in scientific notation
  const int ax = x < 0 ? -x : x;
  const int fixed_len = e >= 0 ? k + e : (k > -e ? k + 1 : 2 - e);
  const int sci_len = k + (k > 1 ? 1 : 0) + 2 + (ax >= 100 ? 3 : 2);
  if (negative) *p++ = '-';
  const auto n = static_cast<std::size_t>(k);
  if (fixed_len <= sci_len) {
    if (e >= 0) {
      // "12345", e = 2 -> "1234500"
      std::memcpy(p, digits, n);
      p += k;
      std::memset(p, '0', static_cast<std::size_t>(e));
      return p + e;
    }
    if (k > -e) {
      // "12345", e = -2 -> "123.45"
      const auto whole = static_cast<std::size_t>(k + e);
      std::memcpy(p, digits, whole);
      p += whole;
      *p++ = '.';
      std::memcpy(p, digits + whole, n - whole);
      return p + (n - whole);
    }
    // "123", e = -5 -> "0.00123"
    *p++ = '0';
    *p++ = '.';
    const auto lead = static_cast<std::size_t>(-e - k);
    std::memset(p, '0', lead);
    p += lead;
    std::memcpy(p, digits, n);
    return p + n;
  }
  // "12345", e = 6 -> "1.2345e+10"; "1", e = -7 -> "1e-07"
  *p++ = digits[0];
  if (k > 1) {
    *p++ = '.';
    std::memcpy(p, digits + 1, n - 1);
    p += k - 1;
  }
  *p++ = 'e';
  *p++ = x < 0 ? '-' : '+';
  if (ax >= 100) *p++ = static_cast<char>('0' + ax / 100);
  *p++ = static_cast<char>('0' + ax / 10 % 10);
  *p++ = static_cast<char>('0' + ax % 10);
  return p;
}

constexpr int kMaxPlaces = 17;

}  // namespace

char* write_shortest(char* p, double v) {
  // Step 1: find decimal places d for which v = m / 10^d with m a whole
  // number below 10^15. m / 10^d is then correctly rounded (m and 10^d are
  // exact), so the decimal m * 10^-d reads back to v; and since two
  // decimals of at most 15 significant digits lie further apart than one
  // unit in the last place of v, it is the only such decimal and so the
  // shortest one: the digits std::to_chars chooses, whichever d found it.
  // -0.0123 -> d = 4, m = 123; 1234500000 -> d = 0, m = 1234500000.
  const double a = v < 0 ? -v : v;
  if (!(a >= 1e-17 && a < 1e15)) return std::to_chars(p, p + 32, v).ptr;
  unsigned long long m = 0;
  for (int d = 0; d <= kMaxPlaces; ++d) {
    if (is_decimal(a, d, m)) return write_decimal(p, v < 0, m, d);
  }
  return std::to_chars(p, p + 32, v).ptr;
}

char* ShortestColumn::write(char* p, double v) {
  // The values of one column mostly share their number of decimals
  // (counts times a scale factor share none): try the last d first, and
  // after a run of values that are no short decimals go straight to
  // std::to_chars. Any d that works gives the same text (write_shortest).
  if (misses_ >= kGiveUp) return std::to_chars(p, p + 32, v).ptr;
  const double a = v < 0 ? -v : v;
  if (!(a >= 1e-17 && a < 1e15)) return std::to_chars(p, p + 32, v).ptr;
  unsigned long long m = 0;
  if (hint_ >= 0 && is_decimal(a, hint_, m)) return write_decimal(p, v < 0, m, hint_);
  for (int d = 0; d <= kMaxPlaces; ++d) {
    if (is_decimal(a, d, m)) {
      hint_ = d;
      misses_ = 0;
      return write_decimal(p, v < 0, m, d);
    }
  }
  ++misses_;
  return std::to_chars(p, p + 32, v).ptr;
}

std::string shortest(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

}  // namespace wavefft::common
