// SPDX-License-Identifier: GPL-3.0-or-later
#include "fourier/real_transform.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace wavefft::fourier {

namespace {

// FFTW's planner is not reentrant; executing a plan is.
std::mutex& planner_lock() {
  static std::mutex m;
  return m;
}

struct FreeBuffer {
  void operator()(void* p) const { fftw_free(p); }
};
template <typename T>
using Buffer = std::unique_ptr<T[], FreeBuffer>;

// fftw_malloc'd, so every call hands FFTW buffers of the same alignment,
// which a plan executed on new arrays requires.
template <typename T>
Buffer<T> allocate(std::size_t count) {
  void* p = fftw_malloc(sizeof(T) * std::max<std::size_t>(count, 1));
  if (p == nullptr) throw std::bad_alloc();
  return Buffer<T>(static_cast<T*>(p));
}

// A plan, destroyed under the planner's lock once nobody executes it.
using Plan = std::shared_ptr<std::remove_pointer_t<fftw_plan>>;

// FFTW_ESTIMATE: the plan follows from the length alone, not from timings,
// so it is the same on every run. FFTW_NO_SIMD: scalar codelets only, so
// the plan and its rounding do not depend on the vector instructions of the
// processor either.
constexpr unsigned kPlanFlags = FFTW_ESTIMATE | FFTW_NO_SIMD;

// Real to lines, lines to real, and the forward transform of a complex
// sequence (which also serves backwards, its real and imaginary parts
// swapped on the way in and out).
enum class Direction { forward, inverse, complex };

fftw_plan plan_of(int n, Direction d, double* real, fftw_complex* lines, fftw_complex* out) {
  switch (d) {
    case Direction::forward: return fftw_plan_dft_r2c_1d(n, real, lines, kPlanFlags);
    case Direction::inverse: return fftw_plan_dft_c2r_1d(n, lines, real, kPlanFlags);
    case Direction::complex: return fftw_plan_dft_1d(n, lines, out, FFTW_FORWARD, kPlanFlags);
  }
  return nullptr;
}

// Made under the planner's lock, on scratch buffers (a plan executes on any
// arrays of the same alignment).
Plan make_plan(int n, Direction d) {
  const auto size = static_cast<std::size_t>(n);
  Buffer<double> real = allocate<double>(d == Direction::complex ? 1 : size);
  Buffer<fftw_complex> lines = allocate<fftw_complex>(d == Direction::complex ? size : size / 2 + 1);
  Buffer<fftw_complex> out = allocate<fftw_complex>(d == Direction::complex ? size : 1);
  const std::lock_guard<std::mutex> hold(planner_lock());
  fftw_plan p = plan_of(n, d, real.get(), lines.get(), out.get());
  if (p == nullptr) throw std::runtime_error("no transform plan for this length");
  return Plan(p, [](fftw_plan q) {
    const std::lock_guard<std::mutex> again(planner_lock());
    fftw_destroy_plan(q);
  });
}

// The plans of the last few lengths asked for: the three components of a
// record share one, and planning costs more than a transform.
constexpr std::size_t kCachedPlans = 8;

struct CachedPlan {
  int n;
  Direction direction;
  Plan plan;
};

struct PlanCache {
  std::mutex lock;
  std::vector<CachedPlan> plans;  // most recently used last

  // The plan of (n, d) when it is here, moved to the end; else empty.
  Plan find(int n, Direction d) {
    const std::lock_guard<std::mutex> hold(lock);
    for (std::size_t k = 0; k < plans.size(); ++k) {
      if (plans[k].n == n && plans[k].direction == d) {
        std::rotate(plans.begin() + static_cast<std::ptrdiff_t>(k), plans.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                    plans.end());
        return plans.back().plan;
      }
    }
    return nullptr;
  }

  void add(int n, Direction d, Plan p) {
    const std::lock_guard<std::mutex> hold(lock);
    if (plans.size() == kCachedPlans) plans.erase(plans.begin());
    plans.push_back({n, d, std::move(p)});
  }
};

// Threads that ask for the same new length at once make its plan once: the
// plans are made one at a time, and each maker looks again once its turn
// comes.
Plan plan_for(int n, Direction d) {
  static PlanCache cache;
  static std::mutex making;
  if (Plan p = cache.find(n, d)) return p;
  const std::lock_guard<std::mutex> turn(making);
  if (Plan p = cache.find(n, d)) return p;
  Plan made = make_plan(n, d);
  cache.add(n, d, made);
  return made;
}

int checked_length(std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::invalid_argument("transform length too large");
  }
  return static_cast<int>(n);
}

}  // namespace

