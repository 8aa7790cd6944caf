// SPDX-License-Identifier: GPL-3.0-or-later
// amp3.csv and the waveform file read back: a title line, then rows
// "  0.0122,  0.1169E+04,  0.1282E+04,  0.1325E+04," (a comma after the last
// field), every field in the forms the program writes (records/field.h).
#include "python/outputs.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "common/files.h"
#include "python/errors.h"
#include "records/field.h"

namespace wavefft::python {

namespace {

namespace wr = wavefft::records;

// The four numbers of one row into `out`.
void read_row(std::string_view line, const std::string& where, Columns& out) {
  std::array<double, 4> v{};
  std::size_t count = 0;
  while (!line.empty()) {
    const std::size_t comma = line.find(',');
    const std::string_view field = wr::trim(line.substr(0, comma));
    line = comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
    if (field.empty() && line.empty()) break;  // the comma after the last field
    const wr::FieldValue f = wr::read_field(field, wr::kWrittenNumber);
    if (count == 4 || (f.status != wr::FieldStatus::number && f.status != wr::FieldStatus::overflowed)) {
      throw BadFile(where + ": not a row of four numbers");
    }
    v[count++] = f.status == wr::FieldStatus::number ? f.value : std::numeric_limits<double>::quiet_NaN();
  }
  if (count != 4) throw BadFile(where + ": not a row of four numbers");
  out.first.push_back(v[0]);
  for (std::size_t c = 0; c < 3; ++c) out.rest[c].push_back(v[c + 1]);
}

}  // namespace

Columns read_columns(const std::string& path) {
  std::string text;
  common::FileFault fault;
  if (!common::read_file(path, text, fault)) throw BadFile(path + ": cannot read the file: " + fault.reason);
  Columns out;
  std::size_t line_no = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = std::string_view(text).substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (++line_no == 1 || wr::trim(line).empty()) continue;  // the title line
    read_row(line, path + ":" + std::to_string(line_no), out);
  }
  return out;
}

}  // namespace wavefft::python
