// SPDX-License-Identifier: GPL-3.0-or-later
// The files the program wavefft writes, read back into columns: amp3.csv
// (frequency and three amplitudes) and the waveform file (time and three
// components).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace wavefft::python {

/// A file of a title line and rows of four numbers: the first column and the
/// three others.
struct Columns {
  std::vector<double> first;
  std::array<std::vector<double>, 3> rest;
};

/// Reads such a file (a field of asterisks, a value that did not fit, reads
/// as NaN). Throws BadFile when it cannot be read or a row is not four
/// numbers.
Columns read_columns(const std::string& path);

}  // namespace wavefft::python
