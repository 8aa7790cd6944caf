// SPDX-License-Identifier: GPL-3.0-or-later
// Free-form output records: console lines, the lines of the echo file and
// the column-title lines of the two CSV files.
//
// Layout of a record: each item is rendered to text; a character item at the
// start of a line gets one blank in front; an integer is a blank and its
// digits; a double is a blank, a sign column ("-" or blank) and 9 significant
// digits in fixed or exponent form with an enforced decimal point and a
// three-digit exponent. If the position is above 0 and position + the item's
// counted length reaches 80, the line is ended before the item. The record
// ends with a line end; an empty record is an empty line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wavefft::textio {

struct ListItem {
  enum class Kind : std::uint8_t { Text, Integer, Double };
  Kind kind;
  std::string_view text;
  std::int32_t integer = 0;
  double real = 0.0;

  ListItem(std::string_view t) : kind(Kind::Text), text(t) {}  // NOLINT: implicit on purpose
  ListItem(const char* t) : kind(Kind::Text), text(t) {}       // NOLINT
  ListItem(std::int32_t i) : kind(Kind::Integer), integer(i) {}  // NOLINT
  ListItem(double d) : kind(Kind::Double), real(d) {}          // NOLINT
};

/// Appends the text of one record (all its lines, each ending in '\n').
void render_list_record(std::string& out, std::span<const ListItem> items);

/// Longest text of one double item (" -1.23456789E-308").
inline constexpr std::size_t kMaxListDoubleText = 17;

/// Room render_list_doubles needs for `n` values: each item with a possible
/// line end before it, and the final line end.
constexpr std::size_t list_doubles_room(std::size_t n) { return n * (kMaxListDoubleText + 1) + 1; }

/// Writes the record render_list_record makes of `values` (every item a
/// double) to `out`, which holds at least list_doubles_room(values.size())
/// characters; returns its length.
std::size_t render_list_doubles(char* out, std::span<const double> values);

/// Appends the text of one double item: blank, sign column, 9 significant
/// digits ("  0.01", " -0.5", "  1.E+009", "  0.").
void append_list_double(std::string& out, double x);

/// Appends the text of one integer item: blank, then "-" and the digits.
void append_list_integer(std::string& out, std::int32_t i);

}  // namespace wavefft::textio
