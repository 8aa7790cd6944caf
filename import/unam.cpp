// SPDX-License-Identifier: GPL-3.0-or-later
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

/// The header values a file must give.
struct Header {
  Field station, count, orientation, interval, samples, units, format, date, origin, first;
};

/// The header lines up to "DATOS DE ACELERACION:".
Problem read_header(text::Lines& lines, const std::string& file, Header& h) {
  const text::HeaderKey keys[] = {{"CLAVE DE LA ESTACION", &h.station},
                                  {"NUMERO DE CANALES", &h.count},
                                  {"ORIENTACION C1-C6", &h.orientation},
                                  {"INTERVALO DE MUESTREO, C1-C6", &h.interval},
                                  {"NUM. TOTAL DE MUESTRAS, C1-C6", &h.samples},
                                  {"UNIDADES DE LOS DATOS", &h.units},
                                  {"FORMATO DATOS", &h.format},
                                  {"FECHA DEL SISMO", &h.date},
                                  {"HORA EPICENTRO", &h.origin},
                                  {"HORA DE LA PRIMERA MUESTRA", &h.first}};
  std::string_view line;
  bool data = false;
  while (!data && lines.next(line)) {
    // "NUMERO DE CANALES                      : 3" -> NUMERO DE CANALES = "3"
    data = text::starts_with_nocase(line, "DATOS DE ACELERACION");
    if (!data) text::take_header_line(line, lines.number(), text::KeyMatch::prefix, keys);
  }
  if (!data) return fail(file, lines.number(), "no \"DATOS DE ACELERACION:\" line before the end of the file");
  return text::require_keys(keys, file);
}

/// What the per-channel lists say of each of the `nc` channels: its name
/// (a direction), its interval, and the one row count they share.
Problem read_channel_lists(const Header& h, std::size_t nc, const std::string& file, std::vector<std::string>& names,
                           std::vector<double>& dts, std::size_t& rows) {
  const std::vector<std::string_view> orientations = slash_list(h.orientation.value);
  const std::vector<std::string_view> intervals = slash_list(h.interval.value);
  const std::vector<std::string_view> counts = slash_list(h.samples.value);
  if (orientations.size() < nc) return fail(file, h.orientation.line, "ORIENTACION lists fewer than NUMERO DE CANALES channels");
  if (intervals.size() < nc) return fail(file, h.interval.line, "INTERVALO DE MUESTREO lists fewer than NUMERO DE CANALES channels");
  if (counts.size() < nc) return fail(file, h.samples.line, "NUM. TOTAL DE MUESTRAS lists fewer than NUMERO DE CANALES channels");
  if (!text::starts_with_nocase(h.units.value, "Gal")) {
    return fail(file, h.units.line, "UNIDADES DE LOS DATOS is not Gal: " + text::quoted(h.units.value));
  }
  for (std::size_t c = 0; c < nc; ++c) {
    if (!text::parse_orientation(orientations[c])) {
      return fail(file, h.orientation.line, "ORIENTACION names an unknown direction " + text::quoted(orientations[c]));
    }
    names.emplace_back(orientations[c]);
    const std::optional<double> dt = common::to_number(intervals[c], common::kFortranField);
    if (!dt || !(*dt > 0.0) || !(*dt < 1e6)) {
      return fail(file, h.interval.line, "INTERVALO DE MUESTREO is not a positive interval: " + text::quoted(intervals[c]));
    }
    dts.push_back(*dt);
    long long n = 0;
    if (Problem p = text::read_count(counts[c], "NUM. TOTAL DE MUESTRAS", 1, 100000000, file, h.samples.line, n); !p.ok()) {
      return p;
    }
    if (c > 0 && static_cast<std::size_t>(n) != rows) {
      return fail(file, h.samples.line, "NUM. TOTAL DE MUESTRAS differs between channels: " + text::quoted(h.samples.value));
    }
    rows = static_cast<std::size_t>(n);
  }
  return {};
}

/// The first sample's time: the event's date, the first sample's clock,
/// and the next day when that clock is more than 12 hours before the
/// origin's. None when the file gives no first-sample clock.
Problem read_start(const Header& h, const std::string& file, std::optional<std::int64_t>& start) {
  if (h.first.value.empty()) return {};
  const std::optional<std::int64_t> day = text::parse_date_time(h.date.value, text::DateOrder::ymd);
  if (!day) return fail(file, h.date.line, "FECHA DEL SISMO is not a date: " + text::quoted(h.date.value));
  const std::optional<std::int64_t> clock = text::parse_clock(h.first.value);
  if (!clock) return fail(file, h.first.line, "HORA DE LA PRIMERA MUESTRA is not a time: " + text::quoted(h.first.value));
  const std::optional<std::int64_t> quake = text::parse_clock(h.origin.value);
  // origin 23:58:02.7, first sample 00:00:01 -> the next day
  const bool next_day = quake && *clock < *quake - kDayNs / 2;
  start = *day + *clock + (next_day ? kDayNs : 0);
  return {};
}

}  // namespace

bool is_unam(std::string_view head) {
  return text::find_nocase(head, "ARCHIVO ESTANDAR DE ACELERACION") != std::string_view::npos;
}

Problem read_unam(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  Header h;
  if (Problem p = read_header(lines, file, h); !p.ok()) return p;
  long long n_channels = 0;
  if (Problem p = text::read_count(h.count.value, "NUMERO DE CANALES", 1, 6, file, h.count.line, n_channels); !p.ok()) {
    return p;
  }
  const auto nc = static_cast<std::size_t>(n_channels);
  std::vector<std::string> names;
  std::vector<double> dts;
  std::size_t rows = 0;
  if (Problem p = read_channel_lists(h, nc, file, names, dts, rows); !p.ok()) return p;

  // "3F10.3" -> three columns of ten characters
  const std::optional<text::FixedFormat> fixed = text::parse_fixed_format("(" + std::string(h.format.value) + ")");
  if (!fixed || static_cast<std::size_t>(fixed->per_line) != nc) {
    return fail(file, h.format.line, "FORMATO DATOS is not one fixed-width column per channel: " + text::quoted(h.format.value));
  }
  std::optional<std::int64_t> start;
  if (Problem p = read_start(h, file, start); !p.ok()) return p;

  // The column names sit between two ruler lines ("---------+---...").
  int rulers = 0;
  std::string_view line;
  while (rulers < 2 && lines.next(line)) {
    if (line.starts_with("---")) ++rulers;
  }
  if (rulers < 2) return fail(file, lines.number(), "no ruler lines around the column names after DATOS DE ACELERACION");

  std::vector<std::vector<double>> columns;
  if (Problem p = text::read_columns(lines, nc, static_cast<std::size_t>(fixed->width), rows, 1.0, true, file, columns);
      !p.ok()) {
    return p;
  }
  out.event = std::string(h.date.value) + " " + std::string(h.origin.value);
  out.station = std::string(h.station.value);
  out.start_text = std::string(h.first.value);
  add_column_channels(file, names, dts, start, columns, out);
  return {};
}

}  // namespace wavefft::import
