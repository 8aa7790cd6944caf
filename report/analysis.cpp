// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/analysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <optional>

#include "common/numbers.h"
#include "fourier/real_transform.h"
#include "report/parallel.h"

namespace wavefft::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Relative tolerance within which a gain counts as exactly 1: the spectrum
// file keeps 4 significant digits, the echo file 9.
constexpr double kUnitGainTolerance = 0.01;
// Tighter, for the part of the band where the filter gain is exactly 1.
constexpr double kFlatGainTolerance = 0.002;
// Input lines below this share of the largest one are too weak to compare.
constexpr double kSignificantInput = 1e-4;

// A share as a percentage: one decimal below 10 %, none from there.
// 0.018 -> "1.8", 0.5 -> "50".
std::string percent(double share) { return common::fixed(share * 100.0, share < 0.1 ? 1 : 0); }


double input_dt(const Series& input) {
  if (input.size() >= 2) return input.time[1] - input.time[0];
  if (input.size() == 1) return -input.time[0];  // the second time is never set: 0
  return 0.0;
}

// Largest amplitude of component c over the lines above zero frequency.
double peak_above_zero(const Spectrum& sp, std::size_t c) {
  double peak = 0.0;
  for (std::size_t i = 1; i < sp.size(); ++i) {
    if (std::isfinite(sp.amp[c][i])) peak = std::max(peak, sp.amp[c][i]);
  }
  return peak;
}

bool line_nonzero(const Spectrum& sp, std::size_t i) {
  // A field that could not be read counts as nonzero: only an exact zero
  // marks a line that the filter removed.
  return sp.amp[0][i] != 0.0 || sp.amp[1][i] != 0.0 || sp.amp[2][i] != 0.0;
}

// "comp1 (start and end), comp3 (end)" for the components whose ends swing;
// empty when none does. `worst` gets the largest share among them.
std::string swinging_ends(const Series& out, double& worst) {
  std::string names;
  worst = 0.0;
  for (std::size_t c = 0; c < 3; ++c) {
    const EdgeSwing e = edge_swing(out.comp[c]);
    if (!e.start && !e.end) continue;
    worst = std::max(worst, e.share);
    if (!names.empty()) names += ", ";
    names += "comp" + std::to_string(c + 1) + (e.start && e.end ? " (start and end)" : e.start ? " (start)" : " (end)");
  }
  return names;
}

// The edge-transients warning of a band-passed acceleration (see analyse in
// the header for why only that).
void warn_edge_transients(const RunFiles& run, Analysis& a) {
  if (!a.band.found || a.op != Operation::None || a.step == 0) return;
  // 6000 records, every 2nd kept -> 3000 rows; fewer (or more) rows mean a
  // cut, whose ends lie inside the motion, not at the record's ends.
  if (run.output.series.size() != (a.nt + a.step - 1) / a.step) return;
  double worst = 0.0;
  const std::string names = swinging_ends(run.output.series, worst);
  if (names.empty()) return;
  const std::string wave = run.wave_path.filename().string();
  a.warnings.push_back(
      {"edge-transients", "Edge transients",
       "The first or last 2% of the processed record (" + wave + ") reaches more than " +
           percent(kEdgePeakShare) + "% of the component's peak, up to " + percent(worst) + "%, in " + names +
           ". A filter rings where the record starts or stops on a step, as an offset of the baseline makes: "
           "remove the mean or taper before filtering."});
}

// The frequency step of the transform of `input` zero-padded to the
// length of `sp`, 1/(nf dt); nothing when the files do not fit together:
// a spectrum of fewer than 3 lines or not nf/2 + 1 for a power of two nf,
// an input longer than nf or without a usable dt, a step that is not the
// spectrum's.
std::optional<double> transform_step(const Series& input, const Spectrum& sp) {
  const std::size_t rows = sp.size();
  if (rows < 3) return std::nullopt;
  const std::size_t nf = 2 * (rows - 1);
  const std::size_t nt = input.size();
  const double dt = input_dt(input);
  if (!std::has_single_bit(nf) || nt < 2 || nt > nf || !std::isfinite(dt) || dt == 0.0) return std::nullopt;
  const double df = 1.0 / (static_cast<double>(nf) * dt);
  if (!(std::fabs(sp.df - df) <= 1e-3 * std::fabs(df) + 2e-4)) return std::nullopt;
  return df;
}