std::vector<std::complex<double>> forward_real(std::span<const double> x) {
  const std::size_t n = x.size();
  if (n == 0) return {};
  const std::size_t lines = n / 2 + 1;
  const Plan plan = plan_for(checked_length(n), Direction::forward);
  Buffer<double> in = allocate<double>(n);
  Buffer<fftw_complex> out = allocate<fftw_complex>(lines);
  std::copy(x.begin(), x.end(), in.get());
  fftw_execute_dft_r2c(plan.get(), in.get(), out.get());
  std::vector<std::complex<double>> X(lines);
  for (std::size_t j = 0; j < lines; ++j) X[j] = {out[j][0], out[j][1]};
  return X;
}

std::vector<double> inverse_real(std::span<const std::complex<double>> lines, std::size_t n) {
  if (n == 0 && lines.empty()) return {};
  if (lines.size() != n / 2 + 1) throw std::invalid_argument("inverse transform: wrong number of lines");
  const Plan plan = plan_for(checked_length(n), Direction::inverse);
  Buffer<fftw_complex> in = allocate<fftw_complex>(lines.size());
  Buffer<double> out = allocate<double>(n);
  for (std::size_t j = 0; j < lines.size(); ++j) {
    in[j][0] = lines[j].real();
    in[j][1] = lines[j].imag();
  }
  fftw_execute_dft_c2r(plan.get(), in.get(), out.get());  // c2r destroys `in`, which is ours
  return std::vector<double>(out.get(), out.get() + n);
}

std::vector<double> filter_real(std::span<const double> x, std::size_t n, std::span<const double> gain) {
  if (n < x.size() || gain.size() != n / 2 + 1) throw std::invalid_argument("filter: wrong length or gain count");
  if (n == 0) return {};
  const Plan forward = plan_for(checked_length(n), Direction::forward);
  const Plan inverse = plan_for(checked_length(n), Direction::inverse);
  Buffer<double> real = allocate<double>(n);
  Buffer<fftw_complex> lines = allocate<fftw_complex>(gain.size());
  std::copy(x.begin(), x.end(), real.get());
  std::fill(real.get() + x.size(), real.get() + n, 0.0);
  fftw_execute_dft_r2c(forward.get(), real.get(), lines.get());
  for (std::size_t j = 0; j < gain.size(); ++j) {
    lines[j][0] *= gain[j];
    lines[j][1] *= gain[j];
  }
  fftw_execute_dft_c2r(inverse.get(), lines.get(), real.get());
  return std::vector<double>(real.get(), real.get() + x.size());
}

std::array<std::vector<double>, 2> filter_real_pair(std::span<const double> x1, std::span<const double> x2,
                                                    std::size_t n, std::span<const double> gain) {
  if (x1.size() != x2.size() || n < x1.size() || gain.size() != n / 2 + 1) {
    throw std::invalid_argument("filter: wrong lengths or gain count");
  }
  if (n == 0) return {};
  const Plan plan = plan_for(checked_length(n), Direction::complex);
  Buffer<fftw_complex> z = allocate<fftw_complex>(n);
  Buffer<fftw_complex> lines = allocate<fftw_complex>(n);
  for (std::size_t i = 0; i < n; ++i) {
    z[i][0] = i < x1.size() ? x1[i] : 0.0;
    z[i][1] = i < x2.size() ? x2[i] : 0.0;
  }
  fftw_execute_dft(plan.get(), z.get(), lines.get());
  // Line j and its mirror n - j take the same gain; the product goes back
  // through the forward transform with its parts swapped:
  // sum_j Y_j e^(+2 pi I i j / n) = swap(DFT(swap(Y)))_i.
  for (std::size_t j = 0; j < n; ++j) {
    const double g = gain[std::min(j, n - j)];
    z[j][0] = lines[j][1] * g;
    z[j][1] = lines[j][0] * g;
  }
  fftw_execute_dft(plan.get(), z.get(), lines.get());
  std::array<std::vector<double>, 2> y{std::vector<double>(x1.size()), std::vector<double>(x1.size())};
  for (std::size_t i = 0; i < x1.size(); ++i) {
    y[0][i] = lines[i][1];
    y[1][i] = lines[i][0];
  }
  return y;
}

}  // namespace wavefft::fourier
