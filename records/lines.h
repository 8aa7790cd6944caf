// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a file's bytes, one at a time, with their numbers: the
// record readers here and wavefft-report's readers of a run's files walk
// their files with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace wavefft::records {

/// Walks the lines of `bytes`: each without its line end ("\n" or "\r\n").
/// "a\r\nb" -> "a", "b"; "a\n" -> "a" (nothing after the last line end).
class Lines {
 public:
  explicit Lines(std::string_view bytes) : rest_(bytes) {}
  /// The next line in `line`; false at the end.
  bool next(std::string_view& line) {
    if (done_) return false;
    const std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      done_ = true;
      if (line.empty()) return false;  // nothing after the last line end
    } else {
      line = rest_.substr(0, end);
      rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }
  /// The 1-based number of the line next() gave last.
  std::size_t number() const { return number_; }
  /// The bytes not yet walked.
  std::string_view rest() const { return done_ ? std::string_view() : rest_; }
  /// An upper bound of the lines still to come.
  std::size_t remaining_lines() const {
    return static_cast<std::size_t>(std::count(rest_.begin(), rest_.end(), '\n')) + 1;
  }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
  bool done_ = false;
};

}  // namespace wavefft::records
