// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of an agency text file (contracts in lines.h).
#include "import/lines.h"

#include <utility>

#include "common/numbers.h"
#include "import/words.h"

namespace wavefft::import::text {

namespace {

/// What may stand among the Ctrl-Z padding at the end of a file.
bool is_padding(char c) { return c == '\x1a' || c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

}  // namespace

Lines::Lines(std::string_view bytes) : bytes_(bytes), end_(bytes.size()) {
  // "...\r\n\x1a\x1a\x1a": a trailing run of Ctrl-Z padding (with blanks or
  // line ends among it) is not content; the lines stop at its first Ctrl-Z.
  std::size_t e = end_;
  while (e > 0 && is_padding(bytes_[e - 1])) --e;
  const std::size_t first_z = bytes_.find('\x1a', e);
  if (first_z != std::string_view::npos) end_ = first_z;
}

bool Lines::next(std::string_view& line) {
  if (pos_ >= end_) return false;
  const std::size_t start = pos_;
  std::size_t i = start;
  while (i < end_ && bytes_[i] != '\n' && bytes_[i] != '\r') ++i;
  line = bytes_.substr(start, i - start);
  if (i < end_ && bytes_[i] == '\r') ++i;
  if (i < end_ && bytes_[i] == '\n') ++i;
  pos_ = i;
  ++number_;
  return true;
}

bool Lines::peek(std::string_view& line) const {
  Lines copy = *this;
  return copy.next(line);
}

Problem fail(const std::string& file, std::size_t line, std::string text, Status status) {
  return Problem{status, file, line, std::move(text)};
}

bool opens_with_lines(std::string_view head, std::string_view first, std::initializer_list<std::string_view> others) {
  if (!starts_with_nocase(head, first)) return false;
  for (const std::string_view key : others) {
    // "\nStation Code " anywhere: a line that starts with the key
    std::string line_start(1, '\n');
    line_start += key;
    if (find_nocase(head, line_start) == std::string_view::npos) return false;
  }
  return true;
}

std::optional<std::string_view> first_line(std::string_view head) {
  Lines lines(head);
  std::string_view first;
  if (!lines.next(first)) return std::nullopt;
  return first;
}

void skip_blank_lines(Lines& lines) {
  std::string_view line;
  while (lines.peek(line) && trim(line).empty()) lines.next(line);
}

Problem read_text_lines(Lines& lines, std::string_view* out, std::size_t n, std::size_t width, const std::string& file,
                        std::string_view ends_text) {
  std::string_view line;
  for (std::size_t k = 0; k < n; ++k) {
    if (!lines.next(line)) return fail(file, lines.number(), std::string(ends_text), Status::truncated);
    out[k] = line.substr(0, width);
  }
  return {};
}

Problem read_channel_text(Lines& lines, std::string_view* out, std::size_t n, std::string_view mark,
                          const std::string& file, bool& end) {
  skip_blank_lines(lines);
  end = lines.at_end();
  if (end) return {};
  if (Problem p =
          read_text_lines(lines, out, n, std::string_view::npos, file, "the file ends inside a channel's text header");
      !p.ok()) {
    return p;
  }
  if (n > 0 && !starts_with_nocase(out[0], mark)) {
    return fail(file, lines.number() - n + 1,
                "a channel does not start with \"" + std::string(mark) + "\": " + quoted(out[0]));
  }
  return {};
}

Problem skip_number_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text) {
  std::string_view line;
  for (std::size_t k = 0; k < n; ++k) {
    if (!lines.next(line)) return fail(file, lines.number(), std::string(ends_text), Status::truncated);
    for (const std::string_view w : split_words(line)) {
      if (!common::to_number(w, common::kFortranField)) {
        return fail(file, lines.number(), "a header number is not a number: " + quoted(w));
      }
    }
  }
  return {};
}

Problem skip_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text) {
  std::string_view line;
  for (std::size_t k = 0; k < n; ++k) {
    if (!lines.next(line)) return fail(file, lines.number(), std::string(ends_text), Status::truncated);
  }
  return {};
}

}  // namespace wavefft::import::text
