// SPDX-License-Identifier: GPL-3.0-or-later
// Fortran edit descriptors (contract in fortran_format.h).
#include "import/fortran_format.h"

#include <cctype>

#include "import/words.h"

namespace wavefft::import::text {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

/// The digits at the front of `s`, taken off it: "10.6" -> 10, s ".6".
/// nullopt (s untouched) when it starts with no digit; a run past 100000
/// stops being read (the caller's range check refuses it).
std::optional<int> take_digits(std::string_view& s) {
  std::size_t i = 0;
  int v = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    if (v > 100000) return std::nullopt;
    v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i == 0) return std::nullopt;
  s.remove_prefix(i);
  return v;
}

}  // namespace

std::optional<FixedFormat> parse_fixed_format(std::string_view text) {
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = text.find(')', open);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view d = trim(text.substr(open + 1, close - open - 1));
  // "(1P5E15.7)": a scale factor in front of the repeat count is passed over.
  std::optional<int> count = take_digits(d);
  if (count && !d.empty() && upper(d.front()) == 'P') {
    d.remove_prefix(1);
    count = take_digits(d);
  }
  if (!count) count = 1;
  if (d.empty()) return std::nullopt;
  const char kind = upper(d.front());
  if (kind != 'F' && kind != 'E' && kind != 'G' && kind != 'I' && kind != 'D') return std::nullopt;
  d.remove_prefix(1);
  const std::optional<int> width = take_digits(d);
  if (!width) return std::nullopt;
  if (!d.empty() && d.front() == '.') {
    d.remove_prefix(1);
    if (!take_digits(d)) return std::nullopt;
  }
  if (!trim(d).empty()) return std::nullopt;
  if (*count < 1 || *count > 1000 || *width < 1 || *width > 1000) return std::nullopt;
  return FixedFormat{*count, *width, kind};
}

}  // namespace wavefft::import::text
