// SPDX-License-Identifier: GPL-3.0-or-later
// What the files of a run tell about it: the transform length, the
// operation applied, the pass band, the output step, and the warnings worth
// showing a user.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "report/runfiles.h"

namespace wavefft::report {

/// A number with `digits` significant digits, as printf's %g writes it:
/// 0.076699 -> "0.0767", 13.0382 -> "13.04", 1e-05 -> "1e-05".
std::string num(double v, int digits = 4);

/// "1st", "2nd", "3rd", "4th", ..., "11th", "12th", "13th", "21st", ...
std::string ordinal(std::size_t k);

/// The operation a run applied to the spectrum, found by comparing the
/// spectrum file with the transform of the echoed input.
enum class Operation { Unknown, None, Integration, DoubleIntegration, Differentiation };

/// Power of angular frequency by which the operation multiplies the spectrum
/// (0, -1, -2, 1); 0 for Unknown.
int omega_power(Operation op);

/// Human-readable name ("single integration", ...).
std::string operation_name(Operation op);

struct OperationFit {
  Operation op = Operation::Unknown;
  /// Per spectrum line, the band-pass gain that remains once the operation is
  /// divided out (NaN where the input has too little energy to tell).
  std::vector<double> gain;
};

/// Compares the spectrum with the transform (times dt) of the input
/// zero-padded to the transform length of the spectrum. Unknown when the
/// files do not fit together (transform length, frequency step).
OperationFit detect_operation(const Series& input, const Spectrum& spectrum);

/// The pass band as seen in the spectrum file: a contiguous run of lines
/// where some component is nonzero, with lines of all-zero amplitude below or
/// above it (or both).
struct Band {
  bool found = false;
  std::size_t first = 0, last = 0;  // first and last nonzero line
  double f_lo = 0.0, f_hi = 0.0;    // their frequencies, Hz
  bool flat_known = false;          // the part with gain 1, when it could be told
  double flat_lo = 0.0, flat_hi = 0.0;
};

Band find_band(const Spectrum& spectrum, const std::vector<double>& gain);

/// Row step k of the waveform file relative to the input samples: the
/// output time step divided by the input dt, when that is close to a whole
/// number; 0 when it cannot be told (fewer than two rows, dt of zero).
std::size_t output_step(const Series& input, const Waveform& output);

struct Warning {
  std::string kind;   // "no-padding", "aliasing", "low-lines", "mismatch", "edge-transients"; "drift" (report/motion.h)
  std::string title;  // a few words
  std::string text;   // one or two sentences
};

/// Everything the page shows besides the plots.
struct Analysis {
  std::size_t nt = 0;        // input records
  double dt = 0.0;           // input time step (second time minus first)
  std::size_t nf = 0;        // transform length (0 when the spectrum does not tell)
  double df = 0.0;           // frequency step of the spectrum, Hz
  Operation op = Operation::Unknown;
  Band band;
  std::size_t step = 0;      // output row step k (0 when unknown)
  double alias_freq = 0.0;   // 1/(2 k dt) when k >= 2, else 0
  std::vector<Warning> warnings;
};

/// Thresholds of the warnings, relative to the peak amplitude of a component
/// over the lines above zero frequency.
inline constexpr double kAliasShare = 0.01;    // spectrum above the new Nyquist
inline constexpr double kLowLineShare = 0.5;   // lowest nonzero lines after integration
inline constexpr std::size_t kLowLines = 3;    // how many of the lowest lines count

/// The ends of one processed component: its first and its last n/kEdgeParts
/// samples (rounded up, so at least one), each compared with the peak |x|
/// of the whole component.
struct EdgeSwing {
  bool start = false, end = false;  // that end reaches more than kEdgePeakShare of the peak
  double share = 0.0;               // the larger of the two ends' largest |x|, over the peak
};
inline constexpr std::size_t kEdgeParts = 50;      // the ends are 1/50 (2 %) of the samples each
inline constexpr double kEdgePeakShare = 0.1;      // more than this share of the peak is a swing
inline constexpr std::size_t kEdgeMinimumSamples = kEdgeParts;  // below, an end would be more than 2 %

/// The edge test of `x`. Nothing found (both false, share 0) for fewer than
/// kEdgeMinimumSamples samples, a component of zeros, or a non-finite value.
EdgeSwing edge_swing(std::span<const double> x);

/// What the files of `run` tell, and the warnings they give reason for. The
/// edge test ("edge-transients") looks at the processed record only when
/// the run band-passed it, left it an acceleration (operation None) and
/// kept all of it (ceil(nt / k) rows: the ends of a cut lie inside the
/// motion): a filter rings where a record starts or stops on a step. An integral made
/// in the frequency domain starts away from zero on its own (the sample
/// record band-passed and integrated starts at 11 % of its peak velocity),
/// which neither removing the mean nor a taper would change.
Analysis analyse(const RunFiles& run);

}  // namespace wavefft::report
