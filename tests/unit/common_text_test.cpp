// SPDX-License-Identifier: GPL-3.0-or-later
// The readers' shared text steps.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "common/text.h"

namespace wavefft::common {
namespace {

using Views = std::vector<std::string_view>;

TEST(Text, SplitAtOneSeparatorKeepsEmptyFields) {
  EXPECT_EQ(split_at("a\t\tb", '\t'), (Views{"a", "", "b"}));
  EXPECT_EQ(split_at("", ','), (Views{""}));
  EXPECT_EQ(split_at(",", ','), (Views{"", ""}));
  EXPECT_EQ(split_at("pga,g,0.1,", ','), (Views{"pga", "g", "0.1", ""}));
  EXPECT_EQ(split_at("a b", ','), (Views{"a b"}));
}

TEST(Text, TrimOnlyTheGivenCharacters) {
  EXPECT_EQ(trim("  12.5\t"), "12.5");
  EXPECT_EQ(trim(" \t "), "");
  EXPECT_EQ(trim(""), "");
  EXPECT_EQ(trim("\r12\r"), "\r12\r");  // a CR is no blank
  EXPECT_EQ(trim("\r\n 12 \v\f", kWhiteSpace), "12");
  EXPECT_EQ(trim("a b"), "a b");
}

}  // namespace
}  // namespace wavefft::common
