// SPDX-License-Identifier: GPL-3.0-or-later
// The record readers: both layouts and the number forms the program
// writes, the header's unit word, the refusals word for word, the large
// record read in two halves, and whole files read from disk.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "records/field.h"
#include "records/frequency_list.h"
#include "records/record.h"
#include "tests/unit/test_files.h"

namespace wavefft::records {
namespace {

using common::Unit;

std::string row43(const std::string& time, const std::string& v1, const std::string& v2, const std::string& v11) {
  std::string s = time + " " + v1 + " " + v2;
  for (int k = 3; k <= 42; ++k) s += " " + (k == 11 ? v11 : std::string("0"));
  return s + "\n";
}

// A two-sample input-layout record whose header line is `header`.
std::string with_header(const std::string& header) {
  return header + "\nT\n" + row43("0", "1", "1", "1") + row43("1", "1", "1", "1");
}

TEST(RecordsLayouts, ReadsBothLayoutsAndTheNumberFormsTheProgramWrites) {
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

TEST(RecordsLayouts, OnlyAnAccelerationWordIsTheUnit) {
  EXPECT_EQ(parse_record(with_header("E S acceleration mm_s2"), "x").unit, Unit::mm_s2);
  EXPECT_EQ(parse_record(with_header("  E\tS acceleration g  "), "x").unit, Unit::g);
  // The words of the other units and near misses leave the unit open: no
  // measure may be taken of counts.
  for (const char* word : {"counts", "none", "G", "cm/s2", "velocity"}) {
    EXPECT_FALSE(parse_record(with_header(std::string("E S acceleration ") + word), "x").unit.has_value()) << word;
  }
  EXPECT_FALSE(parse_record(with_header("E S gal"), "x").unit.has_value()) << "the unit is the fourth word";
  EXPECT_FALSE(parse_record(with_header(""), "x").unit.has_value());
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

TEST(RecordsLayouts, RefusalsNameFileLineFieldAndText) {
  const std::string head = "E S acceleration g\nTIME\n";
  const std::string ok = row43("0.00", "1", "2", "3");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "abc", "3")), "rec.txt:4: value 2 is not a number: \"abc\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "2", "3").replace(0, 4, "x.01")),
            "rec.txt:4: time is not a number: \"x.01\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "2", "NaN")), "rec.txt:4: value 11 is not a finite number: \"NaN\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1e999", "2", "3")), "rec.txt:4: value 1 is not a finite number: \"1e999\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "0.1-999", "3")),
            "rec.txt:4: value 2 is not a finite number: \"0.1-999\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "1.5D+01", "3")), "rec.txt:4: value 2 is not a number: \"1.5D+01\"");
  EXPECT_EQ(refusal(head + ok + row43("0.01", "1", "+-1", "3")), "rec.txt:4: value 2 is not a number: \"+-1\"");
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
  EXPECT_EQ(refusal(wave + "   0.005, 0.1E-01,, 0.2E-01, 0.3E-01\n"),
            "rec.txt:3: expected the time and three components, found 5 fields");
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

