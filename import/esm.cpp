// SPDX-License-Identifier: GPL-3.0-or-later
// ESM-style ASCII (.ASC), as the European and the Turkish (AFAD) databases
// publish it: one component per file, a header of "KEY: value" lines
// (EVENT_NAME, NETWORK, STATION_CODE, STREAM, NDATA, SAMPLING_INTERVAL_S,
// UNITS, DATA_TYPE, DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS, ...), then NDATA
// values, one or more to a line. Times are UTC.
//
// Some files write their dates day first ("20/07/2017") in fields whose
// names say YYYYMMDD: a date is read year first and, failing that, day
// first; the year always has four digits, so the two cannot be confused.
//
// Only acceleration files are read (DATA_TYPE ACCELERATION, which AFAD
// writes "Acceleration"); the same header over velocity, displacement or
// spectra is refused by name. Keys and the words of their values are
// compared without letter case, as the two databases differ in it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/numbers.h"
#include "import/date_text.h"
#include "import/formats.h"
#include "import/header_keys.h"
#include "import/orientation.h"
#include "import/unit_text.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool is_esm(std::string_view head) {
  return text::opens_with_lines(head, "EVENT_NAME:", {"STREAM:", "NDATA:"});
}

Problem read_esm(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Field event_name, event_id, network, station, location, first_sample, interval, ndata, stream, units, data_type;
  const text::HeaderKey keys[] = {
      {"EVENT_NAME", &event_name},         {"EVENT_ID", &event_id, false},
      {"NETWORK", &network},               {"STATION_CODE", &station},
      {"LOCATION", &location, false},      {"DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", &first_sample},
      {"SAMPLING_INTERVAL_S", &interval},  {"NDATA", &ndata},
      {"STREAM", &stream},                 {"UNITS", &units},
      {"DATA_TYPE", &data_type}};
  std::string_view line;
  // "NDATA: 13876" -> key NDATA, value "13876"; the header ends at the first
  // line that does not start with a letter.
  while (lines.peek(line) && !line.empty() && is_letter(line.front())) {
    lines.next(line);
    text::take_header_line(line, lines.number(), text::KeyMatch::exact, keys);
  }
  if (Problem p = text::require_keys(keys, file); !p.ok()) return p;
  if (!text::equals_nocase(data_type.value, "ACCELERATION")) {
    return fail(file, data_type.line, "DATA_TYPE is " + text::quoted(data_type.value) + ", not ACCELERATION");
  }

  Channel ch;
  ch.file = file;
  ch.name = std::string(stream.value);
  ch.seed_id = std::string(network.value) + "." + std::string(station.value) + "." + std::string(location.value) + "." +
               ch.name;
  // "HNE" -> azimuth 90, "HNZ" -> vertical; "HN2" says nothing.
  if (!ch.name.empty()) {
    if (const std::optional<text::Orientation> o = text::parse_orientation(ch.name.substr(ch.name.size() - 1))) {
      ch.azimuth = o->azimuth;
      ch.vertical = o->vertical;
    }
  }

  const std::optional<Unit> unit = unit_from_text(units.value, UnitConvention::esm);
  if (!unit) return fail(file, units.line, "UNITS is not a unit of acceleration: " + text::quoted(units.value));
  ch.unit = *unit;

  const std::optional<double> dt = common::to_number(interval.value, common::kFortranField);
  if (!dt || !(*dt > 0.0) || !(*dt < 1e6)) {
    return fail(file, interval.line, "SAMPLING_INTERVAL_S is not a positive interval: " + text::quoted(interval.value));
  }
  ch.dt = *dt;

  long long n = 0;
  if (Problem p = text::read_count(ndata.value, "NDATA", 1, 100000000, file, ndata.line, n); !p.ok()) return p;

  std::optional<std::int64_t> start = text::parse_date_time(first_sample.value, text::DateOrder::ymd);
  if (!start) start = text::parse_date_time(first_sample.value, text::DateOrder::dmy);
  if (!start && !first_sample.value.empty()) {
    return fail(file, first_sample.line,
                "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS is not a date and time: " + text::quoted(first_sample.value));
  }
  ch.start_ns = start;

  if (Problem p = text::read_free_block(lines, static_cast<std::size_t>(n), 1.0, true, file, ch.values); !p.ok()) {
    return p;
  }

  out.event = std::string(event_id.value.empty() ? event_name.value : event_id.value);
  out.station = std::string(station.value);
  out.start_text = std::string(first_sample.value);
  ch.order = out.channels.size();
  out.channels.push_back(std::move(ch));
  return {};
}

}  // namespace wavefft::import
