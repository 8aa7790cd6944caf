// SPDX-License-Identifier: GPL-3.0-or-later
// Words and fields of a line: a header word read as a count, and a field
// as a message shows it.
#include "import/words.h"

#include <gtest/gtest.h>

#include <string>

namespace wavefft::import::text {
namespace {

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

TEST(WordAfter, LabelWithoutCaseThenOneWord) {
  EXPECT_EQ(word_after("NO. OF POINTS =   3500  RECORD", "no. of points ="), "3500");
  EXPECT_EQ(word_after("UNITS ARE SEC AND G/10.", "SEC AND"), "G/10.");
  EXPECT_EQ(word_after("CHAN  1: EW,  (STA CHN:  1)", ":"), "EW");  // the first label, up to a comma
  EXPECT_EQ(word_after("CHAN  1:   ", ":"), "");
  EXPECT_EQ(word_after("NO POINTS", "POINTS ="), "");
}

TEST(Quoted, CutsAtFortyAndHidesOtherBytes) {
  EXPECT_EQ(text::quoted("AYD\xFDN"), "\"AYD?N\"");
  EXPECT_EQ(text::quoted("a\tb\x7f"), "\"a?b?\"");
  EXPECT_EQ(text::quoted(std::string(40, 'x')), "\"" + std::string(40, 'x') + "\"");
  EXPECT_EQ(text::quoted(std::string(41, 'x')), "\"" + std::string(40, 'x') + "...\"");
}

}  // namespace
}  // namespace wavefft::import::text
