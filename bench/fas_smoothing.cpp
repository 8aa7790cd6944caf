// SPDX-License-Identifier: GPL-3.0-or-later
// Times the Konno-Ohmachi smoothing alone: the three components' FAS and
// their EAS of a 131072-sample record (noise, as gen_largest.sh writes the
// largest input) at the 401 default frequencies, with the full window, and
// prints nanoseconds per (line, output frequency) pair (target: at most 1),
// on one thread and on all. For scale it also times the main window and the
// way a plain smoother works (a sine and a logarithm for every line of
// every window, on one spectrum), and prints the ratios.
//
//   bench/fas_smoothing [SAMPLES] [REPEATS]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <thread>
#include <vector>

#include "measures/fas.h"

namespace wm = wavefft::measures;

namespace {

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Timing {
  double wall = HUGE_VAL, cpu = HUGE_VAL;
};

// The best wall and processor times of `repeats` calls.
template <typename F>
Timing best_of(int repeats, F f) {
  Timing best;
  for (int r = 0; r < repeats; ++r) {
    const double cpu0 = cpu_now();
    const auto start = std::chrono::steady_clock::now();
    f();
    best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    best.cpu = std::min(best.cpu, cpu_now() - cpu0);
  }
  return best;
}

// Every window evaluated at every line with its own sine and logarithm.
std::vector<double> plain_smoother(const wm::LineGrid& grid, std::span<const double> x, std::span<const double> fc,
                                   double b) {
  std::vector<double> out(fc.size());
  for (std::size_t k = 0; k < fc.size(); ++k) {
    double sw = 0.0, sx = 0.0;
    for (std::size_t j = 1; j < grid.lines(); ++j) {
      const double z = b * std::log10(grid.frequency(j) / fc[k]);
      const double w = std::fabs(z) < 1e-6 ? 1.0 : std::pow(std::sin(z) / z, 4.0);
      sw += w;
      sx += w * x[j];
    }
    out[k] = sx / sw;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 131072;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  if (n < 4) {
    std::fprintf(stderr, "usage: bench/fas_smoothing [SAMPLES >= 4] [REPEATS]\n");
    return 2;
  }
  const double dt = 0.005;
  std::mt19937 gen(2026);
  std::normal_distribution<double> d(0.0, 1.0);
  std::array<std::vector<double>, 3> a;
  for (auto& c : a) {
    c.resize(n);
    for (double& v : c) v = d(gen);
  }
  // The lines, once; the smoothing is what is timed.
  const wm::FourierSpectra lines = wm::fourier_spectra({a[0], a[1], a[2]}, dt, std::vector<double>{1.0});
  const std::array<std::span<const double>, 4> spectra{lines.lines[0], lines.lines[1], lines.lines[2], lines.eas_lines};
  const auto fc = wm::fas_frequencies();
  const double pairs = static_cast<double>(lines.grid.lines() - 1) * static_cast<double>(fc.size());

  std::vector<std::vector<double>> full1, full_all;
  const Timing t1 = best_of(repeats, [&] { full1 = wm::ko_smooth(lines.grid, spectra, fc, {188.5, wm::KoWindow::full}, 1); });
  const Timing tn = best_of(repeats, [&] { full_all = wm::ko_smooth(lines.grid, spectra, fc, {188.5, wm::KoWindow::full}, 0); });
  const Timing tm = best_of(repeats, [&] { wm::ko_smooth(lines.grid, spectra, fc, {}, 0); });
  std::vector<double> plain;
  const Timing tp = best_of(1, [&] { plain = plain_smoother(lines.grid, spectra[0], fc, 188.5); });
  double worst = 0.0;
  for (std::size_t k = 0; k < fc.size(); ++k) {
    if (std::isnan(full1[0][k])) continue;
    worst = std::max(worst, std::fabs(full1[0][k] - plain[k]) / plain[k]);
  }
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

  std::printf("%zu samples, %zu lines, %zu output frequencies, 4 spectra (3 FAS and the EAS), best of %d\n", n,
              lines.grid.lines(), fc.size(), repeats);
  std::printf("full window, 1 thread:   %.4f s wall, %.3f ns per (line, output frequency) pair (target <= 1); "
              "%.3f ns of processor time\n",
              t1.wall, 1e9 * t1.wall / pairs, 1e9 * t1.cpu / pairs);
  std::printf("full window, %u threads: %.4f s wall, %.3f ns per pair\n", cores, tn.wall, 1e9 * tn.wall / pairs);
  std::printf("main window, %u threads: %.4f s wall (%.3f of the full window's)\n", cores, tm.wall, tm.wall / tn.wall);
  std::printf("plain smoother (a sine per line and window), 1 spectrum, 1 thread: %.3f s; "
              "over the full window's 4 spectra on 1 thread: %.1f\n",
              tp.wall, tp.wall / t1.wall);
  std::printf("largest relative difference full window vs plain smoother: %.3g\n", worst);
  return 0;
}
