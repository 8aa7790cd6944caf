// SPDX-License-Identifier: GPL-3.0-or-later
// The tail sums, 32 lines at a time in four vectors of eight, built for the
// base instruction set, AVX2 and AVX-512 (the widest the processor has),
// with the same rounding on every path: no fused multiply-add, the same
// operations in every lane, the lanes summed in one fixed order.
//
// The division is the costly step, so the four vectors share one: with
// p = (x0 x1)(x2 x3), 1/x0 = x1 (x2 x3) / p, and likewise for the others.
// In the tails |x| > 3 and |x| <= 2 kTailExpansionLimit, so p neither
// overflows nor vanishes.
//
// Every helper that takes or returns a vector is always inlined: a vector
// passed by value between functions built for different instruction sets
// would not arrive intact.
#include "measures/ko_tails.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>


namespace wavefft::measures {

namespace {

using V8 = double __attribute__((vector_size(64)));
constexpr std::size_t kLanes = 8;
constexpr std::size_t kBlock = 4 * kLanes;  // lines per step

struct Frequency {
  double b, sin_b, cos_b;  // B = b log10 fc, sin B, cos B
};

// The weight of one line from A, sin A, cos A (the lines outside whole blocks).
[[gnu::always_inline]] inline double tail_weight(double a, double sa, double ca, const Frequency& f) {
  const double x = a - f.b;
  const double r = (sa * f.cos_b - ca * f.sin_b) / x;
  const double r2 = r * r;
  return r2 * r2;
}

[[gnu::always_inline]] inline V8 load(const double* p) {
  V8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

[[gnu::always_inline]] inline V8 splat(double x) { return V8{x, x, x, x, x, x, x, x}; }

struct Frequency8 {
  V8 b, sin_b, cos_b;
};

struct Arrays {
  const double *a, *sa, *ca;
  const double* x[kTailSpectra];
};

// (sin x / x)^4 from sin x and 1/x.
[[gnu::always_inline]] inline V8 fourth(V8 s, V8 inv_x) {
  const V8 r = s * inv_x;
  const V8 r2 = r * r;
  return r2 * r2;
}

// sin x of the lines q .. q + 7.
[[gnu::always_inline]] inline V8 sine(const Arrays& in, std::size_t q, const Frequency8& f) {
  return load(in.sa + q) * f.cos_b - load(in.ca + q) * f.sin_b;
}

// The weights of the kBlock lines from p on, vector v holding lines
// p + 8v .. p + 8v + 7.
[[gnu::always_inline]] inline void block_weights(const Arrays& in, std::size_t p, const Frequency8& f, V8 (&w)[4]) {
  const V8 x[4] = {load(in.a + p) - f.b, load(in.a + p + kLanes) - f.b, load(in.a + p + 2 * kLanes) - f.b,
                   load(in.a + p + 3 * kLanes) - f.b};
  const V8 s[4] = {sine(in, p, f), sine(in, p + kLanes, f), sine(in, p + 2 * kLanes, f), sine(in, p + 3 * kLanes, f)};
  const V8 x01 = x[0] * x[1];
  const V8 x23 = x[2] * x[3];
  const V8 inv = 1.0 / (x01 * x23);
  const V8 inv01 = inv * x23;  // 1 / (x0 x1)
  const V8 inv23 = inv * x01;  // 1 / (x2 x3)
  w[0] = fourth(s[0], x[1] * inv01);
  w[1] = fourth(s[1], x[0] * inv01);
  w[2] = fourth(s[2], x[3] * inv23);
  w[3] = fourth(s[3], x[2] * inv23);
}

// (v0 + v1) + (v2 + v3), lane by lane.
[[gnu::always_inline]] inline V8 sum4(V8 v0, V8 v1, V8 v2, V8 v3) { return (v0 + v1) + (v2 + v3); }

// The block's weights times its amplitudes `x`, the four vectors summed.
[[gnu::always_inline]] inline V8 weighted(const V8 (&w)[4], const double* x) {
  return sum4(w[0] * load(x), w[1] * load(x + kLanes), w[2] * load(x + 2 * kLanes), w[3] * load(x + 3 * kLanes));
}

// Sums over the `count` blocks from line index `first` on into acc[0] (W)
// and acc[1 + s] (W X_s), lane by lane.
[[gnu::always_inline]] inline void blocks(const Arrays& in, std::size_t first, std::size_t count, const Frequency& f,
                                          V8 (&acc)[1 + kTailSpectra]) {
  const Frequency8 f8{splat(f.b), splat(f.sin_b), splat(f.cos_b)};
  V8 sw = acc[0], s0 = acc[1], s1 = acc[2], s2 = acc[3], s3 = acc[4];
  for (std::size_t p = first; p < first + kBlock * count; p += kBlock) {
    V8 w[4];
    block_weights(in, p, f8, w);
    sw += sum4(w[0], w[1], w[2], w[3]);
    s0 += weighted(w, in.x[0] + p);
    s1 += weighted(w, in.x[1] + p);
    s2 += weighted(w, in.x[2] + p);
    s3 += weighted(w, in.x[3] + p);
  }
  acc[0] = sw, acc[1] = s0, acc[2] = s1, acc[3] = s2, acc[4] = s3;
}

void blocks_base(const Arrays& in, std::size_t first, std::size_t count, const Frequency& f,
                 V8 (&acc)[1 + kTailSpectra]) {
  blocks(in, first, count, f, acc);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] void blocks_avx2(const Arrays& in, std::size_t first, std::size_t count, const Frequency& f,
                                         V8 (&acc)[1 + kTailSpectra]) {
  blocks(in, first, count, f, acc);
}

[[gnu::target("avx512f")]] void blocks_avx512(const Arrays& in, std::size_t first, std::size_t count,
                                              const Frequency& f, V8 (&acc)[1 + kTailSpectra]) {
  blocks(in, first, count, f, acc);
}

#endif

// The kernel of `isa`, which the processor must be able to run.
void blocks_on(TailIsa isa, const Arrays& in, std::size_t first, std::size_t count, const Frequency& f,
               V8 (&acc)[1 + kTailSpectra]) {
#if defined(__x86_64__) && defined(__GNUC__)
  switch (isa) {
    case TailIsa::avx512: blocks_avx512(in, first, count, f, acc); return;
    case TailIsa::avx2: blocks_avx2(in, first, count, f, acc); return;
    case TailIsa::base: break;
  }
#else
  (void)isa;
#endif
  blocks_base(in, first, count, f, acc);
}

}  // namespace

std::vector<TailIsa> runnable_tail_isas() {
  std::vector<TailIsa> isas{TailIsa::base};
#if defined(__x86_64__) && defined(__GNUC__)
  if (__builtin_cpu_supports("avx2")) isas.push_back(TailIsa::avx2);
  if (__builtin_cpu_supports("avx512f")) isas.push_back(TailIsa::avx512);
#endif
  return isas;
}

TailLines::TailLines(const LineGrid& grid, double b, std::span<const std::span<const double>> spectra) : b_(b) {
  const std::size_t count = grid.lines() - 1;
  a_.resize(count);
  sin_a_.resize(count);
  cos_a_.resize(count);
  for (std::size_t p = 0; p < count; ++p) {
    const double a = b * std::log10(grid.frequency(p + 1));
    if (!(std::fabs(a) <= kTailExpansionLimit)) {
      usable_ = false;
      return;
    }
    a_[p] = a;
    sin_a_[p] = std::sin(a);
    cos_a_[p] = std::cos(a);
  }
  for (std::size_t s = 0; s < kTailSpectra; ++s) {
    x_[s].assign(count, 0.0);
    if (s < spectra.size()) {
      std::copy(spectra[s].begin() + 1, spectra[s].begin() + 1 + static_cast<std::ptrdiff_t>(count), x_[s].begin());
    }
  }
}

namespace {

// Lines read from memory once for every request of a call: seven arrays of
// kChunk doubles stay in the first-level cache.
constexpr std::size_t kChunk = 16 * kBlock;

// One request on its way: its frequency, its two tails as line indices
// p (line p + 1), the lanes of the whole blocks and the sums of the lines
// outside them.
struct Pending {
  Frequency f{};
  std::size_t tail[2][2]{};
  V8 acc[1 + kTailSpectra]{};
  TailSums loose{};
};

std::size_t round_up(std::size_t p) { return (p + kBlock - 1) / kBlock * kBlock; }
std::size_t round_down(std::size_t p) { return p / kBlock * kBlock; }

}  // namespace

void TailLines::add(std::span<TailRequest> requests) const {
  // Asked once: the processor does not change under a running program.
  static const TailIsa widest = runnable_tail_isas().back();
  add(requests, widest);
}

void TailLines::add(std::span<TailRequest> requests, TailIsa isa) const {
  if (requests.size() > kTailRequests) throw std::invalid_argument("too many tail requests in one call");
  const std::size_t count = a_.size();
  const Arrays in{a_.data(), sin_a_.data(), cos_a_.data(), {x_[0].data(), x_[1].data(), x_[2].data(), x_[3].data()}};
  std::array<Pending, kTailRequests> pending;
  for (std::size_t r = 0; r < requests.size(); ++r) {
    const double bc = b_ * std::log10(requests[r].fc);
    pending[r].f = {bc, std::sin(bc), std::cos(bc)};
    pending[r].tail[0][0] = 0;
    pending[r].tail[0][1] = requests[r].first - 1;
    pending[r].tail[1][0] = requests[r].last - 1;
    pending[r].tail[1][1] = count;
  }
  // Whole blocks sit at multiples of kBlock, so every line goes to the same
  // lane or loose sum, in the same order, however the lines are chunked.
  auto loose = [&](Pending& q, std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to; ++p) {
      const double w = tail_weight(a_[p], sin_a_[p], cos_a_[p], q.f);
      q.loose[0] += w;
      for (std::size_t s = 0; s < kTailSpectra; ++s) q.loose[1 + s] += w * x_[s][p];
    }
  };
  for (std::size_t c0 = 0; c0 < count; c0 += kChunk) {
    const std::size_t c1 = std::min(count, c0 + kChunk);
    for (std::size_t r = 0; r < requests.size(); ++r) {
      Pending& q = pending[r];
      for (const auto& t : q.tail) {
        const std::size_t u = std::max(t[0], c0), v = std::min(t[1], c1);
        if (u >= v) continue;
        const std::size_t b0 = round_up(u), b1 = round_down(v);
        if (b0 >= b1) {
          loose(q, u, v);
          continue;
        }
        loose(q, u, b0);
        blocks_on(isa, in, b0, (b1 - b0) / kBlock, q.f, q.acc);
        loose(q, b1, v);
      }
    }
  }
  // The lanes in one order, ((0 + 1) + (2 + 3)) + ((4 + 5) + (6 + 7)), then
  // the loose lines.
  for (std::size_t r = 0; r < requests.size(); ++r) {
    for (std::size_t k = 0; k < requests[r].sums.size(); ++k) {
      const V8& v = pending[r].acc[k];
      const double lanes = ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
      requests[r].sums[k] += lanes + pending[r].loose[k];
    }
  }
}

}  // namespace wavefft::measures
