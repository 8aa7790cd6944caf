// SPDX-License-Identifier: GPL-3.0-or-later
// BHRC (Iran) Volume 1: uncorrected acceleration, all channels in one file.
// Each channel is 13 text lines ("* VOL1DS FILE:  5529/01", "Origin Time :
// 2012/08/11   12:23:16", the channel's name "L" alone on line 5, "...
// Azimuth L 106   T 196", "NO. OF POINTS =   9472      DURATION =
// 47.360", "UNITS ARE SECONDS AND G/10"), 7 lines of integer header, 7
// lines of real header, the samples (evenly spaced values, blank
// separated), and a line "/&" that ends the channel.
//
// "G/10" means tenths of g: each number is multiplied by 0.1 and the unit is
// g. DURATION is the number of points times dt (47.360 = 9472 x 0.005), so
// dt = text::interval_from_span(DURATION, points). The horizontals take
// their azimuth from the "Azimuth" list by name; "V" is the vertical. Only
// the origin time is given (with no time zone), so no absolute start is set.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"
#include "import/formats.h"
#include "import/orientation.h"
#include "import/pair_block.h"
#include "import/value_blocks.h"
#include "import/volume_one.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;

/// "Azimuth L 106   T 196" and name "T" -> 196; nullopt when the name is not listed.
std::optional<double> listed_azimuth(std::string_view line, std::string_view name) {
  const std::size_t at = text::find_nocase(line, "Azimuth");
  if (at == std::string_view::npos) return std::nullopt;
  const std::vector<std::string_view> words = text::split_words(line.substr(at + 7));
  for (std::size_t k = 0; k + 1 < words.size(); ++k) {
    if (text::equals_nocase(words[k], name)) {
      const std::optional<text::Orientation> o = text::parse_orientation(words[k + 1]);
      if (o && o->azimuth) return o->azimuth;
    }
  }
  return std::nullopt;
}

/// The count and the interval from "NO. OF POINTS =   9472      DURATION = 47.360" (line `at`).
Problem read_sampling(std::string_view line, std::size_t at, const std::string& file, long long& n, double& dt) {
  const std::string_view count_text = text::word_after(line, "NO. OF POINTS =");
  if (Problem p = text::read_count(count_text, "NO. OF POINTS", 1, 100000000, file, at, n); !p.ok()) return p;
  const std::string_view duration_text = text::word_after(line, "DURATION =");
  const std::optional<double> duration = common::to_number(duration_text, common::kFortranField);
  if (!duration || !(*duration > 0.0) || !(*duration < 1e7)) {
    return fail(file, at, "DURATION is not a positive length: " + text::quoted(duration_text));
  }
  dt = text::interval_from_span(*duration, static_cast<double>(n));
  return {};
}

Problem read_channel(const volume_one::ChannelText& head, text::Lines& lines, const std::string& file, Channel& ch,
                     FileContents& out) {
  const std::string_view* t = head.t;
  const std::size_t first = head.first_line;
  // "L" -> azimuth from "Azimuth L 106"; "V" -> vertical
  ch.name = std::string(text::trim(t[4]));
  const std::optional<text::Orientation> o = text::parse_orientation(ch.name);
  if (o && o->vertical) {
    ch.vertical = true;
  } else {
    ch.azimuth = listed_azimuth(t[7], ch.name);
    if (!ch.azimuth && o) ch.azimuth = o->azimuth;
  }
  if (ch.name.empty()) return fail(file, first + 4, "the channel has no name on its fifth line");

  long long n = 0;
  if (Problem p = read_sampling(t[10], first + 10, file, n, ch.dt); !p.ok()) return p;
  // "UNITS ARE SECONDS AND G/10" -> factor 0.1, g
  const std::string_view unit = text::word_after(t[11], "AND");
  if (text::equals_nocase(unit, "G/10")) {
    ch.factor = 0.1;
    ch.factor_text = "G/10";
  } else if (!text::equals_nocase(unit, "G")) {
    return fail(file, first + 11, "the units are not SECONDS AND G/10 or G: " + text::quoted(t[11]));
  }
  ch.unit = Unit::g;

  if (Problem p = text::skip_number_lines(lines, volume_one::kNumberLines, file,
                                          "the file ends inside a channel's number header");
      !p.ok()) {
    return p;
  }
  if (Problem p = text::read_free_block(lines, static_cast<std::size_t>(n), ch.factor, true, file, ch.values); !p.ok()) {
    return p;
  }
  std::string_view line;
  if (!lines.next(line) || !line.starts_with("/&")) {
    return fail(file, lines.number(), "the channel's " + std::to_string(n) + " values are not followed by \"/&\"");
  }

  if (head.first_channel) {
    // "Origin Time : 2012/08/11   12:23:16" -> "2012/08/11   12:23:16"
    const std::size_t colon = t[2].find(':');
    out.event = std::string(text::trim(colon == std::string_view::npos ? t[2] : t[2].substr(colon + 1)));
    // "* VOL1DS FILE:  5529/01" -> 5529
    const std::string_view id = text::word_after(t[0], "FILE:");
    out.station = std::string(id.substr(0, id.find('/')));
  }
  return {};
}

}  // namespace

bool is_bhrc(std::string_view head) { return text::starts_with_nocase(head, "* VOL1DS FILE:"); }

Problem read_bhrc(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  out.level = Level::raw;  // a Volume 1: uncorrected
  return volume_one::read_channels(lines, "* VOL1DS FILE:", file, out, read_channel);
}

}  // namespace wavefft::import
