// Ground-motion measures on records whose integrals are done by hand, the
// Husid interpolation, and the two record readers with their refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "measures/measures.h"
#include "measures/record_file.h"

namespace wavefft::measures {
namespace {

TEST(MeasuresGround, HandIntegratedRecords) {
  // a = {0, 2, 0} m/s^2, dt = 0.5: v = {0, 0.5, 1} m/s, d = {0, 0.125, 0.5} m,
  // int a^2 = 0.5 (0 + 4) / 2 * 2 = 2, int |a| = 1; Husid {0, 0.5, 1}:
  // t(0.05) = 0.05, t(0.75) = 0.75, t(0.95) = 0.95.
  const Measures m = ground_motion(std::vector<double>{0.0, 2.0, 0.0}, 0.5);
  EXPECT_DOUBLE_EQ(m.pga, 2.0 / 9.80665);
  EXPECT_DOUBLE_EQ(m.pgv, 100.0);
  EXPECT_DOUBLE_EQ(m.pgd, 50.0);
  EXPECT_DOUBLE_EQ(m.arias, std::numbers::pi / 9.80665);
  EXPECT_DOUBLE_EQ(m.cav, 1.0);
  ASSERT_TRUE(m.d5_75 && m.d5_95);
  EXPECT_NEAR(*m.d5_75, 0.7, 1e-15);
  EXPECT_NEAR(*m.d5_95, 0.9, 1e-15);

  // A constant 1 m/s^2 for 20 s (21 samples, dt 1): v = t, d = t^2/2,
  // Husid i/20 reaches 0.05, 0.75, 0.95 exactly at samples 1, 15, 19.
  const Measures c = ground_motion(std::vector<double>(21, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(c.pgv, 2000.0);
  EXPECT_DOUBLE_EQ(c.pgd, 20000.0);
  EXPECT_DOUBLE_EQ(c.arias, std::numbers::pi / (2 * 9.80665) * 20.0);
  EXPECT_DOUBLE_EQ(c.cav, 20.0);
  EXPECT_NEAR(*c.d5_75, 14.0, 1e-12);
  EXPECT_NEAR(*c.d5_95, 18.0, 1e-12);

  // A single negative spike at sample 3 of 7, dt 0.1: the energy is two
  // equal triangles, so the Husid curve is 0 up to t = 0.2, 0.5 at 0.3 and
  // 1 from 0.4: t(p) = 0.2 + 0.2 p. D5-75 = 0.14, D5-95 = 0.18; the
  // velocity ends at -0.1 * 4 = -0.4 m/s.
  std::vector<double> spike(7, 0.0);
  spike[3] = -4.0;
  const Measures s = ground_motion(spike, 0.1);
  EXPECT_DOUBLE_EQ(s.pga, 4.0 / 9.80665);
  EXPECT_NEAR(s.pgv, 40.0, 1e-12);
  EXPECT_NEAR(*s.d5_75, 0.14, 1e-12);
  EXPECT_NEAR(*s.d5_95, 0.18, 1e-12);
  // Negating changes no measure.
  for (double& x : spike) x = -x;
  const Measures sn = ground_motion(spike, 0.1);
  EXPECT_EQ(sn.pgv, s.pgv);
  EXPECT_EQ(sn.pgd, s.pgd);
  EXPECT_EQ(*sn.d5_95, *s.d5_95);

  // Zeros: every measure 0, no duration.
  const Measures z = ground_motion(std::vector<double>(5, 0.0), 0.01);
  EXPECT_EQ(z.pga + z.pgv + z.pgd + z.arias + z.cav, 0.0);
  EXPECT_FALSE(z.d5_75.has_value());
  EXPECT_FALSE(z.d5_95.has_value());
}

TEST(MeasuresUnits, WordsAndFactors) {
  for (const char* w : {"g", "gal", "m_s2", "mm_s2"}) {
    ASSERT_TRUE(parse_unit(w).has_value()) << w;
    EXPECT_EQ(unit_word(*parse_unit(w)), w);
  }
  EXPECT_FALSE(parse_unit("G").has_value());
  EXPECT_FALSE(parse_unit("cm/s2").has_value());
  EXPECT_EQ(to_m_s2(Unit::g), 9.80665);
  EXPECT_EQ(to_m_s2(Unit::gal), 0.01);
  EXPECT_EQ(to_m_s2(Unit::mm_s2), 0.001);
  const auto p = nga_west2_periods();
  ASSERT_EQ(p.size(), 111u);
  EXPECT_EQ(p.front(), 0.01);
  EXPECT_EQ(p[60], 0.667);
  EXPECT_EQ(p.back(), 20.0);
  for (std::size_t i = 1; i < p.size(); ++i) EXPECT_LT(p[i - 1], p[i]);
}

std::string row43(const std::string& time, const std::string& v1, const std::string& v2, const std::string& v11) {
  std::string s = time + " " + v1 + " " + v2;
  for (int k = 3; k <= 42; ++k) s += " " + (k == 11 ? v11 : std::string("0"));
  return s + "\n";
}

TEST(MeasuresRecord, ReadsBothLayoutsAndTheNumberFormsTheProgramWrites) {
  const std::string input = "Quake2020 STA acceleration gal\r\nTIME 1 2 ...\r\n" + row43("0.000", "1.5", "-2", "3E-1") +
                            row43("0.020", "+.25", "0.1000-100", "-7.") + "\n";
  const RecordFile r = parse_record(input, "in.txt");
  EXPECT_EQ(r.kind, RecordFile::Kind::input_layout);
  EXPECT_EQ(r.event, "Quake2020");
  EXPECT_EQ(r.station, "STA");
  EXPECT_EQ(r.unit, Unit::gal);
  EXPECT_DOUBLE_EQ(r.dt, 0.02);
  EXPECT_EQ(r.comp[0], (std::vector<double>{1.5, 0.25}));
  EXPECT_EQ(r.comp[1], (std::vector<double>{-2.0, 0.1e-100}));
  EXPECT_EQ(r.comp[2], (std::vector<double>{0.3, -7.0}));
  // A fourth word that is no unit leaves the unit open.
  EXPECT_FALSE(parse_record("E S velocity cm\nT\n" + row43("0", "1", "1", "1") + row43("1", "1", "1", "1"), "x").unit);

  const std::string wave =
      " time(s),comp1, comp2, comp3\n   0.000, 0.1234E-01, -.5678E+00, 0.1000E+01,\n   0.005, 0.1000-100,  0.,  1.E+009\n";
  const RecordFile w = parse_record(wave, "wave.csv");
  EXPECT_EQ(w.kind, RecordFile::Kind::waveform);
  EXPECT_FALSE(w.unit.has_value());
  EXPECT_DOUBLE_EQ(w.dt, 0.005);
  EXPECT_EQ(w.comp[0], (std::vector<double>{0.01234, 0.1e-100}));
  EXPECT_EQ(w.comp[1], (std::vector<double>{-0.5678, 0.0}));
  EXPECT_EQ(w.comp[2], (std::vector<double>{1.0, 1e9}));
}

// The message parse_record gives for `bytes`, or "" when it reads them.
std::string refusal(const std::string& bytes) {
  try {
    parse_record(bytes, "rec.txt");
  } catch (const RecordError& e) {
    return e.what();
  }
  return "";
}

TEST(MeasuresRecord, RefusalsNameFileLineFieldAndText) {
  const std::string head = "E S acceleration g\nTIME\n";
  const std::string ok = row43("0.00", "1", "2", "3");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "abc", "3")), "rec.txt:4: value 2 is not a number: \"abc\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "2", "3").replace(0, 4, "x.01")),
            "rec.txt:4: time is not a number: \"x.01\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "2", "NaN")), "rec.txt:4: value 11 is not a finite number: \"NaN\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1e999", "2", "3")), "rec.txt:4: value 1 is not a finite number: \"1e999\"");
  EXPECT_EQ(refusal(head + ok + "0.01 1 2 3\n"), "rec.txt:4: expected the time and 42 values (43 fields), found 4 fields");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "2", "3").replace(11, 1, "q")),
            "rec.txt:4: value 4 is not a number: \"q\"");  // an unused value is still checked
  EXPECT_EQ(refusal(head + ok), "rec.txt: fewer than two samples (found 1); the sample interval is unknown");
  EXPECT_EQ(refusal(head + ok + ok), "rec.txt:4: the sample interval time(2) - time(1) = 0 s is not positive");
  EXPECT_EQ(refusal(""), "rec.txt: empty file");
  EXPECT_EQ(refusal("E S acceleration g"), "rec.txt:1: no column-title line after the header line, and no data");

  const std::string wave = " time(s),comp1, comp2, comp3\n   0.000, 0.1E-01, 0.2E-01, 0.3E-01,\n";
  EXPECT_EQ(refusal(wave + "   0.005,************, 0.2E-01, 0.3E-01,\n"),
            "rec.txt:3: comp1 is \"************\": the value did not fit its field when the file was written");
  EXPECT_EQ(refusal(wave + "   0.005, 0.1E-01, 0.2E-01,\n"),
            "rec.txt:3: expected the time and three components, found 3 fields");
  EXPECT_EQ(refusal(wave + "   0.005, 0.1E-01, 0.2E-01, -Infinity,\n"),
            "rec.txt:3: comp3 is not a finite number: \"-Infinity\"");
  EXPECT_EQ(refusal(wave + "  -0.005, 0.1E-01, 0.2E-01, 0.3E-01,\n"),
            "rec.txt:3: the sample interval time(2) - time(1) = -0.005 s is not positive");
}

