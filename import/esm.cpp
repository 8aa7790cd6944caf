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
#include <utility>

#include "import/date_text.h"
#include "import/formats.h"
#include "import/header_keys.h"
#include "import/orientation.h"
#include "import/sampling_words.h"
#include "import/unit_text.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// The header values a file gives.
struct Header {
  Field event_name, event_id, network, station, location, first_sample, interval, ndata, stream, units, data_type;
};

/// The header: "KEY: value" lines up to the first line that does not start
/// with a letter ("NDATA: 13876" -> NDATA = "13876"). EVENT_ID and LOCATION
/// may be absent; every other key must be there.
Problem read_header(text::Lines& lines, const std::string& file, Header& h) {
  const text::HeaderKey keys[] = {
      {"EVENT_NAME", &h.event_name},         {"EVENT_ID", &h.event_id, false},
      {"NETWORK", &h.network},               {"STATION_CODE", &h.station},
      {"LOCATION", &h.location, false},      {"DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", &h.first_sample},
      {"SAMPLING_INTERVAL_S", &h.interval},  {"NDATA", &h.ndata},
      {"STREAM", &h.stream},                 {"UNITS", &h.units},
      {"DATA_TYPE", &h.data_type}};
  std::string_view line;
  while (lines.peek(line) && !line.empty() && is_letter(line.front())) {
    lines.next(line);
    text::take_header_line(line, lines.number(), text::KeyMatch::exact, keys);
  }
  return text::require_keys(keys, file);
}

/// The channel the header describes: its name and SEED id from STREAM and
/// the codes before it, its direction from the stream's last letter ("HNE"
/// -> azimuth 90, "HNZ" -> vertical; "HN2" says nothing), its unit and dt.
Problem describe(const Header& h, const std::string& file, Channel& ch) {
  ch.name = std::string(h.stream.value);
  ch.seed_id = std::string(h.network.value) + "." + std::string(h.station.value) + "." + std::string(h.location.value) +
               "." + ch.name;
  if (!ch.name.empty()) {
    if (const std::optional<text::Orientation> o = text::parse_orientation(ch.name.substr(ch.name.size() - 1))) {
      ch.azimuth = o->azimuth;
      ch.vertical = o->vertical;
    }
  }
  const std::optional<Unit> unit = unit_from_text(h.units.value, UnitConvention::esm);
  if (!unit) return fail(file, h.units.line, "UNITS is not a unit of acceleration: " + text::quoted(h.units.value));
  ch.unit = *unit;
  const std::optional<double> dt = text::sampling_number(h.interval.value);
  if (!dt) {
    return fail(file, h.interval.line, "SAMPLING_INTERVAL_S is not a positive interval: " + text::quoted(h.interval.value));
  }
  ch.dt = *dt;
  return {};
}

/// The first sample's time, read year first and, failing that, day first;
/// none when the field is empty.
Problem read_start(const Field& first_sample, const std::string& file, std::optional<std::int64_t>& start) {
  start = text::parse_date_time(first_sample.value, text::DateOrder::ymd);
  if (!start) start = text::parse_date_time(first_sample.value, text::DateOrder::dmy);
  if (!start && !first_sample.value.empty()) {
    return fail(file, first_sample.line,
                "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS is not a date and time: " + text::quoted(first_sample.value));
  }
  return {};
}

}  // namespace

bool is_esm(std::string_view head) {
  return text::opens_with_lines(head, "EVENT_NAME:", {"STREAM:", "NDATA:"});
}

Problem read_esm(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Header h;
  if (Problem p = read_header(lines, file, h); !p.ok()) return p;
  if (!text::equals_nocase(h.data_type.value, "ACCELERATION")) {
    return fail(file, h.data_type.line, "DATA_TYPE is " + text::quoted(h.data_type.value) + ", not ACCELERATION");
  }
  Channel ch;
  ch.file = file;
  if (Problem p = describe(h, file, ch); !p.ok()) return p;
  long long n = 0;
  if (Problem p = text::read_count(h.ndata.value, "NDATA", 1, 100000000, file, h.ndata.line, n); !p.ok()) return p;
  if (Problem p = read_start(h.first_sample, file, ch.start_ns); !p.ok()) return p;
  if (Problem p = text::read_free_block(lines, static_cast<std::size_t>(n), 1.0, true, file, ch.values); !p.ok()) {
    return p;
  }
  out.event = std::string(h.event_id.value.empty() ? h.event_name.value : h.event_id.value);
  out.station = std::string(h.station.value);
  out.start_text = std::string(h.first_sample.value);
  ch.order = out.channels.size();
  out.channels.push_back(std::move(ch));
  return {};
}

}  // namespace wavefft::import
