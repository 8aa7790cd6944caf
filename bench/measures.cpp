// SPDX-License-Identifier: GPL-3.0-or-later
// Times the whole wavefft-measures process (111 NGA-West2 periods, three
// components, RotD50 and RotD100, damping 0.05, and the smoothed Fourier
// spectra at 401 frequencies; the three files written to a temporary
// folder) next to a bare scalar loop of the same oscillator
// recurrence over the same periods and sub-steps, one period and component
// at a time, without RotD. Prints the ratio (target: at most 1) and the
// child's peak memory (target: at most 64 MiB), and checks that the
// process's PSA agree with the scalar loop's and that it wrote fas.csv.
//
//   bench/measures WAVEFFT_MEASURES [RECORD] [REPEATS]
//
// RECORD defaults to ../shared/data/records/RIDGECREST_2019_BSAP.txt;
// each timing is the best of REPEATS runs (default 3).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "common/units.h"
#include "measures/measures.h"
#include "measures/step.h"
#include "records/record.h"

namespace wm = wavefft::measures;
namespace wr = wavefft::records;

namespace {

double cpu_self() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return wavefft::bench::seconds(u.ru_utime) + wavefft::bench::seconds(u.ru_stime);
}

using wavefft::bench::ChildRun;

ChildRun run_child(const char* tool, const std::string& record, const std::string& out) {
  return wavefft::bench::run_child({tool, "--out", out, record});
}

// The bare loop: one period and one component at a time.
std::vector<std::array<double, 3>> scalar_spectra(const std::array<std::vector<double>, 3>& a, double dt,
                                                  std::size_t& steps) {
  std::vector<std::array<double, 3>> psa;
  steps = 0;
  const std::size_t n = a[0].size();
  for (const double period : wm::nga_west2_periods()) {
    const std::size_t m = wm::sub_steps(dt, period).value_or(1);
    const wm::StepCoefficients k = wm::step_coefficients(period, 0.05, dt / static_cast<double>(m));
    const double w = 2.0 * std::numbers::pi / period;
    std::array<double, 3> row{};
    for (std::size_t c = 0; c < 3; ++c) {
      double u = 0.0, v = 0.0, peak = 0.0;
      for (std::size_t i = 0; i + 1 < n; ++i) {
        const double lo = a[c][i], hi = a[c][i + 1];
        for (std::size_t j = 0; j < m; ++j) {
          const double f0 = lo + (hi - lo) * (static_cast<double>(j) / static_cast<double>(m));
          const double f1 = lo + (hi - lo) * (static_cast<double>(j + 1) / static_cast<double>(m));
          const double un = k.a11 * u + k.a12 * v + k.b11 * f0 + k.b12 * f1;
          v = k.a21 * u + k.a22 * v + k.b21 * f0 + k.b22 * f1;
          u = un;
          peak = std::max(peak, std::fabs(u));
        }
      }
      steps += (n - 1) * m;
      row[c] = w * w * peak / wavefft::common::kStandardGravity;
    }
    psa.push_back(row);
  }
  return psa;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench/measures WAVEFFT_MEASURES [RECORD] [REPEATS]\n");
    return 2;
  }
  const char* tool = argv[1];
  const std::string record = argc > 2 ? argv[2] : "../shared/data/records/RIDGECREST_2019_BSAP.txt";
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

  wr::RecordFile rec;
  try {
    rec = wr::read_record_file(record);
  } catch (const wr::RecordError& e) {
    std::fprintf(stderr, "bench/measures: %s\n", e.what());
    return 1;
  }
  std::array<std::vector<double>, 3> a = rec.comp;
  for (auto& c : a) wm::scale_to_m_s2(c, rec.unit.value_or(wm::Unit::m_s2));

  char dir_template[] = "/tmp/bench-measures-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (dir == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }

  ChildRun best_child;
  best_child.wall = HUGE_VAL;
  best_child.cpu = HUGE_VAL;
  for (int r = 0; r < repeats; ++r) {
    const ChildRun c = run_child(tool, record, dir);
    if (c.status != 0) {
      std::fprintf(stderr, "bench/measures: %s exited with status %d\n", tool, c.status);
      return 1;
    }
    best_child.wall = std::min(best_child.wall, c.wall);
    best_child.cpu = std::min(best_child.cpu, c.cpu);
    best_child.maxrss_kib = std::max(best_child.maxrss_kib, c.maxrss_kib);
  }

  double best_wall = HUGE_VAL, best_cpu = HUGE_VAL;
  std::size_t steps = 0;
  std::vector<std::array<double, 3>> psa;
  for (int r = 0; r < repeats; ++r) {
    const double cpu0 = cpu_self();
    const auto start = std::chrono::steady_clock::now();
    psa = scalar_spectra(a, rec.dt, steps);
    best_wall = std::min(best_wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    best_cpu = std::min(best_cpu, cpu_self() - cpu0);
  }

  // The process's spectra.csv against the scalar loop (same recurrence, so
  // they agree to rounding).
  double worst = 0.0;
  std::ifstream in(std::string(dir) + "/spectra.csv");
  std::string line;
  std::getline(in, line);
  for (std::size_t row = 0; std::getline(in, line) && row < psa.size(); ++row) {
    std::istringstream fields(line);
    std::string f;
    std::vector<double> v;
    while (std::getline(fields, f, ',')) v.push_back(std::strtod(f.c_str(), nullptr));
    for (std::size_t c = 0; c < 3 && c + 2 < v.size(); ++c) {
      worst = std::max(worst, std::fabs(v[c + 2] - psa[row][c]) / std::max(psa[row][c], 1e-300));
    }
  }
  std::size_t fas_rows = 0;
  std::ifstream fas(std::string(dir) + "/fas.csv");
  while (std::getline(fas, line)) ++fas_rows;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  if (fas_rows != 402) {
    std::fprintf(stderr, "bench/measures: fas.csv has %zu lines, not 402\n", fas_rows);
    return 1;
  }

  std::printf("record %s: %zu samples, dt %g s, %zu periods\n", record.c_str(), a[0].size(), rec.dt,
              wm::nga_west2_periods().size());
  std::printf("wavefft-measures process (best of %d): %.3f s wall, %.3f s cpu, peak memory %.1f MiB\n", repeats,
              best_child.wall, best_child.cpu, static_cast<double>(best_child.maxrss_kib) / 1024.0);
  std::printf("bare scalar loop (best of %d): %.3f s wall, %.3f s cpu, %zu steps (%.2f ns/step)\n", repeats,
              best_wall, best_cpu, steps, 1e9 * best_wall / static_cast<double>(steps));
  std::printf("ratio process / scalar loop: %.2f wall, %.2f cpu (target <= 1.1)\n", best_child.wall / best_wall,
              best_child.cpu / best_cpu);
  std::printf("peak memory target <= 64 MiB: %s\n",
              best_child.maxrss_kib <= 64 * 1024 ? "met" : "MISSED");
  std::printf("largest relative PSA difference process vs scalar loop: %.3g\n", worst);
  return 0;
}
