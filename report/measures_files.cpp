// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/measures_files.h"

#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

#include "common/files.h"
#include "common/numbers.h"
#include "common/text.h"
#include "records/lines.h"
#include "report/motion.h"
#include "report/runfiles.h"

namespace wavefft::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The units of the rows of kMeasureNames.
constexpr std::array<const char*, 7> kMeasureUnits = {"g", "cm/s", "cm", "m/s", "m/s", "s", "s"};

constexpr std::string_view kMeasuresHeader = "measure,unit,comp1,comp2,comp3";
constexpr std::string_view kMeasuresRotdColumn = ",rotd50";
constexpr std::string_view kSpectraHeader = "period_s,damping,comp1,comp2,comp3,rotd50,rotd100";
constexpr std::string_view kFasHeader = "frequency_hz,comp1,comp2,comp3,eas";

// The files hold what std::to_chars writes: plain decimals, no '+', no
// words; a value beyond the double range is no value of the files.
constexpr common::NumberGrammar kFileNumber{};

std::string at(const std::string& name, std::size_t line) { return name + " line " + std::to_string(line) + ": "; }

// A field as a finite number; FileError naming the column when it is not.
double finite_field(std::string_view text, const std::string& name, std::size_t line, std::string_view column) {
  const std::optional<double> v = common::to_number(text, kFileNumber);
  if (!v || !std::isfinite(*v)) {
    throw FileError(at(name, line) + std::string(column) + " is not a number: \"" + std::string(text) + "\"");
  }
  return *v;
}

// A field that may be empty: NaN then.
double field_or_empty(std::string_view text, const std::string& name, std::size_t line, std::string_view column) {
  return text.empty() ? kNaN : finite_field(text, name, line, column);
}

// The header line, checked against `expected`; FileError when it differs.
void expect_header(records::Lines& lines, std::string_view expected, const std::string& name, std::string_view line) {
  if (line != expected) {
    throw FileError(at(name, lines.number()) + "the header is not \"" + std::string(expected) + "\"");
  }
}

// The fields of the next data line, exactly `count` of them; false at the
// end of the file. A blank line is no row of these files.
bool next_row(records::Lines& lines, std::size_t count, const std::string& name, std::vector<std::string_view>& fields) {
  std::string_view line;
  if (!lines.next(line)) return false;
  fields = common::split_at(line, ',');
  if (fields.size() != count) {
    throw FileError(at(name, lines.number()) + "expected " + std::to_string(count) + " comma-separated fields, found " +
                    std::to_string(fields.size()));
  }
  return true;
}

// The index of `word` in kMeasureNames, 7 when it is none of them.
std::size_t measure_index(std::string_view word) {
  for (std::size_t k = 0; k < kMeasureNames.size(); ++k) {
    if (word == kMeasureNames[k]) return k;
  }
  return kMeasureNames.size();
}

// Stores measure k of component c.
void store_measure(measures::Measures& m, std::size_t k, double v) {
  const std::optional<double> duration = std::isnan(v) ? std::nullopt : std::optional<double>(v);
  switch (k) {
    case 0: m.pga = v; break;
    case 1: m.pgv = v; break;
    case 2: m.pgd = v; break;
    case 3: m.arias = v; break;
    case 4: m.cav = v; break;
    case 5: m.d5_75 = duration; break;
    default: m.d5_95 = duration; break;
  }
}

// The header of measures.csv: the number of fields of its rows.
std::size_t measures_columns(records::Lines& lines, const std::string& name) {
  std::string_view header;
  if (!lines.next(header)) throw FileError(name + ": empty file");
  if (header == std::string(kMeasuresHeader) + std::string(kMeasuresRotdColumn)) return 6;
  expect_header(lines, kMeasuresHeader, name, header);
  return 5;
}

// One row of measures.csv into `t`: a measure of kMeasureNames (rows of
// others are passed over), not seen before, with its unit.
void measures_row(const std::vector<std::string_view>& f, std::size_t line, const std::string& name, MeasuresTable& t) {
  const std::size_t k = measure_index(f[0]);
  if (k == kMeasureNames.size()) return;
  if (t.line[k] != 0) {
    throw FileError(at(name, line) + std::string(f[0]) + " a second time (first on line " + std::to_string(t.line[k]) + ")");
  }
  if (f[1] != kMeasureUnits[k]) {
    throw FileError(at(name, line) + "the unit of " + std::string(f[0]) + " is \"" + std::string(f[1]) + "\", not " +
                    kMeasureUnits[k]);
  }
  const bool duration = k >= 5;
  for (std::size_t c = 0; c < 3; ++c) {
    const std::string column = "comp" + std::to_string(c + 1);
    const double v = duration ? field_or_empty(f[2 + c], name, line, column) : finite_field(f[2 + c], name, line, column);
    store_measure(t.comp[c], k, v);
  }
  if (f.size() == 6) field_or_empty(f[5], name, line, "rotd50");
  t.line[k] = line;
}

}  // namespace

