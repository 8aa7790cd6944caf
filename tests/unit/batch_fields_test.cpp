// SPDX-License-Identifier: GPL-3.0-or-later
// Lines and fields as wavefft-batch splits them: lines as std::getline
// gives them, and the input layout's fields with the empty ones dropped.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "batch/fields.h"

using namespace wavefft::batch;
using Views = std::vector<std::string_view>;

TEST(BatchFields, LinesAsGetlineGivesThem) {
  for (const std::string text : {"", "\n", "a", "a\n", "a\n\nb", "a\r\nb\r\n", "\n\n", "x\ny\n\n"}) {
    std::istringstream in(text);
    std::vector<std::string> want;
    for (std::string line; std::getline(in, line);) want.push_back(line);
    const Views got = split_lines(text);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), want) << text;
  }
}

TEST(BatchFields, LayoutSeparatorsDropEmptyFields) {
  EXPECT_EQ(line_fields(" 0.01,\t1.5  2\r"), (Views{"0.01", "1.5", "2"}));
  EXPECT_EQ(line_fields("a,,b"), (Views{"a", "b"}));
  EXPECT_TRUE(line_fields(" ,\t\r").empty());
  EXPECT_EQ(line_fields("a;b\nc"), (Views{"a;b\nc"}));  // a line end is no field separator here
}
