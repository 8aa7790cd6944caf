// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/svg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/html.h"
#include "common/numbers.h"

namespace wavefft::report {
namespace {

// Margins of the plotting area inside the SVG, in pixels.
constexpr double kLeft = 62.0, kRight = 12.0, kTop = 22.0, kBottom = 34.0;

// A pixel coordinate, to a tenth of a pixel: 61.98 -> "62.0".
std::string pixels(double a) { return common::fixed(a, 1); }

using common::escape_html;

// One axis: data range and the pixel range it maps to.
struct Axis {
  double lo = 0.0, hi = 1.0;  // data range
  bool log = false;
  double p0 = 0.0, p1 = 1.0;  // pixels of lo and hi
  double t_lo = 0.0, t_hi = 1.0;  // t(lo) and t(hi), kept: map() runs for every point of a trace
  double t(double v) const { return log ? std::log10(v) : v; }
  void set_range(double l, double h) {
    lo = l;
    hi = h;
    t_lo = t(lo);
    t_hi = t(hi);
  }
  double map(double v) const { return p0 + (t(v) - t_lo) / (t_hi - t_lo) * (p1 - p0); }
};

// Widens a degenerate range so that the mapping is defined.
void widen(double& lo, double& hi, bool log) {
  if (hi > lo) return;
  if (log) {
    lo /= 10.0;
    hi *= 10.0;
  } else {
    const double d = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= d;
    hi += d;
  }
}

// The pieces of a trace in pixels, each thinned to `columns` (a faint one
// to half as many): one piece holding every drawable point, or with
// tr.gaps one per run of points between non-finite y values. Points that
// cannot be drawn (a non-finite coordinate, x <= 0 on a logarithmic axis)
// are passed over; on a logarithmic y axis values are kept inside the
// range (zero on the lower edge).
std::vector<std::vector<Point>> pixel_pieces(const Trace& tr, const Axis& ax, const Axis& ay, std::size_t columns) {
  std::vector<std::vector<Point>> pieces(1);
  for (const Point& p : tr.points) {
    if (tr.gaps && !std::isfinite(p.y)) {
      if (!pieces.back().empty()) pieces.emplace_back();
      continue;
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || (ax.log && p.x <= 0.0)) continue;
    const double y = ay.log ? std::clamp(p.y, ay.lo, ay.hi) : p.y;
    pieces.back().push_back({ax.map(p.x), ay.map(y)});
  }
  // A faint trace is background texture: columns of two pixels are enough,
  // and halve what it adds to the page.
  const std::size_t budget = tr.faint ? std::max<std::size_t>(columns / 2, 1) : columns;
  std::vector<std::vector<Point>> thin;
  for (const auto& piece : pieces) {
    if (!piece.empty()) thin.push_back(decimate(piece, ax.p0, ax.p1, budget));
  }
  return thin;
}

// "x,y x,y ...": the points of one piece.
std::string coordinates(const std::vector<Point>& piece) {
  std::string s;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    if (i) s += ' ';
    s += pixels(piece[i].x) + "," + pixels(piece[i].y);
  }
  return s;
}

// One trace as a <polyline> (or with gaps a <path>, "M" starting each piece
// and "h0" making a piece of one point a dot), clipped to the plotting area
// of the plot with id `id`; "" when nothing of it can be drawn. Adds the
// points written to `total_points`.
std::string trace_element(const Trace& tr, const Axis& ax, const Axis& ay, std::size_t columns, const std::string& id,
                          std::size_t& total_points) {
  const std::vector<std::vector<Point>> pieces = pixel_pieces(tr, ax, ay, columns);
  if (pieces.empty()) return "";
  std::string e = std::string(tr.gaps ? "<path" : "<polyline") + " class=\"trace" + (tr.faint ? " faint" : "") +
                  "\" clip-path=\"url(#" + id + "-clip)\" stroke=\"" + escape_html(tr.colour) + "\"";
  if (tr.dashed) e += " stroke-dasharray=\"5 3\"";
  if (!tr.gaps) {
    total_points += pieces.front().size();
    return e + " points=\"" + coordinates(pieces.front()) + "\"/>";
  }
  e += " stroke-linecap=\"round\" d=\"";
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    total_points += pieces[k].size();
    e += "M" + coordinates(pieces[k]) + (pieces[k].size() == 1 ? "h0" : "");
  }
  return e + "\"/>";
}

