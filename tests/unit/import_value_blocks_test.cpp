// SPDX-License-Identifier: GPL-3.0-or-later
// The value blocks of wavefft-import's text readers: Fortran descriptors,
// fixed-width and blank-separated blocks, tables, the number forms they
// take and how each names a field it cannot take.
#include "import/value_blocks.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace wavefft::import::text {
namespace {

TEST(FixedFormat, Descriptors) {
  const auto f = parse_fixed_format("13200 points ... Format: (8f9.6)");
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->per_line, 8);
  EXPECT_EQ(f->width, 9);
  EXPECT_EQ(f->kind, 'F');
  const auto i = parse_fixed_format("(10I8)");
  ASSERT_TRUE(i.has_value());
  EXPECT_EQ(i->per_line, 10);
  EXPECT_EQ(i->width, 8);
  EXPECT_EQ(i->kind, 'I');
  const auto p = parse_fixed_format("(1P5E15.7)");
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->per_line, 5);
  EXPECT_EQ(p->width, 15);
  for (const char* bad : {"no format", "(8x10.6)", "(6(1X,E12.5))", "(0F10.6)", "(99999999F10.6)", "(8F)"}) {
    EXPECT_FALSE(parse_fixed_format(bad).has_value()) << bad;
  }
}

TEST(FixedBlock, TouchingNumbersShortLastLineAndFailures) {
  // Fields of width 10 that touch when negative, the last line short.
  Lines lines(" -9.840268-12.932260  1.000000\n  2.500000\nnext\n");
  std::vector<double> out;
  Problem p = read_fixed_block(lines, FixedFormat{3, 10, 'F'}, 4, 1.0, true, "f.v1", out);
  ASSERT_TRUE(p.ok()) << p.text;
  EXPECT_EQ(out, (std::vector<double>{-9.840268, -12.93226, 1.0, 2.5}));
  std::string_view rest;
  ASSERT_TRUE(lines.next(rest));
  EXPECT_EQ(rest, "next");

  // A factor multiplies each value once.
  Lines counts("     100    -200\n");
  out.clear();
  ASSERT_TRUE(read_fixed_block(counts, FixedFormat{2, 8, 'I'}, 2, 0.5, true, "f", out).ok());
  EXPECT_EQ(out, (std::vector<double>{50.0, -100.0}));

  Lines flag("   1.0   -999.0\n");
  out.clear();
  p = read_fixed_block(flag, FixedFormat{2, 8, 'F'}, 2, 1.0, true, "f.v2", out);
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.line, 1u);
  EXPECT_EQ(p.text, "missing-value flag -999.0 in the data");

  Lines short_file("   1.0   2.0\n   3.0\n");
  out.clear();
  p = read_fixed_block(short_file, FixedFormat{2, 6, 'F'}, 5, 1.0, true, "f.v2", out);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.text, "the line holds 1 values where 2 are expected");

  Lines junk("   1.0   x.y\n");
  out.clear();
  p = read_fixed_block(junk, FixedFormat{2, 6, 'F'}, 2, 1.0, true, "f", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.text, "value 2 is not a number: \"   x.y\"");
}

TEST(FreeBlock, AcrossLinesAndToTheEnd) {
  Lines lines("1 2,3\n\t4  5 6\nrest\n");
  std::vector<double> out;
  ASSERT_TRUE(read_free_block(lines, 5, 1.0, true, "f", out).ok());
  EXPECT_EQ(out, (std::vector<double>{1, 2, 3, 4, 5}));
  std::string_view l;
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "rest");

  Lines to_end("1 2\n3\n");
  out.clear();
  ASSERT_TRUE(read_free_block(to_end, 0, 1.0, true, "f", out).ok());
  EXPECT_EQ(out.size(), 3u);

  Lines big("1 1.7E+38\n");
  out.clear();
  EXPECT_EQ(read_free_block(big, 2, 1.0, true, "f", out).status, Status::missing_value);
  Lines few("1 2\n");
  out.clear();
  const Problem p = read_free_block(few, 3, 1.0, true, "f", out);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.text, "the file ends after 2 of 3 values");
}

TEST(ValueBlocks, HowEachShowsAFieldItCannotTake) {
  std::vector<double> out;
  Lines free_junk("1 abc\n");
  Problem p = read_free_block(free_junk, 2, 1.0, true, "f", out);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.text, "not a number: \"abc\"");
  Lines free_flag("1\n-999\n");
  out.clear();
  p = read_free_block(free_flag, 2, 1.0, true, "f", out);
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "missing-value flag -999 in the data");
  // Flags pass when they are not refused.
  Lines free_kept("-999 2\n");
  out.clear();
  ASSERT_TRUE(read_free_block(free_kept, 2, 2.0, false, "f", out).ok());
  EXPECT_EQ(out, (std::vector<double>{-1998.0, 4.0}));

  std::vector<std::vector<double>> cols;
  Lines col_junk("1 2\n3 x\n");
  p = read_columns(col_junk, 2, 0, 2, 1.0, true, "c", cols);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "column 2 is not a number: \"x\"");
  Lines col_flag("   1.0  -999\n");
  p = read_columns(col_flag, 2, 6, 1, 1.0, true, "c", cols);
  EXPECT_EQ(p.status, Status::missing_value);
  EXPECT_EQ(p.text, "missing-value flag \"-999\" in the data");
  Lines col_ok("1 2\n3 4\n");
  ASSERT_TRUE(read_columns(col_ok, 2, 0, 0, 10.0, true, "c", cols).ok());
  EXPECT_EQ(cols, (std::vector<std::vector<double>>{{10.0, 30.0}, {20.0, 40.0}}));
}

// Every block reads the forms agency files print (common::kFortranField):
// a D exponent, an exponent without its letter, a '+', a bare point, each
// the correctly rounded double; the words for infinity and NaN are numbers
// that no block keeps.
TEST(FreeBlock, NumberFormsOfAgencyFiles) {
  Lines lines("  12 +3 .005 -7.3687E+0 1.5D+01 1.234-05 -1.5+002 0.1\n");
  std::vector<double> out;
  ASSERT_TRUE(read_free_block(lines, 8, 1.0, true, "f", out).ok());
  const double expect[] = {12.0, 3.0, 0x1.47ae147ae147bp-8, -0x1.d798c7e28240bp+2, 15.0, 0x1.9e0fcaf9380fcp-17, -150.0,
                           0x1.999999999999ap-4};
  ASSERT_EQ(out.size(), 8u);
  for (std::size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(out[k]), std::bit_cast<std::uint64_t>(expect[k])) << k;
  }
  struct Bad {
    const char* field;
    Status status;
    const char* text;
  };
  const Bad bad[] = {
      {"1e400", Status::malformed, "value 1 is not a number: \"1e400\""},  // beyond the range: no number
      {"+-1", Status::malformed, "value 1 is not a number: \"+-1\""},
      {"1.5D+01D", Status::malformed, "value 1 is not a number: \"1.5D+01D\""},
      {"nan", Status::malformed, "value out of range: \"nan\""},
      {"-inf", Status::missing_value, "missing-value flag -inf in the data"},  // beyond 1.7E+38
  };
  for (const Bad& b : bad) {
    Lines one(b.field);
    out.clear();
    const Problem p = read_fixed_block(one, FixedFormat{1, 10, 'F'}, 1, 1.0, true, "f", out);
    EXPECT_EQ(p.status, b.status) << b.field;
    EXPECT_EQ(p.text, b.text) << b.field;
  }
}

}  // namespace
}  // namespace wavefft::import::text