// The lines of the input's transform that a spectrum is compared with.
struct InputLines {
  std::array<std::vector<double>, 3> amp;  // per component, lines 0 .. rows-1
  std::array<double, 3> peak{};            // per component, its largest line above zero frequency
  double df = 0.0;                         // frequency step, Hz

  // Angular frequency of line k.
  double omega(std::size_t k) const { return 2.0 * std::numbers::pi * static_cast<double>(k) * std::fabs(df); }
  // Whether line k of component c holds enough of the input to compare.
  bool significant(std::size_t c, std::size_t k) const {
    return peak[c] > 0.0 && amp[c][k] > kSignificantInput * peak[c];
  }
};

// |transform| * |dt| of each input component zero-padded to nf = 2 (rows - 1)
// samples, lines 0 .. rows-1 (rows = nf/2 + 1, all that the transform
// returns); `df` as transform_step gives it.
InputLines input_lines(const Series& input, std::size_t rows, double df) {
  InputLines in;
  in.df = df;
  const double dt = input_dt(input);
  auto component = [&](std::size_t c) {
    std::vector<double> padded(2 * (rows - 1), 0.0);
    std::copy_n(input.comp[c].begin(), input.size(), padded.begin());
    const std::vector<std::complex<double>> lines = fourier::forward_real(padded);
    in.amp[c].resize(rows);
    for (std::size_t k = 0; k < rows; ++k) {
      in.amp[c][k] = std::abs(lines[k]) * std::fabs(dt);
      if (k > 0) in.peak[c] = std::max(in.peak[c], in.amp[c][k]);
    }
  };
  // The third component beside the first two.
  run_both(
      [&] {
        component(0);
        component(1);
      },
      [&] { component(2); });
  return in;
}

// How many lines of `sp`, over all components, have gain 1 once `op` is
// divided out: spectrum / (input * omega^p) within kUnitGainTolerance of 1.
// Lines where the input is too weak, or the spectrum zero, do not count.
std::size_t unit_gain_lines(const Spectrum& sp, const InputLines& in, Operation op) {
  std::size_t count = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    for (std::size_t k = 1; k < sp.size(); ++k) {
      const double a = sp.amp[c][k];
      if (!in.significant(c, k) || !std::isfinite(a) || a <= 0.0) continue;
      const double g = a / (in.amp[c][k] * std::pow(in.omega(k), omega_power(op)));
      if (std::fabs(g - 1.0) <= kUnitGainTolerance) ++count;
    }
  }
  return count;
}

// The operation with the most lines of gain 1 (the pass band of the filter;
// all lines without a filter): Unknown unless it has at least 3 of them and
// twice as many as the runner-up.
Operation best_operation(const Spectrum& sp, const InputLines& in) {
  const Operation candidates[] = {Operation::None, Operation::Integration, Operation::DoubleIntegration,
                                  Operation::Differentiation};
  std::size_t best_count = 0, second_count = 0;
  Operation best = Operation::Unknown;
  for (const Operation op : candidates) {
    const std::size_t count = unit_gain_lines(sp, in, op);
    if (count > best_count) {
      second_count = best_count;
      best_count = count;
      best = op;
    } else if (count > second_count) {
      second_count = count;
    }
  }
  if (best_count < 3 || best_count < 2 * second_count) return Operation::Unknown;
  return best;
}