// Data ranges of the two axes; lo > hi on an axis without data.
struct Extent {
  static constexpr double inf = std::numeric_limits<double>::infinity();
  double x_lo = inf, x_hi = -inf, y_lo = inf, y_hi = -inf;
};

// The data ranges of the drawable points of all traces. On a logarithmic
// x axis points at or below zero are left out; on a logarithmic y axis
// they count for x only (they are drawn on the lower edge).
Extent data_extent(const std::vector<Trace>& traces, bool log_x, bool log_y) {
  Extent e;
  for (const Trace& tr : traces) {
    for (const Point& p : tr.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || (log_x && p.x <= 0.0)) continue;
      e.x_lo = std::min(e.x_lo, p.x);
      e.x_hi = std::max(e.x_hi, p.x);
      if (log_y && p.y <= 0.0) continue;
      e.y_lo = std::min(e.y_lo, p.y);
      e.y_hi = std::max(e.y_hi, p.y);
    }
  }
  return e;
}

// Rounds a range out to whole decades: [0.03, 45] -> [0.01, 100].
void to_decades(double& lo, double& hi) {
  lo = std::pow(10.0, std::floor(std::log10(lo) + 1e-9));
  hi = std::pow(10.0, std::ceil(std::log10(hi) - 1e-9));
}

// The two axes of a plot, and the note shown in place of traces that
// cannot be drawn ("no data to plot", "all values are zero"; "" when they
// can).
struct Axes {
  Axis x, y;
  std::string note;
};

// The axes of `plot` with their pixel ranges: the plotting area inside the
// margins, y growing upwards. The data ranges are still to be set.
Axes plot_area(const Plot& plot) {
  const double w = plot.width, h = plot.height;
  Axes a;
  a.x.log = plot.log_x;
  a.y.log = plot.log_y;
  a.x.p0 = kLeft;
  a.x.p1 = w - kRight;
  a.y.p0 = h - kBottom;
  a.y.p1 = kTop;
  return a;
}

// Gives an axis of `e` without data the range 0 to 1 (1 to 10 when
// logarithmic); the note to show for it, "" when both have data.
std::string fill_empty(Extent& e, bool log_x, bool log_y) {
  std::string note;
  const bool have_x = e.x_lo <= e.x_hi, have_y = e.y_lo <= e.y_hi;
  if (!have_x) {
    note = "no data to plot";
    e.x_lo = log_x ? 1.0 : 0.0;
    e.x_hi = log_x ? 10.0 : 1.0;
  }
  if (!have_y) {
    if (have_x && log_y) note = "all values are zero";
    e.y_lo = log_y ? 1.0 : 0.0;
    e.y_hi = log_y ? 10.0 : 1.0;
  }
  return note;
}

// Puts room around the data ranges of `e`: a logarithmic axis runs over
// whole decades, a logarithmic y axis at most plot.log_y_decades of them; a
// linear y axis with data (`have_y`) gets 5 % of its range added at either
// end. plot.x_range, when it can be drawn, replaces the x range.
void room_around(Extent& e, const Plot& plot, bool have_y) {
  if (plot.log_x) to_decades(e.x_lo, e.x_hi);
  if (plot.log_y) {
    e.y_lo = std::max(e.y_lo, e.y_hi * std::pow(10.0, -plot.log_y_decades));
    to_decades(e.y_lo, e.y_hi);
  } else if (have_y) {
    const double pad = (e.y_hi - e.y_lo) * 0.05;
    if (std::isfinite(pad)) {
      e.y_lo -= pad;
      e.y_hi += pad;
    }
  }
  if (plot.x_range && plot.x_range->second > plot.x_range->first && (!plot.log_x || plot.x_range->first > 0.0)) {
    e.x_lo = plot.x_range->first;
    e.x_hi = plot.x_range->second;
  }
}

