// SPDX-License-Identifier: GPL-3.0-or-later
// Plots as inline SVG: axes with ticks, traces thinned to a few points per
// pixel column (faint ones behind the others, broken ones with gaps), a
// shaded band and marker lines, labelled or not.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wavefft::report {

struct Point {
  double x, y;
};

/// Thins a trace to at most two points per column: the columns split
/// [x_lo, x_hi] into `columns` equal parts, and each column keeps its
/// smallest and largest y (in the order they occur), so every peak stays
/// visible. Points with a non-finite coordinate are dropped. A trace of at
/// most 2 * columns points is returned unchanged (less those points).
std::vector<Point> decimate(const std::vector<Point>& points, double x_lo, double x_hi, std::size_t columns);

/// Tick values for a linear axis: multiples of 1, 2 or 5 times a power of
/// ten, about `target` of them, inside [lo, hi].
std::vector<double> linear_ticks(double lo, double hi, int target);

/// Tick values for a logarithmic axis: powers of ten inside [lo, hi], every
/// n-th decade when there are more than `max_ticks`.
std::vector<double> log_ticks(double lo, double hi, int max_ticks);

/// Short label of a tick value ("0", "0.5", "20", "1e-05").
std::string tick_label(double v);

struct Trace {
  Trace() = default;
  Trace(std::vector<Point> points_, std::string colour_, std::string label_ = {}, bool dashed_ = false)
      : points(std::move(points_)), colour(std::move(colour_)), label(std::move(label_)), dashed(dashed_) {}
  std::vector<Point> points;
  std::string colour;
  std::string label;    // shown in the legend at the top right; none when empty
  bool dashed = false;  // drawn with dashes (a derived curve beside measured ones)
  bool faint = false;   // class "trace faint": drawn pale by the page, as a background; thinned to columns of 2 pixels
  /// A point with a non-finite y breaks the line there (the trace is one
  /// <path> of several pieces; a piece of one point is a dot) instead of
  /// being passed over.
  bool gaps = false;
};

/// A labelled vertical line: the onset on a time axis, a corner on a
/// frequency axis.
struct Mark {
  double x = 0.0;
  std::string label;    // written beside the line ("onset", "high-pass 0.1 Hz")
  std::string tooltip;  // shown over the line
};

struct Plot {
  std::string id;           // id attribute of the <svg>
  std::string title;        // shown above the plot
  std::string x_label, y_label;
  bool log_x = false, log_y = false;
  int width = 420, height = 210;
  /// Shaded x range (pass band) and its tooltip.
  std::optional<std::pair<double, double>> band;
  std::string band_label;
  /// Dashed vertical line and its tooltip.
  std::optional<double> marker;
  std::string marker_label;
  /// Labelled vertical lines, dashed like the marker, over the traces.
  std::vector<Mark> marks;
  /// Fixed x range, instead of the data's range rounded out to whole
  /// decades on a logarithmic axis (points outside it are clipped).
  std::optional<std::pair<double, double>> x_range;
  /// Decades shown below the largest value on a logarithmic y axis; smaller
  /// values are drawn on the lower edge.
  double log_y_decades = 7.0;
};

/// Renders one plot as a complete <svg> element. Traces are thinned to at
/// most two points per pixel column of the plotting area (faint ones per
/// two pixel columns; each piece of a trace with gaps on its own), and drawn in their order, the first at the
/// back. The labels of the traces that have one are written right-aligned
/// on the title line, each in its trace's colour. The marks that fall
/// inside the x range come after the traces, each label near the top of
/// the plotting area: right of its line when it fits there, else left of
/// it, every further mark's label a text line lower. The
/// data-points attribute of the <svg> counts the points written.
std::string render_plot(const Plot& plot, const std::vector<Trace>& traces);

}  // namespace wavefft::report
