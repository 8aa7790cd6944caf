// The writer of wavefft-import (layout in writer.h).
#include "import/writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

namespace wavefft::import {

namespace {

bool word_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

// " 0" repeated n times.
std::string zeros(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += " 0";
  return s;
}

// 10^0 .. 10^17, each exact in a double.
constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                             1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

}  // namespace

namespace {

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

std::string sanitise_word(const std::string& word) {
  std::string s;
  for (char c : word) {
    if (word_char(c)) s.push_back(c);
  }
  return s.empty() ? std::string("unknown") : s;
}

TimeColumn::TimeColumn(double dt) : dt_(dt) {
  // 0.005 -> "5e-03": digits "5", exponent -3 -> step 5, 3 decimals;
  // 1.25e-02 -> step 125, 4 decimals; 20 -> "2e+01" -> step 20, 0 decimals.
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, dt, std::chars_format::scientific);
  if (r.ec != std::errc() || !(dt > 0.0)) return;
  const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t e_at = text.find('e');
  if (e_at == std::string_view::npos) return;
  std::string digits;
  for (char c : text.substr(0, e_at)) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  int exponent = 0;
  std::string_view exp_text = text.substr(e_at + 1);
  if (!exp_text.empty() && exp_text.front() == '+') exp_text.remove_prefix(1);
  if (std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent).ec != std::errc()) return;
  unsigned long long step = 0;
  if (std::from_chars(digits.data(), digits.data() + digits.size(), step).ec != std::errc()) return;
  int decimals = static_cast<int>(digits.size()) - 1 - exponent;
  for (; decimals < 0; ++decimals) {
    // 2e+01 -> step 2 times 10
    if (step > std::numeric_limits<unsigned long long>::max() / 10) return;
    step *= 10;
  }
  step_ = step;
  decimals_ = decimals;
  exact_ = true;
}

std::size_t TimeColumn::max_length() const {
  // "0." + decimals + up to 20 digits of the product, or a shortest double
  return static_cast<std::size_t>(decimals_) + 24 + 32;
}

void TimeColumn::append(std::size_t i, std::string& out) const {
  const std::size_t at = out.size();
  out.resize(at + max_length());
  char* end = write(i, out.data() + at);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

char* TimeColumn::write(std::size_t i, char* p) const {
  unsigned long long product = 0;
  if (!exact_ || __builtin_mul_overflow(static_cast<unsigned long long>(i), step_, &product)) {
    // beyond 64 bits -> the shortest decimal of the double product
    return std::to_chars(p, p + 32, static_cast<double>(i) * dt_).ptr;
  }
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, product);
  const auto len = static_cast<std::size_t>(r.ptr - buf);
  const auto places = static_cast<std::size_t>(decimals_);
  if (places == 0) {
    // step 20, row 3 -> "60"
    std::memcpy(p, buf, len);
    return p + len;
  }
  if (len > places) {
    // 1234, 3 decimals -> "1.234"
    std::memcpy(p, buf, len - places);
    p += len - places;
    *p++ = '.';
    std::memcpy(p, buf + (len - places), places);
    return p + places;
  }
  // 15, 3 decimals -> "0.015"
  *p++ = '0';
  *p++ = '.';
  std::memset(p, '0', places - len);
  p += places - len;
  std::memcpy(p, buf, len);
  return p + len;
}

void write_record(const Record& rec, std::string& out) {
  const std::size_t n = rec.components[0].values.size();
  out.reserve(out.size() + 512 + n * (3 * 14 + 12 + 2 * 39 + 4));

  // line 1: LomaPrieta Gilroy-GavilanColl. acceleration g
  out += sanitise_word(rec.event);
  out += ' ';
  out += sanitise_word(rec.station);
  out += " acceleration ";
  out += unit_word(rec.unit);
  out += '\n';

  // line 2: TIME 337 67 V03 .. V10 zero V12 .. V42
  out += "TIME";
  for (int v = 1; v <= 42; ++v) {
    out += ' ';
    if (v == 1 || v == 2 || v == 11) {
      out += sanitise_word(rec.components[v == 1 ? 0 : v == 2 ? 1 : 2].name);
    } else {
      out += 'V';
      out += static_cast<char>('0' + v / 10);
      out += static_cast<char>('0' + v % 10);
    }
  }
  out += '\n';

  // Each row is put together in one scratch buffer through a pointer and
  // appended whole; the string is reserved once (reserve does not fill, so
  // no byte is written twice but the row's copy).
  static constexpr char kMiddle[] = " 0 0 0 0 0 0 0 0 ";  // values 3 .. 10 and the blank before 11
  const std::string tail = zeros(31) + '\n';           // values 12 .. 42
  const TimeColumn time(rec.dt);
  const auto& a = rec.components[0].values;
  const auto& b = rec.components[1].values;
  const auto& c = rec.components[2].values;
  ShortestColumn col_a, col_b, col_c;
  const std::size_t rows = std::min({a.size(), b.size(), c.size()});
  std::vector<char> row(time.max_length() + 3 * 32 + 2 + (sizeof kMiddle - 1) + tail.size());
  for (std::size_t i = 0; i < rows; ++i) {
    char* p = time.write(i, row.data());
    *p++ = ' ';
    p = col_a.write(p, a[i]);
    *p++ = ' ';
    p = col_b.write(p, b[i]);
    std::memcpy(p, kMiddle, sizeof kMiddle - 1);
    p += sizeof kMiddle - 1;
    p = col_c.write(p, c[i]);
    std::memcpy(p, tail.data(), tail.size());
    p += tail.size();
    out.append(row.data(), static_cast<std::size_t>(p - row.data()));
  }
}

}  // namespace wavefft::import
