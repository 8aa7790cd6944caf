// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/listout.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "textio/decimal.h"

namespace wavefft::textio {

namespace {

/// A line is ended before an item when position + counted length reaches this.
constexpr std::size_t kLineLimit = 80;

/// Significant digits of a double item.
constexpr int kListDigits = 9;

/// Decimal exponents (of the value rounded to 9 digits) shown in fixed form:
/// from kFixedMinExp up to kFixedMaxExp inclusive; exponent form outside.
constexpr int kFixedMinExp = -4;
constexpr int kFixedMaxExp = kListDigits - 1;

/// Large enough for any item text: " -1.23456789E-308" is 17 characters,
/// " -0.000123456789" 16, " -2147483648" 12, " -Infinity" 10.
constexpr std::size_t kItemBuffer = 32;

/// The 9 nearest significant digits of a finite, nonzero magnitude and the
/// decimal exponent of the first one: value = d.dddddddd x 10^exp10.
struct Digits9 {
  char digits[kListDigits];
  int exp10;
};

Digits9 round_to_9_digits(double magnitude) {
  Digits9 r{};
  // The common range by exact integer arithmetic, the rest by to_chars; both
  // round the exact value to nearest, ties to even.
  SignificantDigits sig;
  if (round_significant(magnitude, kListDigits, sig)) {
    write_digits(r.digits, sig.q, kListDigits);
    r.exp10 = sig.exp10;
    return r;
  }
  // Scientific with 8 decimals is exactly "d.ddddddddE<sign><digits>",
  // correctly rounded by to_chars.
  char sci[kItemBuffer];
  const auto res = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific,
                                 kListDigits - 1);
  assert(res.ec == std::errc());
  r.digits[0] = sci[0];
  std::memcpy(r.digits + 1, sci + 2, kListDigits - 1);
  const char* p = sci + 2 + (kListDigits - 1);  // at 'e'
  assert(*p == 'e');
  ++p;
  const bool neg = (*p == '-');
  ++p;
  int e = 0;
  for (; p < res.ptr; ++p) e = e * 10 + (*p - '0');  // at most 3 digits
  r.exp10 = neg ? -e : e;
  return r;
}

/// Writes the text of a double item to `buf` and returns its length.
std::size_t write_list_double(char* buf, double x) {
  char* p = buf;
  *p++ = ' ';
  // The sign column: "-" for a negative value (including -infinity), a blank
  // for zero of either sign, positive values and NaN.
  *p++ = (x < 0.0) ? '-' : ' ';

  // Non-finite values (only an out-of-range number in the waveform file gets
  // here): the sign column followed by "Infinity" or "NaN", so
  // "  Infinity", " -Infinity", "  NaN".
  if (std::isnan(x)) {
    std::memcpy(p, "NaN", 3);
    return static_cast<std::size_t>(p + 3 - buf);
  }
  if (std::isinf(x)) {
    std::memcpy(p, "Infinity", 8);
    return static_cast<std::size_t>(p + 8 - buf);
  }

  // 0 and -0 -> "  0."
  if (x == 0.0) {
    *p++ = '0';
    *p++ = '.';
    return static_cast<std::size_t>(p - buf);
  }

  // Step 1: the 9 nearest digits and the exponent after rounding.
  const Digits9 r = round_to_9_digits(std::fabs(x));
  int kept = kListDigits;  // significant digits left after dropping trailing zeros
  while (kept > 1 && r.digits[kept - 1] == '0') --kept;

  // Step 2: layout.
  if (r.exp10 < kFixedMinExp || r.exp10 > kFixedMaxExp) {
    // Exponent form: 1234567890 -> "1.23456789E+009", 1.0E9 -> "1.E+009"
    // (the point is kept even when no fraction digit remains).
    *p++ = r.digits[0];
    *p++ = '.';
    for (int i = 1; i < kept; ++i) *p++ = r.digits[i];
    *p++ = 'E';
    *p++ = r.exp10 < 0 ? '-' : '+';
    const int e = r.exp10 < 0 ? -r.exp10 : r.exp10;  // at most 324
    *p++ = static_cast<char>('0' + e / 100);
    *p++ = static_cast<char>('0' + e / 10 % 10);
    *p++ = static_cast<char>('0' + e % 10);
  } else if (r.exp10 >= 0) {
    // Fixed form, magnitude >= 1: 1000 -> "1000.", 50.0244140625 -> "50.0244141".
    const int int_digits = r.exp10 + 1;  // 1 .. 9, all within the 9 digits
    for (int i = 0; i < int_digits; ++i) *p++ = r.digits[i];
    *p++ = '.';
    for (int i = int_digits; i < kept; ++i) *p++ = r.digits[i];
  } else {
    // Fixed form, magnitude < 1: 0.0012345 -> "0.0012345", 1.0E-4 -> "0.0001".
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > r.exp10; --i) *p++ = '0';
    for (int i = 0; i < kept; ++i) *p++ = r.digits[i];
  }
  return static_cast<std::size_t>(p - buf);
}

