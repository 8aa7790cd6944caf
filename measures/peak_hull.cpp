// SPDX-License-Identifier: GPL-3.0-or-later
// The angle table, the convex hull of the response points (monotone chain,
// the quick inside tests), its peaks, and RotD50 and RotD100 from them.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

#include "measures/peak_hull.h"

namespace wavefft::measures {

namespace {

struct AngleTable {
  std::array<double, kAngles> c{}, s{};
  AngleTable() {
    for (std::size_t k = 0; k < kAngles; ++k) {
      const double theta = static_cast<double>(k) * std::numbers::pi / 180.0;
      c[k] = std::cos(theta);
      s[k] = std::sin(theta);
    }
    // Exact at the axes, so that RotD at 0 and 90 degrees is the component's own peak.
    c[90] = 0.0;
    s[90] = 1.0;
  }
};

const AngleTable& angles() {
  static const AngleTable table;
  return table;
}

}  // namespace

const std::array<double, kAngles>& angle_cos() { return angles().c; }
const std::array<double, kAngles>& angle_sin() { return angles().s; }

namespace {

// Points by x, then by y: a function object, so that sort and merge inline it.
struct ByXThenY {
  template <typename P>
  bool operator()(const P& a, const P& b) const {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  }
};
constexpr ByXThenY less{};

}  // namespace

// The new points and their mirror images, sorted, into sorted_. Mirroring
// reverses the order, so the mirror images of the sorted new points, taken
// backwards, are sorted too: one sort of half the points, then a merge.
void PeakHull::sort_pending() {
  std::sort(pending_.begin(), pending_.end(), less);
  sorted_.clear();
  sorted_.reserve(2 * pending_.size());
  auto mirrored = [](const Point& q) { return Point{-q.x, -q.y}; };
  auto a = pending_.begin();
  auto b = pending_.rbegin();
  while (a != pending_.end() && b != pending_.rend()) {
    const Point m = mirrored(*b);
    if (less(m, *a)) {
      sorted_.push_back(m);
      ++b;
    } else {
      sorted_.push_back(*a);
      ++a;
    }
  }
  sorted_.insert(sorted_.end(), a, pending_.end());
  for (; b != pending_.rend(); ++b) sorted_.push_back(mirrored(*b));
  pending_.clear();
}

// The hull's vertices and sorted_ merged into merged_, in order, without
// repeats. The vertices are sorted already (the lower chain ascends, the
// upper chain descends), so three sorted runs are merged instead of sorting
// everything again.
void PeakHull::merge_with_hull() {
  work_.clear();
  if (!hull_.empty()) {
    const auto split = hull_.begin() + static_cast<std::ptrdiff_t>(rightmost_ + 1);
    work_.reserve(hull_.size());
    std::merge(hull_.begin(), split, hull_.rbegin(), std::make_reverse_iterator(split), std::back_inserter(work_),
               less);
  }
  merged_.clear();
  std::merge(work_.begin(), work_.end(), sorted_.begin(), sorted_.end(), std::back_inserter(merged_), less);
  auto same = [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; };
  merged_.erase(std::unique(merged_.begin(), merged_.end(), same), merged_.end());
}

// The convex hull of `pts` (sorted, at least 3) into hull_ and rightmost_,
// by the monotone chain: lower hull left to right, then upper hull right
// to left; a turn that is not strictly counter-clockwise drops the middle
// point.
void PeakHull::build_chain(const std::vector<Point>& pts) {
  auto cross = [](const Point& o, const Point& a, const Point& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
  };
  std::vector<Point>& h = chain_;
  // Every slot is written before it is read: grow, never clear.
  if (h.size() < 2 * pts.size()) h.resize(2 * pts.size());
  std::size_t k = 0;
  for (const Point& q : pts) {
    while (k >= 2 && !(cross(h[k - 2], h[k - 1], q) > 0.0)) --k;
    h[k++] = q;
  }
  const std::size_t lower = k + 1;
  for (std::size_t i = pts.size() - 1; i-- > 0;) {
    while (k >= lower && !(cross(h[k - 2], h[k - 1], pts[i]) > 0.0)) --k;
    h[k++] = pts[i];
  }
  hull_.assign(h.begin(), h.begin() + static_cast<std::ptrdiff_t>(k - 1));  // the last point repeats the first
  rightmost_ = lower - 2;
}

// The hull is symmetric about the origin, so the origin is inside it and
// the circle through the nearest edge line lies inside the hull: its
// squared radius, shrunk by a hair so that rounding of the edge distances
// never drops a point that lies just outside (0 when it cannot be told).
double PeakHull::inner_radius2() const {
  double r2 = HUGE_VAL;
  for (std::size_t i = 0; i < hull_.size(); ++i) {
    const Point& a = hull_[i];
    const Point& b = hull_[(i + 1) % hull_.size()];
    const double cr = a.x * b.y - a.y * b.x;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 > 0.0) r2 = std::min(r2, cr * cr / len2);
  }
  return std::isfinite(r2) ? r2 * (1.0 - 1e-9) : 0.0;
}

void PeakHull::rebuild() {
  sort_pending();
  merge_with_hull();
  const std::vector<Point>& pts = merged_;
  hull_.clear();
  rightmost_ = 0;
  inner_radius2_ = 0.0;
  if (pts.size() < 3) {
    hull_ = pts;
    rightmost_ = hull_.empty() ? 0 : hull_.size() - 1;
    return;
  }
  build_chain(pts);
  sector_radius2_.fill(0.0);
  if (hull_.size() < 3) return;
  inner_radius2_ = inner_radius2();
  fill_sectors();
}

