// Scanning the text layouts of wavefft-import: lines, numbers in the forms
// that agency files print, Fortran edit descriptors ("(8f10.6)", "(10I8)")
// and blocks of values laid out by them or separated by blanks. Shared by
// every text reader; nothing here knows a layout.
#pragma once

#include <cstddef>
#include <cstdint>
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

/// A Problem at `line` of `file` with the words `text`: the layout is
/// broken (Status::malformed) unless `status` says otherwise.
Problem fail(const std::string& file, std::size_t line, std::string text, Status status = Status::malformed);

/// A header value as read and the 1-based line it stands on (0: not read).
struct Field {
  std::string_view value;
  std::size_t line = 0;
};

/// Blanks and tabs off both ends.
std::string_view trim(std::string_view s);

/// Passes over the next lines that hold nothing but blanks and tabs.
void skip_blank_lines(Lines& lines);

/// Takes the next `n` lines of `lines` into out[0 .. n-1], each cut to its
/// first `width` characters (npos keeps it whole). When the file ends
/// first: Status::truncated at the last line, with the words `ends_text`.
Problem read_text_lines(Lines& lines, std::string_view* out, std::size_t n, std::size_t width, const std::string& file,
                        std::string_view ends_text);

/// The text header of the next channel of a file that holds several, each
/// starting with a line that begins with `mark`: passes over blank lines,
/// then takes `n` lines as read_text_lines does (the words when the file
/// ends first: "the file ends inside a channel's text header"). `end` is
/// set, and nothing taken, when only blank lines were left. A first line
/// without the mark is Status::malformed at that line.
Problem read_channel_text(Lines& lines, std::string_view* out, std::size_t n, std::string_view mark,
                          const std::string& file, bool& end);

/// Takes the next `n` lines of `lines`, header values that are checked
/// and not kept: every blank-separated word must be a number, else
/// Status::malformed "a header number is not a number: ..." at its line.
/// When the file ends first: Status::truncated with the words `ends_text`.
Problem skip_number_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text);

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

/// `word` read as a whole number from `least` to `most` into `n`;
/// otherwise Status::malformed at `line`: "<name> is not a count from
/// <least> to <most>: "<word>"" ("NDATA is not a count from 1 to
/// 100000000: "-5"").
Problem read_count(std::string_view word, std::string_view name, long long least, long long most,
                   const std::string& file, std::size_t line, long long& n);

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

/// The first word (up to a blank, tab or comma) after the first `label` in
/// `line`, letters of the label compared without case; empty when the label
/// is absent. word_after("NO. OF POINTS =   3500  RECORD", "NO. OF POINTS =")
/// -> "3500".
std::string_view word_after(std::string_view line, std::string_view label);

/// A field shown in a message, in double quotes: at most 40 characters,
/// control bytes and bytes above 0x7E as '?' ("AYD\xFDN" -> "\"AYD?N\"").
std::string quoted(std::string_view s);

/// The order of the three numbers of a date.
enum class DateOrder {
  ymd,  // 2014/12/31, 20190728
  dmy,  // 20/07/2017
  mdy,  // 11/12/2009
};

/// A date and clock time as agency files print them, counted as UTC, in ns
/// since 1970-01-01 (a caller whose file uses a local clock subtracts the
/// offset itself). The date is three numbers separated by '/', '-' or '.',
/// or eight digits together; the year has four digits. The time follows
/// after blanks, '-', '_' or 'T': "hh:mm:ss", "hh:mm" or six digits
/// "hhmmss", each with an optional fraction of a second read to the ns
/// (digits past the ninth are dropped). Examples: "2014/12/31 23:50:00",
/// "2018/02/06-23:50:29.000", "20190728_160905.700", "20/07/2017
/// 22:30:58.000000" (dmy). nullopt for other text or a field out of range
/// (year 1800..2200, which keeps any result minus a zone offset inside
/// int64; month 1..12, a day of that month, hour 0..23, minute 0..59,
/// second 0..60).
std::optional<std::int64_t> parse_date_time(std::string_view text, DateOrder order);

/// A clock time "hh:mm:ss[.frac]" or "hh:mm" as ns since midnight; nullopt
/// for other text or a field out of range.
std::optional<std::int64_t> parse_clock(std::string_view text);

/// What a channel name or orientation field says about the direction.
struct Orientation {
  std::optional<double> azimuth;  // horizontal: degrees clockwise from north, [0, 360)
  bool vertical = false;
};
/// Reads a direction the way agency files name it, letters without case:
/// a compass bearing "N28W" -> 332, "S16W" -> 196, "S74E" -> 106, "N90E" ->
/// 90, "N00E" -> 0 (N or S, 0..90 degrees, E or W); the names "EW", "E-W",
/// "E" -> 90 and "NS", "N-S", "N" -> 0; a vertical "UD", "U-D", "U", "UP",
/// "V", "Z", "DWN", "DOWN", "VERT"; a plain azimuth "360" -> 0, "67" -> 67.
/// nullopt for anything else.
std::optional<Orientation> parse_orientation(std::string_view name);

/// The sampling interval of `steps` intervals spanning `span` seconds:
/// span / steps, except that when the rate steps / span lies within 1e-9
/// (relative) of a whole number r, the interval is 1.0 / r exactly, so that
/// 47.36 s over 9472 steps gives the double nearest 0.005 whatever the
/// rounding of the division. span and steps must be positive.
double interval_from_span(double span, double steps);

/// Reads `n` time-value pairs ("t v t v ..."; a line may hold any number of
/// pairs, separated as in read_free_block) from the next lines of `lines`,
/// appends each value times `factor` to `out` (factor 1 keeps it as read)
/// and sets `dt` and `first_time`. The times are printed to a few decimals,
/// so single differences wobble by a unit of the last digit (".004 .008
/// .013"); dt is therefore the whole span over its steps, interval_from_span(
/// t[n-1] - t[0], n - 1), and each t[i] must lie within one unit of its own
/// last printed decimal plus 1e-6 s (but less than dt / 4) of t[0] + i * dt
/// (files round or cut
/// their times to the printed digits; a skipped sample is off by about
/// dt / 2 and is caught whenever dt is above two units), else
/// Status::uneven_times naming the line and the time. n must be 2 or more;
/// fewer pairs than n is Status::truncated; otherwise as read_free_block.
Problem read_pair_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out, double& dt, double& first_time);

/// Reads rows of `columns` values each (a table: one row per line) from the
/// next lines of `lines` into out[0 .. columns-1], one vector per column,
/// each value times `factor`. `width` 0 splits a row at blanks; a width
/// above 0 reads the row by fixed columns of that many characters. `rows`
/// 0 reads to the end of the file; otherwise fewer rows is
/// Status::truncated. A row with another number of values is
/// Status::malformed naming the line. Flags as read_free_block.
Problem read_columns(Lines& lines, std::size_t columns, std::size_t width, std::size_t rows, double factor,
                     bool refuse_flags, const std::string& file, std::vector<std::vector<double>>& out);

}  // namespace wavefft::import::text