/// Writes the text of an integer item to `buf` and returns its length.
std::size_t write_list_integer(char* buf, std::int32_t i) {
  buf[0] = ' ';
  const auto res = std::to_chars(buf + 1, buf + kItemBuffer, i);
  assert(res.ec == std::errc());
  return static_cast<std::size_t>(res.ptr - buf);
}

}  // namespace

void append_list_double(std::string& out, double x) {
  char buf[kItemBuffer];
  out.append(buf, write_list_double(buf, x));
}

void append_list_integer(std::string& out, std::int32_t i) {
  char buf[kItemBuffer];
  out.append(buf, write_list_integer(buf, i));
}

std::size_t render_list_doubles(char* out, std::span<const double> values) {
  // The layout of render_list_record for double items: each is counted by its
  // whole text.
  char* p = out;
  char* line_start = out;
  for (const double x : values) {
    char buf[kItemBuffer];
    const std::size_t len = write_list_double(buf, x);
    assert(len <= kMaxListDoubleText);
    const auto position = static_cast<std::size_t>(p - line_start);
    if (position > 0 && position + len >= kLineLimit) {
      *p++ = '\n';
      line_start = p;
    }
    std::memcpy(p, buf, len);
    p += len;
  }
  *p++ = '\n';
  return static_cast<std::size_t>(p - out);
}

void render_list_record(std::string& out, std::span<const ListItem> items) {
  // Positions count from the start of the record's current line, not from
  // the start of `out`, which may already hold earlier records.
  std::size_t line_start = out.size();
  char buf[kItemBuffer];
  for (const ListItem& item : items) {
    // Render first, then decide whether the item still fits on the line.
    std::size_t len = 0;
    std::size_t counted = 0;
    switch (item.kind) {
      case ListItem::Kind::Text:
        counted = item.text.size();
        break;
      case ListItem::Kind::Integer:
        // Counted by its digits only: the leading blank and a minus sign are
        // not part of the count (" -123" counts 3).
        len = write_list_integer(buf, item.integer);
        counted = len - 1 - (item.integer < 0 ? 1 : 0);
        break;
      case ListItem::Kind::Double:
        // Counted by its whole text, both leading columns included.
        len = write_list_double(buf, item.real);
        counted = len;
        break;
    }

    const std::size_t position = out.size() - line_start;
    if (position > 0 && position + counted >= kLineLimit) {
      out.push_back('\n');
      line_start = out.size();
    }

    if (item.kind == ListItem::Kind::Text) {
      // A character item opening a line gets one blank; after another item
      // it follows directly.
      if (out.size() == line_start) out.push_back(' ');
      out.append(item.text);
    } else {
      out.append(buf, len);
    }
  }
  out.push_back('\n');
}

}  // namespace wavefft::textio
