// SPDX-License-Identifier: GPL-3.0-or-later
// Correcting a three-component acceleration record as strong-motion
// engineers do: the onset picked by the Akaike criterion, the pre-event mean
// removed, a cosine taper, an acausal Butterworth band-pass applied in the
// frequency domain, a polynomial baseline taken out of the displacement,
// corners chosen from the signal-to-noise ratio, and the record flagged when
// something still drifts. Arrays in, arrays out: nothing here reads or
// writes files. Shared by wavefft-correct, wavefft-batch and wavefft-report.
//
// Definitions, for n samples a[i] at interval dt, t[i] = i dt:
//   v, d: cumulative trapezoids from 0 (v[0] = 0,
//         v[i] = v[i-1] + dt (a[i-1] + a[i]) / 2; d likewise from v).
//   onset: on component 3 as read, p = the index of the largest |a| (the
//         first), m = max(2, ceil(1/dt)); for k = m .. p,
//         AIC(k) = k ln V(0,k) + (n-k) ln V(k,n), V(i,j) the variance (over
//         the count) of samples i .. j-1; k with a zero variance skipped. The
//         onset is the k of the smallest AIC (the first on ties); the noise
//         is samples 0 .. onset-1, usable when onset dt >= 5 s.
//   mean: that of the usable noise, else that of the whole record.
//   taper: m = floor(frac n); a[i] and a[n-1-i] times
//         0.5 (1 - cos(pi i / m)) for i = 0 .. m-1.
//   filter: zeros to N = n + ceil(1.5 order / (f_hp dt)); line j of the
//         length-N transform (f = j / (N dt)) times
//         H(f) = (1 + (f_hp/f)^(2 order))^(-1/2) (1 + (f/f_lp)^(2 order))^(-1/2),
//         H(0) = 0, the second factor 1 without a low-pass; back (over N),
//         the first n samples kept.
//   baseline: d fitted by least squares with c2 t^2 + .. + c6 t^6 over all
//         samples; its second derivative taken from a.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wavefft::correct {

/// The frequencies of the signal-to-noise ratio: 10^(k/75 - 2) Hz for
/// k = 0 .. 300 (0.01 to 100 Hz, 75 per decade).
std::span<const double> snr_frequencies();

/// Seconds of noise before the onset that make it usable.
inline constexpr double kUsableNoiseSeconds = 5.0;

/// The index of k = 150 in snr_frequencies(): 1 Hz.
inline constexpr std::size_t kOneHertz = 150;

/// How a component's corners were set.
enum class Corners {
  snr,       // from the signal-to-noise ratio
  fallback,  // 0.1 Hz and min(40 Hz, 0.8 Nyquist): no usable noise or a low ratio at 1 Hz
  given,     // both corners given
};

/// What a correction leaves to be looked at (a flagged record is still
/// corrected).
struct Flags {
  bool no_noise = false;  // auto corners, but no usable pre-event noise
  bool low_snr = false;   // auto corners, but the ratio is below 3 at 1 Hz
  bool drift = false;     // the displacement still drifts with the high-pass at its limit
  bool residual = false;  // the last second still holds velocity (> 0.1 cm/s) or displacement (> 0.1 cm)
};

/// The words of the set flags, in the order no-noise, low-snr, drift,
/// residual.
std::vector<std::string> flag_words(const Flags& flags);

/// What to do. A corner left empty is chosen from the noise ("auto").
struct Settings {
  std::optional<double> highpass;   // Hz, > 0
  std::optional<double> lowpass;    // Hz, > highpass when both are given
  bool no_lowpass = false;          // --lowpass none: no low-pass at all
  int order = 5;                    // >= 1
  double taper = 0.05;              // in [0, 0.5)
  bool baseline = true;             // poly6, else none
  std::optional<double> onset_s;    // seconds after the first sample, else auto
  /// Centimetres per second squared per unit of the record's values
  /// (980.665 for g, 1 for gal, 100 for m_s2, 0.1 for mm_s2).
  double gal_per_unit = 1.0;
};

