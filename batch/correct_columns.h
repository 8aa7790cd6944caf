// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's correction columns (wavefft-batch --correct): the corners
// and flags that wavefft-correct's summary (correct.json) gives a record,
// put into its summary row as summary.tsv holds them.
#pragma once

#include <filesystem>
#include <string>

#include "batch/summary.h"
#include "correct/summary.h"

namespace wavefft::batch {

/// Puts the correction's columns of `s` into `row`:
///   hp1_hz .. hp3_hz  each component's high-pass corner, Hz, as the
///                     shortest decimal that reads back to the same double;
///   lp1_hz .. lp3_hz  its low-pass corner likewise, empty without one;
///   flags             "compN:WORD" for every flag of every component, in
///                     the components' order and each one's order, joined
///                     by blanks ("comp1:drift comp3:low-snr
///                     comp3:residual"); empty when none is set.
void put_correction(const correct::Summary& s, Row& row);

/// The correction's columns of the summary file `file` into `row`; returns
/// the summary. Throws correct::SummaryError, its message starting with the
/// file's name ("correct.json: ..."), when the file is missing or not such
/// a summary.
correct::Summary read_correction(const std::filesystem::path& file, Row& row);

/// The record's lowest usable frequency as the flatfile gives it: the
/// larger of the two horizontals' (components 1 and 2), which the
/// horizontal measures share, as the shortest decimal.
std::string lowest_usable_cell(const correct::Summary& s);

}  // namespace wavefft::batch
