// SPDX-License-Identifier: GPL-3.0-or-later
// RotD of a pair of horizontal responses: the peak over time of their
// projection on each of 180 directions, kept through the convex hull of
// the response points, and RotD50 and RotD100 from those peaks.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace wavefft::measures {

/// Angles 0, 1, ..., 179 degrees: their cosines and sines.
inline constexpr std::size_t kAngles = 180;
const std::array<double, kAngles>& angle_cos();
const std::array<double, kAngles>& angle_sin();

/// Peak over time of |x cos(theta) + y sin(theta)| for the 180 angles, for
/// a stream of points (x, y) = (u1(t), u2(t)). Only the points that can be
/// extreme in some direction are kept: a point inside the convex hull of
/// the points so far and their mirror images is dropped (first quick tests
/// against the hull's inscribed circle and against a radius per angular
/// sector within which the hull's boundary cannot lie, then a binary
/// search over the hull's edges); the others are gathered and the hull
/// rebuilt (monotone chain, merging the already sorted vertices) when they
/// are as many as the hull's vertices and at least kPendingLimit. The peaks
/// are then taken over the hull's vertices only; they equal the brute-force
/// loop over every point and angle up to rounding of the last bit. Memory:
/// the hull plus as many pending points.
class PeakHull {
 public:
  void add(double x, double y) {
    const double r2 = x * x + y * y;
    if (r2 > inner_radius2_ && r2 > sector_radius2_[sector(x, y)] && !inside({x, y})) {
      pending_.push_back({x, y});
      // Rebuild once the new points are as many as the hull's vertices,
      // so that merging the hull costs O(1) per point.
      if (pending_.size() >= kPendingLimit && pending_.size() >= hull_.size()) rebuild();
    }
  }
  /// The same as add(xs[k * stride], ys[k * stride]) for k = 0 .. count - 1
  /// in turn, faster: the points within the inscribed circle of the hull as
  /// it is on entry are dropped first in one branch-free pass (the hull only
  /// grows, so add() would drop them too), the rest go through add().
  void add_strided(const double* xs, const double* ys, std::size_t count, std::size_t stride);
  /// Forgets every point (as a new PeakHull), keeping the memory.
  void reset();
  /// The 180 peaks, angle by angle.
  std::array<double, kAngles> peaks();

 private:
  struct Point {
    double x, y;
  };
  static constexpr std::size_t kPendingLimit = 64;
  static constexpr std::size_t kSectors = 256;
  // The sector of direction (x, y), by its "diamond angle" (monotone in the
  // true angle, no trigonometry): (1, 0) -> 0, (0, 1) -> kSectors / 4.
  static std::size_t sector(double x, double y) {
    const double ax = x < 0.0 ? -x : x, ay = y < 0.0 ? -y : y;
    const double sum = ax + ay;
    if (!(sum > 0.0) || !(sum < HUGE_VAL)) return 0;
    double d = 0.0;  // 0 .. 4
    if (y >= 0.0) {
      d = x >= 0.0 ? y / sum : 2.0 - y / sum;
    } else {
      d = x < 0.0 ? 2.0 + ay / sum : 4.0 - ay / sum;
    }
    const double k = d * (static_cast<double>(kSectors) / 4.0);
    return k < static_cast<double>(kSectors) ? static_cast<std::size_t>(k) : 0;
  }
  void fill_sectors();
  void rebuild();
  void sort_pending();
  void merge_with_hull();
  void build_chain(const std::vector<Point>& pts);
  double inner_radius2() const;
  // True when q lies inside hull_ or on its boundary (binary search over
  // the fan of triangles from the first vertex).
  bool inside(const Point& q) const;
  std::vector<Point> hull_;     // counter-clockwise from the leftmost vertex, symmetric about the origin
  std::size_t rightmost_ = 0;   // index in hull_ of the rightmost vertex (end of the lower chain)
  std::vector<Point> pending_;  // points found outside hull_
  std::vector<Point> sorted_, merged_, work_;  // scratch of rebuild()
  std::vector<Point> chain_;                   // scratch of rebuild(), only ever grown
  std::vector<std::size_t> candidates_;        // scratch of add_strided()
  std::vector<std::size_t> vertex_sector_;     // scratch of fill_sectors(): sector of each vertex
  double inner_radius2_ = 0.0;  // squared radius of a circle inside hull_
  // Per sector, a squared radius within which the sector's points lie inside hull_.
  std::array<double, kSectors> sector_radius2_{};
};

/// RotD50 and RotD100 (times w^2 still to apply) from the 180 peaks:
/// {the mean of the 90th and 91st in ascending order, the largest}.
std::array<double, 2> rotd_median_max(const std::array<double, kAngles>& peaks);

}  // namespace wavefft::measures
