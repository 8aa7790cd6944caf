// SPDX-License-Identifier: GPL-3.0-or-later
// Headers of "KEY: value" lines (ESM/AFAD .asc, the Turkish layout, Taiwan
// CWB, UNAM): each reader lists the keys it wants and where their values
// go; the lines are matched here and the missing keys named.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "import/lines.h"

namespace wavefft::import::text {

/// One key a reader wants.
struct HeaderKey {
  std::string_view name;  // "NDATA", "NUMBER OF DATA", "SampleRate"
  Field* field;           // where the value goes; line 0 until a line gives it
  bool required = true;   // require_keys() names it when no line gave it
};

/// How the text before a line's ':' names a key. Letters are compared
/// without case throughout: agencies write the same key in either case.
enum class KeyMatch {
  // The text is the name ("NDATA: 13876"); a later line overrides.
  exact,
  // The text, blanks trimmed, starts with the name ("SAMPLING INTERVAL
  // (sec) : 0.01" for "SAMPLING INTERVAL"); the first such line counts.
  prefix,
  // The text up to a '(' is the name ("SampleRate(Hz): 50" for
  // "SampleRate"); a later line overrides. Field::key keeps the whole text.
  bracket,
};

/// Gives the value of the "KEY: value" line `line` (line number `number`),
/// blanks trimmed, to each key of `keys` its key text names under `match`.
/// A line without ':' gives nothing.
void take_header_line(std::string_view line, std::size_t number, KeyMatch match, std::span<const HeaderKey> keys);

/// The first required key of `keys` that no line gave: Status::malformed
/// at line 0, "the header has no <mark><name> line" ("the header has no
/// NDATA line", mark "#": "the header has no #SampleRate line"); ok when
/// every one was given.
Problem require_keys(std::span<const HeaderKey> keys, const std::string& file, std::string_view mark = {});

}  // namespace wavefft::import::text