MeasuresTable parse_measures_csv(std::string_view bytes, const std::string& name) {
  records::Lines lines(bytes);
  const std::size_t columns = measures_columns(lines, name);
  MeasuresTable t;
  std::vector<std::string_view> f;
  while (next_row(lines, columns, name, f)) measures_row(f, lines.number(), name, t);
  for (std::size_t k = 0; k < kMeasureNames.size(); ++k) {
    if (t.line[k] == 0) throw FileError(name + ": no row " + kMeasureNames[k]);
  }
  return t;
}

std::vector<measures::SpectrumRow> parse_spectra_csv(std::string_view bytes, const std::string& name) {
  const std::span<const double> periods = measures::nga_west2_periods();
  records::Lines lines(bytes);
  std::string_view header;
  if (!lines.next(header)) throw FileError(name + ": empty file");
  expect_header(lines, kSpectraHeader, name, header);
  std::vector<measures::SpectrumRow> rows;
  std::vector<std::string_view> f;
  while (next_row(lines, 7, name, f)) {
    const std::size_t line = lines.number();
    if (rows.size() == periods.size()) {
      throw FileError(at(name, line) + "more rows than the " + std::to_string(periods.size()) +
                      " periods of the default set");
    }
    measures::SpectrumRow r;
    r.period = finite_field(f[0], name, line, "period_s");
    r.damping = finite_field(f[1], name, line, "damping");
    const double expected = periods[rows.size()];
    if (r.period != expected) {
      throw FileError(at(name, line) + "period " + std::string(f[0]) + " s where the default set has " +
                      common::shortest(expected) + " s");
    }
    if (r.damping != kSpectrumDamping) {
      throw FileError(at(name, line) + "damping " + std::string(f[1]) + ", not " + common::shortest(kSpectrumDamping));
    }
    for (std::size_t c = 0; c < 3; ++c) r.psa[c] = finite_field(f[2 + c], name, line, "comp" + std::to_string(c + 1));
    r.rotd50 = finite_field(f[5], name, line, "rotd50");
    r.rotd100 = finite_field(f[6], name, line, "rotd100");
    rows.push_back(r);
  }
  if (rows.size() != periods.size()) {
    throw FileError(name + ": " + std::to_string(rows.size()) + " rows, not one per period of the default set (" +
                    std::to_string(periods.size()) + ")");
  }
  return rows;
}

SmoothedSpectra parse_fas_csv(std::string_view bytes, const std::string& name) {
  const std::span<const double> frequencies = measures::fas_frequencies();
  records::Lines lines(bytes);
  std::string_view header;
  if (!lines.next(header)) throw FileError(name + ": empty file");
  expect_header(lines, kFasHeader, name, header);
  SmoothedSpectra s;
  std::vector<std::string_view> f;
  std::size_t k = 0;
  while (next_row(lines, 5, name, f)) {
    const std::size_t line = lines.number();
    if (k == frequencies.size()) {
      throw FileError(at(name, line) + "more rows than the " + std::to_string(frequencies.size()) +
                      " default frequencies");
    }
    const double fc = finite_field(f[0], name, line, "frequency_hz");
    if (fc != frequencies[k]) {
      throw FileError(at(name, line) + "frequency " + std::string(f[0]) + " Hz where the default set has " +
                      common::shortest(frequencies[k]) + " Hz");
    }
    for (std::size_t c = 0; c < 3; ++c) {
      s.fas[c].push_back(field_or_empty(f[1 + c], name, line, "comp" + std::to_string(c + 1)));
    }
    s.eas.push_back(field_or_empty(f[4], name, line, "eas"));
    ++k;
  }
  if (k != frequencies.size()) {
    throw FileError(name + ": " + std::to_string(k) + " rows, not one per default frequency (" +
                    std::to_string(frequencies.size()) + ")");
  }
  return s;
}

namespace {

// The whole of one of the files; FileError naming it when it cannot be read.
std::string file_bytes(const std::filesystem::path& path) {
  std::string bytes;
  common::FileFault fault;
  if (!common::read_file(path, bytes, fault)) {
    const std::string why = fault.error == EISDIR ? "it is a folder" : fault.reason;
    throw FileError(path.string() + ": cannot read the file: " + why);
  }
  return bytes;
}

}  // namespace

MeasuresFiles read_measures_files(const std::filesystem::path& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) throw FileError(dir.string() + ": no such folder (--measures)");
  MeasuresFiles m;
  m.dir = dir;
  m.measures = parse_measures_csv(file_bytes(dir / kMeasuresFile), m.file(kMeasuresFile));
  m.spectra = parse_spectra_csv(file_bytes(dir / kSpectraFile), m.file(kSpectraFile));
  m.smoothed = parse_fas_csv(file_bytes(dir / kFasFile), m.file(kFasFile));
  return m;
}

}  // namespace wavefft::report
