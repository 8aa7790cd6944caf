// SPDX-License-Identifier: GPL-3.0-or-later
// What the Volume 1 text readers share (contracts in volume_one.h).
#include "import/volume_one.h"

#include <utility>

#include "import/pair_block.h"

namespace wavefft::import::volume_one {

Problem read_channels(text::Lines& lines, std::string_view mark, const std::string& file, FileContents& out,
                      ChannelReader read) {
  std::size_t taken = 0;
  while (true) {
    std::string_view t[kTextLines];
    bool end = false;
    if (Problem p = text::read_channel_text(lines, t, kTextLines, mark, file, end); !p.ok()) return p;
    if (end) break;
    Channel ch;
    ch.file = file;
    const ChannelText head{t, lines.number() - kTextLines + 1, taken == 0};
    if (Problem p = read(head, lines, file, ch, out); !p.ok()) return p;
    ch.order = out.channels.size();
    out.channels.push_back(std::move(ch));
    ++taken;
  }
  if (taken == 0) return text::fail(file, lines.number(), "the file holds no channel");
  return {};
}

Problem read_pairs(text::Lines& lines, std::size_t n, const std::string& file, std::string_view ends_text,
                   Channel& ch) {
  if (Problem p = text::skip_number_lines(lines, kNumberLines, file, ends_text); !p.ok()) return p;
  double first_time = 0.0;
  return text::read_pair_block(lines, n, ch.factor, true, file, ch.values, ch.dt, first_time);
}

}  // namespace wavefft::import::volume_one
