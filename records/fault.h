// SPDX-License-Identifier: GPL-3.0-or-later
// What can be wrong with a record file, the one place that turns it into
// the message, and the checks of the readers that raise it. Private to
// the readers of this folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "records/record.h"

namespace wavefft::records {

/// What is wrong with a record file.
enum class RecordFault {
  unreadable,       // the file cannot be opened or read (text: the system's reason)
  empty,            // no bytes at all
  no_titles,        // the input layout ends after its header line
  field_count,      // a row has the wrong number of fields (text: what was expected; count: how many)
  not_a_number,     // a field is no number in any form the program writes (text)
  overflowed,       // a field of asterisks: the writer could not fit the value (text)
  not_finite,       // Infinity, NaN or a value beyond the double range (text)
  too_few_samples,  // fewer than two data rows (count)
  bad_interval,     // time(2) - time(1) is not positive (value)
};

struct Fault {
  Fault(RecordFault k, std::size_t at = 0, std::string what = {}, std::size_t n = 0);
  RecordFault kind;
  std::size_t line = 0;   // 1-based; 0 when the fault is the whole file's
  std::string text;       // the bad text, or the system's reason
  std::size_t count = 0;  // fields found, samples found
  std::string field;      // "time", "value 11", "comp2", ...
  double value = 0.0;     // the bad interval
};

/// "NAME:LINE: what is wrong" (no ":LINE" for a fault of the whole file).
std::string fault_message(const std::string& name, const Fault& f);

/// Throws RecordError with fault_message(name, f).
[[noreturn]] void fail(const std::string& name, const Fault& f);

/// The finite number in field `text` of line `line`, or the fault:
/// `field` names it ("time", "value" with `index` 11 -> "value 11";
/// index 0 adds nothing).
double read_value(std::string_view text, const std::string& name, std::size_t line, const char* field,
                  std::size_t index);

/// Sets rec.dt = time[1] - time[0] after checking that there are two
/// samples and that it is positive and finite; `line2` is the line of the
/// second sample (0 when unknown).
void check_samples(RecordFile& rec, const std::vector<double>& time, const std::string& name, std::size_t line2);

}  // namespace wavefft::records
