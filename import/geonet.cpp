// SPDX-License-Identifier: GPL-3.0-or-later
// The GeoNet Volume 1 and Volume 2 reader (.V1A, .V2A) of wavefft-import.
//
// A file holds the components of one station, one after the other. Each
// component has 16 text lines:
//   1  "Corrected accelerogram <id> GNS Science" (Volume 2) or
//      "Uncorrected accelerogram ..." (Volume 1)
//   2  "Site WPWS      39 56 38S  176 35 04E ..."  (the station code)
//   6  "Accelerogram 20180212_211554_WPWS_20 ..." (the event's record id)
//      "Number of points  5800    Duration 115.98 sec"
//      "Instrument corrected data at 0.020 sec intervals", or for Volume 1
//      "... units of 0.0032 mm/s/s at intervals of 0.005 s"
//      "Component S16W  Longitudinal Accelerometer Axis"
// then 4 lines of integer and 6 of real header values, then the
// acceleration values, 10 to a line, 8 characters each, in mm/s^2 (times
// the stated units when a Volume 1 gives them). A Volume 2 then holds
// velocity and displacement; their lines of values are passed over up to
// the next component's first line.
//
// The text lines give the event's origin time, not where the record
// starts, so no start_ns is set.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "import/fixedvol.h"
#include "import/formats.h"
#include "import/sampling_words.h"
#include "import/value_blocks.h"

