// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of wavefft-import's text readers: line ends and Ctrl-Z padding,
// text headers taken whole, channels that open with a mark, header numbers
// checked and passed over, and lines passed over unread.
#include "import/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wavefft::import::text {
namespace {

// A refusal with its status, file, line and text.
void expect_problem(const Problem& p, Status status, std::string_view file, std::size_t line, std::string_view text) {
  EXPECT_EQ(p.status, status);
  EXPECT_EQ(p.file, file);
  EXPECT_EQ(p.line, line);
  EXPECT_EQ(p.text, text);
}

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
  expect_problem(p, Status::truncated, "s.v1", 2, "the file ends inside the text header");
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
  expect_problem(p, Status::malformed, "w.v1", 2, "a channel does not start with \"CHAN\": \"first\"");

  Lines cut("CHAN three\n");
  p = read_channel_text(cut, t, 2, "CHAN", "c.v1", end);
  expect_problem(p, Status::truncated, "c.v1", 1, "the file ends inside a channel's text header");
}

TEST(SkipNumberLines, ChecksEveryWordAndTakesExactlyN) {
  Lines lines("  1  -2 3.5E+01\n\n 1.5-03\nnext\n");
  ASSERT_TRUE(skip_number_lines(lines, 3, "f", "ends").ok());
  EXPECT_EQ(lines.number(), 3u);

  Lines word("1 2\n3 abc 4\n");
  Problem p = skip_number_lines(word, 2, "w.v1", "ends");
  expect_problem(p, Status::malformed, "w.v1", 2, "a header number is not a number: \"abc\"");

  Lines few("1\n");
  p = skip_number_lines(few, 2, "f", "the file ends inside the number header");
  expect_problem(p, Status::truncated, "f", 1, "the file ends inside the number header");
}

TEST(SkipLines, PassesAnyTextAndReportsTheEnd) {
  // Lines of any content are passed over unread, exactly n of them.
  Lines lines("1 2 3\nnot numbers\n\nnext\n");
  ASSERT_TRUE(skip_lines(lines, 3, "f", "ends").ok());
  EXPECT_EQ(lines.number(), 3u);
  std::string_view l;
  ASSERT_TRUE(lines.next(l));
  EXPECT_EQ(l, "next");
  ASSERT_TRUE(skip_lines(lines, 0, "f", "ends").ok());
  EXPECT_EQ(lines.number(), 4u);

  Lines few("a\nb\n");
  const Problem p = skip_lines(few, 3, "g.v2a", "the file ends inside a component's header values");
  expect_problem(p, Status::truncated, "g.v2a", 2, "the file ends inside a component's header values");
}

}  // namespace
}  // namespace wavefft::import::text
