// Response spectra: the exact oscillator recurrence, run for a batch of
// periods in lockstep (structure of arrays, so the compiler vectorises the
// loop over periods), batches shared out between threads; RotD through the
// convex hull of the horizontal responses.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <thread>

#include "measures/measures.h"
#include "measures/oscillator.h"

namespace wavefft::measures {

namespace {

// 2 x 2 matrix, row-major.
struct Mat2 {
  double m00 = 0.0, m01 = 0.0, m10 = 0.0, m11 = 0.0;
};

Mat2 times(const Mat2& p, const Mat2& q) {
  return {p.m00 * q.m00 + p.m01 * q.m10, p.m00 * q.m01 + p.m01 * q.m11, p.m10 * q.m00 + p.m11 * q.m10,
          p.m10 * q.m01 + p.m11 * q.m11};
}

void add_scaled(Mat2& sum, const Mat2& t, double s) {
  sum.m00 += t.m00 * s;
  sum.m01 += t.m01 * s;
  sum.m10 += t.m10 * s;
  sum.m11 += t.m11 * s;
}

double largest(const Mat2& t) {
  return std::max(std::max(std::fabs(t.m00), std::fabs(t.m01)), std::max(std::fabs(t.m10), std::fabs(t.m11)));
}

}  // namespace

StepCoefficients step_coefficients(double period, double damping, double h) {
  const double w = 2.0 * std::numbers::pi / period;
  const double x = w * h;
  // In the scaled state y = (u, v / w) the system is y' = w K y + (0, -a/w)
  // with K = [[0, 1], [-1, -2 z]]; over one step X = w h K and
  //   y(h) = E y(0) - (h / w) (Q a0 + P a1) e2,
  //   E = sum X^j / j!,  P = sum X^j / (j + 2)!,  Q = sum X^j (j + 1) / (j + 2)!
  // (P and Q weigh the input's two end values: the integrals of
  // e^(X s) (1 - s) and e^(X s) s over s in [0, 1], written so that no
  // difference of nearly equal sums is formed).
  const Mat2 xm{0.0, x, -x, -2.0 * damping * x};
  Mat2 term{1.0, 0.0, 0.0, 1.0};  // X^j / j!
  Mat2 e{}, p{}, q{};
  const double tiny = 1e-19 * std::min(1.0, x);
  for (int j = 0; j < 80; ++j) {
    const double jd = static_cast<double>(j);
    add_scaled(e, term, 1.0);
    add_scaled(p, term, 1.0 / ((jd + 1.0) * (jd + 2.0)));
    add_scaled(q, term, 1.0 / (jd + 2.0));
    term = times(term, xm);
    const double inv = 1.0 / (jd + 1.0);
    term = {term.m00 * inv, term.m01 * inv, term.m10 * inv, term.m11 * inv};
    if (j >= 2 && !(largest(term) > tiny)) break;
  }
  const double h_w = h / w;
  StepCoefficients c;
  c.a11 = e.m00;
  c.a12 = e.m01 / w;
  c.a21 = e.m10 * w;
  c.a22 = e.m11;
  c.b11 = -h_w * q.m01;
  c.b12 = -h_w * p.m01;
  c.b21 = -h * q.m11;
  c.b22 = -h * p.m11;
  return c;
}

std::optional<std::size_t> sub_steps(double dt, double period) {
  const double x = 10.0 * dt / period - 1e-9;
  // NaN and infinity fail this test too.
  if (!(x <= static_cast<double>(kMaxSubSteps))) return std::nullopt;
  // 10 dt / T = 0.4 -> 1; 2.5 -> 3; 1.0000000001 -> 1 (the 1e-9 absorbs rounding).
  if (x <= 1.0) return 1;
  return static_cast<std::size_t>(std::ceil(x));
}

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

void PeakHull::rebuild() {
  auto less = [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); };
  auto same = [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; };
  // The new points and their mirror images, sorted; the hull's vertices are
  // sorted already (the lower chain ascends, the upper chain descends), so
  // three sorted runs are merged instead of sorting everything again.
  // Mirroring reverses the order, so the mirror images of the sorted new
  // points, taken backwards, are sorted too: one sort of half the points.
  std::sort(pending_.begin(), pending_.end(), less);
  sorted_.clear();
  sorted_.reserve(2 * pending_.size());
  auto mirrored = [](const Point& q) { return Point{-q.x, -q.y}; };
  {
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
  }
  pending_.clear();
  work_.clear();
  if (!hull_.empty()) {
    const auto split = hull_.begin() + static_cast<std::ptrdiff_t>(rightmost_ + 1);
    work_.reserve(hull_.size());
    std::merge(hull_.begin(), split, hull_.rbegin(), std::make_reverse_iterator(split), std::back_inserter(work_),
               less);
  }
  merged_.clear();
  std::merge(work_.begin(), work_.end(), sorted_.begin(), sorted_.end(), std::back_inserter(merged_), less);
  merged_.erase(std::unique(merged_.begin(), merged_.end(), same), merged_.end());
  const std::vector<Point>& pts = merged_;
  hull_.clear();
  rightmost_ = 0;
  inner_radius2_ = 0.0;
  if (pts.size() < 3) {
    hull_ = pts;
    rightmost_ = hull_.empty() ? 0 : hull_.size() - 1;
    return;
  }
  // Monotone chain: lower hull left to right, then upper hull right to left;
  // a turn that is not strictly counter-clockwise drops the middle point.
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
  sector_radius2_.fill(0.0);
  if (hull_.size() < 3) return;
  // The hull is symmetric about the origin, so the origin is inside it and
  // the circle through the nearest edge line lies inside the hull. Shrink
  // it by a hair so that rounding of the edge distances never drops a
  // point that lies just outside.
  double r2 = HUGE_VAL;
  for (std::size_t i = 0; i < hull_.size(); ++i) {
    const Point& a = hull_[i];
    const Point& b = hull_[(i + 1) % hull_.size()];
    const double cr = a.x * b.y - a.y * b.x;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 > 0.0) r2 = std::min(r2, cr * cr / len2);
  }
  if (std::isfinite(r2)) inner_radius2_ = r2 * (1.0 - 1e-9);
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

