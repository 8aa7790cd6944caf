// SPDX-License-Identifier: GPL-3.0-or-later
// Number text for the tools (wavefft-import, -measures, -report, -batch):
// one reader whose grammar each file layout chooses, and the writers in the
// styles the tools' files and messages use. The program wavefft keeps its
// own free-form reader and writers (textio/); nothing here reaches them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wavefft::common {

/// What a number text may hold beyond the plain form
///   [-] digits [. [digits]] [(e|E) [+|-] digits]   or   [-] . digits [...]
/// Every field is off by default. The value is always the correctly rounded
/// double of the decimal text (what std::from_chars gives).
struct NumberGrammar {
  /// A leading '+': "+0.05" -> 0.05. A second sign never: "+-1", "++1".
  bool plus_sign = false;
  /// The words std::from_chars reads: "inf", "infinity", "nan", "nan(...)"
  /// in any letter case, with a '-' (and, with plus_sign, a '+').
  bool special_words = false;
  /// A Fortran double-precision letter: "1.5D+01", "2d3" -> 15, 2000.
  bool d_exponent = false;
  /// A Fortran exponent whose letter was dropped to fit the field:
  /// "0.1000-100" -> 0.1000e-100, "1.234+05" -> 1.234e5. The sign must
  /// follow a digit or a point of the mantissa.
  bool bare_exponent_sign = false;
  /// Blanks and tabs before and after the number are ignored.
  bool trim_blanks = false;
  /// Beyond the double range the value saturates: "1e999" -> inf,
  /// "-1e-999" -> -0.0 (status number), as a C reader does. Off:
  /// NumberStatus::out_of_range.
  bool saturate = false;
};

/// How a text fared.
enum class NumberStatus {
  number,        // the whole text is one number of the grammar; value holds it
  not_a_number,  // empty, a stray character, a lone sign, point or exponent letter
  out_of_range,  // a number of the grammar beyond the double range (saturate off)
};

struct ParsedNumber {
  NumberStatus status = NumberStatus::not_a_number;
  double value = 0.0;  // the number; 0 unless status is number
};

/// Reads the whole of `text` as one number of `grammar`.
ParsedNumber parse_number(std::string_view text, const NumberGrammar& grammar);

/// The value when `text` is a number of `grammar` (status number), else nothing.
std::optional<double> to_number(std::string_view text, const NumberGrammar& grammar);

/// The grammars the tools' readers use, named for where they are used.
/// Command-line values: "+0.05", "1e-3"; no words, no Fortran forms.
inline constexpr NumberGrammar kOptionNumber{.plus_sign = true};
/// Numbers as the tools' chain prints them and a little more: what
/// std::from_chars reads, a '+' allowed in front ("0.01", "+5", "1e-3",
/// "inf", "nan").
inline constexpr NumberGrammar kPrintedNumber{.plus_sign = true, .special_words = true};
/// Agency text files: every Fortran form, blanks around, the words as
/// from_chars reads them; out of range is refused.
inline constexpr NumberGrammar kFortranField{
    .plus_sign = true, .special_words = true, .d_exponent = true, .bare_exponent_sign = true, .trim_blanks = true};

/// A whole decimal integer: [+|-] digits (the '+' when `plus_sign`), in
/// range of long long. "+12" -> 12 (plus_sign), "1.0", "", "12a" -> nothing.
std::optional<long long> to_integer(std::string_view text, bool plus_sign = true);

// ---- Writers ----------------------------------------------------------

/// The shortest decimal that reads back to the same double, as
/// std::to_chars(v) writes it: 0.005 -> "0.005", 1e-05 -> "1e-05",
/// 427894 -> "427894", -0.0 -> "-0", inf -> "inf", nan -> "nan".
std::string shortest(double v);

/// Writes shortest(v) at `p` exactly as std::to_chars(p, p + 32, v) does
/// (fixed or scientific notation, whichever is shorter, fixed on a tie),
/// with a quick path for the values agency files hold: decimals of at most
/// 15 significant digits, such as 0.012345 or -1234.5. Needs room for 32
/// characters; returns the end.
char* write_shortest(char* p, double v);

/// write_shortest for the values of one column, in order: the same text,
/// faster, as it remembers how many decimals the last value had and stops
/// looking for short decimals after a run of values that are none.
class ShortestColumn {
 public:
  char* write(char* p, double v);

 private:
  static constexpr int kGiveUp = 64;  // misses in a row before giving up
  int hint_ = -1;
  int misses_ = 0;
};

/// At most `digits` (1..17) significant digits, as printf's "%.<digits>g":
/// significant(0.0050000001, 10) -> "0.0050000001", (1e-05, 10) -> "1e-05",
/// (0.12345678, 4) -> "0.1235", (1.2345e-05, 4) -> "1.234e-05".
std::string significant(double v, int digits);

/// `decimals` (0..40) digits after the point, as printf's "%.<decimals>f":
/// fixed(0.0125, 3) -> "0.013" (the double's own digits decide the rounding),
/// fixed(12.5, 0) -> "12".
std::string fixed(double v, int decimals);

}  // namespace wavefft::common
