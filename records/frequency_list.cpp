// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/frequency_list.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/numbers.h"
#include "common/text.h"
#include "records/record.h"

namespace wavefft::records {

namespace {

// "+0.5", "1e-3"; the words "inf" and "nan" read, to be refused as not
// finite; out of range ("1e999") is refused as not finite too.
constexpr common::NumberGrammar kFrequencyNumber{.plus_sign = true, .special_words = true};

// The blanks around a line's number, the carriage return of a CRLF file
// among them.
constexpr std::string_view kLineBlanks = " \t\r";

double read_frequency(std::string_view item, const std::string& where) {
  const common::ParsedNumber parsed = common::parse_number(item, kFrequencyNumber);
  const common::NumberStatus status = parsed.status;
  const double value = parsed.value;
  const std::string quoted = "\"" + std::string(item) + "\"";
  if (status == common::NumberStatus::not_a_number) {
    throw RecordError(where + "frequency " + quoted + " is not a number");
  }
  if (status == common::NumberStatus::out_of_range || !std::isfinite(value) || !(value > 0.0)) {
    throw RecordError(where + "frequency " + quoted + " is not a positive finite number of hertz");
  }
  return value;
}

}  // namespace

std::vector<double> parse_frequency_list(std::string_view text, const std::string& name) {
  std::vector<double> out;
  std::size_t line_no = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view item = common::trim(text.substr(start, end - start), kLineBlanks);
    ++line_no;
    if (!item.empty()) out.push_back(read_frequency(item, name + ":" + std::to_string(line_no) + ": "));
    start = end + 1;
  }
  if (out.empty()) throw RecordError(name + ": no frequencies in the file");
  return out;
}

}  // namespace wavefft::records
