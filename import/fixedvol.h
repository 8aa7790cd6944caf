// What the readers of the fixed-field volume layouts share (COSMOS,
// CSMIP/CGS, GeoNet and USGS SMC; cosmos.cpp, csmip.cpp, geonet.cpp,
// smc.cpp): the sample-count limit, orientation and unit words, civil times
// to ns, and small field helpers. Private to those four readers; nothing
// here reads a whole layout.
//
// Every function takes any text and any numbers: counts, dates and angles
// are range-checked before any conversion, so no input can overflow.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "import/record.h"
#include "import/sac_time.h"
#include "import/textscan.h"

namespace wavefft::import::fixedvol {

/// The most samples one block may declare. A header that states more is
/// refused before anything is reserved.
inline constexpr double kMaxSamples = 100'000'000.0;

/// A header's sample count as a size: 20000 -> 20000; a count that is not
/// a whole number in [0, kMaxSamples] -> nullopt.
inline std::optional<std::size_t> sample_count(double n) {
  if (!(n >= 0.0 && n <= kMaxSamples) || n != std::floor(n)) return std::nullopt;
  return static_cast<std::size_t>(n);
}

/// A whole number in [lo, hi] held in a double (header values read as
/// numbers): 2019.0 -> 2019; -999, 3.5 or out of range -> nullopt.
inline std::optional<long long> whole(double v, long long lo, long long hi) {
  if (!(v >= static_cast<double>(lo) && v <= static_cast<double>(hi)) || v != std::floor(v)) return std::nullopt;
  return static_cast<long long>(v);
}

/// An orientation field of these layouts: text::parse_orientation after
/// dropping a trailing "Deg": "360 Deg" -> 0, " 90 DEG" -> 90, "S16W" ->
/// 196, "Up" -> vertical; "Other", "" -> nullopt.
inline std::optional<text::Orientation> orientation_of(std::string_view t) {
  t = text::trim(t);
  if (t.size() > 3 && text::starts_with_nocase(t.substr(t.size() - 3), "deg")) t = text::trim(t.substr(0, t.size() - 3));
  return text::parse_orientation(t);
}

/// A unit as these layouts name it: "g" -> g; "cm/sec2", "cm/sec/sec",
/// "cm/s/s", "cm/s2", "cm/s^2", "gal" -> gal; "mm/s/s", "mm/s2" -> mm_s2;
/// "m/s/s", "m/s2", "m/sec2" -> m_s2; "counts" -> counts. Case is ignored;
/// a trailing '.' is dropped. Anything else -> nullopt.
inline std::optional<Unit> unit_from_text(std::string_view t) {
  t = text::trim(t);
  while (!t.empty() && t.back() == '.') t.remove_suffix(1);
  t = text::trim(t);
  auto is = [&](std::string_view w) { return t.size() == w.size() && text::starts_with_nocase(t, w); };
  if (is("g")) return Unit::g;
  if (is("gal") || is("cm/sec2") || is("cm/sec/sec") || is("cm/s/s") || is("cm/s2") || is("cm/s^2") ||
      is("cm/s**2") || is("cm/sec**2")) {
    return Unit::gal;
  }
  if (is("mm/s/s") || is("mm/s2") || is("mm/sec2") || is("mm/s^2") || is("mm/s**2")) return Unit::mm_s2;
  if (is("m/s/s") || is("m/s2") || is("m/sec2") || is("m/s^2") || is("m/s**2")) return Unit::m_s2;
  if (is("counts") || is("count")) return Unit::counts;
  return std::nullopt;
}

/// A civil time to ns since 1970-01-01 UTC. `offset_minutes` is the zone's
/// offset east of UTC (UTC 0, PDT -420, PST -480): the UTC instant is the
/// local time minus the offset. Fields are checked first: year 1800..2200,
/// month 1..12, day 1..days in that month, hour 0..23, minute 0..59,
/// second in [0, 61); otherwise nullopt. The second is rounded to the
/// nearest ns: 39.932490 -> 39932490000 ns.
inline std::optional<std::int64_t> civil_to_ns(long long year, long long month, long long day, long long hour,
                                               long long minute, double second, int offset_minutes) {
  if (year < 1800 || year > 2200 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || !(second >= 0.0 && second < 61.0)) {
    return std::nullopt;
  }
  if (day < 1 || day > caltime::days_in_month(year, static_cast<int>(month))) return std::nullopt;
  const std::int64_t days = caltime::days_from_civil(year, static_cast<int>(month), static_cast<int>(day));
  const std::int64_t whole_s = hour * 3600 + minute * 60 - std::int64_t{offset_minutes} * 60;
  const std::int64_t ns = std::llround(second * 1e9);
  return caltime::checked_ns(days, whole_s, ns);
}

/// True when the line holds a letter other than an exponent letter (E, e,
/// D, d): a header or text line, never a line of values. Values lines are
/// passed over with this one cheap test.
inline bool has_word_letter(std::string_view line) {
  for (const char c : line) {
    const char u = static_cast<char>(c & ~0x20);
    if (u >= 'A' && u <= 'Z' && u != 'E' && u != 'D') return true;
  }
  return false;
}

/// The text after the first `key` in `line` (case ignored), or nullopt
/// when the key is absent: after("units=counts (50)", "units=") -> "counts (50)".
inline std::optional<std::string_view> after(std::string_view line, std::string_view key) {
  const std::size_t at = text::find_nocase(line, key);
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(at + key.size());
}

/// The first blank-separated word: "  20000 raw accel." -> "20000".
inline std::string_view first_word(std::string_view s) {
  s = text::trim(s);
  std::size_t i = 0;
  while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
  return s.substr(0, i);
}

/// A number as short text that reads back to the same double: 0.794729 ->
/// "0.794729", 1.2 -> "1.2" (for factor_text); a whole number below 1e15
/// in magnitude in plain digits: 2e9 -> "2000000000".
inline std::string number_text(double v) {
  if (std::fabs(v) < 1e15 && v == std::floor(v)) return std::to_string(static_cast<long long>(v));
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("?");
}

/// A Problem from a block of values, its words prefixed with what the
/// block holds: "the file ends after 10 of 20 values" ->
/// "HNE acceleration: the file ends after 10 of 20 values".
inline Problem in_block(Problem p, std::string_view what) {
  if (!p.ok()) p.text = std::string(what) + ": " + p.text;
  return p;
}

/// A malformed-layout Problem at a line.
inline Problem malformed(const std::string& file, std::size_t line, std::string words) {
  return text::fail(file, line, std::move(words));
}

}  // namespace wavefft::import::fixedvol
