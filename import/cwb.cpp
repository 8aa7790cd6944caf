// SPDX-License-Identifier: GPL-3.0-or-later
// Taiwan CWB free-field .dat: header lines starting with '#'
// ("#StationCode: EAS", "#StartTime(GMT+08): 2018/02/06-23:50:29.000",
// "#SampleRate(Hz): 50", "#AmplitudeUnit:  gal. DCoffset(corr)",
// "#DataSequence: Time U(+); N(+); E(+)", "#Data: 4F10.3"), then one row
// per sample: the time, then one column per component in the order
// #DataSequence names them.
//
// Clock times carry their offset from GMT in the key ("(GMT+08)"); the
// start is turned into UTC by subtracting it. The time column is not used:
// the samples are evenly spaced at 1 / SampleRate.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "import/column_channels.h"
#include "import/date_text.h"
#include "import/formats.h"
#include "import/fortran_format.h"
#include "import/header_keys.h"
#include "import/orientation.h"
#include "import/sampling_words.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

/// "StartTime(GMT+08)" -> +8 hours in ns; "StartTime" -> 0; nullopt for
/// another bracket.
std::optional<std::int64_t> gmt_offset_ns(std::string_view key) {
  const std::size_t open = key.find('(');
  if (open == std::string_view::npos) return 0;
  std::string_view zone = key.substr(open);
  if (!text::starts_with_nocase(zone, "(GMT") || !zone.ends_with(")")) return std::nullopt;
  zone = zone.substr(4, zone.size() - 5);
  if (zone.empty()) return 0;
  const std::optional<long long> hours = common::to_integer(text::trim(zone));
  if (!hours || *hours < -14 || *hours > 14 || (zone[0] != '+' && zone[0] != '-')) return std::nullopt;
  return *hours * 3600 * std::int64_t{1000000000};
}

/// The header values a file gives.
struct Header {
  Field origin, station, start, length, rate, unit, sequence, format;
};

/// The header: every line that starts with '#' or is blank. "#SampleRate(Hz):
/// 50" -> key "SampleRate(Hz)", value "50". Origin Time and RecordLength
/// may be absent; every other key must be there.
Problem read_header(text::Lines& lines, const std::string& file, Header& h) {
  const text::HeaderKey keys[] = {{"Origin Time", &h.origin, false}, {"StationCode", &h.station},
                                  {"StartTime", &h.start},           {"RecordLength", &h.length, false},
                                  {"SampleRate", &h.rate},           {"AmplitudeUnit", &h.unit},
                                  {"DataSequence", &h.sequence},     {"Data", &h.format}};
  std::string_view line;
  while (lines.peek(line) && (line.empty() || line.front() == '#' || text::trim(line).empty())) {
    lines.next(line);
    if (!line.empty() && line.front() == '#') {
      text::take_header_line(line.substr(1), lines.number(), text::KeyMatch::bracket, keys);
    }
  }
  return text::require_keys(keys, file, "#");
}

/// The components #DataSequence names after the time column, each a
/// direction: "Time U(+); N(+); E(+)" -> U, N, E.
Problem read_names(const Field& sequence, const std::string& file, std::vector<std::string>& names) {
  for (std::string_view w : text::split_words(sequence.value)) {
    while (!w.empty() && w.back() == ';') w.remove_suffix(1);
    if (w.ends_with("(+)")) w.remove_suffix(3);
    if (!w.empty()) names.emplace_back(w);
  }
  if (names.size() < 2 || !text::equals_nocase(names.front(), "Time")) {
    return fail(file, sequence.line, "DataSequence is not \"Time\" and component names: " + text::quoted(sequence.value));
  }
  names.erase(names.begin());
  for (const std::string& name : names) {
    if (!text::parse_orientation(name)) {
      return fail(file, sequence.line, "DataSequence names an unknown component " + text::quoted(name));
    }
  }
  return {};
}

