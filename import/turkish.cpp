// SPDX-License-Identifier: GPL-3.0-or-later
// The older text layout of the Turkish national strong-motion network: a
// title line "STRONG GROUND MOTION RECORDS OF TURKIYE", header lines
// "KEY<blanks>: value" (STATION ID, RECORD TIME day first in GMT, NUMBER OF
// DATA, SAMPLING INTERVAL (sec), ...), two copyright lines, a line naming the
// columns ("N-S E-W U-D") and then one row per sample, one column per
// component, in gal.
//
// The PLACE field may hold bytes of a Turkish code page ("AYD\xFDN"); it is
// not used. The station is the STATION ID.
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
#include "import/header_keys.h"
#include "import/orientation.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

/// True when every word of `line` names a direction ("N-S E-W U-D").
bool is_column_names(std::string_view line) {
  const std::vector<std::string_view> words = text::split_words(line);
  if (words.empty()) return false;
  for (const std::string_view w : words) {
    if (!text::parse_orientation(w)) return false;
  }
  return true;
}

}  // namespace

bool is_turkish(std::string_view head) { return text::starts_with_nocase(head, "STRONG GROUND MOTION RECORDS OF TURK"); }

Problem read_turkish(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Field quake, station, record, count, interval;
  const text::HeaderKey keys[] = {{"EARTHQUAKE DATE", &quake},
                                  {"STATION ID", &station},
                                  {"RECORD TIME", &record},
                                  {"NUMBER OF DATA", &count},
                                  {"SAMPLING INTERVAL", &interval}};
  std::string_view line;
  std::vector<std::string_view> names;
  while (names.empty() && lines.next(line)) {
    if (line.find(':') != std::string_view::npos) {
      text::take_header_line(line, lines.number(), text::KeyMatch::prefix, keys);
    } else if (is_column_names(line)) {
      names = text::split_words(line);
    }
    if (lines.number() > 100) break;
  }
  if (names.empty()) return fail(file, 0, "no line names the columns (\"N-S E-W U-D\") after the header");
  if (Problem p = text::require_keys(keys, file); !p.ok()) return p;

  long long n = 0;
  if (Problem p = text::read_count(count.value, "NUMBER OF DATA", 1, 100000000, file, count.line, n); !p.ok()) return p;
  const std::optional<double> dt = common::to_number(interval.value, common::kFortranField);
  if (!dt || !(*dt > 0.0) || !(*dt < 1e6)) {
    return fail(file, interval.line, "SAMPLING INTERVAL is not a positive interval: " + text::quoted(interval.value));
  }
  // "20/07/2017 22:30:58.000000 (GMT)" -> 2017-07-20T22:30:58Z
  std::string_view when = record.value;
  if (const std::size_t paren = when.find('('); paren != std::string_view::npos) {
    if (!text::equals_nocase(when.substr(paren), "(GMT)") && !text::equals_nocase(when.substr(paren), "(UTC)")) {
      return fail(file, record.line, "RECORD TIME is not in GMT: " + text::quoted(record.value));
    }
    when = when.substr(0, paren);
  }
  std::optional<std::int64_t> start = text::parse_date_time(when, text::DateOrder::dmy);
  if (!start) start = text::parse_date_time(when, text::DateOrder::ymd);
  if (!start) return fail(file, record.line, "RECORD TIME is not a date and time: " + text::quoted(record.value));

  std::vector<std::vector<double>> columns;
  if (Problem p = text::read_columns(lines, names.size(), 0, static_cast<std::size_t>(n), 1.0, true, file, columns);
      !p.ok()) {
    return p;
  }

  out.event = std::string(quake.value);
  out.station = std::string(station.value);
  out.start_text = std::string(record.value);
  add_column_channels(file, std::vector<std::string>(names.begin(), names.end()), std::vector<double>(names.size(), *dt),
                      start, columns, out);
  return {};
}

}  // namespace wavefft::import
