// Reading the two kinds of record file that wavefft-measures and
// wavefft-report take: the program's input layout (a header line of four
// words, one line of column titles, then rows of the time and 42 values,
// components in values 1, 2 and 11) and a waveform file written by wavefft
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

#include "measures/measures.h"

namespace wavefft::measures {

/// A record file that cannot be read or is not what its layout says. The
/// message names the file and, where it helps, the line and the bad text.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RecordFile {
  enum class Kind { input_layout, waveform };
  Kind kind = Kind::input_layout;
  std::optional<Unit> unit;  // the fourth header word when it is a unit word
  std::string event;         // the first and second header words (input layout)
  std::string station;
  double dt = 0.0;           // time(2) - time(1)
  std::array<std::vector<double>, 3> comp;  // as written in the file, in `unit`
};

/// Parses the bytes of a record file; `name` is used in messages. Throws
/// RecordError for a malformed file, fewer than two samples, dt not
/// positive or a non-finite value.
RecordFile parse_record(std::string_view bytes, const std::string& name);

/// Reads and parses a file. Throws RecordError when it cannot be read.
RecordFile read_record_file(const std::filesystem::path& path);

}  // namespace wavefft::measures
