// SPDX-License-Identifier: GPL-3.0-or-later
// The two kinds of record file that wavefft-measures and wavefft-report
// take: the program's input layout (a header line of four words, one line
// of column titles, then rows of the time and 42 values, components in
// values 1, 2 and 11) and a waveform file written by wavefft
// (" time(s),comp1, comp2, comp3", then rows of the time and three
// components).
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/units.h"

namespace wavefft::records {

/// A record file that cannot be read or is not what its layout says. The
/// message names the file and, where it helps, the line, the field and the
/// bad text: "rec.txt:57: value 11 is not a number: \"1.2.3\"".
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RecordFile {
  enum class Kind { input_layout, waveform };
  Kind kind = Kind::input_layout;
  /// The fourth header word of the input layout when it names an
  /// acceleration unit (common::parse_acceleration_unit): never none or
  /// counts. Empty for any other word and for a waveform file.
  std::optional<common::Unit> unit;
  std::string event;    // the first header word (input layout)
  std::string station;  // the second header word
  /// The column titles of values 1, 2 and 11 on the input layout's title
  /// line ("NS", "EW", "UD"); all three empty when that line has fewer than
  /// 12 words, and for a waveform file.
  std::array<std::string, 3> titles;
  double dt = 0.0;      // time(2) - time(1): positive and finite
  /// The input layout's header and title lines split at blanks, and the
  /// time of every row, as written (all three empty for a waveform file).
  std::vector<std::string> header_words;
  std::vector<std::string> title_words;
  std::vector<double> time;
  std::array<std::vector<double>, 3> comp;  // as written in the file, in `unit`; finite
};

/// Parses the bytes of a record file; `name` is used in messages. A first
/// line that begins with "time(s)," (blanks before it aside) makes it a
/// waveform file, anything else the input layout's header. Line ends "\n"
/// or "\r\n"; blank lines are passed over. Throws RecordError for a
/// malformed file, fewer than two samples, dt not positive or a value that
/// is not a finite number.
RecordFile parse_record(std::string_view bytes, const std::string& name);

/// Reads the whole file at `path` and parses it as parse_record does, with
/// path.string() as the name. Throws RecordError when it cannot be read:
/// "NAME: cannot read the file: it is a folder" or the system's reason.
RecordFile read_record_file(const std::filesystem::path& path);

}  // namespace wavefft::records
