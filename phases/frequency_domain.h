// SPDX-License-Identifier: GPL-3.0-or-later
// The numerical steps of the processing phases, from the transform length to
// the rows of the waveform file. Pure computations on the run state: no
// console or file I/O here; the dialogue reads the answers into the run state
// and calls these in order.
//
// Lines of a spectrum array count from 1; line i stands for angular frequency
// (i - 1)*dom. Lines 1 .. nom (nom = nf/2 + 1) run from zero frequency to the
// Nyquist line; lines nom + 1 .. nf are the mirrored negative frequencies.
#pragma once

#include <cstdint>
#include <optional>

#include "phases/run_state.h"
#include "transform/complex.h"

namespace wavefft::phases {

/// The program's 2pi: the double nearest to 6.283185307 (bits
/// 0x401921FB54411744, about 1.8e-10 below 2pi). Used for every conversion
/// between Hz and rad/s and for dom; never derived from the transform's pi.
inline constexpr double kTwoPi = 6.283185307;

/// Largest transform length, 2^17.
inline constexpr std::int32_t kMaxTransform = 131072;

struct TransformLength {
  std::int32_t nf;   ///< power of two, 4 .. kMaxTransform
  std::int32_t if1;  ///< log2(nf), 2 .. 17
};

/// Smallest power of two that is at least nt and at least 4: nf starts at 2
/// and is doubled before each comparison with nt, for exponents 2 .. 17.
/// nt <= 4 (negative included) -> {4, 2}; 5 -> {8, 3}; 131072 -> {131072, 17}.
/// Empty when nt > kMaxTransform (the run stops there).
std::optional<TransformLength> choose_length(std::int32_t nt);

/// Reverses the sign of entries 1 .. nt of x; nt <= 0 does nothing, and nt
/// above kCapacity (records past the arrays) reverses entries 1 .. kCapacity.
void negate(Series<double>& x, std::int32_t nt);

/// Loads xr1 .. xr3 (1 .. nt) into fx1 .. fx3 with imaginary parts +0, sets
/// lines nt + 1 .. nf to (0, 0), then transforms fx1, fx2, fx3 forward
/// (unscaled). Lines above nf are not touched.
/// Reads s.nt, s.nf (from choose_length, so 0 <= nt <= nf <= kMaxTransform).
void load_and_forward(RunState& s);

/// dur = nf*dt; lines 1 .. nf of fx1, fx2, fx3 (in that order per line) get
/// both parts multiplied by dt; dom = kTwoPi/dur; nom = nf/2 + 1;
/// eom = nom*dom (one grid step above the Nyquist line; only reported).
void scale_and_grid(RunState& s);

/// Trapezoidal band-pass over lines 1 .. nom from the corners s.fl1, s.fl2,
/// s.fh1, s.fh2 (Hz). Sets oml1 .. omh2 = corner*kTwoPi, then per line
/// omega = (i - 1)*dom: omega < oml1 or omega > omh2 -> the line is set to
/// (0, 0) in all three arrays; otherwise aa = 1, replaced by the rising ramp
/// (omega - oml1)/(oml2 - oml1) when omega < oml2, then by the falling ramp
/// (omh2 - omega)/(omh2 - omh1) when omega > omh1, and the line is multiplied
/// by aa (both parts). s.omega and s.aa hold the last values computed.
/// The corners are not checked against each other. Lines above nom untouched.
void band_pass(RunState& s);

/// On s.nit = 1, 2 or 3, for lines i = 2 .. nom with omega = (i - 1)*dom
/// (s.omega set as it goes), in fx1, fx2, fx3:
///   1 (divide by i*omega):  (re, im) -> (im/omega, (-re)/omega)
///   2 (divide by -omega^2): w2 = omega*omega; (re, im) -> (re/(-w2), im/(-w2))
///   3 (multiply by i*omega): (re, im) -> (-(im*omega), re*omega)
/// Each new part is one operation on one old part; no squared modulus.
/// Line 1 and lines above nom are not touched; any other nit does nothing.
void integrate_or_differentiate(RunState& s);

/// |c| without overflow or underflow in between: M = max(|re|, |im|),
/// m = min(...); M when M + m == M (zero parts and c = 0 included), else
/// M*sqrt(1 + (m/M)*(m/M)). NaN parts give NaN.
double modulus(Complex c);

/// Frequency in Hz of spectrum line i: ((i - 1)*dom)/kTwoPi, in that order.
double line_frequency(std::int32_t i, double dom);

/// Rebuilds the time series: lines nf down to nf/2 + 2 of fx1 .. fx3 become
/// the conjugates of lines 2 .. nf/2 (lines 1 and nom keep whatever they
/// hold), fx1, fx2, fx3 are transformed back, xr1 .. xr3 (1 .. nf) get the
/// real parts divided by dur, and x1 .. x3 (1 .. nt) copies of them.
/// Reads s.nf, s.nt (<= nf), s.dur.
void rebuild(RunState& s);

/// A double quotient as a sample count: truncation toward zero (2.9 -> 2,
/// -1.5 -> -1). NaN, infinities and values whose truncation is outside the
/// 32-bit range give INT32_MIN (-2147483648).
std::int32_t truncate_count(double q);

/// Number of window samples actually copied for a window of ndur samples:
/// ndur, but at most kCapacity so that a window never writes outside the
/// arrays. ndur <= 0 is returned as it is (nothing is copied).
std::int32_t window_length(std::int32_t ndur);

/// Cuts the window: for i = 1 .. nused, k = i + s.nstime (64-bit):
/// x1 .. x3(i) = xr1 .. xr3(k) when 1 <= k <= kCapacity, else 0.0 (before
/// the record, or past the arrays, which reads like the zeros past nf).
/// nused comes from window_length. Does not change s.nt.
void cut_window(RunState& s, std::int32_t nused);

/// Row step of the waveform file from the skip answer: iskip + 1. An answer
/// of -1 would make the step 0 and the row count a division by zero; it is
/// taken as 0 instead (step 1, every sample).
std::int64_t row_step(std::int32_t iskip);

/// Number of rows: max(0, (step - 1 + nt)/step), truncating division.
/// nt = 5, step 2 -> 3 (rows 1, 3, 5); step -1: nt = 1 -> 1, nt >= 2 -> 0.
/// nt and step are 32-bit values (step as given by row_step, never 0; a
/// step of 0 is counted like 1).
std::int64_t row_count(std::int64_t nt, std::int64_t step);

/// Whether row i (1, 1 + step, ...) lies in the arrays, 1 .. kCapacity; rows
/// outside are not written.
bool row_in_arrays(std::int64_t i);

}  // namespace wavefft::phases