namespace {

// The unit direction where sector k begins (the inverse of the diamond
// angle of PeakHull::sector): k = 0 -> (1, 0), k = kSectors / 4 -> (0, 1).
template <std::size_t Sectors>
struct SectorEdges {
  std::array<double, Sectors + 1> x{}, y{};
  SectorEdges() {
    for (std::size_t k = 0; k <= Sectors; ++k) {
      const double d = 4.0 * static_cast<double>(k) / static_cast<double>(Sectors);
      double ex = 0.0, ey = 0.0;
      if (d < 1.0) {
        ex = 1.0 - d, ey = d;
      } else if (d < 2.0) {
        ex = 1.0 - d, ey = 2.0 - d;
      } else if (d < 3.0) {
        ex = d - 3.0, ey = 2.0 - d;
      } else {
        ex = d - 3.0, ey = d - 4.0;
      }
      const double len = std::sqrt(ex * ex + ey * ey);
      x[k] = ex / len;
      y[k] = ey / len;
    }
  }
};

}  // namespace

// For every edge, the sectors its directions sweep (from one end's sector
// to the other's, counter-clockwise) get at most the edge's nearest radial
// distance within the sector: the line's distance d from the origin over
// the largest cosine between the edge's outward normal and a direction of
// the sector (1 when the normal points into the sector, else the better of
// the sector's two bounding directions). Within a sector the boundary is no
// nearer than the nearest of these; a long flat side thus keeps a large
// radius far along it.
void PeakHull::fill_sectors() {
  static const SectorEdges<kSectors> edges;
  sector_radius2_.fill(inner_radius2_);
  if (hull_.size() < 3) return;
  std::array<double, kSectors> r2;
  r2.fill(HUGE_VAL);
  vertex_sector_.resize(hull_.size());
  for (std::size_t i = 0; i < hull_.size(); ++i) vertex_sector_[i] = sector(hull_[i].x, hull_[i].y);
  for (std::size_t i = 0; i < hull_.size(); ++i) {
    const Point& a = hull_[i];
    const Point& b = hull_[(i + 1) % hull_.size()];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (!(len > 0.0) || !std::isfinite(len)) continue;
    const double nx = dy / len, ny = -dx / len;  // outward: the hull is counter-clockwise
    const double d = nx * a.x + ny * a.y;
    const std::size_t normal = sector(nx, ny);
    const std::size_t last = vertex_sector_[(i + 1) % hull_.size()];
    for (std::size_t k = vertex_sector_[i];; k = (k + 1) % kSectors) {
      double c = 1.0;
      if (k != normal) c = std::max(edges.x[k] * nx + edges.y[k] * ny, edges.x[k + 1] * nx + edges.y[k + 1] * ny);
      // c <= 0 cannot happen for a sector the edge crosses, up to rounding: then no bound.
      const double bound = c > 0.0 ? (d / c) * (d / c) : 0.0;
      r2[k] = std::min(r2[k], bound);
      if (k == last) break;
    }
  }
  for (std::size_t k = 0; k < kSectors; ++k) {
    if (std::isfinite(r2[k])) sector_radius2_[k] = std::max(inner_radius2_, r2[k] * (1.0 - 1e-9));
  }
}

void PeakHull::add_strided(const double* xs, const double* ys, std::size_t count, std::size_t stride) {
  // A point with r2 <= inner_radius2_ now lies inside the hull by a margin
  // (the radius is shrunk by 1e-9) far beyond rounding; later hulls contain
  // this one, so add() rejects it whatever the hull is by then.
  const double inner = inner_radius2_;
  candidates_.resize(count);
  std::size_t* const idx = candidates_.data();
  std::size_t kept = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double x = xs[k * stride], y = ys[k * stride];
    idx[kept] = k;
    kept += (x * x + y * y > inner) ? 1 : 0;
  }
  for (std::size_t j = 0; j < kept; ++j) add(xs[idx[j] * stride], ys[idx[j] * stride]);
}

void PeakHull::reset() {
  hull_.clear();
  rightmost_ = 0;
  pending_.clear();
  inner_radius2_ = 0.0;
  sector_radius2_.fill(0.0);
}

bool PeakHull::inside(const Point& q) const {
  const std::size_t n = hull_.size();
  if (n < 3) return false;
  const Point& o = hull_[0];
  auto side = [&o, &q](const Point& a) { return (a.x - o.x) * (q.y - o.y) - (a.y - o.y) * (q.x - o.x); };
  // Outside the fan's first or last edge from vertex 0.
  if (side(hull_[1]) < 0.0 || side(hull_[n - 1]) > 0.0) return false;
  // The last vertex i in [1, n - 2] with q to the left of o -> hull_[i].
  std::size_t lo = 1, hi = n - 2;
  while (lo < hi) {
    const std::size_t mid = (lo + hi + 1) / 2;
    if (side(hull_[mid]) >= 0.0) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  const Point& a = hull_[lo];
  const Point& b = hull_[lo + 1];
  return (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x) >= 0.0;
}

std::array<double, kAngles> PeakHull::peaks() {
  if (!pending_.empty()) rebuild();
  const auto& c = angle_cos();
  const auto& s = angle_sin();
  std::array<double, kAngles> out{};
  for (std::size_t k = 0; k < kAngles; ++k) {
    double peak = 0.0;
    for (const Point& q : hull_) peak = std::max(peak, std::fabs(q.x * c[k] + q.y * s[k]));
    out[k] = peak;
  }
  return out;
}

std::array<double, 2> rotd_median_max(const std::array<double, kAngles>& peaks) {
  std::array<double, kAngles> sorted = peaks;
  std::sort(sorted.begin(), sorted.end());
  return {(sorted[kAngles / 2 - 1] + sorted[kAngles / 2]) / 2.0, sorted[kAngles - 1]};
}

}  // namespace wavefft::measures
