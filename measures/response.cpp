// SPDX-License-Identifier: GPL-3.0-or-later
// Response spectra: the (damping, period) rows planned as batches of equal
// sub-step counts, each batch run as kLanes oscillators in lockstep per
// component with RotD through the convex hull of the horizontal
// responses, the batches shared out between threads, costliest first.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "measures/lanes.h"
#include "measures/measures.h"
#include "measures/peak_hull.h"
#include "measures/pool.h"
#include "measures/step.h"

namespace wavefft::measures {

namespace {

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

// What one thread reuses from batch to batch: the hulls and the buffers.
struct Workspace {
  std::array<PeakHull, kLanes> hulls;
  std::vector<double> f, xs, ys, zs;
};

// The step coefficients of the batch's periods, lane by lane, for sub-steps of h.
Lanes batch_lanes(const std::vector<Job>& jobs, const Batch& batch, const std::vector<SpectrumRow>& rows, double h) {
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
  return lanes;
}

// The input at every sub-step boundary of `intervals` sample intervals
// from sample i0: linear over each interval, sub-step j of m from fraction
// j/m to (j+1)/m of it (m = 1 -> the samples themselves); f gets
// intervals * m + 1 values.
void interpolate(std::span<const double> ac, std::size_t i0, std::size_t intervals, std::size_t m,
                 std::vector<double>& f) {
  const double inv_m = 1.0 / static_cast<double>(m);
  for (std::size_t i = 0; i < intervals; ++i) {
    const double lo = ac[i0 + i];
    const double hi = ac[i0 + i + 1];
    f[i * m] = lo;
    for (std::size_t j = 1; j < m; ++j) f[i * m + j] = lo + (hi - lo) * (static_cast<double>(j) * inv_m);
  }
  f[intervals * m] = ac[i0 + intervals];
}

void run_batch(const std::array<std::span<const double>, 3>& a, double dt, const std::vector<Job>& jobs,
               const Batch& batch, std::vector<SpectrumRow>& rows, Workspace& ws) {
  const std::size_t m = jobs[batch.first].m;
  const Lanes lanes = batch_lanes(jobs, batch, rows, dt / static_cast<double>(m));
  std::array<State, 3> state;
  std::array<PeakHull, kLanes>& hulls = ws.hulls;
  for (PeakHull& hull : hulls) hull.reset();
  // A chunk of whole sample intervals, about kChunk sub-steps.
  const std::size_t per_chunk = std::max<std::size_t>(1, kChunk / m);
  ws.f.resize(per_chunk * m + 1);
  ws.xs.resize(per_chunk * m * kLanes);
  ws.ys.resize(per_chunk * m * kLanes);
  ws.zs.resize(per_chunk * m * kLanes);

  const std::size_t n = a[0].size();
  for (std::size_t i0 = 0; i0 + 1 < n; i0 += per_chunk) {
    const std::size_t intervals = std::min(per_chunk, n - 1 - i0);
    const std::size_t count = intervals * m;
    for (std::size_t c = 0; c < 3; ++c) {
      interpolate(a[c], i0, intervals, m, ws.f);
      double* const out = c == 0 ? ws.xs.data() : c == 1 ? ws.ys.data() : ws.zs.data();
      advance_lanes(batch.count, lanes, state[c], ws.f.data(), count, out);
    }
    for (std::size_t l = 0; l < batch.count; ++l) {
      hulls[l].add_strided(ws.xs.data() + l, ws.ys.data() + l, count, kLanes);
    }
  }

  for (std::size_t l = 0; l < batch.count; ++l) {
    SpectrumRow& r = rows[jobs[batch.first + l].row];
    const double w = 2.0 * std::numbers::pi / r.period;
    const double scale = w * w / common::kStandardGravity;
    for (std::size_t c = 0; c < 3; ++c) r.psa[c] = scale * state[c].peak[l];
    const std::array<double, 2> rot = rotd_median_max(hulls[l].peaks());
    r.rotd50 = scale * rot[0];
    r.rotd100 = scale * rot[1];
  }
}

void check_arguments(const std::array<std::span<const double>, 3>& a, double dt, std::span<const double> dampings) {
  const std::size_t n = a[0].size();
  if (a[1].size() != n || a[2].size() != n || n < 2) {
    throw std::invalid_argument("response_spectra: three components of the same length, at least two samples");
  }
  if (!(dt > 0.0) || !std::isfinite(dt)) throw std::invalid_argument("response_spectra: dt must be positive");
  for (double z : dampings) {
    if (!(z > 0.0 && z < 1.0)) throw std::invalid_argument("response_spectra: damping outside (0, 1)");
  }
}

// The rows of the result (period and damping set) and one job per row,
// sorted by sub-step count, most first (stable: rows in order within one).
std::vector<Job> plan_jobs(double dt, std::span<const double> periods, std::span<const double> dampings,
                           std::vector<SpectrumRow>& rows) {
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
  std::stable_sort(jobs.begin(), jobs.end(), [](const Job& p, const Job& q) { return p.m > q.m; });
  return jobs;
}

// Runs of up to kLanes sorted jobs with equal sub-step counts.
std::vector<Batch> make_batches(const std::vector<Job>& jobs) {
  std::vector<Batch> batches;
  for (std::size_t i = 0; i < jobs.size();) {
    std::size_t count = 1;
    while (count < kLanes && i + count < jobs.size() && jobs[i + count].m == jobs[i].m) ++count;
    batches.push_back({i, count});
    i += count;
  }
  return batches;
}

// The batches' indices, costliest first, so that the threads finish
// together: the recurrence costs per sub-step and lane advanced, the hull
// per point, and more at long periods, whose responses keep more hull
// vertices.
std::vector<std::size_t> costliest_first(const std::vector<Batch>& batches, const std::vector<Job>& jobs,
                                         const std::vector<SpectrumRow>& rows) {
  std::vector<double> cost(batches.size());
  for (std::size_t b = 0; b < batches.size(); ++b) {
    const Batch& batch = batches[b];
    const auto width = static_cast<double>(lane_width(batch.count));
    double hull = 0.0;
    for (std::size_t l = 0; l < batch.count; ++l) {
      hull += 0.5 + 0.8 * std::log2(1.0 + std::min(rows[jobs[batch.first + l].row].period, 1e6));
    }
    cost[b] = static_cast<double>(jobs[batch.first].m) * (0.5 * width + hull);
  }
  std::vector<std::size_t> order(batches.size());
  for (std::size_t b = 0; b < order.size(); ++b) order[b] = b;
  std::stable_sort(order.begin(), order.end(), [&cost](std::size_t p, std::size_t q) { return cost[p] > cost[q]; });
  return order;
}

}  // namespace

std::vector<SpectrumRow> response_spectra(const std::array<std::span<const double>, 3>& a, double dt,
                                          std::span<const double> periods, std::span<const double> dampings,
                                          unsigned threads) {
  check_arguments(a, dt, dampings);
  std::vector<SpectrumRow> rows;
  const std::vector<Job> jobs = plan_jobs(dt, periods, dampings, rows);
  const std::vector<Batch> batches = make_batches(jobs);
  const std::vector<std::size_t> order = costliest_first(batches, jobs, rows);
  const unsigned workers = worker_count(threads, batches.size());
  std::vector<Workspace> spaces(workers);
  share_out(batches.size(), workers, [&](std::size_t k, unsigned w) {
    run_batch(a, dt, jobs, batches[order[k]], rows, spaces[w]);
  });
  return rows;
}

}  // namespace wavefft::measures
