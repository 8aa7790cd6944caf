// SPDX-License-Identifier: GPL-3.0-or-later
#include "fourier/real_transform.h"

#include <fftw3.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

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

// fftw_malloc'd, so every call hands FFTW buffers of the same (SIMD)
// alignment and the plan, and with it the bits of the result, never depend
// on where the caller's array happens to lie.
template <typename T>
Buffer<T> allocate(std::size_t count) {
  void* p = fftw_malloc(sizeof(T) * std::max<std::size_t>(count, 1));
  if (p == nullptr) throw std::bad_alloc();
  return Buffer<T>(static_cast<T*>(p));
}

struct PlanDeleter {
  void operator()(fftw_plan p) const {
    const std::lock_guard<std::mutex> hold(planner_lock());
    fftw_destroy_plan(p);
  }
};
using Plan = std::unique_ptr<std::remove_pointer_t<fftw_plan>, PlanDeleter>;

// FFTW_ESTIMATE: the plan follows from the length alone, not from timings,
// so it is the same on every run. FFTW_NO_SIMD: scalar codelets only, so
// the plan and its rounding do not depend on the vector instructions of the
// processor either.
constexpr unsigned kPlanFlags = FFTW_ESTIMATE | FFTW_NO_SIMD;

Plan plan_forward(int n, double* in, fftw_complex* out) {
  const std::lock_guard<std::mutex> hold(planner_lock());
  return Plan(fftw_plan_dft_r2c_1d(n, in, out, kPlanFlags));
}

Plan plan_inverse(int n, fftw_complex* in, double* out) {
  const std::lock_guard<std::mutex> hold(planner_lock());
  return Plan(fftw_plan_dft_c2r_1d(n, in, out, kPlanFlags));
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
  Buffer<double> in = allocate<double>(n);
  Buffer<fftw_complex> out = allocate<fftw_complex>(lines);
  const Plan plan = plan_forward(checked_length(n), in.get(), out.get());
  if (!plan) throw std::runtime_error("no transform plan for this length");
  std::copy(x.begin(), x.end(), in.get());  // after planning: ESTIMATE leaves the buffers alone, but be sure
  fftw_execute(plan.get());
  std::vector<std::complex<double>> X(lines);
  for (std::size_t j = 0; j < lines; ++j) X[j] = {out[j][0], out[j][1]};
  return X;
}

std::vector<double> inverse_real(std::span<const std::complex<double>> lines, std::size_t n) {
  if (n == 0 && lines.empty()) return {};
  if (lines.size() != n / 2 + 1) throw std::invalid_argument("inverse transform: wrong number of lines");
  Buffer<fftw_complex> in = allocate<fftw_complex>(lines.size());
  Buffer<double> out = allocate<double>(n);
  const Plan plan = plan_inverse(checked_length(n), in.get(), out.get());
  if (!plan) throw std::runtime_error("no transform plan for this length");
  for (std::size_t j = 0; j < lines.size(); ++j) {
    in[j][0] = lines[j].real();
    in[j][1] = lines[j].imag();
  }
  fftw_execute(plan.get());  // c2r destroys `in`, which is ours
  return std::vector<double>(out.get(), out.get() + n);
}

}  // namespace wavefft::fourier
