// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers picked from wavefft-measures' files (see measures_csv.h).
#include "batch/measures_csv.h"

#include <map>
#include <optional>
#include <vector>

#include "batch/fields.h"
#include "common/text.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

// A row of a CSV file whose first line names the columns.
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

// Calls fn(row) for each line after the first of `text`, which names the
// columns (the first of two columns of the same name counts).
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

// The text of the larger of two numbers; the one that is a number when only
// one is; empty when neither is (or a cell is missing).
std::string larger(std::optional<std::string_view> a, std::optional<std::string_view> b) {
  if (!a || !b) return {};
  const auto x = common::to_number(*a, common::kPrintedNumber), y = common::to_number(*b, common::kPrintedNumber);
  if (x && y) return std::string(*y > *x ? *b : *a);
  if (x) return std::string(*a);
  if (y) return std::string(*b);
  return {};
}

}  // namespace

void pick_measures(std::string_view measures_csv, Picked& out) {
  for_each_row(measures_csv, [&](const CsvRow& row) {
    const auto c1 = row["comp1"], c2 = row["comp2"];
    if (!c1 || !c2) return;
    if (row.first() == "pga") out.pga = larger(c1, c2);
    if (row.first() == "pgv") out.pgv = larger(c1, c2);
  });
}

void pick_spectra(std::string_view spectra_csv, Picked& out) {
  for_each_row(spectra_csv, [&](const CsvRow& row) {
    const auto period = row["period_s"], damping = row["damping"];
    if (!period || !damping || !row["comp1"] || !row["comp2"]) return;
    const auto p = common::to_number(*period, common::kPrintedNumber), h = common::to_number(*damping, common::kPrintedNumber);
    if (!p || !h || *h != 0.05) return;
    if (*p == 0.2) out.psa_02 = larger(row["comp1"], row["comp2"]);
    if (*p == 1.0) {
      out.psa_10 = larger(row["comp1"], row["comp2"]);
      if (const auto r = row["rotd50"]) out.rotd50_10 = std::string(*r);
    }
  });
}

}  // namespace wavefft::batch
