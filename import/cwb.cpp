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
#include <cmath>
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

}  // namespace

bool is_cwb(std::string_view head) {
  return text::opens_with_lines(head, "#Earthquake Information", {"#StationCode:"});
}

Problem read_cwb(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Field origin, station, start, length, rate, unit, sequence, format;
  const text::HeaderKey keys[] = {{"Origin Time", &origin, false}, {"StationCode", &station},
                                  {"StartTime", &start},           {"RecordLength", &length, false},
                                  {"SampleRate", &rate},           {"AmplitudeUnit", &unit},
                                  {"DataSequence", &sequence},     {"Data", &format}};
  std::string_view line;
  // "#SampleRate(Hz): 50" -> key "SampleRate(Hz)", value "50"; the header
  // is every line that starts with '#' or is blank.
  while (lines.peek(line) && (line.empty() || line.front() == '#' || text::trim(line).empty())) {
    lines.next(line);
    if (!line.empty() && line.front() == '#') {
      text::take_header_line(line.substr(1), lines.number(), text::KeyMatch::bracket, keys);
    }
  }
  if (Problem p = text::require_keys(keys, file, "#"); !p.ok()) return p;

  const std::optional<double> hz = common::to_number(rate.value, common::kFortranField);
  if (!hz || !(*hz > 0.0) || !(*hz <= 1e6)) {
    return fail(file, rate.line, "SampleRate is not a rate in Hz: " + text::quoted(rate.value));
  }
  // "gal. DCoffset(corr)" -> gal
  if (!text::starts_with_nocase(unit.value, "gal")) {
    return fail(file, unit.line, "AmplitudeUnit is not gal: " + text::quoted(unit.value));
  }

  // "Time U(+); N(+); E(+)" -> U, N, E after the time column
  std::vector<std::string> names;
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

  // "4F10.3" -> four columns of ten characters
  const std::string descriptor = "(" + std::string(format.value) + ")";
  const std::optional<text::FixedFormat> fixed = text::parse_fixed_format(descriptor);
  if (!fixed || static_cast<std::size_t>(fixed->per_line) != names.size() + 1) {
    return fail(file, format.line,
                "Data is not one fixed-width column per name in DataSequence: " + text::quoted(format.value));
  }

  std::size_t rows = 0;
  if (length.line != 0) {
    const std::optional<double> seconds = common::to_number(length.value, common::kFortranField);
    if (!seconds || !(*seconds >= 0.0) || !(*seconds * *hz <= 1e8)) {
      return fail(file, length.line, "RecordLength is not a length this reader takes: " + text::quoted(length.value));
    }
    rows = static_cast<std::size_t>(std::llround(*seconds * *hz));
  }

  const std::optional<std::int64_t> offset = gmt_offset_ns(start.key);
  if (!offset) return fail(file, start.line, "StartTime has an unknown time zone: " + text::quoted(start.key));
  const std::optional<std::int64_t> local = text::parse_date_time(start.value, text::DateOrder::ymd);
  if (!local) return fail(file, start.line, "StartTime is not a date and time: " + text::quoted(start.value));

  std::vector<std::vector<double>> columns;
  if (Problem p = text::read_columns(lines, names.size() + 1, static_cast<std::size_t>(fixed->width), rows, 1.0, true,
                                     file, columns);
      !p.ok()) {
    return p;
  }

  out.event = std::string(origin.value);
  out.station = std::string(station.value);
  // "2018/02/06-23:50:29.000 (GMT+08)"
  out.start_text = std::string(start.value);
  if (const std::size_t paren = start.key.find('('); paren != std::string_view::npos) {
    out.start_text += " " + std::string(start.key.substr(paren));
  }
  columns.erase(columns.begin());  // the time column
  add_column_channels(file, names, std::vector<double>(names.size(), 1.0 / *hz), *local - *offset, columns, out);
  return {};
}

}  // namespace wavefft::import
