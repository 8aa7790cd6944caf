// SPDX-License-Identifier: GPL-3.0-or-later
// The whole correction: onset, mean, taper, then for each component the
// filter and the baseline, repeated with a higher high-pass corner while
// the displacement drifts; then the flags.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "correct/corners.h"
#include "correct/correct.h"
#include "correct/steps.h"

namespace wavefft::correct {

namespace {

constexpr double kDriftEnd = 0.025;       // cm: the displacement's last value
constexpr double kDriftShare = 0.2;       // of the largest displacement
constexpr double kCornerStep = 1.5;
constexpr double kHighestHighpass = 0.5;  // Hz
constexpr double kResidualVelocity = 0.1;      // cm/s
constexpr double kResidualDisplacement = 0.1;  // cm

std::optional<std::size_t> settle_onset(std::span<const double> vertical, double dt, const Settings& s) {
  if (!s.onset_s) return aic_onset(vertical, dt);
  const double k = std::round(*s.onset_s / dt);
  return std::min(static_cast<std::size_t>(k), vertical.size() - 1);
}

// One component demeaned and tapered: what every pass of the filter starts from.
std::vector<double> prepare(std::span<const double> a, std::size_t noise_end, double frac) {
  std::vector<double> x(a.begin(), a.end());
  const double m = mean(noise_end > 0 ? a.first(noise_end) : a);
  for (double& v : x) v -= m;
  taper(x, frac);
  return x;
}

// The displacement (cm) still drifts: its last value beyond kDriftEnd or
// beyond kDriftShare of its largest.
bool drifts(std::span<const double> a, double dt, double gal_per_unit) {
  double last = 0.0, largest = 0.0;
  integrate_twice(a, dt, [&](std::size_t, double, double d) {
    last = std::fabs(d * gal_per_unit);
    largest = std::fmax(largest, last);
  });
  return last > kDriftEnd || last > kDriftShare * largest;
}

constexpr std::size_t kHorizontals[] = {0, 1};
constexpr std::size_t kVertical[] = {2};

class Corrector {
 public:
  Corrector(const std::array<std::span<const double>, 3>& a, double dt, const Settings& s, std::size_t noise_end)
      : dt_(dt), s_(s), baseline_(a[0].size()) {
    for (std::size_t c = 0; c < 3; ++c) prepared_[c] = prepare(a[c], noise_end, s.taper);
  }

  // The components of `group` (one or two) filtered with `filter` and
  // their baselines removed, into `out`.
  void run(std::span<const std::size_t> group, const Butterworth& filter,
           std::array<std::vector<double>, 3>& out) const {
    if (group.size() == 2) {
      std::array<std::vector<double>, 2> y = filtered_pair(filter, prepared_[group[0]], prepared_[group[1]]);
      out[group[0]] = std::move(y[0]);
      out[group[1]] = std::move(y[1]);
    } else {
      out[group[0]] = filtered(filter, prepared_[group[0]]);
    }
    if (!s_.baseline) return;
    for (std::size_t c : group) baseline_.remove(out[c], dt_);
  }

  // Corrects every component, then, while `raise`, raises the high-pass
  // corner of each group whose components drift (the horizontals together,
  // the vertical alone) and corrects its components again. The groups of
  // each pass run side by side; the two horizontals share one transform.
  void settle(std::array<ComponentReport, 3>& reports, std::array<std::vector<double>, 3>& out, bool raise) const {
    std::array<bool, kGroups.size()> active{};
    active.fill(true);
    for (;;) {
      if (std::none_of(active.begin(), active.end(), [](bool a) { return a; })) return;
      run_jobs(kGroups.size(), [&](std::size_t g) {
        if (!active[g]) return;
        const ComponentReport& r = reports[kGroups[g][0]];
        run(kGroups[g], make_butterworth(prepared_[0].size(), dt_, r.highpass_hz, r.lowpass_hz, s_.order), out);
      });
      for (std::size_t g = 0; g < kGroups.size(); ++g) active[g] = active[g] && raise && raise_corner(kGroups[g], reports, out);
    }
  }

