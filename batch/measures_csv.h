// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers wavefft-batch picks from wavefft-measures' files for its
// summary: texts in, the chosen cells' texts out, copied as they stand.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/fields.h"
#include "common/text.h"

namespace wavefft::batch {

/// A row of a CSV file whose first line names the columns.
class CsvRow {
 public:
  CsvRow(const std::map<std::string, std::size_t, std::less<>>& columns, std::vector<std::string_view> cells)
      : columns_(columns), cells_(std::move(cells)) {}
  /// The cell of the column named `name`; nothing when there is no such
  /// column or the row is too short for it.
  std::optional<std::string_view> operator[](std::string_view name) const {
    const auto it = columns_.find(name);
    if (it == columns_.end() || it->second >= cells_.size()) return std::nullopt;
    return cells_[it->second];
  }
  std::string_view first() const { return cells_.front(); }

 private:
  const std::map<std::string, std::size_t, std::less<>>& columns_;
  std::vector<std::string_view> cells_;
};

/// Calls fn(row) for each line after the first of `text`, which names the
/// columns (the first of two columns of the same name counts).
template <class Fn>
void for_each_row(std::string_view text, Fn fn) {
  std::map<std::string, std::size_t, std::less<>> columns;
  bool header = true;
  for (std::string_view line : split_lines(text)) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // No quoting: the files of wavefft-measures hold numbers and plain names only.
    std::vector<std::string_view> cells = common::split_at(line, ',');
    if (header) {
      for (std::size_t k = 0; k < cells.size(); ++k) columns.emplace(std::string(cells[k]), k);
      header = false;
      continue;
    }
    fn(CsvRow(columns, std::move(cells)));
  }
}

/// The numbers picked from wavefft-measures' files, as texts.
struct Picked {
  std::string pga, pgv;                   // from measures.csv
  std::string psa_02, psa_10, rotd50_10;  // from spectra.csv
};

/// From measures.csv: pga (row "pga") and pgv (row "pgv"), each the larger
/// of comp1 and comp2, the text copied.
void pick_measures(std::string_view measures_csv, Picked& out);

/// From spectra.csv at damping 0.05: the larger of comp1 and comp2 at
/// periods 0.2 and 1, and rotd50 at 1.
void pick_spectra(std::string_view spectra_csv, Picked& out);

}  // namespace wavefft::batch
