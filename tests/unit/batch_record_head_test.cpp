// SPDX-License-Identifier: GPL-3.0-or-later
// What the start of a file says to wavefft-batch: a record in the input
// layout or not, the free-form items of a header, the header's words and
// component titles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/record_head.h"

using namespace wavefft::batch;

namespace {

std::string data_line(std::size_t fields, char sep = ' ') {
  std::string line = "0.010";
  for (std::size_t k = 1; k < fields; ++k) line += std::string(1, sep) + "1.5";
  return line;
}

}  // namespace

TEST(BatchRecordHead, RecordLayoutNeeds43FieldsOnOneLine) {
  EXPECT_TRUE(looks_like_record("ev st acceleration g\nTIME A B\n" + data_line(43) + "\n"));
  EXPECT_FALSE(looks_like_record("ev st acceleration g\nTIME A B\n" + data_line(42) + "\n"));
  // Commas and runs of blanks separate fields too; empty fields do not count.
  EXPECT_TRUE(looks_like_record(data_line(43, ',')));
  EXPECT_FALSE(looks_like_record(data_line(22, ',') + ",,,,,,,,,,,,,,,,,,,,,,"));
  // 42 fields on each of two lines are not 84 on one; a cut-off last line counts.
  EXPECT_FALSE(looks_like_record(data_line(42) + "\n" + data_line(42)));
  EXPECT_TRUE(looks_like_record(data_line(42) + "\r\n" + data_line(43)));
  EXPECT_FALSE(looks_like_record("0\n1\n0.1 0.2 20 25\n1\n0\n1\nvel.csv\n\n"));
}

TEST(BatchRecordHead, FreeFormItemsWithQuotes) {
  EXPECT_EQ(free_form_items("a, b  'c d',\"e,f\" 'it''s'", 10),
            (std::vector<std::string>{"a", "b", "c d", "e,f", "it's"}));
  EXPECT_EQ(free_form_items("a b c d e", 3), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(free_form_items(" ,\n ", 4).empty());
  // A quote left open takes the rest of the text.
  EXPECT_EQ(free_form_items("x 'never closed\nmore", 4), (std::vector<std::string>{"x", "never closed\nmore"}));
}

TEST(BatchRecordHead, WordsAndComponentTitles) {
  std::string title = "TIME N00E N90E";
  for (int k = 3; k <= 10; ++k) title += " V" + std::to_string(k);
  title += " UP V12";
  const Header h = read_header("Quake2026 STA1 acceleration gal\n" + title + "\n" + data_line(43) + "\n");
  EXPECT_EQ(h.event, "Quake2026");
  EXPECT_EQ(h.station, "STA1");
  EXPECT_EQ(h.kind, "acceleration");
  EXPECT_EQ(h.unit, "gal");
  EXPECT_EQ(h.components, "N00E N90E UP");

  // Words over two lines, quoted, comma-separated: the titles are on the
  // line after the fourth word.
  const Header q = read_header("'Big Quake',\"STA 2\"\nacceleration g\n" + title + "\n");
  EXPECT_EQ(q.event, "Big Quake");
  EXPECT_EQ(q.station, "STA 2");
  EXPECT_EQ(q.unit, "g");
  EXPECT_EQ(q.components, "N00E N90E UP");

  EXPECT_EQ(read_header("ev st acceleration g\nTIME A B C\n").components, "");
  EXPECT_EQ(read_header("ev st acceleration g").components, "");
  const Header t = read_header("ev st");
  EXPECT_EQ(t.station, "st");
  EXPECT_EQ(t.unit, "");
}