// The band-pass gain per line once `op` is divided out, from the component
// with the most input energy there; NaN where no component has enough.
std::vector<double> operation_gain(const Spectrum& sp, const InputLines& in, Operation op) {
  std::vector<double> gain(sp.size(), kNaN);
  for (std::size_t k = 0; k < sp.size(); ++k) {
    std::size_t pick = 3;
    for (std::size_t c = 0; c < 3; ++c) {
      if (!in.significant(c, k) || !std::isfinite(sp.amp[c][k])) continue;
      if (pick == 3 || in.amp[c][k] > in.amp[pick][k]) pick = c;
    }
    if (pick == 3) continue;
    // The zero-frequency line is never changed by the operation.
    const double scale = k == 0 ? 1.0 : std::pow(in.omega(k), omega_power(op));
    gain[k] = sp.amp[pick][k] / (in.amp[pick][k] * scale);
  }
  return gain;
}

// The warning that amp3.csv (of `rows` lines) and fort.99 do not belong
// together: a spectrum of no power-of-two transform, more records than the
// transform holds, or a frequency step that is not 1/(nf dt).
void warn_mismatch(std::size_t rows, Analysis& a) {
  if (a.nf == 0) {
    a.warnings.push_back({"mismatch", "Unexpected spectrum length",
                          "amp3.csv has " + std::to_string(rows) +
                              " rows, which is not nf/2 + 1 for a transform length nf that is a power of two."});
  } else if (a.nt > a.nf) {
    a.warnings.push_back({"mismatch", "Files from different runs?",
                          "fort.99 has " + std::to_string(a.nt) + " records but amp3.csv belongs to a transform of " +
                              std::to_string(a.nf) + " samples."});
  } else if (a.dt != 0.0 && std::isfinite(a.dt)) {
    const double expected = 1.0 / (static_cast<double>(a.nf) * a.dt);
    if (!(std::fabs(a.df - expected) <= 1e-3 * std::fabs(expected) + 2e-4)) {
      a.warnings.push_back({"mismatch", "Files from different runs?",
                            "The frequency step of amp3.csv (" + num(a.df) + " Hz) is not 1/(nf dt) = " +
                                num(expected) + " Hz for the dt of fort.99."});
    }
  }
}

// The warning that a record of a power-of-two length was transformed
// without zero padding.
void warn_no_padding(Analysis& a) {
  if (a.nf == 0 || a.nf != a.nt) return;
  a.warnings.push_back(
      {"no-padding", "No zero padding",
       "The record has " + std::to_string(a.nt) + " samples, a power of two, so the transform length equals the "
       "record length and nothing was padded: frequency-domain filtering and integration wrap around, the end of "
       "the record leaking into its start. Append zero records to the input to get padding."});
}

// The largest share of its peak (above zero frequency) that a component of
// `sp` reaches above `fa` Hz; `worst_c` gets that component (0 when none).
double share_above(const Spectrum& sp, double fa, std::size_t& worst_c) {
  double worst = 0.0;
  worst_c = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    const double peak = peak_above_zero(sp, c);
    if (peak <= 0.0) continue;
    double above = 0.0;
    for (std::size_t i = 1; i < sp.size(); ++i) {
      if (std::fabs(sp.freq[i]) > fa * (1.0 + 1e-9) && std::isfinite(sp.amp[c][i])) {
        above = std::max(above, sp.amp[c][i]);
      }
    }
    if (above / peak > worst) {
      worst = above / peak;
      worst_c = c;
    }
  }
  return worst;
}

// For a waveform file that keeps every k-th sample (k >= 2): its highest
// frequency 1/(2 k dt) in a.alias_freq, and the aliasing warning when the
// spectrum above it reaches more than kAliasShare of the peak.
void warn_aliasing(const Spectrum& sp, Analysis& a) {
  if (a.step < 2 || a.dt == 0.0) return;
  const double fa = 1.0 / (2.0 * static_cast<double>(a.step) * std::fabs(a.dt));
  a.alias_freq = fa;
  std::size_t worst_c = 0;
  const double worst = share_above(sp, fa, worst_c);
  if (worst <= kAliasShare) return;
  a.warnings.push_back(
      {"aliasing", "Aliasing",
       "The waveform file keeps every " + ordinal(a.step) + " sample (step " +
           num(static_cast<double>(a.step) * std::fabs(a.dt)) + " s), so it holds frequencies up to " + num(fa) +
           " Hz only, but the spectrum above " + num(fa) + " Hz reaches " + percent(worst) + "% of its peak (comp" +
           std::to_string(worst_c + 1) + "). That content folds back onto lower frequencies: set fH2 below " +
           num(fa) + " Hz."});
}

