// SPDX-License-Identifier: GPL-3.0-or-later
// Fourier amplitude spectra of an acceleration record, the effective
// amplitude spectrum (EAS) of its two horizontals, and their smoothing with
// the Konno-Ohmachi window. Arrays in, arrays out: nothing here reads or
// writes files. Shared by wavefft-measures, wavefft-report and
// wavefft-batch.
//
// Definitions, for n samples a[i] at interval dt:
//   line j = 0 .. floor(n/2) has the frequency f_j = j / (n dt) and the
//   amplitude F(f_j) = dt * |sum_i a[i] exp(-2 pi I i j / n)| (the record's
//   own length: no padding, no taper, no mean removed);
//   EAS(f_j) = sqrt((F_1(f_j)^2 + F_2(f_j)^2) / 2);
//   W(f, fc) = (sin(x) / x)^4, x = b log10(f / fc), W = 1 where |x| < 1e-6;
//   S(fc) = sum_j W(f_j, fc) X(f_j) / sum_j W(f_j, fc) over the lines with
//   f_j > 0 and, in the main window, |x| <= 3.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace wavefft::measures {

/// Which lines the smoothing sums: those of the main lobe of the window
/// (|x| <= 3, 6/b decades wide around fc) or every line above 0 Hz.
enum class KoWindow { main, full };

/// The Konno-Ohmachi smoothing: bandwidth b (> 0, finite) and window.
struct Smoothing {
  double bandwidth = 188.5;
  KoWindow window = KoWindow::main;
};

/// The default output frequencies: 10^(j/100 - 2) Hz for j = 0 .. 400,
/// 0.01 to 100 Hz, 100 per decade, ascending.
std::span<const double> fas_frequencies();

/// The Konno-Ohmachi weight W(f, fc) of bandwidth `b` (f, fc > 0).
/// W(fc, fc) = 1; W(fc 10^(pi/b), fc) = 0.
double konno_ohmachi(double f, double fc, double b);

/// The amplitudes of the lines of `a` sampled every `dt` seconds: dt times
/// the modulus of its discrete Fourier transform at lines 0 .. floor(n/2),
/// in the unit of `a` times seconds. Empty for an empty `a`.
std::vector<double> fourier_amplitudes(std::span<const double> a, double dt);

/// sqrt((f1[j]^2 + f2[j]^2) / 2) at every line, without overflow or
/// underflow for any finite amplitudes. Throws std::invalid_argument when
/// the sizes differ.
std::vector<double> effective_amplitudes(std::span<const double> f1, std::span<const double> f2);

/// The lines of an n-sample record at dt: line j at j / (n dt).
struct LineGrid {
  std::size_t n = 0;   // samples of the record
  double dt = 0.0;     // s
  /// f_j, exactly as the definitions compute it.
  double frequency(std::size_t j) const;
  /// floor(n/2) + 1.
  std::size_t lines() const { return n / 2 + 1; }
  /// 1 / (2 dt).
  double nyquist() const;
};

/// Each of `spectra` (every one with grid.lines() values) smoothed at every
/// output frequency of `fc`: result[s][k] is spectrum s at fc[k], NaN where
/// it is empty (fc above the Nyquist frequency, or no line in the window).
/// The same weights serve every spectrum. `threads` 0: as many as the
/// machine has. Throws std::invalid_argument for a bandwidth that is not a
/// positive finite number, an output frequency that is not one, a spectrum
/// of another length, or a grid without a positive finite dt.
std::vector<std::vector<double>> ko_smooth(const LineGrid& grid, std::span<const std::span<const double>> spectra,
                                           std::span<const double> fc, const Smoothing& smoothing,
                                           unsigned threads = 0);

/// Everything wavefft-measures writes to fas.csv, and the lines behind it.
struct FourierSpectra {
  LineGrid grid;
  std::array<std::vector<double>, 3> lines;  // F_k(f_j), g s
  std::vector<double> eas_lines;             // EAS(f_j), g s
  std::vector<double> frequencies;           // the output frequencies fc, Hz
  std::array<std::vector<double>, 3> fas;    // S of F_k at each fc, g s; NaN: empty
  std::vector<double> eas;                   // S of EAS at each fc, g s; NaN: empty
};

/// The spectra of the three components `a` (m/s^2, like the other measures;
/// converted to g), all of the same length n >= 1, sampled every `dt` > 0
/// seconds, smoothed at `frequencies` (each positive and finite). Throws
/// std::invalid_argument when an argument breaks these rules or a value is
/// so large that an amplitude is not finite.
FourierSpectra fourier_spectra(const std::array<std::span<const double>, 3>& a, double dt,
                               std::span<const double> frequencies, const Smoothing& smoothing = {},
                               unsigned threads = 0);

}  // namespace wavefft::measures
