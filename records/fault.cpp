// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/fault.h"

#include <cmath>
#include <utility>

#include "common/numbers.h"
#include "records/field.h"

namespace wavefft::records {

Fault::Fault(RecordFault k, std::size_t at, std::string what, std::size_t n)
    : kind(k), line(at), text(std::move(what)), count(n) {}

std::string fault_message(const std::string& name, const Fault& f) {
  std::string at = name;
  if (f.line != 0) at += ":" + std::to_string(f.line);
  at += ": ";
  switch (f.kind) {
    case RecordFault::unreadable: return at + "cannot read the file: " + f.text;
    case RecordFault::empty: return at + "empty file";
    case RecordFault::no_titles: return at + "no column-title line after the header line, and no data";
    case RecordFault::field_count: return at + "expected " + f.text + ", found " + std::to_string(f.count) + " fields";
    case RecordFault::not_a_number: return at + f.field + " is not a number: \"" + f.text + "\"";
    case RecordFault::overflowed:
      return at + f.field + " is \"" + f.text + "\": the value did not fit its field when the file was written";
    case RecordFault::not_finite: return at + f.field + " is not a finite number: \"" + f.text + "\"";
    case RecordFault::too_few_samples:
      return at + "fewer than two samples (found " + std::to_string(f.count) + "); the sample interval is unknown";
    case RecordFault::bad_interval:
      return at + "the sample interval time(2) - time(1) = " + common::shortest(f.value) + " s is not positive";
  }
  return at + "unreadable record";
}

void fail(const std::string& name, const Fault& f) { throw RecordError(fault_message(name, f)); }

double read_value(std::string_view text, const std::string& name, std::size_t line, const char* field,
                  std::size_t index) {
  const FieldValue v = read_field(text, kWrittenNumber);
  if (v.status == FieldStatus::number && std::isfinite(v.value)) return v.value;
  Fault f(RecordFault::not_a_number, line, std::string(text));
  f.field = field;
  if (index != 0) f.field += " " + std::to_string(index);
  if (v.status == FieldStatus::overflowed) f.kind = RecordFault::overflowed;
  // "1e999", "NaN", "-Infinity" -> not finite.
  if (v.status == FieldStatus::out_of_range || v.status == FieldStatus::number) f.kind = RecordFault::not_finite;
  fail(name, f);
}

void check_samples(RecordFile& rec, const std::vector<double>& time, const std::string& name, std::size_t line2) {
  if (time.size() < 2) fail(name, Fault(RecordFault::too_few_samples, 0, {}, time.size()));
  rec.dt = time[1] - time[0];
  if (!(rec.dt > 0.0) || !std::isfinite(rec.dt)) {
    Fault f(RecordFault::bad_interval, line2);
    f.value = rec.dt;
    fail(name, f);
  }
}

}  // namespace wavefft::records
