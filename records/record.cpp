// SPDX-License-Identifier: GPL-3.0-or-later
// parse_record picks the layout from the first line; read_record_file
// reads the whole file first.
#include "records/record.h"

#include <system_error>

#include "common/files.h"
#include "records/fault.h"
#include "records/field.h"
#include "records/layouts.h"

namespace wavefft::records {

RecordFile parse_record(std::string_view bytes, const std::string& name) {
  if (bytes.empty()) fail(name, Fault(RecordFault::empty));
  Lines lines(bytes);
  std::string_view first;
  lines.next(first);
  // " time(s),comp1, comp2, comp3" -> waveform file; anything else is the
  // input layout's header line.
  if (trim(first).starts_with("time(s),")) return parse_waveform(lines, name);
  return parse_input_layout(first, lines, name);
}

RecordFile read_record_file(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) fail(name, Fault(RecordFault::unreadable, 0, "it is a folder"));
  std::string bytes;
  common::FileFault fault;
  if (!common::read_file(path, bytes, fault)) fail(name, Fault(RecordFault::unreadable, 0, fault.reason));
  return parse_record(bytes, name);
}

}  // namespace wavefft::records
