// SPDX-License-Identifier: GPL-3.0-or-later
// Blocks of values in agency text files: laid out by a Fortran descriptor
// in fixed-width fields, separated by blanks, or as a table with one column
// per component. Every value is read in the forms of common::kFortranField
// ("12", ".005", "1.5D+01", "1.234-05"); each failure names the file, the
// line and the bad text. Shared by every text reader; nothing here knows
// a layout.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/fortran_format.h"
#include "import/lines.h"

namespace wavefft::import::text {

/// Values that agency files use for "no data": -999, -999.0, -32768 and
/// 1.7E+38 (or larger in magnitude).
bool is_missing_flag(double v);

/// The file ended at `line` after `got` of the `n` things (`what`) a block
/// expects: Status::truncated, "the file ends after 2 of 3 values".
Problem ends_after(const std::string& file, std::size_t line, std::size_t got, std::size_t n, const char* what);

/// Reads `n` values laid out by `format` from the next lines of `lines`:
/// each line holds `per_line` fields of `width` characters (the last line
/// may hold fewer), read by column, never by blanks, so numbers that touch
/// ("-9.840268-12.932260") are split right. Each value is multiplied by
/// `factor` (when factor is 1 the value is kept as read) and appended to
/// `out`. A missing-value flag is refused when `refuse_flags`. On failure
/// the Problem names `file`, the line and the bad text.
Problem read_fixed_block(Lines& lines, const FixedFormat& format, std::size_t n, double factor, bool refuse_flags,
                         const std::string& file, std::vector<double>& out);

/// Reads `n` values separated by blanks, tabs or commas from the next
/// lines of `lines` (a line may hold any number of them). When `n` is 0,
/// reads every value up to the end. Otherwise as read_fixed_block. The line
/// that holds the n-th value is consumed whole.
Problem read_free_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out);

/// Reads rows of `columns` values each (a table: one row per line) from the
/// next lines of `lines` into out[0 .. columns-1], one vector per column,
/// each value times `factor`. `width` 0 splits a row at blanks; a width
/// above 0 reads the row by fixed columns of that many characters. `rows`
/// 0 reads to the end of the file; otherwise fewer rows is
/// Status::truncated. A row with another number of values is
/// Status::malformed naming the line. Flags as read_free_block.
Problem read_columns(Lines& lines, std::size_t columns, std::size_t width, std::size_t rows, double factor,
                     bool refuse_flags, const std::string& file, std::vector<std::vector<double>>& out);

}  // namespace wavefft::import::text
