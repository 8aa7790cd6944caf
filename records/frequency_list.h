// SPDX-License-Identifier: GPL-3.0-or-later
// The list of output frequencies that wavefft-measures reads with
// --frequencies: one positive finite number per line, in the order given;
// blank lines (blanks, tabs, a carriage return) are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wavefft::records {

/// The frequencies of `text`, the file `name`. Throws RecordError
/// ("NAME:LINE: ...", or "NAME: no frequencies in the file") for a line
/// that is not one number ("0.5 1", "1,", "Hz"), a number that is not
/// positive and finite ("0", "-1", "inf", "1e999"), or a list without a
/// number.
std::vector<double> parse_frequency_list(std::string_view text, const std::string& name);

}  // namespace wavefft::records
