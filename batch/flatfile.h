// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's flatfile (OUTDIR/flatfile.csv): one row per measured
// record with every measure wavefft-measures wrote for it and the
// processing that produced it, the columns named with their units, for
// whoever loads the catalogue into a table. The numbers are the cells of
// the record's measures.csv, spectra.csv and fas.csv copied as they stand
// (shortest decimals that read back to the same doubles).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace wavefft::batch {

/// What the flatfile says of a record besides its measures. Every field is
/// a cell's text; an empty one stays empty.
struct FlatRecord {
  std::string record, event, station;
  std::string dt_s, npts, duration_s;      // of the record measured
  std::array<std::string, 3> titles;       // components 1, 2, 3 (h1, h2, v)
  std::string measured;                    // "input", "processed" or "corrected"
  std::string bandpass_hz;                 // the four corners, blank-separated, or ""
  std::array<std::string, 3> highpass_hz;  // wavefft-correct's corners, or ""
  std::array<std::string, 3> lowpass_hz;
  std::string lowest_usable_hz;            // the larger of the two horizontals', or ""
  std::string flags;                       // "comp1:drift comp3:low-snr", or ""
};

/// The flatfile's first line (no line end): record .. flags, the peaks and
/// their RotD50, Arias, CAV and durations, the 5 %-damped PSA of RotD50,
/// RotD100 and each component at the 111 periods (psa_rotd50_T0.010S_g:
/// the period with three decimals), then the EAS at the 401 frequencies of
/// wavefft-measures (eas_f0.0100Hz_g_s: four decimals).
const std::string& flatfile_header();

/// The number of columns of flatfile_header().
std::size_t flatfile_columns();

/// One line of the flatfile (no line end): `r`, then the measures copied
/// from the texts of measures.csv, spectra.csv (the rows at damping 0.05)
/// and fas.csv. A cell the files do not give is empty.
std::string flatfile_line(const FlatRecord& r, std::string_view measures_csv, std::string_view spectra_csv,
                          std::string_view fas_csv);

/// `text` as a CSV cell: tabs and line ends made blanks (as in
/// summary.tsv), then as it stands, or between double quotes (each one
/// inside doubled) when it holds a comma or a quote, or starts or ends
/// with a blank.
std::string csv_cell(std::string_view text);

/// The first cell of a flatfile line, unquoted: the record.
std::string flatfile_record(std::string_view line);

/// The lines of a flatfile's text after its header, each without its line
/// end (no cell holds one). Throws std::runtime_error naming `name` when the header is not
/// flatfile_header().
std::vector<std::string> flatfile_rows(std::string_view text, const std::string& name);

}  // namespace wavefft::batch
