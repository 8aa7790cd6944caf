// SPDX-License-Identifier: GPL-3.0-or-later
// USC (University of Southern California) Volume 1: uncorrected
// acceleration, one channel per file. 13 text lines (columns 73 on hold a
// line length, not text): "FILE     0 OF UNCORRECTED ACCELEROGRAM DATA OF
// VOLUME I:", the event, "STATION USC# 0016 ...", "COMP N90E", "NO. OF
// POINTS =   8095      DURATION =  34.716 SEC", "UNITS ARE SEC AND G/10";
// then 7 lines of integer header, 7 lines of real header and the samples as
// time-value pairs.
//
// "G/10" means tenths of g: each number is multiplied by 0.1 and the unit is
// g. The times are printed to the millisecond at about 233 samples per
// second, so dt is the whole span over its steps and each time must sit
// within its printing of the even spacing (text::read_pair_block). The
// event line gives the origin time only, so no absolute start is set.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "import/formats.h"
#include "import/orientation.h"
#include "import/volume_one.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;
using volume_one::kTextLines;

constexpr std::size_t kTextWidth = 72;  // columns 73 on count the line's characters

}  // namespace

bool is_usc(std::string_view head) {
  const std::string_view first = head.substr(0, head.find('\n'));
  return text::starts_with_nocase(head, "FILE ") &&
         text::find_nocase(first, "OF UNCORRECTED ACCELEROGRAM DATA OF VOLUME I") != std::string_view::npos &&
         text::find_nocase(head, "STATION USC#") != std::string_view::npos;
}

Problem read_usc(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  std::string_view t[kTextLines];
  if (Problem p = text::read_text_lines(lines, t, kTextLines, kTextWidth, file, "the file ends inside the text header");
      !p.ok()) {
    return p;
  }
  Channel ch;
  ch.file = file;
  // "COMP N90E" -> N90E (azimuth 90); "COMP  UP" -> UP (vertical)
  ch.name = std::string(text::word_after(t[6], "COMP"));
  const std::optional<text::Orientation> o = text::parse_orientation(ch.name);
  if (!o) return fail(file, 7, "COMP does not name a direction: " + text::quoted(text::trim(t[6])));
  ch.azimuth = o->azimuth;
  ch.vertical = o->vertical;

  long long n = 0;
  const std::string_view count_text = text::word_after(t[10], "NO. OF POINTS =");
  if (Problem p = text::read_count(count_text, "NO. OF POINTS", 2, 100000000, file, 11, n); !p.ok()) return p;
  // "UNITS ARE SEC AND G/10" -> factor 0.1, g
  const std::string_view unit = text::word_after(t[11], "SEC AND");
  if (text::equals_nocase(unit, "G/10")) {
    ch.factor = 0.1;
    ch.factor_text = "G/10";
  } else if (!text::equals_nocase(unit, "G")) {
    return fail(file, 12, "the units are not SEC AND G/10 or G: " + text::quoted(text::trim(t[11])));
  }
  ch.unit = Unit::g;

  if (Problem p =
          volume_one::read_pairs(lines, static_cast<std::size_t>(n), file, "the file ends inside the number header", ch);
      !p.ok()) {
    return p;
  }

  out.event = std::string(text::trim(t[1]));
  // "STATION USC# 0016   34 05 22N, ..." -> "USC# 0016"
  const std::size_t at = text::find_nocase(t[4], "STATION");
  out.station = at == std::string_view::npos ? std::string() : std::string(text::trim(t[4].substr(at + 7, 12)));
  out.level = Level::raw;  // a Volume 1: uncorrected
  ch.order = out.channels.size();
  out.channels.push_back(std::move(ch));
  return {};
}

}  // namespace wavefft::import
