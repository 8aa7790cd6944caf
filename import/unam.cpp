// The UNAM (Mexico) standard acceleration file, "ARCHIVO ESTANDAR DE
// ACELERACION": header lines "KEY<blanks>: value" in Spanish, per-channel
// lists written "/a/b/c" for channels C1-C6 (orientation "/V/N90E/N00E",
// interval "/0.004/0.004/0.004", counts "/17500/17500/17500"), the data
// format ("3F10.3"), then after "DATOS DE ACELERACION:" two ruler lines
// around the column names and one row per sample, one fixed-width column
// per channel, in gal.
//
// The file gives the date of the event (FECHA DEL SISMO, GMT), its time
// (HORA EPICENTRO) and the clock time of the first sample (HORA DE LA
// PRIMERA MUESTRA) but not that sample's date: the record is taken to start
// within 12 hours of the origin, so a first-sample clock more than 12 hours
// before the origin's clock ("23:58:02.7" then "00:00:01") is on the next
// day. Only channels C1-C6 are read.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/formats.h"
#include "import/textscan.h"

namespace wavefft::import {

namespace {

using text::fail;
using text::Field;

/// "/V/N90E/N00E" -> {"V", "N90E", "N00E"}
std::vector<std::string_view> slash_list(std::string_view s) {
  std::vector<std::string_view> items;
  s = text::trim(s);
  if (s.starts_with('/')) s.remove_prefix(1);
  while (!s.empty()) {
    const std::size_t slash = s.find('/');
    items.push_back(text::trim(s.substr(0, slash)));
    if (slash == std::string_view::npos) break;
    s.remove_prefix(slash + 1);
  }
  return items;
}

constexpr std::int64_t kDayNs = std::int64_t{86400} * 1000000000;

}  // namespace

bool is_unam(std::string_view head) {
  return head.find("ARCHIVO ESTANDAR DE ACELERACION") != std::string_view::npos;
}

Problem read_unam(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Field station, count, orientation, interval, samples, units, format, date, origin, first;
  const std::pair<std::string_view, Field*> keys[] = {{"CLAVE DE LA ESTACION", &station},
                                                      {"NUMERO DE CANALES", &count},
                                                      {"ORIENTACION C1-C6", &orientation},
                                                      {"INTERVALO DE MUESTREO, C1-C6", &interval},
                                                      {"NUM. TOTAL DE MUESTRAS, C1-C6", &samples},
                                                      {"UNIDADES DE LOS DATOS", &units},
                                                      {"FORMATO DATOS", &format},
                                                      {"FECHA DEL SISMO", &date},
                                                      {"HORA EPICENTRO", &origin},
                                                      {"HORA DE LA PRIMERA MUESTRA", &first}};
  std::string_view line;
  bool data = false;
  while (!data && lines.next(line)) {
    // "NUMERO DE CANALES                      : 3" -> NUMERO DE CANALES = "3"
    if (line.starts_with("DATOS DE ACELERACION")) {
      data = true;
      break;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = text::trim(line.substr(0, colon));
    for (const auto& [name, field] : keys) {
      if (key.starts_with(name) && field->line == 0) *field = Field{text::trim(line.substr(colon + 1)), lines.number()};
    }
  }
  if (!data) return fail(file, lines.number(), "no \"DATOS DE ACELERACION:\" line before the end of the file");
  for (const auto& [name, field] : keys) {
    if (field->line == 0) return fail(file, 0, "the header has no " + std::string(name) + " line");
  }

  long long n_channels = 0;
  if (Problem p = text::read_count(count.value, "NUMERO DE CANALES", 1, 6, file, count.line, n_channels); !p.ok()) {
    return p;
  }
  const auto nc = static_cast<std::size_t>(n_channels);
  const std::vector<std::string_view> names = slash_list(orientation.value);
  const std::vector<std::string_view> dts = slash_list(interval.value);
  const std::vector<std::string_view> counts = slash_list(samples.value);
  if (names.size() < nc) return fail(file, orientation.line, "ORIENTACION lists fewer than NUMERO DE CANALES channels");
  if (dts.size() < nc) return fail(file, interval.line, "INTERVALO DE MUESTREO lists fewer than NUMERO DE CANALES channels");
  if (counts.size() < nc) return fail(file, samples.line, "NUM. TOTAL DE MUESTRAS lists fewer than NUMERO DE CANALES channels");
  if (!text::starts_with_nocase(units.value, "Gal")) {
    return fail(file, units.line, "UNIDADES DE LOS DATOS is not Gal: " + text::quoted(units.value));
  }

  std::vector<Channel> channels(nc);
  std::size_t rows = 0;
  for (std::size_t c = 0; c < nc; ++c) {
    Channel& ch = channels[c];
    const std::optional<text::Orientation> o = text::parse_orientation(names[c]);
    if (!o) return fail(file, orientation.line, "ORIENTACION names an unknown direction " + text::quoted(names[c]));
    ch.name = std::string(names[c]);
    ch.azimuth = o->azimuth;
    ch.vertical = o->vertical;
    const std::optional<double> dt = text::parse_number(dts[c]);
    if (!dt || !(*dt > 0.0) || !(*dt < 1e6)) {
      return fail(file, interval.line, "INTERVALO DE MUESTREO is not a positive interval: " + text::quoted(dts[c]));
    }
    ch.dt = *dt;
    long long n = 0;
    if (Problem p = text::read_count(counts[c], "NUM. TOTAL DE MUESTRAS", 1, 100000000, file, samples.line, n); !p.ok()) {
      return p;
    }
    if (c > 0 && static_cast<std::size_t>(n) != rows) {
      return fail(file, samples.line, "NUM. TOTAL DE MUESTRAS differs between channels: " + text::quoted(samples.value));
    }
    rows = static_cast<std::size_t>(n);
  }

  // "3F10.3" -> three columns of ten characters
  const std::optional<text::FixedFormat> fixed = text::parse_fixed_format("(" + std::string(format.value) + ")");
  if (!fixed || static_cast<std::size_t>(fixed->per_line) != nc) {
    return fail(file, format.line, "FORMATO DATOS is not one fixed-width column per channel: " + text::quoted(format.value));
  }

  std::optional<std::int64_t> start;
  if (!first.value.empty()) {
    const std::optional<std::int64_t> day = text::parse_date_time(date.value, text::DateOrder::ymd);
    if (!day) return fail(file, date.line, "FECHA DEL SISMO is not a date: " + text::quoted(date.value));
    const std::optional<std::int64_t> clock = text::parse_clock(first.value);
    if (!clock) return fail(file, first.line, "HORA DE LA PRIMERA MUESTRA is not a time: " + text::quoted(first.value));
    const std::optional<std::int64_t> quake = text::parse_clock(origin.value);
    // origin 23:58:02.7, first sample 00:00:01 -> the next day
    const bool next_day = quake && *clock < *quake - kDayNs / 2;
    start = *day + *clock + (next_day ? kDayNs : 0);
  }

  // The column names sit between two ruler lines ("---------+---...").
  int rulers = 0;
  while (rulers < 2 && lines.next(line)) {
    if (line.starts_with("---")) ++rulers;
  }
  if (rulers < 2) return fail(file, lines.number(), "no ruler lines around the column names after DATOS DE ACELERACION");

  std::vector<std::vector<double>> columns;
  if (Problem p = text::read_columns(lines, nc, static_cast<std::size_t>(fixed->width), rows, 1.0, true, file, columns);
      !p.ok()) {
    return p;
  }

  out.format = "UNAM";
  out.event = std::string(date.value) + " " + std::string(origin.value);
  out.station = std::string(station.value);
  out.start_text = std::string(first.value);
  for (std::size_t c = 0; c < nc; ++c) {
    Channel& ch = channels[c];
    ch.file = file;
    ch.order = out.channels.size();
    ch.start_ns = start;
    ch.unit = Unit::gal;
    ch.values = std::move(columns[c]);
    out.channels.push_back(std::move(ch));
  }
  return {};
}

}  // namespace wavefft::import
