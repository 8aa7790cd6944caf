// SPDX-License-Identifier: GPL-3.0-or-later
// The correction on the page: the onset marked on the input plots, and the
// section "Signal and noise": per component the smoothed spectra of the raw
// record's signal and pre-event noise with the corners of the band-pass,
// and a table of the corners and flags.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "correct/summary.h"
#include "report/correction.h"
#include "report/svg.h"

namespace wavefft::report {

/// Decades shown below the largest amplitude of a signal and noise plot;
/// smaller values are drawn on the lower edge.
inline constexpr double kSnrDecades = 6.0;

/// Style of the section, added to the page's only when it has one.
inline constexpr const char* kCorrectionStyle =
    "p.snr-note,p.snr-none{color:#555;font-size:12px;max-width:860px}"
    "p.snr-flags{color:#555;font-size:12px;margin:0 0 6px 62px}table.measures th.name{text-align:left}";

/// The onset of `view`'s summary as a mark on a time axis that starts at
/// `first_time` (the first time of fort.99): at first_time + onset_s,
/// labelled "onset". None without a summary or an onset.
std::vector<Mark> onset_marks(const CorrectionView& view, double first_time);

/// The words of a summary's corners: "snr" -> "from the signal-to-noise
/// ratio", "fallback" -> "fallback (no usable noise, or a low ratio at
/// 1 Hz)", "given" -> "given"; any other word as it is.
std::string corners_text(const std::string& corners);

/// The plot of component c (0 to 2) with the id "snr-comp<c+1>", titled
/// `name` + " signal and noise": `signal` and `noise` at
/// correct::snr_frequencies() on log-log axes over 0.01 to 100 Hz,
/// amplitude in `y_label`; the signal in the component's colour (legend
/// "signal"), the noise dashed (legend "noise"), each broken where it has
/// no value (NaN) or one that is not positive; the high-pass corner of
/// `comp` and its low-pass corner, when it has one, as marks
/// "high-pass 0.1 Hz", "low-pass 25 Hz".
std::string snr_plot(std::span<const double> signal, std::span<const double> noise,
                     const correct::SummaryComponent& comp, std::size_t c, const std::string& name,
                     const std::string& y_label);

/// The section "Signal and noise" of `view`; "" without a summary. The
/// onset and the noise before it, the table of corners and flags (a row
/// per component, data-comp 1 to 3), then the three plots, each with its
/// corners and flags under it, or the sentence that says why there are
/// none. Components are named by their titles in the summary ("comp1" ...
/// for an empty one); the amplitudes are in the summary's unit times
/// seconds.
std::string signal_noise_section(const CorrectionView& view);

}  // namespace wavefft::report
