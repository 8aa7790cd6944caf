// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers picked from wavefft-measures' files (see measures_csv.h).
#include "batch/measures_csv.h"

#include <optional>

#include "common/text.h"
#include "common/numbers.h"

namespace wavefft::batch {
namespace {

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