// The lowest kLowLines nonzero lines above zero frequency: 5, 6, 7 for a
// band that starts at line 5.
std::vector<std::size_t> lowest_lines(const Spectrum& sp) {
  std::vector<std::size_t> low;
  for (std::size_t i = 1; i < sp.size() && low.size() < kLowLines; ++i) {
    if (line_nonzero(sp, i)) low.push_back(i);
  }
  return low;
}

// The largest share of its peak (above zero frequency) that a component of
// `sp` reaches on the lines `low`; `worst_c` gets that component (0 when none).
double share_on(const Spectrum& sp, const std::vector<std::size_t>& low, std::size_t& worst_c) {
  double worst = 0.0;
  worst_c = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    const double peak = peak_above_zero(sp, c);
    if (peak <= 0.0) continue;
    for (const std::size_t i : low) {
      if (std::isfinite(sp.amp[c][i]) && sp.amp[c][i] / peak > worst) {
        worst = sp.amp[c][i] / peak;
        worst_c = c;
      }
    }
  }
  return worst;
}

// The low-lines warning of an integration whose lowest nonzero lines reach
// kLowLineShare of the peak or more.
void warn_low_lines(const Spectrum& sp, Analysis& a) {
  if ((a.op != Operation::Integration && a.op != Operation::DoubleIntegration) || a.df == 0.0) return;
  const std::vector<std::size_t> low = lowest_lines(sp);
  std::size_t worst_c = 0;
  const double worst = share_on(sp, low, worst_c);
  if (low.empty() || worst < kLowLineShare) return;
  const double duration = 1.0 / std::fabs(a.df);
  const double gain = duration / (2.0 * std::numbers::pi);
  const bool twice = a.op == Operation::DoubleIntegration;
  // When the band reaches down to the first lines, fL1 is the cause;
  // otherwise the record itself has that much long-period content.
  const bool at_bottom = low.front() <= 2;
  a.warnings.push_back(
      {"low-lines", "Integration with energy at the lowest lines",
       "After " + operation_name(a.op) + ", the lowest nonzero lines (from " + num(std::fabs(sp.freq[low.front()])) +
           " Hz) reach " + percent(worst) + "% of the peak (comp" + std::to_string(worst_c + 1) +
           "). Integration divides each line by 2\u03c0f" + (twice ? " twice" : "") +
           ", so the lowest lines grow most: the line at 1/duration = " + num(std::fabs(a.df)) +
           " Hz by duration/2\u03c0 = " + num(gain) + (twice ? " squared" : "") +
           "; the zero-frequency line is kept as it is. " +
           (at_bottom ? "Keep fL1 well above 1/duration."
                      : "Unless this long-period content is real, raise fL1 (and fL2).")});
}

}  // namespace

EdgeSwing edge_swing(std::span<const double> x) {
  const std::size_t n = x.size();
  if (n < kEdgeMinimumSamples) return {};
  // n = 6000: the ends are samples 0..119 and 5880..5999.
  const std::size_t m = (n + kEdgeParts - 1) / kEdgeParts;
  double peak = 0.0, head = 0.0, tail = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(x[i])) return {};
    const double v = std::fabs(x[i]);
    peak = std::max(peak, v);
    if (i < m) head = std::max(head, v);
    if (i >= n - m) tail = std::max(tail, v);
  }
  if (peak == 0.0) return {};
  EdgeSwing e;
  e.start = head > kEdgePeakShare * peak;
  e.end = tail > kEdgePeakShare * peak;
  e.share = std::max(head, tail) / peak;
  return e;
}

int omega_power(Operation op) {
  switch (op) {
    case Operation::Integration: return -1;
    case Operation::DoubleIntegration: return -2;
    case Operation::Differentiation: return 1;
    default: return 0;
  }
}

