// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/handed_motion.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "common/numbers.h"
#include "common/units.h"

namespace wavefft::report {
namespace {

// Every this many rows of fas.csv, the smoothing is recomputed to compare.
constexpr std::size_t kFasCheckEvery = 40;
// The period whose response the files are checked at: long enough for the
// oscillator to need no sub-steps at the usual sample intervals.
constexpr double kCheckPeriod = 1.0;

std::string num(double v) { return common::shortest(v); }

// A value of the files or of the record in a message; "empty" for none (NaN).
std::string value_text(double v) { return std::isnan(v) ? "empty" : num(v); }

// "the input (rec.txt)", "the processed record (wave.csv)".
std::string describe(const MeasuredRecord& r) {
  return (r.label == "input" ? "the input (" : "the " + r.label + " record (") + r.source + ")";
}

// A measure of one component, kMeasureNames order; NaN for a duration the
// record does not have.
double measure_value(const measures::Measures& m, std::size_t k) {
  switch (k) {
    case 0: return m.pga;
    case 1: return m.pgv;
    case 2: return m.pgd;
    case 3: return m.arias;
    case 4: return m.cav;
    case 5: return m.d5_75.value_or(std::nan(""));
    default: return m.d5_95.value_or(std::nan(""));
  }
}

std::array<measures::Measures, 3> ground_motion_of(const MeasuredRecord& r) {
  std::array<measures::Measures, 3> m;
  for (std::size_t c = 0; c < 3; ++c) m[c] = measures::ground_motion(r.si[c], r.dt);
  return m;
}

// Where the measures of the table first disagree with `computed`: "line 2:
// pga comp1 is 0.1 but 0.2 for the input (rec.txt)"; "" when they agree.
std::string first_difference(const MeasuresTable& t, const std::array<measures::Measures, 3>& computed,
                             const MeasuredRecord& r) {
  for (std::size_t k = 0; k < kMeasureNames.size(); ++k) {
    for (std::size_t c = 0; c < 3; ++c) {
      const double a = measure_value(t.comp[c], k), b = measure_value(computed[c], k);
      if (agrees(a, b)) continue;
      return "line " + std::to_string(t.line[k]) + ": " + kMeasureNames[k] + " comp" + std::to_string(c + 1) + " is " +
             value_text(a) + " but " + value_text(b) + " for " + describe(r);
    }
  }
  return "";
}

// The unsmoothed lines in g s of the three components and of the EAS, as
// measures::fourier_spectra makes them.
measures::FourierSpectra fourier_lines(const MeasuredRecord& r, const MeasuresFiles& f) {
  measures::FourierSpectra s;
  s.grid = measures::LineGrid{r.si[0].size(), r.dt};
  for (std::size_t c = 0; c < 3; ++c) {
    s.lines[c] = measures::fourier_amplitudes(r.si[c], r.dt);
    for (double& v : s.lines[c]) {
      v /= common::kStandardGravity;
      if (!std::isfinite(v)) {
        throw FileError(f.file(kFasFile) + ": " + describe(r) + " is too large for a Fourier spectrum: not its file");
      }
    }
  }
  s.eas_lines = measures::effective_amplitudes(s.lines[0], s.lines[1]);
  return s;
}

// The four smoothed spectra of fas.csv (comp1 to comp3, EAS).
std::array<const std::vector<double>*, 4> smoothed_columns(const SmoothedSpectra& s) {
  return {&s.fas[0], &s.fas[1], &s.fas[2], &s.eas};
}

std::string column_name(std::size_t s) { return s < 3 ? "comp" + std::to_string(s + 1) : "eas"; }

// No value above the record's Nyquist frequency: the files are of a record
// with another sample interval.
void check_nyquist(const measures::FourierSpectra& lines, const SmoothedSpectra& sm, const MeasuredRecord& r,
                   const MeasuresFiles& f) {
  const std::span<const double> fc = measures::fas_frequencies();
  const double nyquist = lines.grid.nyquist();
  const auto columns = smoothed_columns(sm);
  for (std::size_t k = 0; k < fc.size(); ++k) {
    if (!(fc[k] > nyquist)) continue;
    for (std::size_t s = 0; s < columns.size(); ++s) {
      if (std::isnan((*columns[s])[k])) continue;
      throw FileError(f.file(kFasFile) + " line " + std::to_string(k + 2) + ": " + column_name(s) + " has a value at " +
                      num(fc[k]) + " Hz, above the Nyquist frequency " + num(nyquist) + " Hz of " + describe(r));
    }
  }
}

// The smoothed spectra of the record at every kFasCheckEvery-th frequency
// against those of fas.csv.
void check_smoothed(const measures::FourierSpectra& lines, const SmoothedSpectra& sm, const MeasuredRecord& r,
                    const MeasuresFiles& f) {
  const std::span<const double> all = measures::fas_frequencies();
  std::vector<double> fc;
  std::vector<std::size_t> rows;
  for (std::size_t k = 0; k < all.size(); k += kFasCheckEvery) {
    fc.push_back(all[k]);
    rows.push_back(k);
  }
  const std::array<std::span<const double>, 4> spectra{lines.lines[0], lines.lines[1], lines.lines[2], lines.eas_lines};
  const std::vector<std::vector<double>> computed = measures::ko_smooth(lines.grid, spectra, fc, measures::Smoothing{}, 1);
  const auto columns = smoothed_columns(sm);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t s = 0; s < columns.size(); ++s) {
      const double a = (*columns[s])[rows[i]], b = computed[s][i];
      if (agrees(a, b)) continue;
      throw FileError(f.file(kFasFile) + " line " + std::to_string(rows[i] + 2) + ": " + column_name(s) + " at " +
                      num(fc[i]) + " Hz is " + value_text(a) + " but " + value_text(b) + " for " + describe(r));
    }
  }
}