// The axes of `plot` for `traces`: the plotting area, and the data ranges
// with room around them (an empty range widened so that it maps).
Axes plot_axes(const Plot& plot, const std::vector<Trace>& traces) {
  Axes a = plot_area(plot);
  Extent e = data_extent(traces, plot.log_x, plot.log_y);
  const bool have_y = e.y_lo <= e.y_hi;
  a.note = fill_empty(e, plot.log_x, plot.log_y);
  room_around(e, plot, have_y);
  widen(e.x_lo, e.x_hi, plot.log_x);
  widen(e.y_lo, e.y_hi, plot.log_y);
  a.x.set_range(e.x_lo, e.x_hi);
  a.y.set_range(e.y_lo, e.y_hi);
  return a;
}

// The grid lines across the plotting area at the ticks of both axes, each
// with its label: below the x axis, left of the y axis.
std::string grid(const Axis& ax, const Axis& ay) {
  std::string s;
  const auto xt = ax.log ? log_ticks(ax.lo, ax.hi, 8) : linear_ticks(ax.lo, ax.hi, 6);
  const auto yt = ay.log ? log_ticks(ay.lo, ay.hi, 6) : linear_ticks(ay.lo, ay.hi, 5);
  for (const double v : xt) {
    const std::string px = pixels(ax.map(v));
    s += "<line class=\"grid\" x1=\"" + px + "\" x2=\"" + px + "\" y1=\"" + pixels(ay.p1) + "\" y2=\"" +
         pixels(ay.p0) + "\"/>";
    s += "<text x=\"" + px + "\" y=\"" + pixels(ay.p0 + 13) + "\" text-anchor=\"middle\">" + tick_label(v) +
         "</text>";
  }
  for (const double v : yt) {
    const std::string py = pixels(ay.map(v));
    s += "<line class=\"grid\" x1=\"" + pixels(ax.p0) + "\" x2=\"" + pixels(ax.p1) + "\" y1=\"" + py + "\" y2=\"" +
         py + "\"/>";
    s += "<text x=\"" + pixels(ax.p0 - 4) + "\" y=\"" + pixels(ay.map(v) + 3.5) + "\" text-anchor=\"end\">" +
         tick_label(v) + "</text>";
  }
  return s;
}

// Whether a vertical line at `x` falls strictly inside the x range (never
// for a non-finite x).
bool inside(std::optional<double> x, const Axis& ax) { return x && *x > ax.lo && *x < ax.hi; }

// A dashed vertical line across the plotting area at pixel column `px`,
// with its tooltip.
std::string vertical_line(double px, const Axis& ay, const std::string& tooltip) {
  const std::string x = pixels(px);
  return "<line class=\"marker\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + pixels(ay.p1) + "\" y2=\"" +
         pixels(ay.p0) + "\"><title>" + escape_html(tooltip) + "</title></line>";
}

// The shaded band and the marker line of `plot`, each with its tooltip,
// where they fall inside the x range (a band is cut to it); "" for none.
std::string band_and_marker(const Plot& plot, const Axis& ax, const Axis& ay) {
  std::string s;
  if (plot.band) {
    double b0 = plot.band->first, b1 = plot.band->second;
    if (ax.log && b0 <= 0.0) b0 = ax.lo;
    b0 = std::clamp(b0, ax.lo, ax.hi);
    b1 = std::clamp(b1, ax.lo, ax.hi);
    if (b1 > b0 && (!ax.log || b1 > 0.0)) {
      const double px0 = ax.map(b0), px1 = ax.map(b1);
      s += "<rect class=\"band\" x=\"" + pixels(px0) + "\" y=\"" + pixels(ay.p1) + "\" width=\"" +
           pixels(std::max(px1 - px0, 1.0)) + "\" height=\"" + pixels(ay.p0 - ay.p1) + "\"><title>" +
           escape_html(plot.band_label) + "</title></rect>";
    }
  }
  if (inside(plot.marker, ax)) s += vertical_line(ax.map(*plot.marker), ay, plot.marker_label);
  return s;
}