 private:
  // The horizontals share their corners and their passes; the vertical goes
  // its own way, and first: while it is being planned, the horizontals'
  // transform (another length) can be.
  static constexpr std::array<std::span<const std::size_t>, 2> kGroups{std::span<const std::size_t>(kVertical),
                                                                      std::span<const std::size_t>(kHorizontals)};

  // When a component of `group` drifts: its corner raised 1.5 times and
  // true, or, past the highest corner, the drift flag and false. False when
  // none drifts.
  bool raise_corner(std::span<const std::size_t> group, std::array<ComponentReport, 3>& reports,
                    const std::array<std::vector<double>, 3>& out) const {
    const bool drifting = std::any_of(group.begin(), group.end(),
                                      [&](std::size_t c) { return drifts(out[c], dt_, s_.gal_per_unit); });
    if (!drifting) return false;
    const double next = reports[group[0]].highpass_hz * kCornerStep;
    for (std::size_t c : group) {
      if (next <= kHighestHighpass) {
        reports[c].highpass_hz = next;
      } else {
        reports[c].flags.drift = true;
      }
    }
    return next <= kHighestHighpass;
  }

  double dt_;
  const Settings& s_;
  PolynomialBaseline baseline_;
  std::array<std::vector<double>, 3> prepared_;
};

// Signed means of v (cm/s) and d (cm) over the last ceil(1/dt) samples.
void residuals(std::span<const double> a, double dt, double gal_per_unit, ComponentReport& r) {
  const double want = std::ceil(1.0 / dt);
  const std::size_t last = want < static_cast<double>(a.size()) ? static_cast<std::size_t>(want) : a.size();
  const std::size_t from = a.size() - last;
  double sum_v = 0.0, sum_d = 0.0;
  integrate_twice(a, dt, [&](std::size_t i, double v, double d) {
    if (i >= from) sum_v += v, sum_d += d;
  });
  const double count = last == 0 ? 1.0 : static_cast<double>(last);
  r.residual_velocity_cm_s = sum_v / count * gal_per_unit;
  r.residual_displacement_cm = sum_d / count * gal_per_unit;
  r.flags.residual = std::fabs(r.residual_velocity_cm_s) > kResidualVelocity ||
                     std::fabs(r.residual_displacement_cm) > kResidualDisplacement;
}

}  // namespace

double Correction::onset_s() const { return onset ? static_cast<double>(*onset) * dt : 0.0; }

std::vector<std::string> flag_words(const Flags& f) {
  std::vector<std::string> words;
  if (f.no_noise) words.emplace_back("no-noise");
  if (f.low_snr) words.emplace_back("low-snr");
  if (f.drift) words.emplace_back("drift");
  if (f.residual) words.emplace_back("residual");
  return words;
}

Correction correct_record(const std::array<std::span<const double>, 3>& a, double dt, const Settings& s) {
  const std::size_t n = a[0].size();
  if (a[1].size() != n || a[2].size() != n) throw std::invalid_argument("the components differ in length");
  if (const std::string why = check_settings(s, n, dt); !why.empty()) throw std::invalid_argument(why);

  Correction c;
  c.dt = dt;
  c.onset = settle_onset(a[2], dt, s);
  c.noise_usable = c.onset && static_cast<double>(*c.onset) * dt >= kUsableNoiseSeconds;
  const std::size_t noise_end = c.noise_usable ? *c.onset : 0;

  // The corners (the spectra) beside what every pass starts from (the
  // demeaned, tapered components and the baseline's basis).
  std::optional<Corrector> corrector;
  run_jobs(2, [&](std::size_t job) {
    if (job == 0) {
      c.components = choose_corners(a, dt, s, noise_end);
    } else {
      corrector.emplace(a, dt, s, noise_end);
    }
  });
  for (std::size_t k = 0; k < 3; ++k) c.components[k].pga_before = peak(a[k]);

  const bool raise = !s.highpass;
  corrector->settle(c.components, c.corrected, raise);

  for (std::size_t k = 0; k < 3; ++k) {
    c.components[k].pga_after = peak(c.corrected[k]);
    residuals(c.corrected[k], dt, s.gal_per_unit, c.components[k]);
  }
  return c;
}

}  // namespace wavefft::correct
