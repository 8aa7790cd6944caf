// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the writers on arbitrary doubles (any bit pattern: NaNs,
// infinities, subnormals, negative zero).
//
// Input layout: 10-byte chunks, each a double (8 bytes, host order), then a
// width byte and a decimals byte for one extra field of that shape; bytes
// after the last whole chunk are ignored.
//
// Per double:
//  - the list item (append_list_double): one blank, the sign column, at most
//    9 significant digits, a decimal point, a three-digit exponent in the
//    exponent form, no trailing zero after the point; it parses back to the
//    double rounded to 9 significant digits (the same 9 digits and exponent
//    as printf's "%.8e", within half a unit of the 9th digit for subnormals);
//  - the F and E fields of the program's rows (F8.4, F8.3, E12.4) and one
//    field of the width and decimals from the input: exactly w characters,
//    and the same text as a reference built independently on snprintf; a
//    field that is not all asterisks parses back to within half a unit of
//    its last digit.
// Per group of up to seven doubles: the free-form record of the first k of
// them (k = 0 .. 7) by render_list_doubles is the one render_list_record
// makes, within the room list_doubles_room promises, every line below 80
// columns; the two CSV rows "(F8.4,6(',',E12.4))" and
// "(F8.3,4(',',E12.4))", for every number of values from none to a full
// row, are the fields above joined by commas, ending before the first field
// without a value (after its comma), with a line end; the program's rows of
// four values are 48 characters.
#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "textio/fixedfmt.h"
#include "textio/listout.h"

namespace {

using wavefft::textio::append_e_field;
using wavefft::textio::append_f_field;
using wavefft::textio::append_list_double;
using wavefft::textio::FixedFormat;

[[noreturn]] void broken(const char* what, double x, std::string_view text) {
  std::fprintf(stderr, "writers_fuzz: %s: x = %a (bits %016llx), text \"%.*s\"\n", what, x,
               static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)), static_cast<int>(text.size()),
               text.data());
  std::abort();
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// printf's "%.8e" of |x|: 9 significant digits and the decimal exponent.
void nine_digits(double magnitude, std::string& digits, int& exp10) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.8e", magnitude);
  digits.assign(1, buf[0]);
  digits.append(buf + 2, 8);
  exp10 = std::atoi(buf + 11);
}

// ---------------------------------------------------------------------------
// The list item.

void check_list_double(double x) {
  std::string out = "prefix";
  append_list_double(out, x);
  if (out.compare(0, 6, "prefix") != 0) broken("list item changed what was before it", x, out);
  const std::string_view t = std::string_view(out).substr(6);
  if (t.size() < 3 || t.size() > 17) broken("list item length", x, t);
  if (t[0] != ' ') broken("list item does not start with a blank", x, t);
  const char sign = (x < 0.0) ? '-' : ' ';
  if (t[1] != sign) broken("list item sign column", x, t);
  const std::string_view body = t.substr(2);
  if (std::isnan(x)) {
    if (body != "NaN") broken("list item of NaN", x, t);
    return;
  }
  if (std::isinf(x)) {
    if (body != "Infinity") broken("list item of an infinity", x, t);
    return;
  }
  if (x == 0.0) {
    if (body != "0.") broken("list item of zero", x, t);
    return;
  }

  // Shape: digits, one point, digits, optionally E, sign, three digits.
  const std::size_t point = body.find('.');
  if (point == std::string_view::npos || body.find('.', point + 1) != std::string_view::npos) {
    broken("list item needs exactly one decimal point", x, t);
  }
  const std::size_t e_at = body.find('E');
  const std::string_view mantissa = body.substr(0, e_at);
  for (char c : mantissa) {
    if (c != '.' && !is_digit(c)) broken("list item mantissa character", x, t);
  }
  const std::string_view fraction = mantissa.substr(point + 1);
  if (!fraction.empty() && fraction.back() == '0') broken("list item keeps a trailing zero", x, t);
  std::size_t significant = 0;
  bool leading = true;
  for (char c : mantissa) {
    if (c == '.') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++significant;
  }
  if (significant == 0 || significant > 9) broken("list item significant digits", x, t);

  std::string digits;
  int exp10 = 0;
  nine_digits(std::fabs(x), digits, exp10);
  const bool exponent_form = exp10 < -4 || exp10 > 8;
  if (exponent_form != (e_at != std::string_view::npos)) broken("list item form (fixed or exponent)", x, t);
  if (exponent_form) {
    const std::string_view ex = body.substr(e_at + 1);
    if (ex.size() != 4 || (ex[0] != '+' && ex[0] != '-') || !is_digit(ex[1]) || !is_digit(ex[2]) || !is_digit(ex[3])) {
      broken("list item exponent is not a sign and three digits", x, t);
    }
    if (point != 1) broken("list item exponent form has one digit before the point", x, t);
  }

  // Parse back.
  const std::string text(body);
  char* end = nullptr;
  const double back = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) broken("list item does not parse as a number", x, t);
  const double ax = std::fabs(x);
  if (back >= DBL_MIN && ax >= DBL_MIN) {
    std::string back_digits;
    int back_exp = 0;
    nine_digits(back, back_digits, back_exp);
    if (back_digits != digits || back_exp != exp10) broken("list item does not round-trip its 9 digits", x, t);
  } else {
    // Subnormal: 9 digits hold more than the number has; half a unit of the
    // 9th digit plus one subnormal step for the conversion back.
    const double bound = 5.0000001e-9 * ax + std::numeric_limits<double>::denorm_min();
    if (!(std::fabs(back - ax) <= bound)) broken("list item of a subnormal parses back too far off", x, t);
  }
}

