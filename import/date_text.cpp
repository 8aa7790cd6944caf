// SPDX-License-Identifier: GPL-3.0-or-later
// Dates and clock times of agency text files (contracts in date_text.h).
#include "import/date_text.h"

#include <algorithm>

#include "import/calendar.h"
#include "import/words.h"

namespace wavefft::import::text {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

/// Reads `count` digits at s[i] (exactly that many), advancing i.
std::optional<int> fixed_digits(std::string_view s, std::size_t& i, std::size_t count) {
  if (i + count > s.size()) return std::nullopt;
  int v = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (!is_digit(s[i + k])) return std::nullopt;
    v = v * 10 + (s[i + k] - '0');
  }
  i += count;
  return v;
}

/// Reads 1 to `max_count` digits at s[i], advancing i; the count read goes to `used`.
std::optional<int> some_digits(std::string_view s, std::size_t& i, std::size_t max_count, std::size_t& used) {
  used = 0;
  int v = 0;
  while (i < s.size() && is_digit(s[i]) && used < max_count) {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++used;
  }
  if (used == 0 || (i < s.size() && is_digit(s[i]))) return std::nullopt;
  return v;
}

/// The three numbers of a date as they stand, and how many digits the
/// first and the last had.
struct DateParts {
  int a = 0, b = 0, c = 0;
  std::size_t used_a = 0, used_c = 0;
};

/// The date at the front of `text`, `i` moved past it; nullopt when there is none.
std::optional<DateParts> date_parts(std::string_view text, std::size_t& i, DateOrder order) {
  DateParts d;
  const bool compact = text.size() >= 8 && (text.size() == 8 || !is_digit(text[8])) &&
                       std::all_of(text.begin(), text.begin() + 8, [](char ch) { return is_digit(ch); });
  if (compact) {
    // "20190728" (ymd) -> 2019, 07, 28
    const std::size_t first = order == DateOrder::ymd ? 4 : 2;
    const std::size_t last = order == DateOrder::ymd ? 2 : 4;
    d.a = *fixed_digits(text, i, first);
    d.b = *fixed_digits(text, i, 2);
    d.c = *fixed_digits(text, i, last);
    d.used_a = first;
    d.used_c = last;
    return d;
  }
  // "20/07/2017" (dmy) -> 20, 07, 2017
  std::size_t used_b = 0;
  const std::optional<int> x = some_digits(text, i, 4, d.used_a);
  if (!x || i >= text.size()) return std::nullopt;
  const char sep = text[i];
  if (sep != '/' && sep != '-' && sep != '.') return std::nullopt;
  ++i;
  const std::optional<int> y = some_digits(text, i, 2, used_b);
  if (!y || i >= text.size() || text[i] != sep) return std::nullopt;
  ++i;
  const std::optional<int> z = some_digits(text, i, 4, d.used_c);
  if (!z) return std::nullopt;
  d.a = *x;
  d.b = *y;
  d.c = *z;
  return d;
}

}  // namespace

std::optional<std::int64_t> parse_clock(std::string_view t) {
  t = trim(t);
  std::size_t i = 0;
  std::size_t used = 0;
  int h = 0;
  int m = 0;
  int s = 0;
  const bool compact = t.size() >= 6 && (t.size() == 6 || t[6] == '.') &&
                       std::all_of(t.begin(), t.begin() + 6, [](char c) { return is_digit(c); });
  if (compact) {
    // "160905.700" -> 16:09:05.7
    h = *fixed_digits(t, i, 2);
    m = *fixed_digits(t, i, 2);
    s = *fixed_digits(t, i, 2);
  } else {
    // "23:50:29.000" -> 23:50:29; "23:50" -> 23:50:00
    const std::optional<int> hh = some_digits(t, i, 2, used);
    if (!hh || i >= t.size() || t[i] != ':') return std::nullopt;
    ++i;
    const std::optional<int> mm = fixed_digits(t, i, 2);
    if (!mm) return std::nullopt;
    h = *hh;
    m = *mm;
    if (i < t.size() && t[i] == ':') {
      ++i;
      const std::optional<int> ss = some_digits(t, i, 2, used);
      if (!ss) return std::nullopt;
      s = *ss;
    }
  }
  std::int64_t ns = 0;
  if (i < t.size() && t[i] == '.') {
    // ".7" -> 700000000 ns; digits past the ninth are dropped.
    ++i;
    std::int64_t scale = 100000000;
    while (i < t.size() && is_digit(t[i])) {
      ns += (t[i] - '0') * scale;
      scale /= 10;
      ++i;
    }
  }
  if (i != t.size() || h > 23 || m > 59 || s > 60) return std::nullopt;
  return ((std::int64_t{h} * 60 + m) * 60 + s) * 1000000000 + ns;
}

std::optional<std::int64_t> parse_date_time(std::string_view text, DateOrder order) {
  text = trim(text);
  std::size_t i = 0;
  const std::optional<DateParts> d = date_parts(text, i, order);
  if (!d) return std::nullopt;
  int year = 0;
  int month = 0;
  int day = 0;
  switch (order) {
    case DateOrder::ymd:
      if (d->used_a != 4) return std::nullopt;
      year = d->a, month = d->b, day = d->c;
      break;
    case DateOrder::dmy:
      if (d->used_c != 4) return std::nullopt;
      day = d->a, month = d->b, year = d->c;
      break;
    case DateOrder::mdy:
      if (d->used_c != 4) return std::nullopt;
      month = d->a, day = d->b, year = d->c;
      break;
  }
  // Years 1800..2200 keep every time (and a zone offset taken from it) far
  // inside the int64 ns range.
  if (year < 1800 || year > 2200) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > calendar::days_in_month(year, month)) return std::nullopt;
  std::int64_t clock = 0;
  if (i < text.size()) {
    // "2018/02/06-23:50:29.000": one or more of blank, '-', '_', 'T' before the time.
    const std::size_t time_at = i;
    while (i < text.size() && (is_blank(text[i]) || text[i] == '-' || text[i] == '_' || text[i] == 'T')) ++i;
    if (i == time_at) return std::nullopt;
    const std::optional<std::int64_t> t = parse_clock(text.substr(i));
    if (!t) return std::nullopt;
    clock = *t;
  }
  return calendar::days_from_civil(year, month, day) * std::int64_t{86400000000000} + clock;
}

}  // namespace wavefft::import::text