TEST(RecordsLayouts, LargeRecordsReadInHalvesLikeInOnePass) {
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

TEST(RecordsFile, ReadsTheWholeFileAndNamesWhatCannotBeRead) {
  // A committed record, CR LF line ends: 5346 samples at 0.01 s, in g.
  const std::filesystem::path path = testing::kTestData / "records" / "ELCENTRO_1940.txt";
  const RecordFile r = read_record_file(path);
  EXPECT_EQ(r.event, "ImperialValley1940");
  EXPECT_EQ(r.unit, Unit::g);
  EXPECT_EQ(r.dt, 0.01);
  ASSERT_EQ(r.comp[0].size(), 5346u);
  EXPECT_EQ(r.comp[0][0], 9.984852E-04);
  EXPECT_EQ(r.comp[1][0], -9.429229E-04);
  EXPECT_EQ(r.comp[2][0], -8.338791E-04);
  const RecordFile bytes = parse_record(testing::slurp(path), path.string());
  EXPECT_EQ(bytes.comp, r.comp);

  auto message = [](const std::filesystem::path& p) {
    try {
      read_record_file(p);
    } catch (const RecordError& e) {
      return std::string(e.what());
    }
    return std::string("read");
  };
  EXPECT_EQ(message(testing::kTestData), testing::kTestData.string() + ": cannot read the file: it is a folder");
  const std::filesystem::path missing = testing::kTestData / "no-such-record.txt";
  EXPECT_EQ(message(missing), missing.string() + ": cannot read the file: No such file or directory");
}

/// Same double, sign of zero included.
bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

TEST(RecordsField, AsterisksRangeAndBlanks) {
  using S = FieldStatus;
  EXPECT_EQ(read_field("********", kWrittenNumber).status, S::overflowed);
  EXPECT_EQ(read_field("*", kWrittenNumber).status, S::overflowed);
  EXPECT_EQ(read_field("*1*", kWrittenNumber).status, S::not_a_number);
  EXPECT_EQ(read_field("", kWrittenNumber).status, S::not_a_number);
  EXPECT_EQ(read_field(" 1", kWrittenNumber).status, S::not_a_number) << "blanks are the caller's to trim";
  const FieldValue bare = read_field("-0.3125+123", kWrittenNumber);
  ASSERT_EQ(bare.status, S::number);
  EXPECT_EQ(bare.value, -0.3125e123);
  // Beyond the range: refused by the records' grammar, saturated by one
  // that asks for it.
  EXPECT_EQ(read_field("0.1000+400", kWrittenNumber).status, S::out_of_range);
  common::NumberGrammar saturating = kWrittenNumber;
  saturating.saturate = true;
  const FieldValue tiny = read_field("-0.1000-400", saturating);
  ASSERT_EQ(tiny.status, S::number);
  EXPECT_TRUE(same(tiny.value, -0.0));
  const FieldValue inf = read_field("-Inf", kWrittenNumber);
  ASSERT_EQ(inf.status, S::number);
  EXPECT_TRUE(std::isinf(inf.value) && inf.value < 0);

  EXPECT_EQ(trim("  0.5\t"), "0.5");
  EXPECT_EQ(trim(" \t "), "");
  EXPECT_EQ(trim("\r0.5\r", " \r"), "0.5");
  EXPECT_EQ(trim("a b"), "a b");
}

TEST(RecordsFrequencyList, OneNumberPerLineInOrder) {
  EXPECT_EQ(parse_frequency_list("5\n+0.5\r\n\t1e-3 \n\n", "f.txt"), (std::vector<double>{5.0, 0.5, 1e-3}));
  EXPECT_EQ(parse_frequency_list("2", "f.txt"), (std::vector<double>{2.0}));  // no final line end
  auto refusal = [](std::string_view text) {
    try {
      parse_frequency_list(text, "f.txt");
    } catch (const RecordError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("1\n1,\n"), "f.txt:2: frequency \"1,\" is not a number");
  EXPECT_EQ(refusal("Hz\n"), "f.txt:1: frequency \"Hz\" is not a number");
  EXPECT_EQ(refusal("1\n\n-0\n"), "f.txt:3: frequency \"-0\" is not a positive finite number of hertz");
  EXPECT_EQ(refusal("nan"), "f.txt:1: frequency \"nan\" is not a positive finite number of hertz");
  EXPECT_EQ(refusal("inf"), "f.txt:1: frequency \"inf\" is not a positive finite number of hertz");
  EXPECT_EQ(refusal("1e-400"), "f.txt:1: frequency \"1e-400\" is not a positive finite number of hertz");
  EXPECT_EQ(refusal(" \r\n\n"), "f.txt: no frequencies in the file");
  EXPECT_EQ(refusal(""), "f.txt: no frequencies in the file");
}

}  // namespace
}  // namespace wavefft::records
