// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's flatfile (see flatfile.h).
#include "batch/flatfile.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>

#include "batch/fields.h"
#include "batch/measures_csv.h"
#include "batch/summary.h"
#include "common/numbers.h"
#include "measures/fas.h"
#include "measures/measures.h"

namespace wavefft::batch {
namespace {

constexpr const char* kRecordColumns[] = {
    "record",   "event",    "station",  "dt_s",     "npts",     "duration_s",       "h1_title",
    "h2_title", "v_title",  "measured", "bandpass_hz", "hp_h1_hz", "hp_h2_hz",       "hp_v_hz",
    "lp_h1_hz", "lp_h2_hz", "lp_v_hz",  "lowest_usable_hz", "flags"};

// The components as the flatfile names them, and the columns of
// measures.csv and spectra.csv they come from.
constexpr const char* kComponents[] = {"h1", "h2", "v"};
constexpr const char* kComponentColumns[] = {"comp1", "comp2", "comp3"};

// A row of measures.csv in the flatfile: its name there, the unit in the
// column names, and whether it has a RotD50 (the peaks).
struct MeasureRow {
  const char* name;
  const char* unit;
  bool rotd50;
};
constexpr MeasureRow kMeasureRows[] = {{"pga", "g", true},      {"pgv", "cm_s", true}, {"pgd", "cm", true},
                                       {"arias", "m_s", false}, {"cav", "m_s", false}, {"d5_75", "s", false},
                                       {"d5_95", "s", false}};

// The PSA families: their names in the flatfile and columns in spectra.csv.
constexpr const char* kPsaKinds[] = {"rotd50", "rotd100", "h1", "h2", "v"};
constexpr const char* kPsaColumns[] = {"rotd50", "rotd100", "comp1", "comp2", "comp3"};
constexpr double kDamping = 0.05;

std::string formatted(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string period_name(double t) { return formatted("%.3f", t); }
std::string frequency_name(double f) { return formatted("%.4f", f); }

std::string make_header() {
  std::string h;
  auto add = [&h](const std::string& name) {
    if (!h.empty()) h += ',';
    h += name;
  };
  for (const char* c : kRecordColumns) add(c);
  for (const MeasureRow& m : kMeasureRows) {
    for (const char* c : kComponents) add(std::string(m.name) + "_" + c + "_" + m.unit);
    if (m.rotd50) add(std::string(m.name) + "_rotd50_" + m.unit);
  }
  for (const char* kind : kPsaKinds) {
    for (double t : measures::nga_west2_periods()) add(std::string("psa_") + kind + "_T" + period_name(t) + "S_g");
  }
  for (double f : measures::fas_frequencies()) add("eas_f" + frequency_name(f) + "Hz_g_s");
  return h;
}

std::optional<double> number(std::optional<std::string_view> cell) {
  if (!cell) return std::nullopt;
  return common::to_number(*cell, common::kPrintedNumber);
}

std::string text(std::optional<std::string_view> cell) { return cell ? std::string(*cell) : std::string(); }

// measures.csv: per row name, the cells comp1, comp2, comp3 and rotd50.
std::map<std::string, std::array<std::string, 4>, std::less<>> measure_cells(std::string_view csv) {
  std::map<std::string, std::array<std::string, 4>, std::less<>> cells;
  for_each_row(csv, [&](const CsvRow& row) {
    const std::optional<std::string_view> name = row["measure"];
    if (!name) return;
    cells.emplace(std::string(*name),
                  std::array<std::string, 4>{text(row["comp1"]), text(row["comp2"]), text(row["comp3"]),
                                             text(row["rotd50"])});
  });
  return cells;
}

// spectra.csv at 5 % damping: per period, the cells of kPsaColumns.
std::map<double, std::array<std::string, 5>> psa_cells(std::string_view csv) {
  std::map<double, std::array<std::string, 5>> cells;
  for_each_row(csv, [&](const CsvRow& row) {
    const std::optional<double> t = number(row["period_s"]), h = number(row["damping"]);
    // A period that is no finite number matches none of the flatfile's
    // (and would break the map's ordering).
    if (!t || !h || *h != kDamping || !std::isfinite(*t)) return;
    std::array<std::string, 5> c;
    for (std::size_t k = 0; k < c.size(); ++k) c[k] = text(row[kPsaColumns[k]]);
    cells.emplace(*t, std::move(c));
  });
  return cells;
}

// fas.csv: per frequency, the EAS cell.
std::map<double, std::string> eas_cells(std::string_view csv) {
  std::map<double, std::string> cells;
  for_each_row(csv, [&](const CsvRow& row) {
    const std::optional<double> f = number(row["frequency_hz"]);
    if (f && std::isfinite(*f)) cells.emplace(*f, text(row["eas"]));
  });
  return cells;
}

void add_record_cells(const FlatRecord& r, std::string& line) {
  const std::string* cells[] = {&r.record,        &r.event,          &r.station,        &r.dt_s,
                                &r.npts,          &r.duration_s,     &r.titles[0],      &r.titles[1],
                                &r.titles[2],     &r.measured,       &r.bandpass_hz,    &r.highpass_hz[0],
                                &r.highpass_hz[1], &r.highpass_hz[2], &r.lowpass_hz[0], &r.lowpass_hz[1],
                                &r.lowpass_hz[2], &r.lowest_usable_hz, &r.flags};
  static_assert(std::size(cells) == std::size(kRecordColumns));
  for (std::size_t k = 0; k < std::size(cells); ++k) {
    if (k != 0) line += ',';
    line += csv_cell(*cells[k]);
  }
}

void add_measure_cells(std::string_view measures_csv, std::string& line) {
  const auto cells = measure_cells(measures_csv);
  for (const MeasureRow& m : kMeasureRows) {
    const auto it = cells.find(m.name);
    const std::size_t count = m.rotd50 ? 4 : 3;
    for (std::size_t k = 0; k < count; ++k) line += ',' + (it == cells.end() ? std::string() : csv_cell(it->second[k]));
  }
}

void add_spectral_cells(std::string_view spectra_csv, std::string_view fas_csv, std::string& line) {
  const auto psa = psa_cells(spectra_csv);
  for (std::size_t kind = 0; kind < std::size(kPsaKinds); ++kind) {
    for (double t : measures::nga_west2_periods()) {
      const auto it = psa.find(t);
      line += ',' + (it == psa.end() ? std::string() : csv_cell(it->second[kind]));
    }
  }
  const auto eas = eas_cells(fas_csv);
  for (double f : measures::fas_frequencies()) {
    const auto it = eas.find(f);
    line += ',' + (it == eas.end() ? std::string() : csv_cell(it->second));
  }
}

}  // namespace

const std::string& flatfile_header() {
  static const std::string header = make_header();
  return header;
}

std::size_t flatfile_columns() {
  static const std::size_t count = common::split_at(flatfile_header(), ',').size();
  return count;
}

std::string flatfile_line(const FlatRecord& r, std::string_view measures_csv, std::string_view spectra_csv,
                          std::string_view fas_csv) {
  std::string line;
  add_record_cells(r, line);
  add_measure_cells(measures_csv, line);
  add_spectral_cells(spectra_csv, fas_csv, line);
  return line;
}

std::string csv_cell(std::string_view raw) {
  const std::string text = one_line(raw);
  const bool quote = text.find_first_of(",\"") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string flatfile_record(std::string_view line) {
  if (line.empty() || line.front() != '"') return std::string(line.substr(0, line.find(',')));
  std::string out;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (i + 1 < line.size() && line[i + 1] == '"') {
        out += '"';
        ++i;
        continue;
      }
      break;
    }
    out += line[i];
  }
  return out;
}

std::vector<std::string> flatfile_rows(std::string_view text, const std::string& name) {
  std::vector<std::string> rows;
  bool header = true;
  for (std::string_view line : split_lines(text)) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (header) {
      if (line != flatfile_header()) throw std::runtime_error(name + ": not a flatfile of wavefft-batch (its first line differs)");
      header = false;
      continue;
    }
    rows.emplace_back(line);
  }
  if (header) throw std::runtime_error(name + ": empty file, not a flatfile of wavefft-batch");
  return rows;
}

}  // namespace wavefft::batch