// ---------------------------------------------------------------------------
// F and E fields: reference texts built on snprintf.

std::string right_justified(int w, const std::string& text) {
  if (text.size() > static_cast<std::size_t>(w)) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

std::string reference_non_finite(double x, int w) {
  if (std::isnan(x)) return right_justified(w, "NaN");
  const std::string full = std::signbit(x) ? "-Infinity" : "Infinity";
  if (full.size() <= static_cast<std::size_t>(w)) return right_justified(w, full);
  return right_justified(w, std::signbit(x) ? "-Inf" : "Inf");
}

std::string reference_f(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_non_finite(x, w);
  std::string digits(512, '\0');
  const int n = std::snprintf(digits.data(), digits.size(), "%.*f", d, std::fabs(x));
  digits.resize(static_cast<std::size_t>(n));
  if (d == 0) digits.push_back('.');
  const bool minus = x < 0.0 && digits.find_first_of("123456789") != std::string::npos;
  std::string text = (minus ? "-" : "") + digits;
  if (text.size() == static_cast<std::size_t>(w) + 1) {
    // The leading zero before the point gives way when that alone makes it fit.
    const std::size_t zero = minus ? 1 : 0;
    if (digits[0] == '0') text.erase(zero, 1);
  }
  return right_justified(w, text);
}

std::string reference_e(double x, int w, int d) {
  if (!std::isfinite(x)) return reference_non_finite(x, w);
  std::string mant(static_cast<std::size_t>(d), '0');
  int e = 0;
  if (x != 0.0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(x));
    mant.assign(1, buf[0]);
    const char* p = buf + 1;
    if (*p == '.') {
      mant.append(p + 1, static_cast<std::size_t>(d - 1));
      p += d;
    }
    e = std::atoi(p + 1) + 1;  // at 'e'
  }
  const int mag = std::abs(e);
  char ex[8];
  if (mag <= 99) {
    std::snprintf(ex, sizeof ex, "E%c%02d", e < 0 ? '-' : '+', mag);
  } else {
    std::snprintf(ex, sizeof ex, "%c%03d", e < 0 ? '-' : '+', mag);
  }
  return right_justified(w, std::string(x < 0.0 ? "-" : "") + "0." + mant + ex);
}