// The response at kCheckPeriod against the row of spectra.csv.
void check_response(const MeasuredRecord& r, const MeasuresFiles& f) {
  const std::span<const double> periods = measures::nga_west2_periods();
  const auto it = std::find(periods.begin(), periods.end(), kCheckPeriod);
  if (it == periods.end()) return;
  const auto k = static_cast<std::size_t>(it - periods.begin());
  const double period[] = {kCheckPeriod};
  const double damping[] = {kSpectrumDamping};
  const std::vector<measures::SpectrumRow> computed =
      measures::response_spectra({r.si[0], r.si[1], r.si[2]}, r.dt, period, damping, 1);
  const measures::SpectrumRow& a = f.spectra[k];
  const measures::SpectrumRow& b = computed.front();
  const std::array<std::pair<const char*, std::pair<double, double>>, 5> values{{{"comp1", {a.psa[0], b.psa[0]}},
                                                                                 {"comp2", {a.psa[1], b.psa[1]}},
                                                                                 {"comp3", {a.psa[2], b.psa[2]}},
                                                                                 {"rotd50", {a.rotd50, b.rotd50}},
                                                                                 {"rotd100", {a.rotd100, b.rotd100}}}};
  for (const auto& [column, v] : values) {
    if (agrees(v.first, v.second)) continue;
    throw FileError(f.file(kSpectraFile) + " line " + std::to_string(k + 2) + ": " + column + " at " +
                    num(kCheckPeriod) + " s is " + num(v.first) + " but " + num(v.second) + " for " + describe(r));
  }
}

}  // namespace

bool agrees(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::fabs(a - b) <= kHandedTolerance * std::max(std::fabs(a), std::fabs(b));
}

std::vector<std::size_t> match_records(std::span<const MeasuredRecord> records, std::span<const MeasuresFiles> files) {
  std::vector<std::optional<std::array<measures::Measures, 3>>> computed(records.size());
  std::vector<bool> taken(records.size(), false);
  std::vector<std::size_t> match;
  for (const MeasuresFiles& f : files) {
    std::string why;
    std::size_t found = records.size();
    for (std::size_t i = 0; i < records.size() && found == records.size(); ++i) {
      if (taken[i]) continue;
      if (!computed[i]) computed[i] = ground_motion_of(records[i]);
      const std::string difference = first_difference(f.measures, *computed[i], records[i]);
      if (difference.empty()) {
        found = i;
      } else {
        why += "; " + difference;
      }
    }
    if (found == records.size()) {
      throw FileError(f.file(kMeasuresFile) + ": the measures of no record on the page" +
                      (why.empty() ? std::string(" (it has no other record with measures)") : why));
    }
    taken[found] = true;
    match.push_back(found);
  }
  return match;
}

RecordMotion handed_motion(const MeasuredRecord& r, const MeasuresFiles& f) {
  RecordMotion m;
  m.label = r.label;
  m.source = r.source;
  m.dt = r.dt;
  m.measures = f.measures.comp;
  check_response(r, f);
  m.spectra = f.spectra;
  measures::FourierSpectra s = fourier_lines(r, f);
  check_nyquist(s, f.smoothed, r, f);
  check_smoothed(s, f.smoothed, r, f);
  const std::span<const double> fc = measures::fas_frequencies();
  s.frequencies.assign(fc.begin(), fc.end());
  s.fas = f.smoothed.fas;
  s.eas = f.smoothed.eas;
  m.fas = std::move(s);
  return m;
}

}  // namespace wavefft::report