std::string operation_name(Operation op) {
  switch (op) {
    case Operation::None: return "none";
    case Operation::Integration: return "single integration";
    case Operation::DoubleIntegration: return "double integration";
    case Operation::Differentiation: return "differentiation";
    default: return "unknown";
  }
}

OperationFit detect_operation(const Series& input, const Spectrum& sp) {
  OperationFit fit;
  fit.gain.assign(sp.size(), kNaN);
  const std::optional<double> df = transform_step(input, sp);
  if (!df) return fit;
  const InputLines in = input_lines(input, sp.size(), *df);
  fit.op = best_operation(sp, in);
  if (fit.op != Operation::Unknown) fit.gain = operation_gain(sp, in, fit.op);
  return fit;
}

Band find_band(const Spectrum& sp, const std::vector<double>& gain) {
  Band b;
  const std::size_t rows = sp.size();
  std::size_t first = rows, last = 0;
  for (std::size_t i = 0; i < rows; ++i) {
    if (!line_nonzero(sp, i)) continue;
    if (first == rows) first = i;
    last = i;
  }
  if (first == rows) return b;
  if (first == 0 && last == rows - 1) return b;  // no removed line at either end
  for (std::size_t i = first; i <= last; ++i) {
    if (!line_nonzero(sp, i)) return b;  // a gap: not one band
  }
  b.found = true;
  b.first = first;
  b.last = last;
  b.f_lo = sp.freq[first];
  b.f_hi = sp.freq[last];
  if (gain.size() == rows) {
    for (std::size_t i = first; i <= last; ++i) {
      if (!(std::fabs(gain[i] - 1.0) <= kFlatGainTolerance)) continue;
      if (!b.flat_known) b.flat_lo = sp.freq[i];
      b.flat_known = true;
      b.flat_hi = sp.freq[i];
    }
  }
  return b;
}

std::size_t output_step(const Series& input, const Waveform& output) {
  const auto& t = output.series.time;
  const double dt = input_dt(input);
  if (input.size() < 2 || t.size() < 2 || !std::isfinite(dt) || dt == 0.0) return 0;
  // The time column shows the input times of the rows kept; it restarts or
  // drops to 0 where a window runs past the record, so use the leading run
  // that moves in the direction of dt.
  std::size_t m = 0;
  while (m + 1 < t.size() && (t[m + 1] - t[m]) * dt >= 0.0) ++m;
  if (m == 0 || t[m] == t[0]) return 0;
  const double k = (t[m] - t[0]) / static_cast<double>(m) / dt;
  if (!std::isfinite(k) || k < 0.5 || k > 1e9) return 0;
  const double whole = std::round(k);
  if (std::fabs(k - whole) > 0.1) return 0;
  return static_cast<std::size_t>(whole);
}

Analysis analyse(const RunFiles& run) {
  Analysis a;
  const Spectrum& sp = run.spectrum;
  a.nt = run.input.size();
  a.dt = input_dt(run.input);
  const std::size_t rows = sp.size();
  if (rows >= 3 && std::has_single_bit(2 * (rows - 1))) a.nf = 2 * (rows - 1);
  a.df = sp.df;
  const OperationFit fit = detect_operation(run.input, sp);
  a.op = fit.op;
  a.band = find_band(sp, fit.gain);
  a.step = output_step(run.input, run.output);
  warn_mismatch(rows, a);
  warn_no_padding(a);
  warn_aliasing(sp, a);
  warn_low_lines(sp, a);
  warn_edge_transients(run, a);
  return a;
}

std::string num(double v, int digits) { return common::significant(v, digits); }

std::string ordinal(std::size_t k) {
  const std::size_t tens = k % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    if (k % 10 == 1) suffix = "st";
    if (k % 10 == 2) suffix = "nd";
    if (k % 10 == 3) suffix = "rd";
  }
  return std::to_string(k) + suffix;
}

}  // namespace wavefft::report
