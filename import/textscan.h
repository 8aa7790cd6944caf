// Scanning the text layouts of wavefft-import: lines, numbers in the forms
// that agency files print, Fortran edit descriptors ("(8f10.6)", "(10I8)")
// and blocks of values laid out by them or separated by blanks. Shared by
// every text reader; nothing here knows a layout.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/record.h"

namespace wavefft::import::text {

/// The lines of a file. Line ends are LF or CR LF (a lone CR also ends a
/// line); the line handed out has no line end. A run of Ctrl-Z bytes
/// (0x1A) and whatever blanks or line ends follow it at the end of the
/// file is not content: the lines stop before it.
class Lines {
 public:
  explicit Lines(std::string_view bytes);
  /// The next line; false at the end.
  bool next(std::string_view& line);
  /// Looks at the next line without taking it.
  bool peek(std::string_view& line) const;
  /// 1-based number of the line last handed out by next() (0 before).
  std::size_t number() const { return number_; }
  bool at_end() const { return pos_ >= end_; }
  /// The content not yet handed out.
  std::string_view rest() const { return bytes_.substr(pos_, end_ - pos_); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::size_t number_ = 0;
};

/// Blanks and tabs off both ends.
std::string_view trim(std::string_view s);

/// True when `s` starts with `prefix`, letters compared without case.
bool starts_with_nocase(std::string_view s, std::string_view prefix);
/// Position of `needle` in `s`, letters compared without case; npos if none.
std::size_t find_nocase(std::string_view s, std::string_view needle);

/// A number as agency files print it, blanks around it allowed:
/// "12", "-3.5", ".005", "1.5E+01", "1.5e-3", "1.5D+01", "-7.3687E+0", and
/// the Fortran form without the exponent letter, "1.234-05" -> 1.234e-5.
/// The double is the correctly rounded value of the text (std::from_chars).
/// nullopt for an empty field or any other text.
std::optional<double> parse_number(std::string_view field);

/// A whole number with optional sign, blanks around it allowed; nullopt
/// for other text or a value outside long long.
std::optional<long long> parse_integer(std::string_view field);

/// A Fortran edit descriptor for a block of values: "(8f10.6)" -> 8 values
/// of width 10 per line; "(10I8)", "(5E16.7)", "(8F9.6)", "(1P5E15.7)",
/// "(6(1X,E12.5))" is not handled (nullopt).
struct FixedFormat {
  int per_line = 0;  // values on a full line, 1 .. 1000
  int width = 0;     // characters per value, 1 .. 1000
  char kind = 'F';   // 'F', 'E', 'G', 'I' or 'D' (upper case)
};
/// Finds the first "(...)" in `text` and reads it; nullopt when there is
/// none or it is not one repeat count and one descriptor.
std::optional<FixedFormat> parse_fixed_format(std::string_view text);

/// Values that agency files use for "no data": -999, -999.0, -32768 and
/// 1.7E+38 (or larger in magnitude).
bool is_missing_flag(double v);

/// Reads `n` values laid out by `format` from the next lines of `lines`:
/// each line holds `per_line` fields of `width` characters (the last line
/// may hold fewer), read by column, never by blanks, so numbers that touch
/// ("-9.840268-12.932260") are split right. Each value is multiplied by
/// `factor` (when factor is 1 the value is kept as read) and appended to
/// `out`. A missing-value flag is refused when `refuse_flags`. On failure
/// the Problem names `file`, the line and the bad text.
Problem read_fixed_block(Lines& lines, const FixedFormat& format, std::size_t n, double factor, bool refuse_flags,
                         const std::string& file, std::vector<double>& out);

/// Reads `n` values separated by blanks, tabs or commas from the next
/// lines of `lines` (a line may hold any number of them). When `n` is 0,
/// reads every value up to the end. Otherwise as read_fixed_block. The line
/// that holds the n-th value is consumed whole.
Problem read_free_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out);

/// Splits a line at runs of blanks, tabs or commas.
std::vector<std::string_view> split_words(std::string_view line);

}  // namespace wavefft::import::text
