// SPDX-License-Identifier: GPL-3.0-or-later
// Konno-Ohmachi smoothing at a set of output frequencies. The main lobe of
// the window (|x| <= 3) is found by bisection on the line index and summed
// term by term with x = b log10(f / fc), as defined; the full window adds
// the tails from TailLines.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

#include "measures/fas.h"
#include "measures/ko_tails.h"
#include "measures/pool.h"

namespace wavefft::measures {

namespace {

constexpr double kLobe = 3.0;     // the main lobe: |x| <= 3
constexpr double kCentre = 1e-6;  // W = 1 where |x| < 1e-6
// Output frequencies of one job: the tails read the lines once for all of
// them.
constexpr std::size_t kFrequenciesPerJob = kTailRequests;

double weight_of(double x) {
  if (std::fabs(x) < kCentre) return 1.0;
  if (!std::isfinite(x)) return 0.0;
  const double r = std::sin(x) / x;
  const double r2 = r * r;
  return r2 * r2;
}

struct Smoother {
  const LineGrid& grid;
  std::span<const std::span<const double>> spectra;
  double b;
  KoWindow window;
  std::optional<TailLines> tails;  // the full window's, when the expansion holds

  double x_at(std::size_t j, double fc) const { return b * std::log10(grid.frequency(j) / fc); }

  // The first line in [1, lines) whose x is at least -3, and the first whose
  // x is above 3 (x rises with j).
  std::pair<std::size_t, std::size_t> lobe(double fc) const {
    auto first_where = [&](auto above) {
      std::size_t lo = 1, hi = grid.lines();
      while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (above(x_at(mid, fc))) {
          hi = mid;
        } else {
          lo = mid + 1;
        }
      }
      return lo;
    };
    const std::size_t first = first_where([](double x) { return x >= -kLobe; });
    const std::size_t end = first_where([](double x) { return x > kLobe; });
    return {first, std::max(first, end)};
  }

  void add_terms(std::size_t first, std::size_t last, double fc, TailSums& sums) const {
    for (std::size_t j = first; j < last; ++j) {
      if (!(grid.frequency(j) > 0.0)) continue;  // a step so long that j / (n dt) rounds to 0
      const double w = weight_of(x_at(j, fc));
      sums[0] += w;
      for (std::size_t s = 0; s < spectra.size(); ++s) sums[1 + s] += w * spectra[s][j];
    }
  }

  // The sums at fc over its main lobe [first, last).
  TailSums lobe_sums(double fc, std::size_t first, std::size_t last) const {
    TailSums sums{};
    add_terms(first, last, fc, sums);
    return sums;
  }

  bool empty_at(double fc) const { return fc > grid.nyquist() || grid.lines() < 2; }

  // The smoothed values of `fc` (at most kTailRequests of them) into
  // out[s][k0 + k]: the main lobes term by term, the tails of the full
  // window all together (by the expansion when it holds).
  void smooth(std::span<const double> fc, std::size_t k0, std::vector<std::vector<double>>& out,
              std::size_t s0) const {
    std::array<TailRequest, kTailRequests> requests;
    std::array<bool, kTailRequests> empty{};
    std::array<std::size_t, kTailRequests> fast{};  // the requests whose tails the expansion sums
    std::size_t fast_count = 0;
    for (std::size_t k = 0; k < fc.size(); ++k) {
      empty[k] = empty_at(fc[k]);
      if (empty[k]) continue;
      const auto [first, last] = lobe(fc[k]);
      requests[k] = {fc[k], first, last, lobe_sums(fc[k], first, last)};
      if (window != KoWindow::full) continue;
      if (tails && std::fabs(b * std::log10(fc[k])) <= kTailExpansionLimit) {
        fast[fast_count++] = k;
      } else {
        add_terms(1, first, fc[k], requests[k].sums);
        add_terms(last, grid.lines(), fc[k], requests[k].sums);
      }
    }
    if (fast_count > 0) {
      std::array<TailRequest, kTailRequests> batch;
      for (std::size_t i = 0; i < fast_count; ++i) batch[i] = requests[fast[i]];
      tails->add(std::span(batch.data(), fast_count));
      for (std::size_t i = 0; i < fast_count; ++i) requests[fast[i]] = batch[i];
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t k = 0; k < fc.size(); ++k) {
      const TailSums& sums = requests[k].sums;
      const bool none = empty[k] || !(sums[0] > 0.0);
      for (std::size_t s = 0; s < spectra.size(); ++s) out[s0 + s][k0 + k] = none ? nan : sums[1 + s] / sums[0];
    }
  }
};

void check(const LineGrid& grid, std::span<const std::span<const double>> spectra, std::span<const double> fc,
           const Smoothing& smoothing) {
  if (!(smoothing.bandwidth > 0.0) || !std::isfinite(smoothing.bandwidth)) {
    throw std::invalid_argument("the bandwidth must be a positive number");
  }
  if (!(grid.dt > 0.0) || !std::isfinite(grid.dt) || grid.n == 0) {
    throw std::invalid_argument("the line grid needs samples and a positive sample interval");
  }
  for (const std::span<const double> s : spectra) {
    if (s.size() != grid.lines()) throw std::invalid_argument("a spectrum does not have the grid's number of lines");
  }
  for (double f : fc) {
    if (!(f > 0.0) || !std::isfinite(f)) throw std::invalid_argument("an output frequency is not a positive number");
  }
}

}  // namespace

double konno_ohmachi(double f, double fc, double b) { return weight_of(b * std::log10(f / fc)); }

std::vector<std::vector<double>> ko_smooth(const LineGrid& grid, std::span<const std::span<const double>> spectra,
                                           std::span<const double> fc, const Smoothing& smoothing,
                                           unsigned threads) {
  check(grid, spectra, fc, smoothing);
  std::vector<std::vector<double>> out(spectra.size(), std::vector<double>(fc.size()));
  // Groups of kTailSpectra spectra share one pass over the lines.
  for (std::size_t g = 0; g < spectra.size(); g += kTailSpectra) {
    const auto group = spectra.subspan(g, std::min(kTailSpectra, spectra.size() - g));
    Smoother sm{grid, group, smoothing.bandwidth, smoothing.window, std::nullopt};
    if (smoothing.window == KoWindow::full && grid.lines() >= 2) {
      sm.tails.emplace(grid, smoothing.bandwidth, group);
      if (!sm.tails->usable()) sm.tails.reset();
    }
    const std::size_t jobs = (fc.size() + kFrequenciesPerJob - 1) / kFrequenciesPerJob;
    share_out(jobs, worker_count(threads, jobs), [&](std::size_t job, unsigned) {
      const std::size_t k0 = job * kFrequenciesPerJob;
      sm.smooth(fc.subspan(k0, std::min(kFrequenciesPerJob, fc.size() - k0)), k0, out, g);
    });
  }
  return out;
}

}  // namespace wavefft::measures
