// SPDX-License-Identifier: GPL-3.0-or-later
// What the log-log spectrum plots of the page share: the frame of a plot
// of amplitudes against frequency, and a smoothed spectrum as a trace that
// breaks where it has no value. The FAS plots (report/fas_plot.h) and the
// signal and noise plots (report/correction_page.h) are made of them.
#pragma once

#include <span>
#include <string>

#include "report/svg.h"

namespace wavefft::report {

/// A log-log plot of spectra, kSpectrumPlotWidth by kSpectrumPlotHeight
/// pixels: "frequency (Hz)" on x from `lo` to `hi`, amplitudes in
/// `y_label` on y, `decades` decades below the largest one (smaller values
/// on the lower edge).
Plot spectrum_frame(std::string id, std::string title, std::string y_label, double lo, double hi, double decades);

/// A smoothed spectrum (`values` at `frequencies`) as a trace with gaps: an
/// empty (NaN) or non-positive value, which a logarithmic axis could not
/// show, breaks it there.
Trace smoothed_trace(std::span<const double> frequencies, std::span<const double> values, std::string colour,
                     std::string label, bool dashed = false);

}  // namespace wavefft::report
