// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/log_plot.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "report/page.h"

namespace wavefft::report {

Plot spectrum_frame(std::string id, std::string title, std::string y_label, double lo, double hi, double decades) {
  Plot p;
  p.id = std::move(id);
  p.title = std::move(title);
  p.x_label = "frequency (Hz)";
  p.y_label = std::move(y_label);
  p.log_x = p.log_y = true;
  p.log_y_decades = decades;
  p.x_range = std::make_pair(lo, hi);
  p.width = kSpectrumPlotWidth;
  p.height = kSpectrumPlotHeight;
  return p;
}

Trace smoothed_trace(std::span<const double> frequencies, std::span<const double> values, std::string colour,
                     std::string label, bool dashed) {
  std::vector<Point> p(std::min(frequencies.size(), values.size()));
  for (std::size_t k = 0; k < p.size(); ++k) {
    const double v = values[k];
    p[k] = {frequencies[k], v > 0.0 && std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN()};
  }
  Trace t{std::move(p), std::move(colour), std::move(label), dashed};
  t.gaps = true;
  return t;
}

}  // namespace wavefft::report
