// SPDX-License-Identifier: GPL-3.0-or-later
// The ground motion of a record taken from the files wavefft-measures left
// for it (--measures DIR) instead of computed: which record of the run the
// files belong to, told by their measures, and checks that they are that
// record's: the measures of every component, the Nyquist frequency and a
// sample of the smoothed spectra and of the response spectra, recomputed.
// What the files lack, the unsmoothed Fourier lines of the FAS plot, is
// computed.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "report/measures_files.h"
#include "report/motion.h"

namespace wavefft::report {

/// Relative difference within which a value of the files agrees with the
/// same value computed from the record: room for a sample interval that
/// differs in its last bit, far below what tells two records apart.
inline constexpr double kHandedTolerance = 1e-9;

/// A record whose measures the page shows.
struct MeasuredRecord {
  std::string label;   // "input" or "processed"
  std::string source;  // its file
  std::array<std::vector<double>, 3> si;  // m/s^2
  double dt = 0.0;
};

/// Whether `a` (from a file) agrees with `b` (computed): both NaN, or within
/// kHandedTolerance of the larger magnitude.
bool agrees(double a, double b);

/// For each of `files`, in order, the first of `records` not yet taken whose
/// measures (measures::ground_motion of each component) agree with its
/// measures.csv everywhere: result[i] is the index of the record of
/// files[i]. Throws FileError naming measures.csv, the line and the values
/// when a folder's files are of none of the records.
std::vector<std::size_t> match_records(std::span<const MeasuredRecord> records, std::span<const MeasuresFiles> files);

/// The motion of `r` from its files `f`: the measures, response spectra
/// and smoothed spectra of the files, the unsmoothed lines computed.
/// Throws FileError naming the file and line when fas.csv has a value above
/// the record's Nyquist frequency, or the smoothed spectra at every 40th
/// frequency or the response spectra at 1 s differ from the record's.
RecordMotion handed_motion(const MeasuredRecord& r, const MeasuresFiles& f);

}  // namespace wavefft::report