/// The settings refused before anything is computed, for a record of n
/// samples at dt: the message naming the option, or empty when they are
/// sound. (A corner <= 0 or not finite, a low-pass <= the high-pass, an
/// order outside 1 .. kMaxOrder, a taper outside [0, 0.5), an onset outside
/// the record, fewer than 2 samples, a dt that is not positive, a padded
/// transform longer than kMaxTransform.)
std::string check_settings(const Settings& s, std::size_t n, double dt);

inline constexpr int kMaxOrder = 100;
inline constexpr std::size_t kMaxTransform = std::size_t{1} << 26;

/// One corrected component and how.
struct ComponentReport {
  double highpass_hz = 0.0;
  std::optional<double> lowpass_hz;  // empty: no low-pass
  Corners corners = Corners::given;
  double pga_before = 0.0;           // max |a| as read, the record's unit
  double pga_after = 0.0;            // max |a| corrected, the record's unit
  double residual_velocity_cm_s = 0.0;     // signed mean of v over the last ceil(1/dt) samples
  double residual_displacement_cm = 0.0;   // signed mean of d over the same samples
  Flags flags;
};

/// A corrected record.
struct Correction {
  std::optional<std::size_t> onset;  // the onset index; empty: none found
  double onset_s() const;            // onset dt (0 without one)
  double dt = 0.0;
  bool noise_usable = false;
  std::array<ComponentReport, 3> components;
  std::array<std::vector<double>, 3> corrected;  // the record's unit
};

/// Corrects the three components `a` (equal lengths n >= 2, finite values
/// in one unit) sampled every `dt` seconds. Throws std::invalid_argument
/// with check_settings' message when the settings are refused.
Correction correct_record(const std::array<std::span<const double>, 3>& a, double dt, const Settings& s);

// The steps, for the command's tests and for the report.

/// The onset index of the AIC pick on `a` (component 3 as read); empty
/// when no k is left.
std::optional<std::size_t> aic_onset(std::span<const double> a, double dt);

/// Multiplies both ends of `a` by the cosine taper of fraction `frac`.
void taper(std::span<double> a, double frac);

/// The filter's gain H(f) (lowpass empty: no low-pass).
double butterworth_gain(double f, double highpass, std::optional<double> lowpass, int order);

/// The filter for records of n samples at dt: the padded length N and the
/// gain H of each line j = 0 .. N/2 (f = j / (N dt)). Throws
/// std::invalid_argument when N would exceed kMaxTransform.
struct Butterworth {
  std::size_t length = 0;
  std::vector<double> gain;
};
Butterworth make_butterworth(std::size_t n, double dt, double highpass, std::optional<double> lowpass, int order);

/// `a` (the n samples `f` was made for) filtered: padded, transformed,
/// weighted, transformed back (over N); the first n samples.
std::vector<double> filtered(const Butterworth& f, std::span<const double> a);

/// filtered() of two components of the same length at once (the same
/// values to rounding, in about two thirds of the time).
std::array<std::vector<double>, 2> filtered_pair(const Butterworth& f, std::span<const double> a1,
                                                 std::span<const double> a2);

/// filtered(make_butterworth(a.size(), dt, highpass, lowpass, order), a).
std::vector<double> butterworth(std::span<const double> a, double dt, double highpass,
                                std::optional<double> lowpass, int order);

/// Cumulative trapezoids from 0 of `x` at dt.
std::vector<double> integrate(std::span<const double> x, double dt);

/// Takes from `a` the second derivative of the sixth-degree fit (terms t^2 ..
/// t^6) of its displacement.
void remove_baseline(std::span<double> a, double dt);

/// The smoothed Fourier amplitudes of each component's signal (samples
/// onset .. n-1) and noise (0 .. onset-1) at snr_frequencies(), each
/// demeaned and tapered on its own: the noise scaled by
/// sqrt(n_signal / n_noise); NaN where a smoothed value is empty. All empty
/// when `onset` is 0 or not inside the record.
struct NoiseSpectra {
  std::array<std::vector<double>, 3> signal, noise;
};
/// `upto` limits the work to the frequencies below it (those above are
/// left out of the result: the vectors are shorter).
NoiseSpectra noise_spectra(const std::array<std::span<const double>, 3>& a, double dt, std::size_t onset,
                           double upto = 100.0);

}  // namespace wavefft::correct
