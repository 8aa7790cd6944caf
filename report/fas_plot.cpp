// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/fas_plot.h"

#include <cmath>
#include <utility>
#include <vector>

#include "report/analysis.h"
#include "report/log_plot.h"
#include "report/page.h"
#include "report/svg.h"

namespace wavefft::report {
namespace {

// The unsmoothed lines of one spectrum that the plot shows: above 0 Hz,
// inside [lo, hi] Hz, positive and finite. A record of 6000 samples at
// 0.01 s has lines every 1/60 Hz up to 50 Hz: lines 1 to 3000.
std::vector<Point> line_points(const measures::LineGrid& grid, const std::vector<double>& amplitude, double lo,
                               double hi) {
  std::vector<Point> p;
  for (std::size_t j = 1; j < amplitude.size(); ++j) {
    const double f = grid.frequency(j);
    if (f > hi) break;
    if (f < lo || !(amplitude[j] > 0.0) || !std::isfinite(amplitude[j])) continue;
    p.push_back({f, amplitude[j]});
  }
  return p;
}

}  // namespace

std::string fas_plot(const RecordMotion& r, const std::array<std::string, 3>& names) {
  if (!r.fas || r.fas->frequencies.empty()) return "";
  const measures::FourierSpectra& s = *r.fas;
  const double lo = s.frequencies.front(), hi = s.frequencies.back();
  const Plot p = spectrum_frame("fas-" + r.label, r.label + " FAS", "g\u00b7s", lo, hi, kFasDecades);

  std::vector<Trace> traces;
  for (std::size_t c = 0; c < 3; ++c) {
    Trace t{line_points(s.grid, s.lines[c], lo, hi), kComponentColours[c]};
    t.faint = true;
    traces.push_back(std::move(t));
  }
  for (std::size_t c = 0; c < 4; ++c) {
    const bool eas = c == 3;
    traces.push_back(smoothed_trace(s.frequencies, eas ? s.eas : s.fas[c], eas ? kDerivedColour : kComponentColours[c],
                                    eas ? "EAS" : names[c], eas));
  }
  return render_plot(p, traces);
}

std::string fas_caption(const std::array<std::string, 3>& names) {
  return "FAS: the Fourier amplitude spectrum of each component, dt\u00b7|DFT| of the whole record (no padding, "
         "taper or mean removal), smoothed with the Konno-Ohmachi window of bandwidth b = " +
         num(measures::Smoothing{}.bandwidth) +
         "; the faint lines behind are the spectrum before smoothing. EAS: the effective amplitude spectrum of " +
         names[0] + " and " + names[1] +
         ", \u221a((F\u2081\u00b2 + F\u2082\u00b2)/2), smoothed the same way. The smoothed curves break where no "
         "line falls within the window (low frequencies of a short record) and end at the Nyquist frequency.";
}

}  // namespace wavefft::report
