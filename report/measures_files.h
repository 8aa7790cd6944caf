// SPDX-License-Identifier: GPL-3.0-or-later
// The files wavefft-measures writes for one record, read back for the
// page (--measures DIR): measures.csv, spectra.csv and fas.csv with the
// defaults the page shows, the 111 periods of the default set at 5%
// damping and the smoothed spectra at the 401 default frequencies. Values
// are read as the exact doubles the files' shortest decimals stand for.
// Whether the files belong to a record of the run is decided elsewhere
// (report/handed_motion.h); here only their layout is checked.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "measures/fas.h"
#include "measures/measures.h"

namespace wavefft::report {

inline constexpr const char* kMeasuresFile = "measures.csv";
inline constexpr const char* kSpectraFile = "spectra.csv";
inline constexpr const char* kFasFile = "fas.csv";

/// The seven measures of measures.csv, in the order of its rows and of
/// measures::Measures.
inline constexpr std::array<const char*, 7> kMeasureNames = {"pga", "pgv", "pgd", "arias", "cav", "d5_75", "d5_95"};

/// measures.csv: the measures of the three components and the line each
/// measure was read from (in the order of kMeasureNames).
struct MeasuresTable {
  std::array<measures::Measures, 3> comp;
  std::array<std::size_t, 7> line{};
};

/// Reads measures.csv: the header "measure,unit,comp1,comp2,comp3", with or
/// without a sixth column ",rotd50" (a number or empty, not used here),
/// then a row per measure, each with the header's number of fields:
/// pga g, pgv cm/s, pgd cm, arias m/s, cav m/s, d5_75 s, d5_95 s, each
/// exactly once, in any order; rows of other measures are passed over. The
/// durations may be empty (a record of zeros has none); every other field
/// is a finite number. Throws FileError "NAME line N: ..." otherwise.
MeasuresTable parse_measures_csv(std::string_view bytes, const std::string& name);

/// Reads spectra.csv: the header "period_s,damping,comp1,comp2,comp3,
/// rotd50,rotd100", then exactly one row per period of
/// measures::nga_west2_periods(), in that order, each at damping
/// kSpectrumDamping, seven finite numbers (row k on line k + 2). Throws
/// FileError otherwise: another period set or damping, a missing or extra
/// row, a malformed number.
std::vector<measures::SpectrumRow> parse_spectra_csv(std::string_view bytes, const std::string& name);

/// The smoothed spectra of fas.csv at measures::fas_frequencies() (row k on
/// line k + 2); NaN where a field is empty.
struct SmoothedSpectra {
  std::array<std::vector<double>, 3> fas;
  std::vector<double> eas;
};

/// Reads fas.csv: the header "frequency_hz,comp1,comp2,comp3,eas", then
/// exactly one row per frequency of measures::fas_frequencies(), in that
/// order, each field a finite number or empty. Throws FileError otherwise.
SmoothedSpectra parse_fas_csv(std::string_view bytes, const std::string& name);

/// The three files of one folder.
struct MeasuresFiles {
  std::filesystem::path dir;
  MeasuresTable measures;
  std::vector<measures::SpectrumRow> spectra;
  SmoothedSpectra smoothed;
  /// "DIR/measures.csv" and so on, as the messages name them.
  std::string file(const char* base) const { return (dir / base).string(); }
};

/// Reads DIR/measures.csv, DIR/spectra.csv and DIR/fas.csv. Throws
/// FileError when DIR is no folder, a file is missing or unreadable, or a
/// file is malformed.
MeasuresFiles read_measures_files(const std::filesystem::path& dir);

}  // namespace wavefft::report
