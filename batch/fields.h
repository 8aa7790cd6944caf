// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting text into lines, and a line of the input layout into its
// fields, empty fields dropped (a record's lines, wavefft's console). A
// line split at one separator with empty fields kept (summary.tsv, CSV
// files) is common::split_at.
#pragma once

#include <string_view>
#include <vector>

namespace wavefft::batch {

/// The lines of `text` as std::getline gives them: split at each '\n' (a CR
/// before it stays), the part after the last one a line only when it is not
/// empty: "a\n\nb" -> {"a", "", "b"}; "a\n" -> {"a"}; "" -> {}.
std::vector<std::string_view> split_lines(std::string_view text);

/// True for the separators of the input layout: blank, tab, comma, and a
/// carriage return (a CR LF line end).
constexpr bool is_layout_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

/// The fields of one line of the input layout, split at its separators;
/// empty fields do not count: " 0.01, 1.5  2\r" -> {"0.01", "1.5", "2"}.
std::vector<std::string_view> line_fields(std::string_view line);

}  // namespace wavefft::batch
