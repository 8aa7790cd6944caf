// SPDX-License-Identifier: GPL-3.0-or-later
// The correction behind a run of corrected input (wavefft-batch --correct):
// the summary "correct.json" that the correction left in the run folder,
// and the smoothed spectra of signal and pre-event noise of the raw record
// "record.txt", from whose ratio the corners were chosen. The page marks
// the onset on the input plots and draws the spectra
// (report/correction_page.h).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "correct/correct.h"
#include "correct/summary.h"
#include "report/analysis.h"

namespace wavefft::report {

/// The files of a correction in a run folder.
inline constexpr const char* kSummaryFile = "correct.json";
inline constexpr const char* kRawRecordFile = "record.txt";

/// What the page shows about a correction. An empty view (no summary, no
/// warnings) leaves the page as it is without one.
struct CorrectionView {
  /// The summary; empty when the folder holds none or it cannot be read.
  std::optional<correct::Summary> summary;
  /// The smoothed spectra of the raw record at correct::snr_frequencies();
  /// empty when there are none, and then `no_spectra` says why in a
  /// sentence.
  std::optional<correct::NoiseSpectra> spectra;
  std::string no_spectra;
  std::vector<Warning> warnings;  // kind "correction"
};

/// The correction in `dir`. Without correct.json, an empty view. A
/// correct.json that cannot be read or is not a summary is a warning (and
/// no summary). When the summary has an onset with at least
/// correct::kUsableNoiseSeconds of noise before it, the spectra come from
/// correct::noise_spectra on record.txt with the onset at sample
/// round(onset_s / dt); a record.txt that cannot be read, is not in the
/// input layout, holds another number of samples than the `records` of
/// fort.99 or another dt than its `dt` (the corrected record keeps both),
/// or ends before the onset is a warning, and no spectra.
CorrectionView read_correction(const std::filesystem::path& dir, std::size_t records, double dt);

}  // namespace wavefft::report
