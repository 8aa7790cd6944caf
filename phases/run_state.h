// SPDX-License-Identifier: GPL-3.0-or-later
// The run state: every array and scalar of one run, allocated once at start
// (zero-filled) and owned by the run driver. Phases take it by reference and
// communicate only through it.
//
// Arrays count from 1 like the quantities they hold: time(1) is the first
// record's time. The accessors are the only place where the 1-based index is
// mapped onto storage; an index outside 1 .. kCapacity is a broken invariant
// (callers range-check anything that comes from the user or a file).
#pragma once

#include <array>
#include <cassert>
#include <cstdint>

#include "transform/complex.h"

namespace wavefft {

/// Entries of every array.
inline constexpr std::int32_t kCapacity = 132000;
/// Columns of a row of yy; only 1 .. kValues are ever written.
inline constexpr std::int32_t kYyColumns = 45;
/// Data values per input record after the time.
inline constexpr std::int32_t kValues = 42;

using Text90 = std::array<char, 90>;

template <typename T>
struct Series {
  std::array<T, kCapacity> v;
  T& operator()(std::int64_t i) {
    assert(i >= 1 && i <= kCapacity);
    return v[static_cast<std::size_t>(i - 1)];
  }
  const T& operator()(std::int64_t i) const {
    assert(i >= 1 && i <= kCapacity);
    return v[static_cast<std::size_t>(i - 1)];
  }
  /// Storage of entry 1, for routines that take the whole array.
  T* data() { return v.data(); }
};

struct RunState {
  /// Time of each input record as read. Set by the waveform reader; read for
  /// dt and for the time column of the waveform file.
  Series<double> time;
  /// The 42 data values of each record, row-major (row i, column j at
  /// yy[i-1][j-1]). Set by the waveform reader; columns 1, 2 and 11 feed the
  /// components.
  std::array<std::array<double, kYyColumns>, kCapacity> yy;
  /// The three component series: input samples (sign-adjusted), later the
  /// rebuilt waveform over the transform length.
  Series<double> xr1, xr2, xr3;
  /// The series written to the waveform file (copy of xr, or the cut window).
  Series<double> x1, x2, x3;
  /// The three spectra, lines 1 .. nf in use.
  Series<Complex> fx1, fx2, fx3;

  /// Last file name typed (input name, later the output name).
  Text90 infile;
  /// The four header items of the input file; stored, never used.
  Text90 head1, head2, head3, head4;

  /// Number of samples: records read, or the window length after a cut.
  std::int32_t nt;
  /// Sampling interval, time(2) - time(1).
  double dt;
  /// Sign-reversal answers.
  std::int32_t myes, my1, my2, my3;
  /// Transform length (power of two, 4 .. 131072) and its exponent.
  std::int32_t nf, if1;
  /// Record duration nf*dt; later the cut duration typed by the user.
  double dur;
  /// Grid step in rad/s and the reported highest angular frequency.
  double dom, eom;
  /// Number of lines from zero frequency to the Nyquist line: nf/2 + 1.
  std::int32_t nom;
  /// Band-pass answer and corners (Hz, then rad/s).
  std::int32_t nbd;
  double fl1, fl2, fh1, fh2;
  double oml1, oml2, omh1, omh2;
  /// Angular frequency and gain of the line being processed.
  double omega, aa;
  /// Integration/differentiation answer.
  std::int32_t nit;
  /// Frequency in Hz of the spectrum row being written.
  double f;
  /// Cutting answer, start time, start and length in samples.
  std::int32_t icut;
  double stime;
  std::int32_t nstime, ndur;
  /// Skip answer; after reading, the row step (answer + 1).
  std::int32_t iskip;
};

}  // namespace wavefft
