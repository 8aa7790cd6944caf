// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/fixedfmt.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <string>

namespace wavefft::textio {
namespace {

constexpr const char* kSpectrumRow = "(F8.4,6(',',E12.4))";
constexpr const char* kWaveformRow = "(F8.3,4(',',E12.4))";
constexpr const char* kInputPrompt = "(1X,/,'Enter input file of waveform data')";
constexpr const char* kOutputPrompt = "(/,1X,'Enter output file name of waveform (csv format file)')";

std::string f_field(double x, int w, int d) {
  std::string out;
  append_f_field(out, x, w, d);
  return out;
}

std::string e_field(double x, int w = 12, int d = 4) {
  std::string out;
  append_e_field(out, x, w, d);
  return out;
}

std::string render(std::string_view format, std::initializer_list<double> values = {}) {
  const FixedFormat f(format);
  EXPECT_TRUE(f.valid()) << format;
  std::string out;
  if (f.valid()) f.render(out, std::span<const double>(values.begin(), values.size()));
  return out;
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FField, Examples) {
  EXPECT_EQ(f_field(0.5, 8, 4), "  0.5000");
  EXPECT_EQ(f_field(-0.5, 8, 4), " -0.5000");
  EXPECT_EQ(f_field(-0.00001, 8, 4), "  0.0000");
  EXPECT_EQ(f_field(12.34567, 8, 4), " 12.3457");
  EXPECT_EQ(f_field(1000.0, 8, 4), "********");
  EXPECT_EQ(f_field(0.01, 8, 3), "   0.010");
  EXPECT_EQ(f_field(0.0244140625, 8, 4), "  0.0244");
}

TEST(FField, NegativeRoundingToZero) {
  // No minus sign once every digit left is zero, whatever the sign of zero.
  EXPECT_EQ(f_field(-0.0, 8, 4), "  0.0000");
  EXPECT_EQ(f_field(-0.0, 8, 3), "   0.000");
  EXPECT_EQ(f_field(-0.0004, 8, 3), "   0.000");
  EXPECT_EQ(f_field(-0.0000499, 8, 4), "  0.0000");
  // -5e-05 is a little beyond -0.00005 in binary: it rounds away to -0.0001.
  EXPECT_EQ(f_field(-0.00005, 8, 4), " -0.0001");
  EXPECT_EQ(f_field(-0.0006, 8, 3), "  -0.001");
}

TEST(FField, Overflow) {
  EXPECT_EQ(f_field(999.9999, 8, 4), "999.9999");
  EXPECT_EQ(f_field(-99.9999, 8, 4), "-99.9999");
  EXPECT_EQ(f_field(-100.0, 8, 4), "********");
  EXPECT_EQ(f_field(9999.999, 8, 3), "9999.999");
  EXPECT_EQ(f_field(-999.999, 8, 3), "-999.999");
  EXPECT_EQ(f_field(10000.0, 8, 3), "********");
  EXPECT_EQ(f_field(-1000.0, 8, 3), "********");
  EXPECT_EQ(f_field(1e300, 8, 3), "********");
  EXPECT_EQ(f_field(-std::numeric_limits<double>::max(), 8, 4), "********");
}

TEST(FField, RoundingCarry) {
  // 999.99995 is slightly above the halfway point in binary.
  EXPECT_EQ(f_field(999.99995, 8, 4), "********");
  EXPECT_EQ(f_field(999.99995, 9, 4), "1000.0000");
  EXPECT_EQ(f_field(999.99994, 8, 4), "999.9999");
  // -99.99995 is slightly short of the halfway point in binary: it stays.
  EXPECT_EQ(f_field(-99.99995, 8, 4), "-99.9999");
  EXPECT_EQ(f_field(-99.99996, 8, 4), "********");
  EXPECT_EQ(f_field(9.9996, 8, 3), "  10.000");
}

TEST(FField, LeadingZeroGivesWay) {
  EXPECT_EQ(f_field(0.5, 6, 4), "0.5000");
  EXPECT_EQ(f_field(0.5, 5, 4), ".5000");
  EXPECT_EQ(f_field(-0.5, 6, 4), "-.5000");
  EXPECT_EQ(f_field(-0.5, 5, 4), "*****");  // two too long
  EXPECT_EQ(f_field(0.5, 4, 4), "****");
  EXPECT_EQ(f_field(1.5, 5, 4), "*****");   // a "1" never gives way
}

TEST(FField, NoDecimals) {
  EXPECT_EQ(f_field(2.4, 5, 0), "   2.");
  EXPECT_EQ(f_field(-2.6, 5, 0), "  -3.");
  EXPECT_EQ(f_field(0.3, 3, 0), " 0.");
  EXPECT_EQ(f_field(-0.3, 3, 0), " 0.");
  EXPECT_EQ(f_field(12.0, 2, 0), "**");
}

TEST(FField, NonFinite) {
  EXPECT_EQ(f_field(kInf, 8, 4), "Infinity");
  EXPECT_EQ(f_field(-kInf, 8, 4), "    -Inf");
  EXPECT_EQ(f_field(-kInf, 9, 3), "-Infinity");
  EXPECT_EQ(f_field(kNaN, 8, 4), "     NaN");
  EXPECT_EQ(f_field(kInf, 3, 1), "Inf");
  EXPECT_EQ(f_field(-kInf, 3, 1), "***");
  EXPECT_EQ(f_field(kNaN, 2, 1), "**");
}

TEST(EField, Examples) {
  EXPECT_EQ(e_field(1.5), "  0.1500E+01");
  EXPECT_EQ(e_field(-1.5), " -0.1500E+01");
  EXPECT_EQ(e_field(0.0), "  0.0000E+00");
  EXPECT_EQ(e_field(12345.678), "  0.1235E+05");
  EXPECT_EQ(e_field(0.000123456), "  0.1235E-03");
  EXPECT_EQ(e_field(1.0E-100), "  0.1000E-99");
  EXPECT_EQ(e_field(1.0E-101), "  0.1000-100");
  EXPECT_EQ(e_field(0.25), "  0.2500E+00");
  EXPECT_EQ(e_field(0.0025), "  0.2500E-02");
  EXPECT_EQ(e_field(312.5), "  0.3125E+03");
}

TEST(EField, NegativeZero) { EXPECT_EQ(e_field(-0.0), "  0.0000E+00"); }

TEST(EField, ThreeDigitExponents) {
  EXPECT_EQ(e_field(1.0E98), "  0.1000E+99");
  EXPECT_EQ(e_field(1.0E99), "  0.1000+100");
  EXPECT_EQ(e_field(1.0E100), "  0.1000+101");
  EXPECT_EQ(e_field(-1.0E-101), " -0.1000-100");
  EXPECT_EQ(e_field(std::numeric_limits<double>::max()), "  0.1798+309");
  EXPECT_EQ(e_field(-std::numeric_limits<double>::max()), " -0.1798+309");
  EXPECT_EQ(e_field(std::numeric_limits<double>::denorm_min()), "  0.4941-323");
  EXPECT_EQ(e_field(std::numeric_limits<double>::min()), "  0.2225-307");
}

TEST(EField, RoundingCarry) {
  EXPECT_EQ(e_field(9.99995), "  0.1000E+02");  // above halfway in binary
  EXPECT_EQ(e_field(9.99951), "  0.1000E+02");
  EXPECT_EQ(e_field(9.99949), "  0.9999E+01");
  EXPECT_EQ(e_field(9.9995), "  0.9999E+01");  // just below halfway in binary
  EXPECT_EQ(e_field(0.0999996), "  0.1000E+00");
  // The carry moves the exponent from two digits to three.
  EXPECT_EQ(e_field(9.99996E98), "  0.1000+100");
  EXPECT_EQ(e_field(9.99996E-101), "  0.1000E-99");
}

TEST(EField, OtherWidthsAndOverflow) {
  EXPECT_EQ(e_field(1.5, 10, 4), "0.1500E+01");
  EXPECT_EQ(e_field(-1.5, 10, 4), "**********");
  EXPECT_EQ(e_field(1.5, 9, 4), "*********");
  EXPECT_EQ(e_field(123.456, 9, 1), "  0.1E+03");
  EXPECT_EQ(e_field(1.5, 14, 6), "  0.150000E+01");
  EXPECT_EQ(e_field(0.0, 9, 1), "  0.0E+00");
}

TEST(EField, NonFinite) {
  EXPECT_EQ(e_field(kInf), "    Infinity");
  EXPECT_EQ(e_field(-kInf), "   -Infinity");
  EXPECT_EQ(e_field(kNaN), "         NaN");
}

TEST(FixedRecord, DataRowsEndWithComma) {
  EXPECT_EQ(render(kSpectrumRow, {0.0244140625, 1.5, 0.25, 12345.678}),
            "  0.0244,  0.1500E+01,  0.2500E+00,  0.1235E+05,\n");
  EXPECT_EQ(render(kWaveformRow, {0.01, 1.5, -0.25, 12345.678}),
            "   0.010,  0.1500E+01, -0.2500E+00,  0.1235E+05,\n");
  EXPECT_EQ(render(kSpectrumRow, {0.0244140625, 1.5, 0.0025, 312.5}),
            "  0.0244,  0.1500E+01,  0.2500E-02,  0.3125E+03,\n");
  // Zero amplitudes and an overflowing time column; the row keeps 48 characters.
  const std::string zero_row = render(kSpectrumRow, {0.0, 0.0, -0.0, 0.0});
  EXPECT_EQ(zero_row, "  0.0000,  0.0000E+00,  0.0000E+00,  0.0000E+00,\n");
  const std::string late_row = render(kWaveformRow, {10000.0, 1.5, -0.25, 1e-101});
  EXPECT_EQ(late_row, "********,  0.1500E+01, -0.2500E+00,  0.1000-100,\n");
  EXPECT_EQ(late_row.size(), 49u);
  EXPECT_EQ(render(kWaveformRow, {-0.0004, 0.0, 0.0, 0.0}),
            "   0.000,  0.0000E+00,  0.0000E+00,  0.0000E+00,\n");
}

TEST(FixedRecord, Prompts) {
  EXPECT_EQ(render(kInputPrompt), "\nEnter input file of waveform data\n");
  EXPECT_EQ(render(kOutputPrompt), "\n Enter output file name of waveform (csv format file)\n");
}

TEST(FixedRecord, ValuesRunOut) {
  // The record ends before the first number field without a value; literals
  // and slashes before it have taken effect.
  EXPECT_EQ(render("('a',F4.1,'b')"), "a\n");
  EXPECT_EQ(render("('a',F4.1,'b')", {1.5}), "a 1.5b\n");
  EXPECT_EQ(render("('a',/,F4.1,'b')"), "a\n\n");
  EXPECT_EQ(render(kSpectrumRow), "\n");
  EXPECT_EQ(render(kSpectrumRow, {1.0}), "  1.0000,\n");
  // More values than fields: the end of the format ends the record.
  EXPECT_EQ(render("(F4.1,'|')", {1.0, 2.0, 3.0}), " 1.0|\n");
}

TEST(FixedRecord, PendingShift) {
  EXPECT_EQ(render("(2X,F4.1)", {1.5}), "   1.5\n");
  EXPECT_EQ(render("(1X,2X,'a')"), "   a\n");
  EXPECT_EQ(render("('a',3X)"), "a\n");             // dropped at the end of the record
  EXPECT_EQ(render("('a',3X,/,'b')"), "a\nb\n");    // dropped at "/"
  EXPECT_EQ(render("('a',3X,F4.1)"), "a\n");        // dropped when the values run out
  EXPECT_EQ(render("(2X,'',/,'b')"), "\nb\n");     // an empty literal writes nothing
  EXPECT_EQ(render("(X,'a')"), " a\n");
}

TEST(FixedRecord, SlashesAndGroups) {
  EXPECT_EQ(render("(/,/)"), "\n\n\n");
  EXPECT_EQ(render("()"), "\n");
  EXPECT_EQ(render("('a'/'b')"), "a\nb\n");
  EXPECT_EQ(render("(2(2('x')))"), "xxxx\n");
  EXPECT_EQ(render("(3F4.1)", {1.0, 2.0, 3.0, 4.0}), " 1.0 2.0 3.0\n");
  EXPECT_EQ(render("(2(F3.0,'|'),'end')", {1.0, 2.0}), " 1.| 2.|end\n");
  EXPECT_EQ(render("(2(F3.0,'|'),'end')", {1.0}), " 1.|\n");
  EXPECT_EQ(render(" ( f4.1 , 2 ( ',' , e9.2 ) ) ", {1.0, 2.0, 3.0}), " 1.0, 0.20E+01, 0.30E+01\n");
}

TEST(FixedRecord, LiteralApostrophes) {
  EXPECT_EQ(render("('It''s')"), "It's\n");
  EXPECT_EQ(render("('''')"), "'\n");
  EXPECT_EQ(render("('a, (b) / c')"), "a, (b) / c\n");
}

TEST(FixedRecord, AppendsAfterEarlierOutput) {
  const FixedFormat f(kWaveformRow);
  std::string out = "time(s)\n";
  const double row1[] = {0.0, 1.0, 2.0, 3.0};
  const double row2[] = {0.01, -1.0, -2.0, -3.0};
  f.render(out, row1);
  f.render(out, row2);
  EXPECT_EQ(out,
            "time(s)\n"
            "   0.000,  0.1000E+01,  0.2000E+01,  0.3000E+01,\n"
            "   0.010, -0.1000E+01, -0.2000E+01, -0.3000E+01,\n");
}

TEST(FixedRecord, AFieldEndsWrite) {
  EXPECT_EQ(render("(A90)"), "\n");
  EXPECT_EQ(render("('x',A,'y')", {1.0}), "x\n");
}

TEST(FixedFormatParse, ValidFormatsKeepText) {
  for (const char* s : {kSpectrumRow, kWaveformRow, kInputPrompt, kOutputPrompt, "(A90)", "(A)"}) {
    const FixedFormat f(s);
    EXPECT_TRUE(f.valid()) << s;
    EXPECT_EQ(f.text(), s);
  }
}

TEST(FixedFormatParse, Malformed) {
  for (const char* s : {"", "F8.4", "(F8.4", "(F8.4))", "(F8.4) x", "(F8)", "(F.4)", "(F8.)", "(E12.0)",
                        "(F0.0)", "(F256.2)", "(F120.100)", "(A0)", "(0X)", "(0(F8.4))", "(10000X)",
                        "(99999999999999999999X)", "(,F8.4)", "(F8.4,)", "(F8.4,,E12.4)",
                        "(F8.4 E12.4)", "('abc)", "('abc'')", "(G12.4)", "(5)", "(2'ab')", "(I5)"}) {
    EXPECT_FALSE(FixedFormat(s).valid()) << s;
  }
}

TEST(FixedFormatParse, NestingLimit) {
  std::string deep;
  std::string ok;
  for (int i = 0; i < kMaxGroupDepth; ++i) ok += "(";
  ok += "'x'";
  for (int i = 0; i < kMaxGroupDepth; ++i) ok += ")";
  deep = "(" + ok + ")";
  EXPECT_TRUE(FixedFormat(ok).valid());
  EXPECT_FALSE(FixedFormat(deep).valid());
  EXPECT_EQ(render(ok), "x\n");
}

}  // namespace
}  // namespace wavefft::textio
