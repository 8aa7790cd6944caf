// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the record readers of wavefft-measures and wavefft-report
// (records/) and the run-file readers of wavefft-report, on arbitrary bytes.
//
// The first byte picks the reader (modulo 5): 0 parse_record, 1 read_echo,
// 2 read_spectrum, 3 read_waveform, 4 parse_frequency_list (the
// --frequencies file); the rest is the file. Refusals (RecordError,
// FileError) are expected outcomes.
//
// Checks, besides the sanitizers: a record that parse_record accepts has
// three components of the same length, at least two samples, a positive
// finite dt and only finite values; for a short one, its measures and
// spectra run, and the RotD peaks through the hull (the fast path) agree
// with the brute-force loop over angles and points on the record's own two
// horizontals; its Fourier spectra, in both windows, are empty or finite
// and non-negative (or refused as too large). A frequency list that
// parse_frequency_list accepts holds only positive finite numbers, and a
// fixed spectrum smoothed at them lies between its smallest and largest
// line (a weighted mean) or is empty.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "measures/fas.h"
#include "measures/measures.h"
#include "measures/peak_hull.h"
#include "measures/step.h"
#include "records/frequency_list.h"
#include "records/record.h"
#include "report/runfiles.h"

namespace {

namespace wm = wavefft::measures;
namespace wr = wavefft::records;

void check(bool ok) {
  if (!ok) std::abort();
}

// Each value empty (NaN) or finite and non-negative.
void check_smoothed(const std::vector<double>& v) {
  for (double x : v) check(std::isnan(x) || (std::isfinite(x) && x >= 0.0));
}

void check_fourier(const wr::RecordFile& r) {
  for (const wm::KoWindow window : {wm::KoWindow::main, wm::KoWindow::full}) {
    try {
      const wm::FourierSpectra s =
          wm::fourier_spectra({r.comp[0], r.comp[1], r.comp[2]}, r.dt, wm::fas_frequencies(), {188.5, window}, 1);
      for (const auto& c : s.fas) check_smoothed(c);
      check_smoothed(s.eas);
    } catch (const std::invalid_argument&) {
      // values so large that an amplitude overflows
    }
  }
}

void check_frequencies(const std::vector<double>& fc) {
  for (double f : fc) check(f > 0.0 && std::isfinite(f));
  const wm::LineGrid grid{64, 0.01};
  std::vector<double> x(grid.lines());
  for (std::size_t j = 0; j < x.size(); ++j) x[j] = 1.0 + static_cast<double>(j % 7);
  const std::vector<std::span<const double>> one{x};
  const std::span<const double> some(fc.data(), std::min<std::size_t>(fc.size(), 64));
  for (const wm::KoWindow window : {wm::KoWindow::main, wm::KoWindow::full}) {
    const std::vector<std::vector<double>> smoothed = wm::ko_smooth(grid, one, some, {188.5, window}, 1);
    for (double v : smoothed[0]) {
      check(std::isnan(v) || (v >= 1.0 * (1 - 1e-12) && v <= 7.0 * (1 + 1e-12)));
    }
  }
}

void check_record(const wr::RecordFile& r) {
  const std::size_t n = r.comp[0].size();
  check(n >= 2 && r.comp[1].size() == n && r.comp[2].size() == n);
  check(r.dt > 0.0 && std::isfinite(r.dt));
  for (const auto& c : r.comp) {
    for (double x : c) check(std::isfinite(x));
  }
  if (n > 200) return;
  for (const auto& c : r.comp) wm::ground_motion(c, r.dt);
  check_fourier(r);
  const double periods[] = {0.05, 1.0};
  const double dampings[] = {0.05};
  bool feasible = true;
  for (double t : periods) {
    const auto m = wm::sub_steps(r.dt, t);
    feasible = feasible && m && *m <= 50;
  }
  if (feasible) wm::response_spectra({r.comp[0], r.comp[1], r.comp[2]}, r.dt, periods, dampings, 1);

  // Hull against brute force, on values small enough that no product overflows.
  bool tame = true;
  for (std::size_t c = 0; c < 2; ++c) {
    for (double x : r.comp[c]) tame = tame && std::fabs(x) < 1e100 && (x == 0.0 || std::fabs(x) > 1e-100);
  }
  if (!tame) return;
  wm::PeakHull hull;
  for (std::size_t i = 0; i < n; ++i) hull.add(r.comp[0][i], r.comp[1][i]);
  const auto peaks = hull.peaks();
  // Rounding is relative to the largest peak (a direction across points on
  // one line has only rounding noise for its peak).
  const double scale = *std::max_element(peaks.begin(), peaks.end());
  for (std::size_t k = 0; k < wm::kAngles; ++k) {
    double want = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      want = std::max(want, std::fabs(r.comp[0][i] * wm::angle_cos()[k] + r.comp[1][i] * wm::angle_sin()[k]));
    }
    check(std::fabs(peaks[k] - want) <= 1e-12 * scale);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int pick = data[0] % 5;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    if (pick == 0) {
      check_record(wr::parse_record(bytes, "fuzz"));
    } else if (pick == 1) {
      wavefft::report::read_echo(bytes, "fuzz");
    } else if (pick == 2) {
      wavefft::report::read_spectrum(bytes, "fuzz");
    } else if (pick == 3) {
      wavefft::report::read_waveform(bytes, "fuzz");
    } else {
      check_frequencies(wr::parse_frequency_list(bytes, "fuzz"));
    }
  } catch (const wr::RecordError&) {
  } catch (const wavefft::report::FileError&) {
  }
  return 0;
}
