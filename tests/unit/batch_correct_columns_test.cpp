// SPDX-License-Identifier: GPL-3.0-or-later
// The correction's columns of wavefft-batch's catalogue: a correction's
// summary into the corner and flag cells of a row, and correct.json read
// back as wavefft-correct writes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "batch/correct_columns.h"
#include "correct/summary.h"
#include "tests/unit/test_files.h"

namespace fs = std::filesystem;
using wavefft::batch::Row;
using wavefft::correct::Summary;

namespace {

// A summary whose three components differ in every corner and flag:
// high-passes 0.1, 0.1 + 0.2 (not 0.3) and 1e-05; low-passes 25, none and
// 40.5; flags {drift}, {}, {low-snr, residual}.
Summary three_components() {
  Summary s;
  s.onset_s = 12.5;
  s.noise_s = 12.5;
  s.unit = "gal";
  const double highpass[] = {0.1, 0.1 + 0.2, 1e-05};
  const std::optional<double> lowpass[] = {25.0, std::nullopt, 40.5};
  const std::vector<std::string> flags[] = {{"drift"}, {}, {"low-snr", "residual"}};
  const char* const titles[] = {"NS", "EW", "UD"};
  for (std::size_t k = 0; k < 3; ++k) {
    wavefft::correct::SummaryComponent& c = s.components[k];
    c.title = titles[k];
    c.highpass_hz = highpass[k];
    c.lowpass_hz = lowpass[k];
    c.corners = "snr";
    c.flags = flags[k];
  }
  return s;
}

// hp1_hz .. lp3_hz and flags of a row, in that order.
std::vector<std::string> correction_cells(const Row& r) {
  return {r.hp1_hz, r.hp2_hz, r.hp3_hz, r.lp1_hz, r.lp2_hz, r.lp3_hz, r.flags};
}

// The message of the SummaryError `f` throws ("" when none).
template <class F>
std::string summary_error(F f) {
  try {
    f();
  } catch (const wavefft::correct::SummaryError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

// Each component's corners under its own column, as the shortest decimal
// that reads back (0.1 + 0.2 is not "0.3"); a missing low-pass is an
// empty cell; the flags of every component, each with its component, in
// order. The row's other cells are left alone.
TEST(BatchCorrectColumns, PutsEachComponentsCornersAndFlagsInItsOwnCells) {
  Row row;
  row.record = "r.txt";
  row.pga = "0.5";
  wavefft::batch::put_correction(three_components(), row);
  EXPECT_EQ(correction_cells(row),
            (std::vector<std::string>{"0.1", "0.30000000000000004", "1e-05", "25", "", "40.5",
                                      "comp1:drift comp3:low-snr comp3:residual"}));
  EXPECT_EQ(row.record, "r.txt");
  EXPECT_EQ(row.pga, "0.5");

  // A record without flags and without low-passes, put over the first: no
  // cell of the first is left behind.
  Summary clean = three_components();
  for (auto& c : clean.components) {
    c.flags.clear();
    c.lowpass_hz.reset();
    c.highpass_hz = 0.05;
  }
  wavefft::batch::put_correction(clean, row);
  EXPECT_EQ(correction_cells(row), (std::vector<std::string>{"0.05", "0.05", "0.05", "", "", "", ""}));

}

// correct.json as the command writes it gives the same cells, text for
// text the numbers of the file.
TEST(BatchCorrectColumns, ReadsTheSummaryTheCommandWrites) {
  const wavefft::testing::TempDir dir("correct-columns");
  const std::string json = wavefft::correct::summary_json(three_components());
  std::ofstream(dir.path() / "correct.json", std::ios::binary) << json;
  Row row;
  wavefft::batch::read_correction(dir.path() / "correct.json", row);
  Row direct;
  wavefft::batch::put_correction(three_components(), direct);
  EXPECT_EQ(correction_cells(row), correction_cells(direct));
  for (const std::string& cell : {row.hp1_hz, row.hp2_hz, row.hp3_hz, row.lp1_hz, row.lp3_hz}) {
    EXPECT_NE(json.find(": " + cell + ","), std::string::npos) << cell << " is not a number of\n" << json;
  }
}

// A summary that is missing or broken: an error naming the file, and the
// row's cells untouched.
TEST(BatchCorrectColumns, RefusesAMissingOrBrokenSummaryNamingTheFile) {
  const wavefft::testing::TempDir dir("correct-columns");
  const fs::path file = dir.path() / "broken.json";
  Row row;
  row.hp1_hz = "earlier";
  for (const char* text : {static_cast<const char*>(nullptr), "{\"onset_s\": 1, \"noise_s\": 1, \"components\": []}"}) {
    if (text) std::ofstream(file, std::ios::binary) << text;
    const std::string e = summary_error([&] { wavefft::batch::read_correction(file, row); });
    EXPECT_EQ(e.rfind("broken.json: ", 0), 0U) << e;
  }
  EXPECT_EQ(correction_cells(row), (std::vector<std::string>{"earlier", "", "", "", "", "", ""}));
}
