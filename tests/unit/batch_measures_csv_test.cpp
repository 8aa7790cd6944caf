// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers wavefft-batch picks from wavefft-measures' files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/measures_csv.h"

using namespace wavefft::batch;

namespace {

using Texts = std::vector<std::string>;

// What was picked: pga, pgv, psa_02, psa_10, rotd50_10.
Texts texts(const Picked& p) { return {p.pga, p.pgv, p.psa_02, p.psa_10, p.rotd50_10}; }

Texts from_measures(std::string_view csv) {
  Picked p;
  pick_measures(csv, p);
  return texts(p);
}

Texts from_spectra(std::string_view csv) {
  Picked p;
  pick_spectra(csv, p);
  return texts(p);
}

}  // namespace

TEST(BatchMeasuresCsv, LargerHorizontalOfMeasuresTextCopied) {
  EXPECT_EQ(from_measures("measure,unit,comp1,comp2,comp3\n"
                          "pga,g,0.5e-2,0.004,9\n"
                          "pgv,cm/s,1.25,3.0000,99\n"
                          "pgd,cm,7,8,9\n"),
            (Texts{"0.5e-2", "3.0000", "", "", ""}));
  // Columns found by name, whatever their order; an empty field or a text
  // loses to a number; CR LF line ends read.
  EXPECT_EQ(from_measures("measure,unit,comp3,comp2,comp1\r\npga,g,9,,0.1\r\npgv,cm/s,1,+2,x\r\n"),
            (Texts{"0.1", "+2", "", "", ""}));
  // A short row, two texts or a missing column pick nothing.
  EXPECT_EQ(from_measures("measure,unit,comp1,comp2\npga,g,0.1\npgv,cm/s,x,y\n"), Texts(5));
  EXPECT_EQ(from_measures("measure,unit,comp1\npga,g,0.1\n"), Texts(5));
}

TEST(BatchMeasuresCsv, SpectraAtFivePercentDamping) {
  EXPECT_EQ(from_spectra("period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n"
                         "0.2,0.02,5,5,5,5,5\n"
                         "0.2,0.05,0.31,0.32,0.1,0.3,0.33\n"
                         "0.25,0.05,9,9,9,9,9\n"
                         "1.0,0.05,0.21,0.2,0.1,0.205,0.22\n"
                         "1,0.02,8,8,8,8,8\n"),
            (Texts{"", "", "0.32", "0.21", "0.205"}));
  // Periods and dampings compare as numbers; no rotd50 column, no RotD50.
  EXPECT_EQ(from_spectra("period_s,damping,comp1,comp2\n0.3,0.05,1,2\n1,5e-2,3,4\n"), (Texts{"", "", "", "4", ""}));
}
