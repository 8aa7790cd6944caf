// SPDX-License-Identifier: GPL-3.0-or-later
// One number field of the files the program writes (record rows, fort.99,
// amp3.csv, the waveform file): the forms its writers produce, the field
// of asterisks a writer leaves when the value does not fit, and the blanks
// around a field.
#pragma once

#include <string_view>

#include "common/numbers.h"
#include "common/text.h"

namespace wavefft::records {

/// Every form the program writes: "0.01", "-.5678E+00", "0.", "1.E+009",
/// "+2", the three-digit exponent whose "E" was dropped to fit the field
/// ("0.1000-100" is 0.1000E-100), and "Infinity", "-Inf", "NaN" as
/// std::from_chars reads them. No blanks; beyond the double range is
/// FieldStatus::out_of_range.
inline constexpr common::NumberGrammar kWrittenNumber{
    .plus_sign = true, .special_words = true, .bare_exponent_sign = true};

/// How a field fared.
enum class FieldStatus {
  number,        // a number of the grammar (an infinity or NaN included); value holds it
  overflowed,    // asterisks only: the value did not fit its field when the file was written
  not_a_number,  // empty, or text that is no number of the grammar
  out_of_range,  // a number of the grammar beyond the double range (grammar without saturate)
};

struct FieldValue {
  FieldStatus status = FieldStatus::not_a_number;
  double value = 0.0;  // the number; 0 unless status is number
};

/// Reads the whole of `text` as one field: "****" -> overflowed, else
/// common::parse_number with `grammar`.
FieldValue read_field(std::string_view text, const common::NumberGrammar& grammar);

/// Blanks and tabs off both ends (the readers' fields and lines).
using common::trim;

}  // namespace wavefft::records
