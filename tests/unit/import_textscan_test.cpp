// The shared text scanner of wavefft-import: line ends and Ctrl-Z padding,
// the number forms agency files print, Fortran edit descriptors and the
// fixed-width and blank-separated value blocks.
#include "import/textscan.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace wavefft::import::text {
namespace {

std::vector<std::string> all_lines(std::string_view bytes) {
  Lines lines(bytes);
  std::vector<std::string> out;
  std::string_view line;
  while (lines.next(line)) out.emplace_back(line);
  return out;
}

TEST(Lines, EndsAndCtrlZPadding) {
  EXPECT_EQ(all_lines("a\nb\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(all_lines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  // A trailing run of Ctrl-Z, even mixed with line ends, is not content.
  EXPECT_EQ(all_lines("1 2\r\n3 4\r\n\x1a\x1a\x1a\x1a"), (std::vector<std::string>{"1 2", "3 4"}));
  EXPECT_EQ(all_lines("1 2\x1a\r\n\x1a"), (std::vector<std::string>{"1 2"}));
  // A Ctrl-Z inside the content stays where it is.
  EXPECT_EQ(all_lines("a\x1a" "b\n"), (std::vector<std::string>{"a\x1a" "b"}));
  Lines lines("x\ny\n");
  std::string_view l;
  ASSERT_TRUE(lines.peek(l));
  EXPECT_EQ(l, "x");
  EXPECT_EQ(lines.number(), 0u);
  ASSERT_TRUE(lines.next(l));
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "y");
  EXPECT_EQ(lines.number(), 2u);
  EXPECT_FALSE(lines.next(l));
}

TEST(ParseNumber, FormsAgencyFilesPrint) {
  EXPECT_EQ(parse_number("  12 "), 12.0);
  EXPECT_EQ(parse_number("+3"), 3.0);
  EXPECT_EQ(parse_number(".005"), 0.005);
  EXPECT_EQ(parse_number("-7.3687E+0"), -7.3687);
  EXPECT_EQ(parse_number("1.5e-3"), 0.0015);
  EXPECT_EQ(parse_number("1.5D+01"), 15.0);
  EXPECT_EQ(parse_number("1.234-05"), 1.234e-5);
  EXPECT_EQ(parse_number("-1.5+002"), -150.0);
  // Correctly rounded: the same double as the decimal literal, to the bit.
  EXPECT_EQ(std::bit_cast<std::uint64_t>(*parse_number("0.1")), std::bit_cast<std::uint64_t>(0.1));
  for (const char* bad : {"", "   ", "abc", "1.2.3", "--1", "+-1", "1e400", "1,5", "1 2", "1.5D+01D"}) {
    EXPECT_FALSE(parse_number(bad).has_value()) << bad;
  }
  EXPECT_EQ(parse_integer(" -1341622 "), -1341622);
  EXPECT_FALSE(parse_integer("99999999999999999999").has_value());
  EXPECT_FALSE(parse_integer("12.0").has_value());
}

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

TEST(Fail, NamesFileLineWordsAndStatus) {
  Problem p = fail("a.v1", 7, "bad header");
  EXPECT_FALSE(p.ok());
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.file, "a.v1");
  EXPECT_EQ(p.line, 7u);
  EXPECT_EQ(p.text, "bad header");
  p = fail("b", 0, "ends", Status::truncated);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.line, 0u);
}

TEST(ReadCount, WholeNumbersInRangeOnly) {
  long long n = -1;
  ASSERT_TRUE(read_count(" 3500 ", "NDATA", 1, 100000000, "f", 4, n).ok());
  EXPECT_EQ(n, 3500);
  ASSERT_TRUE(read_count("6", "C", 1, 6, "f", 4, n).ok());
  EXPECT_EQ(n, 6);
  n = 5;
  Problem p = read_count("7", "NUMERO DE CANALES", 1, 6, "u.txt", 9, n);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.file, "u.txt");
  EXPECT_EQ(p.line, 9u);
  EXPECT_EQ(p.text, "NUMERO DE CANALES is not a count from 1 to 6: \"7\"");
  EXPECT_EQ(n, 5);  // left as it was
  EXPECT_EQ(read_count("1", "NO. OF POINTS", 2, 100000000, "f", 1, n).text,
            "NO. OF POINTS is not a count from 2 to 100000000: \"1\"");
  EXPECT_FALSE(read_count("12.5", "N", 1, 100, "f", 1, n).ok());
  EXPECT_FALSE(read_count("", "N", 1, 100, "f", 1, n).ok());
}

