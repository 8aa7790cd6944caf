// SPDX-License-Identifier: GPL-3.0-or-later
// K-NET and KiK-net ASCII: one channel per file. Seventeen header lines
// "Key<blanks>value" (the value from column 19), ending with "Memo.", then
// integer counts, eight to a line. The physical value is
// count * numerator / denominator as the "Scale Factor" line states it
// ("7845(gal)/8223790"): the ratio is computed once as a double and each
// count multiplied by it, so the values are in gal.
//
// Times in these files are Japan Standard Time (UTC+9). The K-NET format
// description says the "Record Time" includes the logger's 15-second
// trigger delay, so the first sample is at Record Time - 15 s.
//
// "Dir." names the component: "E-W", "N-S", "U-D" for K-NET; KiK-net
// numbers them 1..6: 1-3 the borehole sensor (NS, EW, UD), 4-6 the surface
// one. The channel is named "EW", "NS", "UD" (K-NET) or "NS1" .. "UD2"
// (KiK-net), as the files' own name endings do.
//
// The counts come from a 24-bit digitiser, where -999 and -32768 are
// ordinary readings, so no value is refused as a missing-value flag.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/numbers.h"
#include "import/date_text.h"
#include "import/formats.h"
#include "import/orientation.h"
#include "import/sampling_words.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;

constexpr std::int64_t kJstOffsetNs = std::int64_t{9} * 3600 * 1000000000;
constexpr std::int64_t kTriggerDelayNs = std::int64_t{15} * 1000000000;

struct Header {
  std::string_view origin, mag, station, record_time, freq, duration, dir, scale;
  std::size_t record_line = 0, freq_line = 0, duration_line = 0, dir_line = 0, scale_line = 0;
};

/// "Scale Factor      7845(gal)/8223790" -> 7845.0 / 8223790.0.
std::optional<double> scale_ratio(std::string_view text) {
  const std::size_t open = text.find('(');
  const std::size_t slash = text.find('/');
  if (open == std::string_view::npos || slash == std::string_view::npos || slash < open) return std::nullopt;
  const std::string_view unit = text::trim(text.substr(open, slash - open));
  if (!text::starts_with_nocase(unit, "(gal)") || unit.size() != 5) return std::nullopt;
  const std::optional<double> num = common::to_number(text.substr(0, open), common::kFortranField);
  const std::optional<double> den = common::to_number(text.substr(slash + 1), common::kFortranField);
  if (!num || !den || !(*den != 0.0) || !std::isfinite(*num / *den)) return std::nullopt;
  return *num / *den;
}

/// One header line (line `n`): "Record Time       2014/12/31 23:50:00" ->
/// key "Record Time", value from column 19, kept with its line where the
/// reader checks it. True for the "Memo." line that ends the header.
bool take_line(std::string_view line, std::size_t n, Header& h) {
  const std::string_view value = line.size() > 18 ? text::trim(line.substr(18)) : std::string_view{};
  const auto is = [&](std::string_view key) { return text::starts_with_nocase(line, key); };
  if (is("Origin Time")) h.origin = value;
  else if (is("Mag.")) h.mag = value;
  else if (is("Station Code")) h.station = value;
  else if (is("Record Time")) h.record_time = value, h.record_line = n;
  else if (is("Sampling Freq(Hz)")) h.freq = value, h.freq_line = n;
  else if (is("Duration Time(s)")) h.duration = value, h.duration_line = n;
  else if (is("Dir.")) h.dir = value, h.dir_line = n;
  else if (is("Scale Factor")) h.scale = value, h.scale_line = n;
  else if (is("Memo.")) return true;
  return false;
}

/// The header lines up to "Memo." (which must come by line 40), and every
/// line the reader needs among them.
Problem read_header(text::Lines& lines, const std::string& file, Header& h) {
  std::string_view line;
  bool memo = false;
  while (!memo && lines.next(line)) {
    memo = take_line(line, lines.number(), h);
    if (!memo && lines.number() >= 40) break;
  }
  if (!memo) return fail(file, lines.number(), "no \"Memo.\" line ends the header");
  for (const auto& [field, name] : {std::pair{h.record_line, "Record Time"}, std::pair{h.freq_line, "Sampling Freq(Hz)"},
                                    std::pair{h.duration_line, "Duration Time(s)"}, std::pair{h.dir_line, "Dir."},
                                    std::pair{h.scale_line, "Scale Factor"}}) {
    if (field == 0) return fail(file, 0, std::string("the header has no \"") + name + "\" line");
  }
  return {};
}

