// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue's two EAS columns: the smoothed effective amplitude
// spectrum of a record's two horizontals (measures/fas.h, default
// smoothing) at 1 Hz and at 5 Hz, in g s. They are computed here, in the
// batch's own process, from the same record file that wavefft-measures is
// given, read the way it reads it, in the same unit and at the same step,
// so that the 1 Hz cell is, text for text, that row of its fas.csv.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace wavefft::batch {

/// The output frequencies of the two columns, Hz.
inline constexpr std::array<double, 2> kEasFrequencies = {1.0, 5.0};

/// The two cells as summary.tsv holds them: the shortest decimal that reads
/// back to the same double (common::shortest), empty where the smoothed
/// spectrum is (no line in the window, or above the Nyquist frequency).
struct EasCells {
  std::string eas_1hz;
  std::string eas_5hz;
};

/// The cells of the three components `a` (m/s^2, the same length n >= 1)
/// sampled every `dt` (> 0) seconds. Throws std::invalid_argument as
/// measures::fourier_spectra does for arguments outside these rules.
EasCells eas_cells(const std::array<std::span<const double>, 3>& a, double dt);

/// The cells of the record file `record` as wavefft-measures reads it with
/// --unit `unit` ("g", "gal", "m_s2" or "mm_s2") and, when given, --dt `dt`
/// (which then replaces the step of the file's time column). Throws
/// std::runtime_error with the reason when the file does not read, the
/// unit is none of those or the values give no spectrum.
EasCells record_eas_cells(const std::filesystem::path& record, std::string_view unit, std::optional<double> dt);

/// What the batch reads of the record it measured: the EAS cells as
/// record_eas_cells gives them, the sampling interval (`dt` when given,
/// else the record's) and the number of samples.
struct MeasuredRecord {
  EasCells eas;
  double dt = 0.0;
  std::size_t npts = 0;
};
MeasuredRecord read_measured_record(const std::filesystem::path& record, std::string_view unit,
                                    std::optional<double> dt);

}  // namespace wavefft::batch
