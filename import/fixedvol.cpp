// SPDX-License-Identifier: GPL-3.0-or-later
// What the fixed-field volume readers share (contracts in fixedvol.h).
#include "import/fixedvol.h"

#include <cmath>
#include <utility>

#include "common/numbers.h"
#include "import/calendar.h"

namespace wavefft::import::fixedvol {

std::optional<std::size_t> sample_count(double n) {
  if (!(n >= 0.0 && n <= kMaxSamples) || n != std::floor(n)) return std::nullopt;
  return static_cast<std::size_t>(n);
}

std::optional<std::size_t> sample_count_of(std::string_view word) {
  const std::optional<double> n = common::to_number(word, common::kFortranField);
  return n ? sample_count(*n) : std::nullopt;
}

std::optional<long long> whole(double v, long long lo, long long hi) {
  if (!(v >= static_cast<double>(lo) && v <= static_cast<double>(hi)) || v != std::floor(v)) return std::nullopt;
  return static_cast<long long>(v);
}

std::optional<text::Orientation> orientation_of(std::string_view t) {
  t = text::trim(t);
  // "360 Deg" -> "360"
  if (t.size() > 3 && text::starts_with_nocase(t.substr(t.size() - 3), "deg")) {
    t = text::trim(t.substr(0, t.size() - 3));
  }
  return text::parse_orientation(t);
}

bool orient(std::string_view field, Channel& c) {
  const std::optional<text::Orientation> o = orientation_of(field);
  if (!o) return false;
  c.vertical = o->vertical;
  c.azimuth = o->azimuth;
  return true;
}

void place(std::string_view location, Channel& c) {
  const std::string_view loc = text::trim(location);
  c.surface = loc.empty() || text::starts_with_nocase(loc, "ground") || text::starts_with_nocase(loc, "free");
  if (!c.surface) c.placement = std::string(loc);
}

std::optional<std::int64_t> civil_to_ns(long long year, long long month, long long day, long long hour,
                                        long long minute, double second, int offset_minutes) {
  if (year < 1800 || year > 2200 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || !(second >= 0.0 && second < 61.0)) {
    return std::nullopt;
  }
  if (day < 1 || day > calendar::days_in_month(year, static_cast<int>(month))) return std::nullopt;
  const std::int64_t days = calendar::days_from_civil(year, static_cast<int>(month), static_cast<int>(day));
  const std::int64_t whole_s = hour * 3600 + minute * 60 - std::int64_t{offset_minutes} * 60;
  const std::int64_t ns = std::llround(second * 1e9);
  return calendar::checked_ns(days, whole_s, ns);
}

bool has_word_letter(std::string_view line) {
  for (const char c : line) {
    const char u = static_cast<char>(c & ~0x20);
    if (u >= 'A' && u <= 'Z' && u != 'E' && u != 'D') return true;
  }
  return false;
}

std::optional<std::string_view> after(std::string_view line, std::string_view key) {
  const std::size_t at = text::find_nocase(line, key);
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(at + key.size());
}

std::string_view first_word(std::string_view s) {
  s = text::trim(s);
  std::size_t i = 0;
  while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
  return s.substr(0, i);
}

std::string plain_number(double v) {
  if (std::fabs(v) < 1e15 && v == std::floor(v)) return std::to_string(static_cast<long long>(v));
  return common::shortest(v);
}

Problem in_block(Problem p, std::string_view what) {
  if (!p.ok()) p.text = std::string(what) + ": " + p.text;
  return p;
}

Problem malformed(const std::string& file, std::size_t line, std::string words) {
  return text::fail(file, line, std::move(words));
}

}  // namespace wavefft::import::fixedvol
