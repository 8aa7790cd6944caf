// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of an agency text file as wavefft-import's text readers take
// them: LF, CR LF or a lone CR ends a line, and the Ctrl-Z padding some
// files carry at their end is not content. Also the failure at a line, and
// the ways a reader takes whole lines (text headers, blank lines, lines of
// header numbers it checks but does not keep, lines it passes over). Shared
// by every text reader; nothing here knows a layout.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "import/record.h"

namespace wavefft::import::text {

/// The lines of a file. Line ends are LF or CR LF (a lone CR also ends a
/// line); the line handed out has no line end. A run of Ctrl-Z bytes
/// (0x1A) and whatever blanks or line ends follow it at the end of the
/// file is not content: the lines stop before it.
class Lines {
 public:
  explicit Lines(std::string_view bytes);
  /// The next line; false at the end.
  bool next(std::string_view& line);
  /// Looks at the next line without taking it.
  bool peek(std::string_view& line) const;
  /// 1-based number of the line last handed out by next() (0 before).
  std::size_t number() const { return number_; }
  bool at_end() const { return pos_ >= end_; }
  /// The content not yet handed out.
  std::string_view rest() const { return bytes_.substr(pos_, end_ - pos_); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::size_t number_ = 0;
};

/// A Problem at `line` of `file` with the words `text`: the layout is
/// broken (Status::malformed) unless `status` says otherwise.
Problem fail(const std::string& file, std::size_t line, std::string text, Status status = Status::malformed);

/// A header value as read and the 1-based line it stands on (0: not read).
struct Field {
  std::string_view value;
  std::size_t line = 0;
  std::string_view key;  // the key as the line writes it: "StartTime(GMT+08)"
};

/// What a detector of a keyed header checks: `head` starts with `first`
/// and, for each of `others`, some later line starts with it, letters
/// compared without case. opens_with_lines("Origin Time  ...\nSTATION
/// CODE ...", "Origin Time ", {"Station Code "}) -> true.
bool opens_with_lines(std::string_view head, std::string_view first, std::initializer_list<std::string_view> others);

/// The first line of `head` as Lines gives it, for a detector that looks
/// at it alone; nullopt when `head` has none.
std::optional<std::string_view> first_line(std::string_view head);

/// Passes over the next lines that hold nothing but blanks and tabs.
void skip_blank_lines(Lines& lines);

/// Takes the next `n` lines of `lines` into out[0 .. n-1], each cut to its
/// first `width` characters (npos keeps it whole). When the file ends
/// first: Status::truncated at the last line, with the words `ends_text`.
Problem read_text_lines(Lines& lines, std::string_view* out, std::size_t n, std::size_t width, const std::string& file,
                        std::string_view ends_text);

/// The text header of the next channel of a file that holds several, each
/// starting with a line that begins with `mark`: passes over blank lines,
/// then takes `n` lines as read_text_lines does (the words when the file
/// ends first: "the file ends inside a channel's text header"). `end` is
/// set, and nothing taken, when only blank lines were left. A first line
/// without the mark (letters compared without case) is Status::malformed
/// at that line.
Problem read_channel_text(Lines& lines, std::string_view* out, std::size_t n, std::string_view mark,
                          const std::string& file, bool& end);

/// Takes the next `n` lines of `lines`, header values that are checked
/// and not kept: every blank-separated word must be a number (the forms of
/// common::kFortranField), else Status::malformed "a header number is not
/// a number: ..." at its line. When the file ends first: Status::truncated
/// with the words `ends_text`.
Problem skip_number_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text);

/// Passes over the next `n` lines unread (blocks of values a reader does
/// not keep). When the file ends first: Status::truncated at the last line,
/// with the words `ends_text`.
Problem skip_lines(Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text);

}  // namespace wavefft::import::text