// A record of `rows` data rows (more than a megabyte: read in two halves at
// once), sample i with time i / 100 and components i, -i / 4 and 2 i + 1,
// CRLF line ends and a blank line every 1000 rows. Row `bad` (counted from
// 0; none when out of range) gets `bad_value` as its second component.
std::string large_record(std::size_t rows, std::size_t bad = SIZE_MAX, const std::string& bad_value = "") {
  std::string s = "Big STA acceleration m_s2\r\nTIME HNN HNE\r\n";
  for (std::size_t i = 0; i < rows; ++i) {
    if (i % 1000 == 999) s += "  \r\n";
    const double v = static_cast<double>(i);
    std::string row = row43(std::to_string(i / 100) + "." + (i % 100 < 10 ? "0" : "") + std::to_string(i % 100),
                            std::to_string(i), i == bad ? bad_value : std::to_string(-v / 4),
                            std::to_string(2 * i + 1));
    row.pop_back();
    s += row;
    s += "\r\n";
  }
  return s;
}

TEST(MeasuresRecord, LargeRecordsReadInHalvesLikeInOnePass) {
  const std::size_t rows = 12000;
  const std::string big = large_record(rows);
  ASSERT_GT(big.size(), std::size_t{1} << 20);
  const RecordFile r = parse_record(big, "big.txt");
  EXPECT_EQ(r.unit, Unit::m_s2);
  EXPECT_DOUBLE_EQ(r.dt, 0.01);
  ASSERT_EQ(r.comp[0].size(), rows);
  ASSERT_EQ(r.comp[1].size(), rows);
  ASSERT_EQ(r.comp[2].size(), rows);
  for (std::size_t i = 0; i < rows; ++i) {
    const double v = static_cast<double>(i);
    ASSERT_EQ(r.comp[0][i], v) << i;
    ASSERT_EQ(r.comp[1][i], std::stod(std::to_string(-v / 4))) << i;
    ASSERT_EQ(r.comp[2][i], 2 * v + 1) << i;
  }
  // Without the last line end the last row is still read.
  EXPECT_EQ(parse_record(big.substr(0, big.size() - 2), "big.txt").comp[2].back(), 2.0 * (rows - 1) + 1);

  // A fault in either half names its true line: data row i is on line
  // 3 + i + (blank lines before it).
  auto line_of = [](std::size_t i) { return std::to_string(3 + i + i / 1000 + (i % 1000 == 999 ? 1 : 0)); };
  for (std::size_t bad : {std::size_t{5}, std::size_t{4000}, rows / 2, std::size_t{11000}, rows - 1}) {
    EXPECT_EQ(refusal(large_record(rows, bad, "1.2.3")),
              "rec.txt:" + line_of(bad) + ": value 2 is not a number: \"1.2.3\"")
        << "row " << bad;
  }
  EXPECT_EQ(refusal(large_record(rows, 9000, "****")),
            "rec.txt:" + line_of(9000) + ": value 2 is \"****\": the value did not fit its field when the file was written");
  // A short row in the second half, and a first interval that is not positive.
  const std::size_t at = big.find("\n100.00 ") + 1;
  const std::string short_row = big.substr(0, at) + "1 2 3\r\n" + big.substr(at);
  EXPECT_EQ(refusal(short_row), "rec.txt:" + line_of(10000) + ": expected the time and 42 values (43 fields), found 3 fields");
  std::string same_time = big;
  same_time.replace(same_time.find("\n0.01 ") + 1, 4, "0.00");
  EXPECT_EQ(refusal(same_time), "rec.txt:4: the sample interval time(2) - time(1) = 0 s is not positive");
}

}  // namespace
}  // namespace wavefft::measures
