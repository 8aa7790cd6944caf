// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's EAS cells: where they are empty, and that a record file
// gives the cells of its values in the unit and at the step
// wavefft-measures would read them with. The numbers themselves are the
// measures library's (measures_fas_test.cpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/eas_columns.h"
#include "common/numbers.h"

namespace fs = std::filesystem;
using wavefft::batch::eas_cells;
using wavefft::batch::EasCells;
using wavefft::batch::record_eas_cells;

namespace {

constexpr double kG = 9.80665;  // m/s^2

// amplitude * sin(2 pi f t), n samples at dt.
std::vector<double> sine(std::size_t n, double dt, double f, double amplitude) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = amplitude * std::sin(2 * std::numbers::pi * f * static_cast<double>(i) * dt);
  return v;
}

double value(const std::string& cell) {
  const auto v = wavefft::common::to_number(cell, wavefft::common::NumberGrammar{});
  EXPECT_TRUE(v.has_value()) << "'" << cell << "'";
  return v.value_or(std::nan(""));
}

EasCells cells_of(const std::vector<double>& c1, const std::vector<double>& c2, const std::vector<double>& c3,
                  double dt) {
  return eas_cells({std::span<const double>(c1), std::span<const double>(c2), std::span<const double>(c3)}, dt);
}

}  // namespace

// Empty cells: a 1.4 s record has lines every 1/1.4 Hz, none within the
// window at 1 Hz but one at 5 Hz; a step of 0.125 s puts 5 Hz above the
// Nyquist frequency (4 Hz).
TEST(BatchEasColumns, EmptyWhereTheSpectrumHasNoLineOrIsAboveNyquist) {
  const std::vector<double> short_rec = sine(140, 0.01, 5.0, kG), zero140(140, 0.0);
  const EasCells short_cells = cells_of(short_rec, short_rec, zero140, 0.01);
  EXPECT_EQ(short_cells.eas_1hz, "");
  EXPECT_GT(value(short_cells.eas_5hz), 0.0);

  const std::vector<double> coarse = sine(400, 0.125, 1.0, kG), zero400(400, 0.0);
  const EasCells coarse_cells = cells_of(coarse, coarse, zero400, 0.125);
  EXPECT_GT(value(coarse_cells.eas_1hz), 0.0);
  EXPECT_EQ(coarse_cells.eas_5hz, "");

  EXPECT_THROW(cells_of({}, {}, {}, 0.01), std::invalid_argument);
}

class BatchEasRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("batch-eas-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // An input-layout record in `unit`: components c1, c2, c3 in values 1, 2
  // and 11, times to seven significant digits at step dt.
  fs::path write_record(const std::string& unit, const std::vector<double>& c1, const std::vector<double>& c2,
                        const std::vector<double>& c3, double dt) {
    const fs::path p = dir_ / ("rec-" + unit + ".txt");
    std::ofstream out(p);
    out << "Ev1 ST1 acceleration " << unit << "\nTIME NS EW V03 V04 V05 V06 V07 V08 V09 V10 UD\n";
    for (std::size_t i = 0; i < c1.size(); ++i) {
      out << wavefft::common::significant(static_cast<double>(i) * dt, 7);
      for (int k = 1; k <= 42; ++k) {
        const double v = k == 1 ? c1[i] : k == 2 ? c2[i] : k == 11 ? c3[i] : 0.0;
        out << ' ' << wavefft::common::shortest(v);
      }
      out << '\n';
    }
    return p;
  }
  fs::path dir_;
};

// The values are read in the unit given (as --unit), not the header's, and
// at the step given (as --dt) when there is one.
TEST_F(BatchEasRecord, ReadsTheRecordInTheGivenUnitAndStep) {
  const std::size_t n = 1000;
  std::vector<double> gal1(n), gal2(n), gal3(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    gal1[i] = std::round(100 * 80.0 * std::sin(0.037 * static_cast<double>(i * i % 997))) / 100;
    gal2[i] = std::round(100 * 50.0 * std::cos(0.011 * static_cast<double>(i))) / 100;
  }
  const fs::path rec = write_record("gal", gal1, gal2, gal3, 0.01);

  const EasCells in_gal = record_eas_cells(rec, "gal", std::nullopt);
  std::vector<double> s1 = gal1, s2 = gal2;
  for (double& v : s1) v *= 0.01;  // how scale_to_m_s2 turns gal into m/s^2
  for (double& v : s2) v *= 0.01;
  const EasCells direct = cells_of(s1, s2, gal3, 0.01);
  EXPECT_EQ(in_gal.eas_1hz, direct.eas_1hz);
  EXPECT_EQ(in_gal.eas_5hz, direct.eas_5hz);

  // The same file read in g: 980.665 times as large.
  const EasCells in_g = record_eas_cells(rec, "g", std::nullopt);
  EXPECT_NEAR(value(in_g.eas_1hz) / value(in_gal.eas_1hz), 980.665, 1e-9);
  EXPECT_NEAR(value(in_g.eas_5hz) / value(in_gal.eas_5hz), 980.665, 1e-9);

  // At twice the step the lines move: the cells are those of the values at 0.02 s.
  const EasCells slower = record_eas_cells(rec, "gal", 0.02);
  const EasCells direct_slower = cells_of(s1, s2, gal3, 0.02);
  EXPECT_EQ(slower.eas_1hz, direct_slower.eas_1hz);
  EXPECT_EQ(slower.eas_5hz, direct_slower.eas_5hz);
  EXPECT_NE(slower.eas_1hz, in_gal.eas_1hz);
  // A word that is no acceleration unit gives no cells, as it gives no measures.
  EXPECT_THROW(record_eas_cells(rec, "counts", std::nullopt), std::runtime_error);
}