namespace wavefft::import {

namespace {

using namespace fixedvol::vocabulary;

constexpr int kTextLines = 16;
constexpr int kHeaderValueLines = 10;  // 4 integer + 6 real
constexpr text::FixedFormat kValues{10, 8, 'F'};

bool starts_component(std::string_view line) {
  return text::starts_with_nocase(line, "Corrected accelerogram") ||
         text::starts_with_nocase(line, "Uncorrected accelerogram");
}

/// What a component's text lines say of it besides what they set in its
/// Channel.
struct ComponentText {
  std::optional<std::size_t> count;  // "Number of points  5800"
  std::string component;             // "Component S16W ..." -> "S16W"
};

/// The interval a text line states, as written: "... data at 0.020 sec
/// intervals" or "... at intervals of 0.005 s" -> "0.020", "0.005";
/// nullopt when the line states none.
std::optional<std::string_view> interval_text(std::string_view t) {
  if (const auto of = after(t, "intervals of")) return first_word(*of);
  if (const std::size_t at = text::find_nocase(t, " sec intervals"); at != std::string_view::npos) {
    const std::string_view before = t.substr(0, at);
    return before.substr(before.rfind(' ') + 1);
  }
  return std::nullopt;
}

/// One text line of a component (`t`, blanks trimmed, line `number`): its
/// number of points, its component, its interval and a Volume 1's units
/// factor, where the line gives them.
Problem take_text_line(std::string_view t, std::size_t number, const std::string& file, ComponentText& ct, Channel& c) {
  if (text::starts_with_nocase(t, "Number of points")) {
    const std::string_view w = first_word(t.substr(16));
    ct.count = fixedvol::sample_count_of(w);
    if (!ct.count) return malformed(file, number, "Number of points is not a count up to 100000000: " + quoted(w));
  }
  if (text::starts_with_nocase(t, "Component")) ct.component = std::string(first_word(t.substr(9)));
  if (const std::optional<std::string_view> dt_text = interval_text(t)) {
    const std::optional<double> dt = text::sampling_number(*dt_text);
    if (!dt) return malformed(file, number, "the sampling interval is not a positive number: " + quoted(*dt_text));
    c.dt = *dt;
  }
  // "units of 0.0032 mm/s/s" -> factor 0.0032, "0.0032 mm/s/s".
  if (const auto u = after(t, "units of")) {
    const std::string_view w = first_word(*u);
    const std::optional<double> f = common::to_number(w, common::kFortranField);
    if (!f || !(*f > 0.0 && *f < 1e9)) return malformed(file, number, "the units factor is not a positive number: " + quoted(w));
    c.factor = *f;
    c.factor_text = std::string(w) + " mm/s/s";
  }
  return {};
}

/// Text lines 2 .. 16 of a component, each as take_text_line reads it;
/// for the file, while it has none yet, the station (line 2, "Site WPWS
/// ...") and the event's record id (line 6, "Accelerogram 20180212_...").
Problem read_text_lines(Lines& lines, const std::string& file, FileContents& out, ComponentText& ct, Channel& c) {
  std::string_view line;
  for (int k = 2; k <= kTextLines; ++k) {
    if (!lines.next(line)) return Problem{Status::truncated, file, lines.number(), "the file ends inside a component's text lines"};
    const std::string_view t = trim(line);
    if (k == 2 && out.station.empty() && text::starts_with_nocase(t, "Site ")) out.station = std::string(first_word(t.substr(4)));
    if (k == 6 && out.event.empty() && text::starts_with_nocase(t, "Accelerogram")) {
      out.event = std::string(first_word(t.substr(12)));
    }
    if (Problem p = take_text_line(t, lines.number(), file, ct, c); !p.ok()) return p;
  }
  return {};
}

/// One component from its first line (just taken, line `first_line`) to
/// its acceleration values, appended to out.channels as the `order`-th
/// (from 0) of the file.
Problem read_component(Lines& lines, std::size_t first_line, std::size_t order, const std::string& file,
                       FileContents& out) {
  Channel c;
  c.file = file;
  c.order = order;
  c.unit = Unit::mm_s2;
  ComponentText ct;
  if (Problem p = read_text_lines(lines, file, out, ct, c); !p.ok()) return p;
  if (!ct.count) return malformed(file, first_line, "the component's text lines give no \"Number of points\"");
  if (c.dt == 0.0) return malformed(file, first_line, "the component's text lines give no sampling interval (\"at 0.020 sec intervals\")");
  if (ct.component.empty()) return malformed(file, first_line, "the component's text lines give no \"Component\" line");
  c.name = ct.component;
  fixedvol::orient(ct.component, c);
  Problem p = text::skip_lines(lines, kHeaderValueLines, file, "the file ends inside a component's header values");
  if (!p.ok()) return p;
  p = text::read_fixed_block(lines, kValues, *ct.count, c.factor, true, file, c.values);
  if (!p.ok()) return fixedvol::in_block(std::move(p), "Component " + c.name + " acceleration");
  out.channels.push_back(std::move(c));
  return {};
}

}  // namespace

bool is_geonet(std::string_view head) {
  // "Corrected accelerogram 20180212_211554_WPWS_20 GNS Science" then "Site WPWS ...".
  Lines lines(head);
  std::string_view first, second;
  return lines.next(first) && starts_component(first) && lines.next(second) && text::starts_with_nocase(second, "Site ");
}

Problem read_geonet(std::string_view bytes, const std::string& file, FileContents& out) {
  Lines lines(bytes);
  std::string_view line;
  std::size_t order = 0;
  bool corrected = false, uncorrected = false;
  while (lines.next(line)) {
    if (!starts_component(line)) {
      // Values of a velocity or displacement block, or blank lines.
      if (fixedvol::has_word_letter(line)) {
        return malformed(file, lines.number(), "expected a component's first line \"Corrected accelerogram ...\", found " + quoted(trim(line)));
      }
      continue;
    }
    (text::starts_with_nocase(line, "Corrected") ? corrected : uncorrected) = true;
    if (Problem p = read_component(lines, lines.number(), order++, file, out); !p.ok()) return p;
  }
  if (out.channels.empty()) return malformed(file, 1, "no component in the file");
  out.format = corrected && !uncorrected ? "GeoNet Volume 2" : "GeoNet Volume 1";
  out.level = corrected && !uncorrected ? Level::corrected : Level::raw;
  return {};
}

}  // namespace wavefft::import
