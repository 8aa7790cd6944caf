// SPDX-License-Identifier: GPL-3.0-or-later
// The Fortran edit descriptors that agency text files print to say how a
// block of values is laid out: "(8f10.6)" is 8 values of 10 characters on
// each full line.
#pragma once

#include <optional>
#include <string_view>

namespace wavefft::import::text {

/// How a block of values is laid out: "(8f10.6)" -> 8 values of width 10
/// per line; "(10I8)", "(5E16.7)", "(8F9.6)", "(1P5E15.7)" likewise.
struct FixedFormat {
  int per_line = 0;  // values on a full line, 1 .. 1000
  int width = 0;     // characters per value, 1 .. 1000
  char kind = 'F';   // 'F', 'E', 'G', 'I' or 'D' (upper case)
};

/// Finds the first "(...)" in `text` and reads it as one repeat count (1
/// when absent, after an optional scale factor "1P") and one descriptor
/// F, E, G, I or D (either case) with a width and optional decimals.
/// nullopt when there is none, it is anything else ("(6(1X,E12.5))",
/// "(8x10.6)", "(8F)"), or the count or width is outside 1 .. 1000.
std::optional<FixedFormat> parse_fixed_format(std::string_view text);

}  // namespace wavefft::import::text