namespace {

constexpr std::size_t kLanes = 8;   // periods per batch
constexpr std::size_t kChunk = 256;  // sub-steps buffered before the hulls see them

// One job: a (damping, period) row of the result, with its sub-step count.
struct Job {
  std::size_t row;
  std::size_t m;
};

struct Batch {
  std::size_t first;  // index into the sorted jobs
  std::size_t count;  // 1 .. kLanes, all with the same m
};

// The coefficients of kLanes oscillators, advanced together.
struct Lanes {
  alignas(64) double a11[kLanes]{}, a12[kLanes]{}, a21[kLanes]{}, a22[kLanes]{};
  alignas(64) double b11[kLanes]{}, b12[kLanes]{}, b21[kLanes]{}, b22[kLanes]{};
};

// The state of kLanes oscillators of one component.
struct State {
  alignas(64) double u[kLanes]{}, v[kLanes]{}, peak[kLanes]{};
};

// Advances every lane over `count` sub-steps whose input goes from f[k] to
// f[k + 1], and writes u after sub-step k to out[k * kLanes + lane]. The
// lanes are independent and every pointer is distinct, so the compiler runs
// the lanes in vector registers (the loop must stay free of branches).
// Only the first Width lanes are advanced (a batch of fewer periods than
// kLanes does not pay for the empty lanes); each lane's arithmetic is the
// same whatever the width.
template <std::size_t Width>
[[gnu::always_inline]] inline void advance(const Lanes& c, State& st, const double* __restrict f, std::size_t count,
                                           double* __restrict out) {
  double* __restrict u = st.u;
  double* __restrict v = st.v;
  double* __restrict peak = st.peak;
  const double* __restrict a11 = c.a11;
  const double* __restrict a12 = c.a12;
  const double* __restrict a21 = c.a21;
  const double* __restrict a22 = c.a22;
  const double* __restrict b11 = c.b11;
  const double* __restrict b12 = c.b12;
  const double* __restrict b21 = c.b21;
  const double* __restrict b22 = c.b22;
  for (std::size_t k = 0; k < count; ++k) {
    const double f0 = f[k];
    const double f1 = f[k + 1];
    for (std::size_t l = 0; l < Width; ++l) {
      const double un = a11[l] * u[l] + a12[l] * v[l] + b11[l] * f0 + b12[l] * f1;
      const double vn = a21[l] * u[l] + a22[l] * v[l] + b21[l] * f0 + b22[l] * f1;
      u[l] = un;
      v[l] = vn;
      const double au = std::fabs(un);
      peak[l] = au > peak[l] ? au : peak[l];
      out[k * kLanes + l] = un;
    }
  }
}

// The same loop built for the base instruction set and for AVX2 (wider
// vectors; no fused multiply-add, so every lane rounds exactly as before),
// chosen once by what the processor has.
template <std::size_t Width>
void advance_base(const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
  advance<Width>(c, st, f, count, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
template <std::size_t Width>
[[gnu::target("avx2")]] void advance_avx2(const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
  advance<Width>(c, st, f, count, out);
}

bool have_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2") != 0;
  return yes;
}
#endif

template <std::size_t Width>
void advance_any(const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (have_avx2()) {
    advance_avx2<Width>(c, st, f, count, out);
    return;
  }
#endif
  advance_base<Width>(c, st, f, count, out);
}

// What one thread reuses from batch to batch: the hulls and the buffers.
struct Workspace {
  std::array<PeakHull, kLanes> hulls;
  std::vector<double> f, xs, ys, zs;
};

void run_batch(const std::array<std::span<const double>, 3>& a, double dt, const std::vector<Job>& jobs,
               const Batch& batch, std::vector<SpectrumRow>& rows, Workspace& ws) {
  const std::size_t m = jobs[batch.first].m;
  const double h = dt / static_cast<double>(m);
  Lanes lanes;
  for (std::size_t l = 0; l < batch.count; ++l) {
    const SpectrumRow& r = rows[jobs[batch.first + l].row];
    const StepCoefficients k = step_coefficients(r.period, r.damping, h);
    lanes.a11[l] = k.a11;
    lanes.a12[l] = k.a12;
    lanes.a21[l] = k.a21;
    lanes.a22[l] = k.a22;
    lanes.b11[l] = k.b11;
    lanes.b12[l] = k.b12;
    lanes.b21[l] = k.b21;
    lanes.b22[l] = k.b22;
  }
  std::array<State, 3> state;
  std::array<PeakHull, kLanes>& hulls = ws.hulls;
  for (PeakHull& hull : hulls) hull.reset();
  // A chunk of whole sample intervals, about kChunk sub-steps.
  const std::size_t per_chunk = std::max<std::size_t>(1, kChunk / m);
  std::vector<double>& f = ws.f;
  std::vector<double>& xs = ws.xs;
  std::vector<double>& ys = ws.ys;
  std::vector<double>& zs = ws.zs;
  f.resize(per_chunk * m + 1);
  xs.resize(per_chunk * m * kLanes);
  ys.resize(per_chunk * m * kLanes);
  zs.resize(per_chunk * m * kLanes);

  const std::size_t n = a[0].size();
  const double inv_m = 1.0 / static_cast<double>(m);
  for (std::size_t i0 = 0; i0 + 1 < n; i0 += per_chunk) {
    const std::size_t intervals = std::min(per_chunk, n - 1 - i0);
    const std::size_t count = intervals * m;
    for (std::size_t c = 0; c < 3; ++c) {
      // The input at every sub-step boundary: linear over each sample
      // interval, sub-step j of m from fraction j/m to (j+1)/m of it
      // (m = 1 -> the samples themselves).
      const std::span<const double> ac = a[c];
      for (std::size_t i = 0; i < intervals; ++i) {
        const double lo = ac[i0 + i];
        const double hi = ac[i0 + i + 1];
        f[i * m] = lo;
        for (std::size_t j = 1; j < m; ++j) f[i * m + j] = lo + (hi - lo) * (static_cast<double>(j) * inv_m);
      }
      f[count] = ac[i0 + intervals];
      double* const out = c == 0 ? xs.data() : c == 1 ? ys.data() : zs.data();
      if (batch.count <= 2) {
        advance_any<2>(lanes, state[c], f.data(), count, out);
      } else if (batch.count <= 4) {
        advance_any<4>(lanes, state[c], f.data(), count, out);
      } else {
        advance_any<kLanes>(lanes, state[c], f.data(), count, out);
      }
    }
    for (std::size_t l = 0; l < batch.count; ++l) {
      hulls[l].add_strided(xs.data() + l, ys.data() + l, count, kLanes);
    }
  }

  for (std::size_t l = 0; l < batch.count; ++l) {
    SpectrumRow& r = rows[jobs[batch.first + l].row];
    const double w = 2.0 * std::numbers::pi / r.period;
    const double scale = w * w / kG;
    for (std::size_t c = 0; c < 3; ++c) r.psa[c] = scale * state[c].peak[l];
    const std::array<double, 2> rot = rotd_median_max(hulls[l].peaks());
    r.rotd50 = scale * rot[0];
    r.rotd100 = scale * rot[1];
  }
}

}  // namespace

std::vector<SpectrumRow> response_spectra(const std::array<std::span<const double>, 3>& a, double dt,
                                          std::span<const double> periods, std::span<const double> dampings,
                                          unsigned threads) {
  const std::size_t n = a[0].size();
  if (a[1].size() != n || a[2].size() != n || n < 2) {
    throw std::invalid_argument("response_spectra: three components of the same length, at least two samples");
  }
  if (!(dt > 0.0) || !std::isfinite(dt)) throw std::invalid_argument("response_spectra: dt must be positive");
  for (double z : dampings) {
    if (!(z > 0.0 && z < 1.0)) throw std::invalid_argument("response_spectra: damping outside (0, 1)");
  }

  std::vector<SpectrumRow> rows;
  std::vector<Job> jobs;
  rows.reserve(periods.size() * dampings.size());
  for (double z : dampings) {
    for (double t : periods) {
      const std::optional<std::size_t> m = (t > 0.0 && std::isfinite(t)) ? sub_steps(dt, t) : std::nullopt;
      if (!m) throw std::invalid_argument("response_spectra: period not positive or too short for dt");
      jobs.push_back({rows.size(), *m});
      SpectrumRow r;
      r.period = t;
      r.damping = z;
      rows.push_back(r);
    }
  }
  // Batches of equal sub-step counts (most sub-steps first).
  std::stable_sort(jobs.begin(), jobs.end(), [](const Job& p, const Job& q) { return p.m > q.m; });
  std::vector<Batch> batches;
  for (std::size_t i = 0; i < jobs.size();) {
    std::size_t count = 1;
    while (count < kLanes && i + count < jobs.size() && jobs[i + count].m == jobs[i].m) ++count;
    batches.push_back({i, count});
    i += count;
  }
  // The costliest batches first, so that the threads finish together: the
  // recurrence costs per sub-step and lane advanced, the hull per point,
  // and more at long periods, whose responses keep more hull vertices.
  std::vector<double> cost(batches.size());
  for (std::size_t b = 0; b < batches.size(); ++b) {
    const Batch& batch = batches[b];
    const double width = batch.count <= 2 ? 2.0 : batch.count <= 4 ? 4.0 : static_cast<double>(kLanes);
    double hull = 0.0;
    for (std::size_t l = 0; l < batch.count; ++l) {
      hull += 0.5 + 0.8 * std::log2(1.0 + std::min(rows[jobs[batch.first + l].row].period, 1e6));
    }
    cost[b] = static_cast<double>(jobs[batch.first].m) * (0.5 * width + hull);
  }
  std::vector<std::size_t> order(batches.size());
  for (std::size_t b = 0; b < order.size(); ++b) order[b] = b;
  std::stable_sort(order.begin(), order.end(), [&cost](std::size_t p, std::size_t q) { return cost[p] > cost[q]; });

  unsigned workers = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
  workers = static_cast<unsigned>(std::min<std::size_t>(workers, batches.size()));
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    Workspace ws;
    for (std::size_t b = next++; b < batches.size(); b = next++) run_batch(a, dt, jobs, batches[order[b]], rows, ws);
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < workers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return rows;
}

}  // namespace wavefft::measures