TEST(SkipBlankLines, StopsAtContentOrEnd) {
  Lines lines("\n  \n\t \r\nx y\n\nz\n");
  skip_blank_lines(lines);
  EXPECT_EQ(lines.number(), 3u);
  std::string_view l;
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "x y");
  // Content is never taken; a blank line after it waits for the next call.
  skip_blank_lines(lines);
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "z");
  Lines blanks(" \n\n");
  skip_blank_lines(blanks);
  EXPECT_TRUE(blanks.at_end());
}

TEST(ReadTextLines, TakesCutsAndReportsTheEnd) {
  Lines lines("abcdef\nxy\nrest\n");
  std::string_view t[2];
  ASSERT_TRUE(read_text_lines(lines, t, 2, 3, "f", "ends early").ok());
  EXPECT_EQ(t[0], "abc");
  EXPECT_EQ(t[1], "xy");
  std::string_view l;
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "rest");

  Lines whole("abcdef\n");
  ASSERT_TRUE(read_text_lines(whole, t, 1, std::string_view::npos, "f", "ends early").ok());
  EXPECT_EQ(t[0], "abcdef");

  Lines short_file("one\ntwo\n");
  std::string_view three[3];
  const Problem p = read_text_lines(short_file, three, 3, std::string_view::npos, "s.v1", "the file ends inside the text header");
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.file, "s.v1");
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "the file ends inside the text header");
}

TEST(ReadChannelText, PassesBlanksChecksTheMarkAndSeesTheEnd) {
  Lines lines("\n  \nCHAN one\nbody\nCHAN two\nbody\n\n");
  std::string_view t[2];
  bool end = true;
  ASSERT_TRUE(read_channel_text(lines, t, 2, "CHAN", "f", end).ok());
  EXPECT_FALSE(end);
  EXPECT_EQ(t[0], "CHAN one");
  EXPECT_EQ(t[1], "body");
  EXPECT_EQ(lines.number(), 4u);
  ASSERT_TRUE(read_channel_text(lines, t, 2, "CHAN", "f", end).ok());
  EXPECT_FALSE(end);
  EXPECT_EQ(t[0], "CHAN two");
  // Only a blank line is left: the end, not a fault.
  ASSERT_TRUE(read_channel_text(lines, t, 2, "CHAN", "f", end).ok());
  EXPECT_TRUE(end);

  Lines wrong("\nfirst\nsecond\n");
  Problem p = read_channel_text(wrong, t, 2, "CHAN", "w.v1", end);
  EXPECT_FALSE(end);
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "a channel does not start with \"CHAN\": \"first\"");

  Lines cut("CHAN three\n");
  p = read_channel_text(cut, t, 2, "CHAN", "c.v1", end);
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.line, 1u);
  EXPECT_EQ(p.text, "the file ends inside a channel's text header");
}

TEST(SkipNumberLines, ChecksEveryWordAndTakesExactlyN) {
  Lines lines("  1  -2 3.5E+01\n\n 1.5-03\nnext\n");
  ASSERT_TRUE(skip_number_lines(lines, 3, "f", "ends").ok());
  EXPECT_EQ(lines.number(), 3u);

  Lines word("1 2\n3 abc 4\n");
  Problem p = skip_number_lines(word, 2, "w.v1", "ends");
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.line, 2u);
  EXPECT_EQ(p.text, "a header number is not a number: \"abc\"");

  Lines few("1\n");
  p = skip_number_lines(few, 2, "f", "the file ends inside the number header");
  EXPECT_EQ(p.status, Status::truncated);
  EXPECT_EQ(p.line, 1u);
  EXPECT_EQ(p.text, "the file ends inside the number header");
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

}  // namespace
}  // namespace wavefft::import::text
