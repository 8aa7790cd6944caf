// SPDX-License-Identifier: GPL-3.0-or-later
// Small text steps the tools' readers share.
#pragma once

#include <string_view>
#include <vector>

namespace wavefft::common {

/// Blanks and tabs, the default of trim().
inline constexpr std::string_view kBlanks = " \t";
/// Every character C's isspace() takes in the "C" locale.
inline constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

/// `text` without the characters of `blanks` at either end:
/// ("  12.5\t", " \t") -> "12.5"; ("\r\n", " \t") -> "\r\n".
std::string_view trim(std::string_view text, std::string_view blanks = kBlanks);

/// The fields of `line` between the separators `sep`, empty ones included:
/// ("a\t\tb", '\t') -> {"a", "", "b"}; ("", ',') -> {""}.
std::vector<std::string_view> split_at(std::string_view line, char sep);

}  // namespace wavefft::common