/// The width of the `columns` columns (the time's and one per component)
/// that #Data lays out: "4F10.3" -> four columns of ten characters -> 10.
Problem read_layout(const Field& format, std::size_t columns, const std::string& file, std::size_t& width) {
  const std::string descriptor = "(" + std::string(format.value) + ")";
  const std::optional<text::FixedFormat> fixed = text::parse_fixed_format(descriptor);
  if (!fixed || static_cast<std::size_t>(fixed->per_line) != columns) {
    return fail(file, format.line,
                "Data is not one fixed-width column per name in DataSequence: " + text::quoted(format.value));
  }
  width = static_cast<std::size_t>(fixed->width);
  return {};
}

/// The rows #RecordLength makes at `hz` samples per second ("120" at 50 ->
/// 6000); 0, rows up to the end of the file, when the header gives none.
Problem read_rows(const Field& length, double hz, const std::string& file, std::size_t& rows) {
  if (length.line == 0) return {};
  const std::optional<std::size_t> n = text::samples_in(length.value, hz);
  if (!n) {
    return fail(file, length.line, "RecordLength is not a length this reader takes: " + text::quoted(length.value));
  }
  rows = *n;
  return {};
}

/// The first sample in ns UTC: #StartTime, a clock the key's zone runs on
/// ("StartTime(GMT+08)"), less that zone's offset.
Problem read_start(const Field& start, const std::string& file, std::int64_t& ns) {
  const std::optional<std::int64_t> offset = gmt_offset_ns(start.key);
  if (!offset) return fail(file, start.line, "StartTime has an unknown time zone: " + text::quoted(start.key));
  const std::optional<std::int64_t> local = text::parse_date_time(start.value, text::DateOrder::ymd);
  if (!local) return fail(file, start.line, "StartTime is not a date and time: " + text::quoted(start.value));
  ns = *local - *offset;
  return {};
}

/// The event, the station and the start as printed, with its zone:
/// "2018/02/06-23:50:29.000 (GMT+08)".
void describe_file(const Header& h, FileContents& out) {
  out.event = std::string(h.origin.value);
  out.station = std::string(h.station.value);
  out.start_text = std::string(h.start.value);
  if (const std::size_t paren = h.start.key.find('('); paren != std::string_view::npos) {
    out.start_text += " " + std::string(h.start.key.substr(paren));
  }
}

}  // namespace

bool is_cwb(std::string_view head) {
  return text::opens_with_lines(head, "#Earthquake Information", {"#StationCode:"});
}

Problem read_cwb(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Header h;
  if (Problem p = read_header(lines, file, h); !p.ok()) return p;
  const std::optional<double> hz = text::rate_hz(h.rate.value);
  if (!hz) return fail(file, h.rate.line, "SampleRate is not a rate in Hz: " + text::quoted(h.rate.value));
  // "gal. DCoffset(corr)" -> gal
  if (!text::starts_with_nocase(h.unit.value, "gal")) {
    return fail(file, h.unit.line, "AmplitudeUnit is not gal: " + text::quoted(h.unit.value));
  }
  std::vector<std::string> names;
  std::size_t width = 0, rows = 0;
  std::int64_t start = 0;
  if (Problem p = read_names(h.sequence, file, names); !p.ok()) return p;
  if (Problem p = read_layout(h.format, names.size() + 1, file, width); !p.ok()) return p;
  if (Problem p = read_rows(h.length, *hz, file, rows); !p.ok()) return p;
  if (Problem p = read_start(h.start, file, start); !p.ok()) return p;
  std::vector<std::vector<double>> columns;
  if (Problem p = text::read_columns(lines, names.size() + 1, width, rows, 1.0, true, file, columns); !p.ok()) return p;
  describe_file(h, out);
  columns.erase(columns.begin());  // the time column
  add_column_channels(file, names, std::vector<double>(names.size(), 1.0 / *hz), start, columns, out);
  return {};
}

}  // namespace wavefft::import
