// SPDX-License-Identifier: GPL-3.0-or-later
// Words and fields of a line of an agency text file: blanks trimmed,
// labels found without regard to letter case, words split at blanks, tabs
// or commas, a field shown in a message, and a header word read as a count.
// Shared by every text reader; nothing here knows a layout.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/record.h"

namespace wavefft::import::text {

/// Blanks and tabs off both ends.
std::string_view trim(std::string_view s);

/// True when `s` starts with `prefix`, letters compared without case.
bool starts_with_nocase(std::string_view s, std::string_view prefix);
/// True when `a` and `b` are the same text, letters compared without case:
/// ("Acceleration", "ACCELERATION") -> true.
bool equals_nocase(std::string_view a, std::string_view b);
/// Position of `needle` in `s`, letters compared without case; npos if none.
std::size_t find_nocase(std::string_view s, std::string_view needle);

/// Finds the next word of `line` at or after position `i` (words are
/// separated by runs of blanks, tabs or commas) and moves `i` past it;
/// false when only separators are left.
bool next_word(std::string_view line, std::size_t& i, std::string_view& word);

/// Splits a line at runs of blanks, tabs or commas.
std::vector<std::string_view> split_words(std::string_view line);

/// The first word (up to a blank, tab or comma) after the first `label` in
/// `line`, letters of the label compared without case; empty when the label
/// is absent. word_after("NO. OF POINTS =   3500  RECORD", "NO. OF POINTS =")
/// -> "3500".
std::string_view word_after(std::string_view line, std::string_view label);

/// A field shown in a message, in double quotes: at most 40 characters,
/// control bytes and bytes above 0x7E as '?' ("AYD\xFDN" -> "\"AYD?N\"").
std::string quoted(std::string_view s);

/// `word` read as a whole number ([+|-] digits, blanks around it allowed)
/// from `least` to `most` into `n`; otherwise Status::malformed at `line`:
/// "<name> is not a count from <least> to <most>: "<word>"" ("NDATA is not
/// a count from 1 to 100000000: "-5""), `n` left as it was.
Problem read_count(std::string_view word, std::string_view name, long long least, long long most,
                   const std::string& file, std::size_t line, long long& n);

}  // namespace wavefft::import::text
