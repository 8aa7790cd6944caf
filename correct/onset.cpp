// SPDX-License-Identifier: GPL-3.0-or-later
// The onset of the motion: the split of component 3 into two stretches of
// the most different variance (the Akaike information criterion).
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "correct/correct.h"

namespace wavefft::correct {

namespace {

// Running variance (over the count) of the samples added so far, by
// Welford's update: a constant stretch gives exactly 0, and a large offset
// costs no digits.
class RunningVariance {
 public:
  void add(double x) {
    ++count_;
    const double delta = x - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (x - mean_);
  }
  double variance() const { return m2_ / static_cast<double>(count_); }

 private:
  std::size_t count_ = 0;
  double mean_ = 0.0;
  double m2_ = 0.0;
};

// The index of the first largest |a|.
std::size_t peak_index(std::span<const double> a) {
  std::size_t p = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    if (std::fabs(a[i]) > std::fabs(a[p])) p = i;
  }
  return p;
}

// The first k the criterion looks at: max(2, ceil(1/dt)), or nothing when
// that lies beyond `last`.
std::optional<std::size_t> first_split(double dt, std::size_t last) {
  const double m = std::ceil(1.0 / dt);
  if (!(m <= static_cast<double>(last))) return std::nullopt;
  const auto k = static_cast<std::size_t>(m);
  return k < 2 ? std::size_t{2} : k;
}

}  // namespace

std::optional<std::size_t> aic_onset(std::span<const double> a, double dt) {
  const std::size_t n = a.size();
  if (n < 3) return std::nullopt;
  const std::size_t p = peak_index(a);
  const std::optional<std::size_t> m = first_split(dt, p);
  if (!m || *m > p) return std::nullopt;

  // V(k, n) for k = m .. p, from the end backwards.
  std::vector<double> after(p - *m + 1);
  RunningVariance tail;
  for (std::size_t i = n; i-- > *m;) {
    tail.add(a[i]);
    if (i <= p) after[i - *m] = tail.variance();
  }
  RunningVariance head;
  for (std::size_t i = 0; i < *m; ++i) head.add(a[i]);

  std::optional<std::size_t> best;
  double best_aic = 0.0;
  for (std::size_t k = *m; k <= p; ++k) {
    const double v0 = head.variance();
    const double v1 = after[k - *m];
    head.add(a[k]);
    if (!(v0 > 0.0) || !(v1 > 0.0)) continue;
    const double aic = static_cast<double>(k) * std::log(v0) + static_cast<double>(n - k) * std::log(v1);
    if (!best || aic < best_aic) {
      best = k;
      best_aic = aic;
    }
  }
  return best;
}

}  // namespace wavefft::correct