// The marks of `plot` that fall inside the x range: each a dashed line and
// its label, right of the line when the label fits before the right edge
// of the plotting area (about 6 pixels a letter, as in the legend), else
// left of it; 10 pixels below the top for the first mark drawn and 11 more
// for each further one.
std::string marks(const Plot& plot, const Axis& ax, const Axis& ay) {
  std::string s;
  double row = ay.p1 + 10.0;
  for (const Mark& m : plot.marks) {
    if (!inside(m.x, ax)) continue;
    const double px = ax.map(m.x);
    const bool right = px + 3.0 + 6.0 * static_cast<double>(m.label.size()) <= ax.p1;
    s += vertical_line(px, ay, m.tooltip);
    s += "<text class=\"mark\" x=\"" + pixels(right ? px + 3.0 : px - 3.0) + "\" y=\"" + pixels(row) +
         "\" text-anchor=\"" + (right ? "start" : "end") + "\">" + escape_html(m.label) + "</text>";
    row += 11.0;
  }
  return s;
}

// The opening <svg> tag with the plot's size, title for screen readers and
// count of points, the clip path of the plotting area, and the title.
std::string svg_head(const Plot& plot, const Axis& ax, const Axis& ay, const std::string& id,
                     std::size_t total_points) {
  std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" id=\"" + id + "\" width=\"" +
                  std::to_string(plot.width) + "\" height=\"" + std::to_string(plot.height) + "\" viewBox=\"0 0 " +
                  std::to_string(plot.width) + " " + std::to_string(plot.height) + "\" role=\"img\" aria-label=\"" +
                  escape_html(plot.title) + "\" data-points=\"" + std::to_string(total_points) + "\">";
  s += "<defs><clipPath id=\"" + id + "-clip\"><rect x=\"" + pixels(ax.p0) + "\" y=\"" + pixels(ay.p1) +
       "\" width=\"" + pixels(ax.p1 - ax.p0) + "\" height=\"" + pixels(ay.p0 - ay.p1) + "\"/></clipPath></defs>";
  return s + "<text class=\"title\" x=\"" + pixels(ax.p0) + "\" y=\"14\">" + escape_html(plot.title) + "</text>";
}

// The legend on the title line, right to left from `right`; about 6 pixels
// per letter. Labels "comp3", "RotD50" -> "RotD50" ends at `right`,
// "comp3" 46 pixels left of it (6 letters of 6 pixels, and a gap of 10).
std::string legend(const std::vector<Trace>& traces, double right) {
  std::string s;
  for (auto tr = traces.rbegin(); tr != traces.rend(); ++tr) {
    if (tr->label.empty()) continue;
    s += "<text class=\"legend\" x=\"" + pixels(right) + "\" y=\"14\" text-anchor=\"end\" style=\"fill:" +
         escape_html(tr->colour) + "\">" + escape_html(tr->label) + "</text>";
    right -= 6.0 * static_cast<double>(tr->label.size()) + 10.0;
  }
  return s;
}

// The frame around the plotting area, the x label below it and the y label
// turned up along the left edge.
std::string frame_and_labels(const Plot& plot, const Axis& ax, const Axis& ay) {
  const double h = plot.height;
  std::string s = "<rect class=\"frame\" x=\"" + pixels(ax.p0) + "\" y=\"" + pixels(ay.p1) + "\" width=\"" +
                  pixels(ax.p1 - ax.p0) + "\" height=\"" + pixels(ay.p0 - ay.p1) + "\"/>";
  s += "<text x=\"" + pixels((ax.p0 + ax.p1) / 2) + "\" y=\"" + pixels(h - 4) + "\" text-anchor=\"middle\">" +
       escape_html(plot.x_label) + "</text>";
  s += "<text x=\"12\" y=\"" + pixels((ay.p0 + ay.p1) / 2) + "\" text-anchor=\"middle\" transform=\"rotate(-90 12 " +
       pixels((ay.p0 + ay.p1) / 2) + ")\">" + escape_html(plot.y_label) + "</text>";
  return s;
}

}  // namespace

