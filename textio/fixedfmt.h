// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-field records driven by a format string such as
// "(F8.4,6(',',E12.4))": a parenthesised list of Fw.d, Ew.d, 'literal', nX,
// "/", r(...) groups and (for reading only) Aw.
//
// A write walks the descriptors from the left, a group r(...) r times; a
// number field takes the next value, and when no value is left the record
// ends before that field (literals, shifts and slashes met before it have
// already taken effect). nX is a pending shift, written as blanks only when
// something follows on the same line. "/" ends a line. The record ends with a
// line end.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::textio {

/// Limits of a format: a larger width, decimal count, repeat or shift count,
/// or a deeper group nesting makes the format invalid. The field functions
/// below expect 1 <= w <= kMaxFieldWidth and d <= kMaxFieldDecimals.
inline constexpr std::int32_t kMaxFieldWidth = 255;
inline constexpr std::int32_t kMaxFieldDecimals = 99;
inline constexpr std::int32_t kMaxFormatCount = 9999;  ///< repeat and nX counts
inline constexpr int kMaxGroupDepth = 16;

class FixedFormat {
 public:
  /// Parses a format string; a malformed format is a broken invariant (the
  /// program's formats are constants), reported by returning false from
  /// valid().
  explicit FixedFormat(std::string_view format);

  bool valid() const { return valid_; }
  /// The format string as given (shown on a diagnostic's "last format" line).
  std::string_view text() const { return text_; }

  /// Appends the record for `values` (all of its lines, each ending in '\n').
  void render(std::string& out, std::span<const double> values) const;

  struct Node {
    enum class Kind : std::uint8_t { F, E, A, Literal, Shift, Slash, Group };
    Kind kind;
    std::int32_t w = 0;       ///< field width; shift count for Shift
    std::int32_t d = 0;       ///< decimals / significant digits
    std::int32_t repeat = 1;  ///< repetitions of a Group
    std::string literal;      ///< Literal text with '' already folded to '
    std::vector<Node> children;  ///< Group contents
  };

 private:
  std::string text_;
  std::vector<Node> nodes_;
  bool valid_ = false;
};

/// Fw.d field for x: rounded to d decimals, right-justified in w characters,
/// "-" only when a nonzero digit remains; a leading "0" is dropped when that
/// alone makes it fit; w asterisks when it does not fit.
void append_f_field(std::string& out, double x, int w, int d);

/// Ew.d field for x: "0." and d significant digits, then E+dd (or +ddd
/// without the E when the exponent needs three digits), right-justified in w.
void append_e_field(std::string& out, double x, int w, int d);

}  // namespace wavefft::textio
