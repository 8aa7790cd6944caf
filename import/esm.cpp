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
// Only acceleration files are read (DATA_TYPE ACCELERATION); the same
// header over velocity, displacement or spectra is refused by name.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "import/formats.h"
#include "import/textscan.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// "cm/s^2" -> gal; nullopt for a unit of something other than acceleration.
std::optional<Unit> unit_of(std::string_view u) {
  u = text::trim(u);
  if (u == "cm/s^2" || u == "cm/s/s" || u == "cm/s**2" || u == "gal" || u == "Gal") return Unit::gal;
  if (u == "m/s^2" || u == "m/s/s" || u == "m/s**2") return Unit::m_s2;
  if (u == "mm/s^2" || u == "mm/s/s" || u == "mm/s**2") return Unit::mm_s2;
  if (u == "g" || u == "G") return Unit::g;
  return std::nullopt;
}

}  // namespace

bool is_esm(std::string_view head) {
  return head.starts_with("EVENT_NAME:") && head.find("\nSTREAM:") != std::string_view::npos &&
         head.find("\nNDATA:") != std::string_view::npos;
}

Problem read_esm(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Field event_name, event_id, network, station, location, first_sample, interval, ndata, stream, units, data_type;
  const std::pair<std::string_view, Field*> keys[] = {
      {"EVENT_NAME", &event_name}, {"EVENT_ID", &event_id},
      {"NETWORK", &network},       {"STATION_CODE", &station},
      {"LOCATION", &location},     {"DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS", &first_sample},
      {"SAMPLING_INTERVAL_S", &interval}, {"NDATA", &ndata},
      {"STREAM", &stream},         {"UNITS", &units},
      {"DATA_TYPE", &data_type}};
  std::string_view line;
  // "NDATA: 13876" -> key NDATA, value "13876"; the header ends at the first
  // line that does not start with a letter.
  while (lines.peek(line) && !line.empty() && is_letter(line.front())) {
    lines.next(line);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, colon);
    for (const auto& [name, field] : keys) {
      if (key == name) *field = Field{text::trim(line.substr(colon + 1)), lines.number()};
    }
  }
  for (const auto& [name, field] : keys) {
    if (field->line == 0 && name != "LOCATION" && name != "EVENT_ID") {
      return fail(file, 0, "the header has no " + std::string(name) + " line");
    }
  }
  if (data_type.value != "ACCELERATION") {
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

  const std::optional<Unit> unit = unit_of(units.value);
  if (!unit) return fail(file, units.line, "UNITS is not a unit of acceleration: " + text::quoted(units.value));
  ch.unit = *unit;

  const std::optional<double> dt = text::parse_number(interval.value);
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

  out.format = "ESM/AFAD ASCII";
  out.event = std::string(event_id.value.empty() ? event_name.value : event_id.value);
  out.station = std::string(station.value);
  out.start_text = std::string(first_sample.value);
  ch.order = out.channels.size();
  out.channels.push_back(std::move(ch));
  return {};
}

}  // namespace wavefft::import
