// SPDX-License-Identifier: GPL-3.0-or-later
// RENADIC (Chile) Volume 1: uncorrected acceleration, several channels in
// one file. Each channel is 13 text lines ("CHAN  1: EW", "TRIGGER TIME:
// 11/12/2009 23:10:03.000 GMT", "NO. OF POINTS =   3500", "UNITS OF UNCOR
// ACCEL ARE SEC AND G/10."), 7 lines of integer header, 7 lines of real
// header, then the samples as time-value pairs, and a line "/&" that ends
// the channel.
//
// "G/10" means the numbers are tenths of g: each is multiplied by 0.1 and
// the unit is g. The spacing of the pairs' times is checked and gives dt
// (text::read_pair_block).
//
// The file states a trigger time but not how the pairs' times relate to it
// (they start at 0 whether or not the recorder kept a pre-event memory), so
// no absolute start is set; the trigger time shows in start_text.
#include <optional>
#include <string>
#include <string_view>

#include "import/formats.h"
#include "import/orientation.h"
#include "import/volume_one.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;

Problem read_channel(const volume_one::ChannelText& head, text::Lines& lines, const std::string& file, Channel& ch,
                     FileContents& out) {
  const std::string_view* t = head.t;
  const std::size_t first = head.first_line;
  // "CHAN  1: EW       (STA CHN:  1)" -> EW
  const std::size_t colon = t[6].find(':');
  ch.name = colon == std::string_view::npos ? std::string() : std::string(text::word_after(t[6].substr(colon), ":"));
  const std::optional<text::Orientation> o = text::parse_orientation(ch.name);
  if (!o) return fail(file, first + 6, "CHAN does not name a direction: " + text::quoted(t[6]));
  ch.azimuth = o->azimuth;
  ch.vertical = o->vertical;

  long long n = 0;
  const std::string_view count_text = text::word_after(t[10], "NO. OF POINTS =");
  if (Problem p = text::read_count(count_text, "NO. OF POINTS", 2, 100000000, file, first + 10, n); !p.ok()) return p;
  // "UNITS OF UNCOR ACCEL ARE SEC AND G/10." -> factor 0.1, g
  const std::string_view unit = text::word_after(t[11], "SEC AND");
  if (text::starts_with_nocase(unit, "G/10")) {
    ch.factor = 0.1;
    ch.factor_text = "G/10";
  } else if (!text::equals_nocase(unit, "G") && !text::equals_nocase(unit, "G.")) {
    return fail(file, first + 11, "the units are not SEC AND G/10 or G: " + text::quoted(t[11]));
  }
  ch.unit = Unit::g;

  if (Problem p = volume_one::read_pairs(lines, static_cast<std::size_t>(n), file,
                                         "the file ends inside a channel's number header", ch);
      !p.ok()) {
    return p;
  }
  std::string_view line;
  if (lines.peek(line) && line.starts_with("/&")) lines.next(line);

  if (head.first_channel) {
    // "11/12/2009 23:09:53 (GMT)               (ORIGIN: ...)" -> the event's own line
    const std::size_t paren = text::find_nocase(t[2], "(ORIGIN");
    out.event = std::string(text::trim(t[2].substr(0, paren)));
    const std::size_t trig = text::find_nocase(t[3], "TRIGGER TIME:");
    out.start_text = trig == std::string_view::npos ? std::string() : "trigger " + std::string(text::trim(t[3].substr(trig + 13)));
  }
  return {};
}

}  // namespace

bool is_renadic(std::string_view head) {
  return text::starts_with_nocase(head, "UNCORRECTED ACCELEROGRAM DATA") &&
         text::find_nocase(head, "RENADIC") != std::string_view::npos;
}

Problem read_renadic(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  out.level = Level::raw;  // a Volume 1: uncorrected
  return volume_one::read_channels(lines, "UNCORRECTED ACCELEROGRAM DATA", file, out, read_channel);
}

}  // namespace wavefft::import
