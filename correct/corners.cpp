// SPDX-License-Identifier: GPL-3.0-or-later
// The corners: a number given stands; `auto` takes the band where the
// signal-to-noise ratio is at least 3 around 1 Hz, or falls back to
// 0.1 Hz and min(40 Hz, 0.8 Nyquist). The two horizontals then share the
// larger high-pass and the smaller low-pass corner.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "correct/corners.h"

namespace wavefft::correct {

namespace {

constexpr double kLeastRatio = 3.0;
constexpr double kFallbackHighpass = 0.1;  // Hz
constexpr double kHighestLowpass = 40.0;   // Hz
constexpr double kNyquistShare = 0.8;

double lowpass_limit(double dt) { return std::min(kHighestLowpass, kNyquistShare * (1.0 / (2.0 * dt))); }

struct Band {
  double highpass = kFallbackHighpass;
  double lowpass = 0.0;
  bool from_snr = false;
};

// The band around 1 Hz where signal / noise >= 3 at every frequency of the
// grid; empty when the ratio is below 3 (or undefined) at 1 Hz.
std::optional<Band> snr_band(const std::vector<double>& signal, const std::vector<double>& noise, double limit) {
  const std::span<const double> f = snr_frequencies();
  auto good = [&](std::size_t k) { return signal[k] / noise[k] >= kLeastRatio; };  // NaN: false
  if (!good(kOneHertz)) return std::nullopt;
  std::size_t low = kOneHertz;
  while (low > 0 && good(low - 1)) --low;
  std::size_t high = kOneHertz;
  while (high + 1 < signal.size() && f[high + 1] <= limit && good(high + 1)) ++high;
  // 1 Hz above the limit (a step over 0.4 s): the limit itself.
  return Band{f[low], std::min(f[high], limit), true};
}

// The auto corners of each component, each decided on its own.
std::array<Band, 3> auto_bands(const std::array<std::span<const double>, 3>& a, double dt, std::size_t noise_end,
                               std::array<ComponentReport, 3>& r) {
  const double limit = lowpass_limit(dt);
  std::array<Band, 3> bands;
  // Above the limit (and 1 Hz) no ratio is looked at.
  const double upto = std::max(limit, 1.0);
  const NoiseSpectra spectra = noise_end > 0 ? noise_spectra(a, dt, noise_end, upto) : NoiseSpectra{};
  for (std::size_t c = 0; c < 3; ++c) {
    bands[c].lowpass = limit;
    if (noise_end == 0) {
      r[c].flags.no_noise = true;
    } else if (const std::optional<Band> b = snr_band(spectra.signal[c], spectra.noise[c], limit)) {
      bands[c] = *b;
    } else {
      r[c].flags.low_snr = true;
    }
  }
  return bands;
}

}  // namespace

std::array<ComponentReport, 3> choose_corners(const std::array<std::span<const double>, 3>& a, double dt,
                                              const Settings& s, std::size_t noise_end) {
  std::array<ComponentReport, 3> r;
  const bool given_low = s.lowpass || s.no_lowpass;
  if (s.highpass && given_low) {
    for (ComponentReport& c : r) {
      c.highpass_hz = *s.highpass;
      c.lowpass_hz = s.lowpass;  // empty with --lowpass none
      c.corners = Corners::given;
    }
    return r;
  }
  std::array<Band, 3> bands = auto_bands(a, dt, noise_end, r);
  const double hp = std::max(bands[0].highpass, bands[1].highpass);
  const double lp = std::min(bands[0].lowpass, bands[1].lowpass);
  for (std::size_t c = 0; c < 2; ++c) bands[c].highpass = hp, bands[c].lowpass = lp;
  for (std::size_t c = 0; c < 3; ++c) {
    r[c].corners = bands[c].from_snr ? Corners::snr : Corners::fallback;
    r[c].highpass_hz = s.highpass ? *s.highpass : bands[c].highpass;
    if (s.lowpass) {
      r[c].lowpass_hz = s.lowpass;
    } else if (!s.no_lowpass && bands[c].lowpass > r[c].highpass_hz) {
      r[c].lowpass_hz = bands[c].lowpass;  // a low-pass at or below the high-pass is dropped
    }
  }
  return r;
}

}  // namespace wavefft::correct