/// Parses a field back; E fields may carry a three-digit exponent with no
/// letter ("0.1000-100"). Long double, so that a field rounded up past the
/// largest double ("0.1798+309") still parses.
long double parse_field(std::string_view field, bool e_field) {
  std::string s(field);
  s.erase(0, s.find_first_not_of(' '));
  if (s.find_first_of("0123456789") == std::string::npos) return 0.0L;  // "." is 0 in F1.0
  if (e_field && s.find('E') == std::string::npos) {
    const std::size_t at = s.find_last_of("+-");
    if (at != std::string::npos && at > 0) s.insert(at, "E");
  }
  char* end = nullptr;
  const long double v = std::strtold(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return std::numeric_limits<long double>::quiet_NaN();
  return v;
}

void check_f(double x, int w, int d) {
  std::string out = "<";
  append_f_field(out, x, w, d);
  if (out[0] != '<') broken("F field changed what was before it", x, out);
  const std::string_view field = std::string_view(out).substr(1);
  if (field.size() != static_cast<std::size_t>(w)) broken("F field width", x, field);
  if (field != reference_f(x, w, d)) broken("F field differs from the reference", x, field);
  if (!std::isfinite(x) || field.find('*') != std::string_view::npos) return;
  const long double back = parse_field(field, false);
  // Half a unit of the last decimal, plus the rounding of the parse.
  const long double bound = 0.5000001L * std::pow(10.0L, -d) + 1e-15L * std::fabs(x);
  if (!(std::fabs(back - x) <= bound)) broken("F field parses back too far off", x, field);
}

void check_e(double x, int w, int d) {
  std::string out = "<";
  append_e_field(out, x, w, d);
  if (out[0] != '<') broken("E field changed what was before it", x, out);
  const std::string_view field = std::string_view(out).substr(1);
  if (field.size() != static_cast<std::size_t>(w)) broken("E field width", x, field);
  if (field != reference_e(x, w, d)) broken("E field differs from the reference", x, field);
  if (!std::isfinite(x) || field.find('*') != std::string_view::npos) return;
  const long double back = parse_field(field, true);
  // 0.m1..md x 10^e: half a unit of md is at most 5 x 10^-d of |x|; the
  // long double parse adds up to half of its own unit (2^-64 of |x|).
  const long double bound = (5.0000001L * std::pow(10.0L, -d) + 1e-19L) * std::fabs(x) +
                            std::numeric_limits<double>::denorm_min();
  if (!(std::fabs(back - x) <= bound)) broken("E field parses back too far off", x, field);
}

// ---------------------------------------------------------------------------
// Rows.

const FixedFormat kSpectrumRow("(F8.4,6(',',E12.4))");
const FixedFormat kWaveRow("(F8.3,4(',',E12.4))");

/// The row "(Fw.fd,n(',',E12.4))" for the first k values, built field by field.
std::string expected_row(const double* v, std::size_t k, std::size_t n, int fw, int fd) {
  std::string row;
  if (k >= 1) {
    append_f_field(row, v[0], fw, fd);
    for (std::size_t i = 1; i <= n; ++i) {
      row.push_back(',');
      if (i >= k) break;
      append_e_field(row, v[i], 12, 4);
    }
  }
  row.push_back('\n');
  return row;
}

/// The record of doubles by the direct renderer and by the general one.
void check_list_record(const double* v, std::size_t count) {
  std::vector<wavefft::textio::ListItem> items(v, v + count);
  std::string general;
  wavefft::textio::render_list_record(general, items);
  std::vector<char> direct(wavefft::textio::list_doubles_room(count) + 1, '\x7f');
  const std::size_t len = wavefft::textio::render_list_doubles(direct.data(), std::span<const double>(v, count));
  if (len > wavefft::textio::list_doubles_room(count) || direct[wavefft::textio::list_doubles_room(count)] != '\x7f') {
    broken("render_list_doubles wrote past its room", count > 0 ? v[0] : 0.0, general);
  }
  if (std::string_view(direct.data(), len) != general) {
    broken("render_list_doubles differs from render_list_record", count > 0 ? v[0] : 0.0,
           std::string_view(direct.data(), len));
  }
  // A line is ended before an item that would reach column 80, and no double
  // item is that long: every line stays below 80 columns.
  std::size_t start = 0;
  while (start < general.size()) {
    const std::size_t end = general.find('\n', start);
    if (end == std::string::npos) broken("list record without a final line end", v[0], general);
    if (end - start >= 80) broken("list record line of 80 columns or more", v[0], general);
    start = end + 1;
  }
}

void check_rows(const double* v, std::size_t count) {
  struct Row {
    const FixedFormat* format;
    std::size_t groups;
    int fw, fd;
  };
  const Row rows[] = {{&kSpectrumRow, 6, 8, 4}, {&kWaveRow, 4, 8, 3}};
  for (const Row& r : rows) {
    const std::size_t full = r.groups + 1;
    for (std::size_t k = 0; k <= std::min(count, full); ++k) {
      std::string out;
      r.format->render(out, std::span<const double>(v, k));
      const std::string want = expected_row(v, k, r.groups, r.fw, r.fd);
      if (out != want) broken("CSV row differs from its fields", k > 0 ? v[0] : 0.0, out);
      // Every field given: no comma at the end. The program's rows give four
      // values: 48 characters, the last the comma before the first field
      // without a value.
      const std::size_t fields = k == 0 ? 0 : static_cast<std::size_t>(r.fw) + 13 * (k - 1);
      const std::size_t length = fields + (k >= 1 && k < full ? 1 : 0) + 1;
      if (out.size() != length) broken("CSV row length", k > 0 ? v[0] : 0.0, out);
      if (k == 4 && out.size() != 49) broken("CSV row of four values is not 48 characters", v[0], out);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kChunk = 10;
  const std::size_t n = size / kChunk;
  double values[8];
  std::size_t in_group = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* c = data + i * kChunk;
    std::uint64_t bits = 0;
    std::memcpy(&bits, c, sizeof bits);
    const double x = std::bit_cast<double>(bits);

    check_list_double(x);
    check_f(x, 8, 4);
    check_f(x, 8, 3);
    check_e(x, 12, 4);
    // A field of the width and decimals from the input, within the limits the
    // field functions are built for.
    const int w = 1 + c[8] % wavefft::textio::kMaxFieldWidth;
    check_f(x, w, c[9] % (wavefft::textio::kMaxFieldDecimals + 1));
    check_e(x, w, 1 + c[9] % wavefft::textio::kMaxFieldDecimals);

    values[in_group++] = x;
    if (in_group == 7 || i + 1 == n) {
      check_rows(values, in_group);
      for (std::size_t k = 0; k <= in_group; ++k) check_list_record(values, k);
      in_group = 0;
    }
  }
  return 0;
}
