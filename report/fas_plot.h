// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of one record's Fourier amplitude spectra: the smoothed FAS of
// the three components and the EAS of the two horizontals on log-log axes,
// with the unsmoothed lines of each component faint behind them.
#pragma once

#include <array>
#include <string>

#include "report/motion.h"

namespace wavefft::report {

/// Decades shown below the largest amplitude of a FAS plot; smaller values
/// are drawn on the lower edge.
inline constexpr double kFasDecades = 5.0;

/// The FAS plot of `r` as an <svg> with the id "fas-" + r.label, or ""
/// when r has no Fourier spectra. Frequency (Hz) on x, from the first to
/// the last output frequency; amplitude (g·s) on y. Traces, from the back:
/// the unsmoothed lines of comp1 to comp3, faint, without line 0 (0 Hz),
/// zero amplitudes and the lines outside the x range; then the smoothed
/// comp1 to comp3 and the dashed EAS, each broken where its value is empty
/// (NaN) or not positive. The legend names the components by `names`
/// (the channels, or "comp1" ...) and the EAS "EAS".
std::string fas_plot(const RecordMotion& r, const std::array<std::string, 3>& names);

/// The sentence under the FAS plots that says what they show; `names` as
/// for fas_plot.
std::string fas_caption(const std::array<std::string, 3>& names);

}  // namespace wavefft::report
