// The report page: one self-contained HTML document with a summary of the
// run, its warnings and nine inline SVG plots.
#pragma once

#include <string>

#include "report/analysis.h"
#include "report/runfiles.h"

namespace wavefft::report {

/// Width of one plot in the page, pixels.
inline constexpr int kPlotWidth = 420;
inline constexpr int kPlotHeight = 210;

/// Unit of the processed waveform and of the spectrum, in terms of the input
/// record's unit "u" (for example "u·s" for the spectrum of an unprocessed
/// record, "u·s²" after a single integration).
std::string waveform_unit(Operation op);
std::string spectrum_unit(Operation op);

/// The whole page. `generator` names the program in the footer.
std::string render_page(const RunFiles& run, const Analysis& analysis, const std::string& generator);

}  // namespace wavefft::report
