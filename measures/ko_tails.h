// SPDX-License-Identifier: GPL-3.0-or-later
// The sums of the Konno-Ohmachi weights outside the main lobe of the window
// (the tails, |x| > 3), over up to four spectra at once, without a sine in
// the loop: sin(b lg f - b lg fc) = sin(b lg f) cos(b lg fc)
// - cos(b lg f) sin(b lg fc), the first factors kept per line.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "measures/fas.h"

namespace wavefft::measures {

/// Spectra the tail sums carry at once.
inline constexpr std::size_t kTailSpectra = 4;

/// The largest |b log10 f| for which the expansion is used: the rounding of
/// A_j = b log10 f_j then moves x by less than 1e-12.
inline constexpr double kTailExpansionLimit = 4096.0;

/// The sums of one output frequency: [0] of W, [1 + s] of W X_s.
using TailSums = std::array<double, 1 + kTailSpectra>;

/// One output frequency fc whose main lobe holds the lines [first, last)
/// (1 <= first <= last <= lines): its tails are the lines [1, first) and
/// [last, lines), on each of which |x| > 1.
struct TailRequest {
  double fc = 0.0;
  std::size_t first = 1, last = 1;
  TailSums sums{};
};

/// Requests one call of TailLines::add takes.
inline constexpr std::size_t kTailRequests = 32;

/// The instruction sets the tail sums are built for.
enum class TailIsa { base, avx2, avx512 };

/// Those this processor runs, base first and the widest last.
std::vector<TailIsa> runnable_tail_isas();

/// What the tail sums need of the lines j = 1 .. lines - 1, kept once for
/// every output frequency: A_j = b log10(f_j), sin A_j, cos A_j and the
/// amplitudes of up to kTailSpectra spectra (the missing ones zero).
class TailLines {
 public:
  /// `spectra` holds at most kTailSpectra spans of grid.lines() values.
  TailLines(const LineGrid& grid, double b, std::span<const std::span<const double>> spectra);

  /// False when some |b log10 f_j| exceeds kTailExpansionLimit: the caller
  /// then sums the tails term by term.
  bool usable() const { return usable_; }

  /// Adds to each request's sums those over its tails, reading the lines
  /// once, a chunk at a time, for all the requests (at most
  /// kTailRequests), |b log10 fc| <= kTailExpansionLimit for each. The
  /// same inputs give the same bits whatever the processor, and each
  /// request the same bits whatever the others.
  void add(std::span<TailRequest> requests) const;

  /// The same with the kernel built for `isa` (one of runnable_tail_isas()),
  /// for the tests that check that every kernel gives the same bits.
  void add(std::span<TailRequest> requests, TailIsa isa) const;

 private:
  double b_ = 0.0;
  bool usable_ = true;
  std::vector<double> a_, sin_a_, cos_a_;  // index p holds line p + 1
  std::array<std::vector<double>, kTailSpectra> x_;
};

}  // namespace wavefft::measures
