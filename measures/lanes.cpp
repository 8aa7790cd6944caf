// SPDX-License-Identifier: GPL-3.0-or-later
// The lockstep loop, built for the base instruction set and for AVX2, and
// the choice between them.
#include "measures/lanes.h"

#include <cmath>

namespace wavefft::measures {

namespace {

// The lanes are independent and every pointer is distinct, so the compiler
// runs the lanes in vector registers (the loop must stay free of
// branches). Only the first Width lanes are advanced; each lane's
// arithmetic is the same whatever the width.
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
// vectors; no fused multiply-add, so every lane rounds exactly as before).
template <std::size_t Width>
void advance_base(const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
  advance<Width>(c, st, f, count, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
template <std::size_t Width>
[[gnu::target("avx2")]] void advance_avx2(const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
  advance<Width>(c, st, f, count, out);
}

// Asked once: the processor does not change under a running program.
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

}  // namespace

std::size_t lane_width(std::size_t used) { return used <= 2 ? 2 : used <= 4 ? 4 : kLanes; }

void advance_lanes(std::size_t used, const Lanes& c, State& st, const double* f, std::size_t count, double* out) {
  switch (lane_width(used)) {
    case 2: advance_any<2>(c, st, f, count, out); return;
    case 4: advance_any<4>(c, st, f, count, out); return;
    default: advance_any<kLanes>(c, st, f, count, out); return;
  }
}

}  // namespace wavefft::measures