/// The interval from "Sampling Freq(Hz)" ("100Hz" -> 0.01 s) and the
/// samples "Duration Time(s)" makes at that rate (68 s at 100 Hz -> 6800)
/// into `expected`.
Problem read_sampling(const Header& h, const std::string& file, Channel& ch, std::size_t& expected) {
  std::string_view freq = h.freq;
  if (freq.size() > 2 && text::find_nocase(freq.substr(freq.size() - 2), "Hz") == 0) freq.remove_suffix(2);
  const std::optional<double> rate = text::rate_hz(freq);
  if (!rate) return fail(file, h.freq_line, "Sampling Freq(Hz) is not a rate in Hz: " + text::quoted(h.freq));
  ch.dt = 1.0 / *rate;
  const std::optional<std::size_t> n = text::samples_in(h.duration, *rate);
  if (!n) {
    return fail(file, h.duration_line, "Duration Time(s) is not a duration this reader takes: " + text::quoted(h.duration));
  }
  expected = *n;
  return {};
}

/// The channel's name and direction from "Dir.": "E-W" -> EW (azimuth
/// 90); KiK-net "5" -> EW2, the surface east-west sensor ("1" .. "3" are
/// the borehole sensor's).
Problem read_direction(const Header& h, const std::string& file, Channel& ch) {
  static constexpr std::string_view kKikNames[6] = {"NS1", "EW1", "UD1", "NS2", "EW2", "UD2"};
  if (h.dir.size() == 1 && h.dir[0] >= '1' && h.dir[0] <= '6') {
    const auto k = static_cast<std::size_t>(h.dir[0] - '1');
    ch.name = std::string(kKikNames[k]);
    ch.surface = k >= 3;
    if (!ch.surface) ch.placement = "borehole";
  } else if (text::equals_nocase(h.dir, "E-W") || text::equals_nocase(h.dir, "N-S") || text::equals_nocase(h.dir, "U-D")) {
    // "E-W" or "e-w" -> EW
    const auto up = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    ch.name = {up(h.dir[0]), up(h.dir[2])};
  } else {
    return fail(file, h.dir_line, "Dir. is not E-W, N-S, U-D or 1..6: " + text::quoted(h.dir));
  }
  const std::optional<text::Orientation> o = text::parse_orientation(std::string_view(ch.name).substr(0, 2));
  ch.vertical = o->vertical;
  ch.azimuth = o->azimuth;
  return {};
}

/// The factor from "Scale Factor": "7845(gal)/8223790" -> 7845.0 /
/// 8223790.0, the values in gal.
Problem read_factor(const Header& h, const std::string& file, Channel& ch) {
  const std::optional<double> factor = scale_ratio(h.scale);
  if (!factor) return fail(file, h.scale_line, "Scale Factor is not \"number(gal)/number\": " + text::quoted(h.scale));
  ch.factor = *factor;
  ch.factor_text = std::string(h.scale);
  return {};
}

/// The first sample's time: "Record Time" in JST, less the trigger delay.
Problem read_start(const Header& h, const std::string& file, Channel& ch) {
  const std::optional<std::int64_t> jst = text::parse_date_time(h.record_time, text::DateOrder::ymd);
  if (!jst) return fail(file, h.record_line, "Record Time is not \"yyyy/mm/dd hh:mm:ss\": " + text::quoted(h.record_time));
  ch.start_ns = *jst - kJstOffsetNs - kTriggerDelayNs;
  return {};
}

/// The counts up to the end of the file, each times ch.factor; fewer than
/// the `expected` the header makes is Status::truncated.
Problem read_counts(text::Lines& lines, const Header& h, std::size_t expected, const std::string& file, Channel& ch) {
  // Room for the stated count, bounded by what the rest of the file can hold.
  ch.values.reserve(std::min(expected, lines.rest().size() / 2 + 1));
  if (Problem p = text::read_free_block(lines, 0, ch.factor, false, file, ch.values); !p.ok()) return p;
  if (ch.values.size() < expected) {
    return fail(file, lines.number(),
                "the file holds " + std::to_string(ch.values.size()) + " samples where Duration Time(s) " +
                    std::string(h.duration) + " at " + std::string(h.freq) + " makes " + std::to_string(expected),
                Status::truncated);
  }
  return {};
}

}  // namespace

bool is_knet(std::string_view head) {
  return text::opens_with_lines(head, "Origin Time ", {"Station Code ", "Scale Factor "});
}

Problem read_knet(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Header h;
  if (Problem p = read_header(lines, file, h); !p.ok()) return p;
  Channel ch = channel_of_file(file, Unit::gal);
  std::size_t expected = 0;
  if (Problem p = read_sampling(h, file, ch, expected); !p.ok()) return p;
  if (Problem p = read_direction(h, file, ch); !p.ok()) return p;
  if (Problem p = read_factor(h, file, ch); !p.ok()) return p;
  if (Problem p = read_start(h, file, ch); !p.ok()) return p;
  if (Problem p = read_counts(lines, h, expected, file, ch); !p.ok()) return p;
  out.event = std::string(h.origin);
  if (!h.mag.empty()) out.event += " M" + std::string(h.mag);
  out.station = std::string(h.station);
  out.start_text = std::string(h.record_time) + " JST";
  ch.order = out.channels.size();
  out.channels.push_back(std::move(ch));
  return {};
}

}  // namespace wavefft::import
