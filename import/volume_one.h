// SPDX-License-Identifier: GPL-3.0-or-later
// What the Volume 1 text readers share (RENADIC, BHRC and USC; renadic.cpp,
// bhrc.cpp, usc.cpp): each channel opens with 13 text lines and 14 lines
// of integer and real header numbers (checked, not kept) before its
// samples; RENADIC and BHRC files hold several channels one after the
// other. Private to those three readers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "import/lines.h"
#include "import/record.h"

namespace wavefft::import::volume_one {

inline constexpr std::size_t kTextLines = 13;
inline constexpr std::size_t kNumberLines = 14;  // 7 integer and 7 real header lines

/// The text lines of one channel.
struct ChannelText {
  const std::string_view* t;  // the kTextLines lines, t[0] the channel's first
  std::size_t first_line;     // 1-based line of t[0] in the file
  bool first_channel;         // the file's first channel: it also describes the file
};

/// Reads one channel of a file after its text lines (`lines` stands after
/// them): fills `ch` (file and order are set by the caller) and, for the
/// first channel, what `out` says of the whole file.
using ChannelReader = Problem (*)(const ChannelText& head, text::Lines& lines, const std::string& file, Channel& ch,
                                  FileContents& out);

/// The channels of a file that holds several, each opening with a line that
/// starts with `mark`: for each, its text lines (text::read_channel_text;
/// blank lines between channels are passed over, the end of the file ends
/// the last one), then `read`; each channel, with `file` and its order, is
/// appended to out.channels. A file without any channel is
/// Status::malformed: "the file holds no channel".
Problem read_channels(text::Lines& lines, std::string_view mark, const std::string& file, FileContents& out,
                      ChannelReader read);

/// The header numbers (text::skip_number_lines, `ends_text` when the file
/// ends inside them), then `n` time-value pairs into ch.values (times
/// ch.factor, flags refused) and ch.dt (text::read_pair_block).
Problem read_pairs(text::Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text,
                   Channel& ch);

}  // namespace wavefft::import::volume_one