std::vector<Point> decimate(const std::vector<Point>& points, double x_lo, double x_hi, std::size_t columns) {
  std::vector<Point> good;
  good.reserve(points.size());
  for (const Point& p : points) {
    if (std::isfinite(p.x) && std::isfinite(p.y)) good.push_back(p);
  }
  if (columns == 0 || good.size() <= 2 * columns || !(x_hi > x_lo)) return good;
  struct Column {
    bool seen = false;
    std::size_t lo = 0, hi = 0;  // indices of the smallest and largest y
  };
  std::vector<Column> cols(columns);
  const double scale = static_cast<double>(columns) / (x_hi - x_lo);
  for (std::size_t i = 0; i < good.size(); ++i) {
    const double pos = std::floor((good[i].x - x_lo) * scale);
    const std::size_t c = pos <= 0.0                             ? 0
                          : pos >= static_cast<double>(columns - 1) ? columns - 1
                                                                    : static_cast<std::size_t>(pos);
    Column& col = cols[c];
    if (!col.seen) {
      col = {true, i, i};
      continue;
    }
    if (good[i].y < good[col.lo].y) col.lo = i;
    if (good[i].y > good[col.hi].y) col.hi = i;
  }
  std::vector<Point> out;
  out.reserve(2 * columns);
  for (const Column& col : cols) {
    if (!col.seen) continue;
    out.push_back(good[std::min(col.lo, col.hi)]);
    if (col.lo != col.hi) out.push_back(good[std::max(col.lo, col.hi)]);
  }
  return out;
}

std::vector<double> linear_ticks(double lo, double hi, int target) {
  if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi) || target < 1) return {lo};
  const double raw = (hi - lo) / target;
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / mag;
  const double step = (norm < 1.5 ? 1.0 : norm < 3.0 ? 2.0 : norm < 7.0 ? 5.0 : 10.0) * mag;
  std::vector<double> ticks;
  const double first = std::ceil(lo / step - 1e-9);
  for (int i = 0; i < 100; ++i) {
    double v = (first + i) * step;
    if (v > hi + step * 1e-9) break;
    if (std::fabs(v) < step * 1e-9) v = 0.0;
    ticks.push_back(v);
  }
  return ticks;
}

std::vector<double> log_ticks(double lo, double hi, int max_ticks) {
  if (!(lo > 0.0) || !(hi >= lo) || !std::isfinite(hi) || max_ticks < 1) return {};
  const int e0 = static_cast<int>(std::ceil(std::log10(lo) - 1e-9));
  const int e1 = static_cast<int>(std::floor(std::log10(hi) + 1e-9));
  if (e1 < e0) return {};
  const int every = (e1 - e0) / max_ticks + 1;
  std::vector<double> ticks;
  for (int e = e0; e <= e1; e += every) ticks.push_back(std::pow(10.0, e));
  return ticks;
}

std::string tick_label(double v) {
  if (v == 0.0) return "0";
  return common::significant(v, 6);
}

std::string render_plot(const Plot& plot, const std::vector<Trace>& traces) {
  const Axes axes = plot_axes(plot, traces);
  const Axis &ax = axes.x, &ay = axes.y;
  const std::string id = escape_html(plot.id);
  std::size_t total_points = 0;
  std::string body = grid(ax, ay) + band_and_marker(plot, ax, ay);
  const auto columns = static_cast<std::size_t>(std::max(1.0, ax.p1 - ax.p0));
  for (const Trace& tr : traces) body += trace_element(tr, ax, ay, columns, id, total_points);
  body += marks(plot, ax, ay);
  if (!axes.note.empty()) {
    body += "<text class=\"note\" x=\"" + pixels((ax.p0 + ax.p1) / 2) + "\" y=\"" + pixels((ay.p0 + ay.p1) / 2) +
            "\" text-anchor=\"middle\">" + axes.note + "</text>";
  }
  return svg_head(plot, ax, ay, id, total_points) + legend(traces, ax.p1) + body + frame_and_labels(plot, ax, ay) +
         "</svg>";
}

}  // namespace wavefft::report
