// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform file that wavefft writes: " time(s),comp1, comp2, comp3",
// then rows "   0.000, 0.1234E-01, -.5678E+00, 0.1000E+01," (the last comma
// optional).
#include <array>
#include <vector>

#include "records/fault.h"
#include "records/field.h"
#include "records/layouts.h"

namespace wavefft::records {

namespace {

// The comma-separated fields of a row, blanks around each trimmed; the
// count is of every field, the first four kept in `fields`.
// "a, b, c, d," -> 4 (the empty field after the last comma is not counted);
// "a, b," -> 2; "a,,b" -> 3.
std::size_t split_fields(std::string_view s, std::array<std::string_view, 4>& fields) {
  std::size_t count = 0;
  for (;;) {
    const std::size_t comma = s.find(',');
    const std::string_view field = trim(s.substr(0, comma));
    const bool last = comma == std::string_view::npos;
    if (!(last && field.empty() && count > 0)) {
      if (count < 4) fields[count] = field;
      ++count;
    }
    if (last) return count;
    s.remove_prefix(comma + 1);
  }
}

}  // namespace

RecordFile parse_waveform(Lines& lines, const std::string& name) {
  static const char* const kFields[] = {"time", "comp1", "comp2", "comp3"};
  RecordFile rec;
  rec.kind = RecordFile::Kind::waveform;
  std::vector<double> time;
  std::size_t line2 = 0;
  std::string_view line;
  while (lines.next(line)) {
    if (trim(line).empty()) continue;
    std::array<std::string_view, 4> fields;
    const std::size_t count = split_fields(line, fields);
    if (count != 4) fail(name, Fault(RecordFault::field_count, lines.number(), "the time and three components", count));
    time.push_back(read_value(fields[0], name, lines.number(), kFields[0], 0));
    for (std::size_t c = 0; c < 3; ++c) {
      rec.comp[c].push_back(read_value(fields[c + 1], name, lines.number(), kFields[c + 1], 0));
    }
    if (time.size() == 2) line2 = lines.number();
  }
  check_samples(rec, time, name, line2);
  return rec;
}

}  // namespace wavefft::records
