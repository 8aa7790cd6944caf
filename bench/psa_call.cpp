// SPDX-License-Identifier: GPL-3.0-or-later
// The C++ side of bench/python_psa.py: reads a record in the program's
// input layout into arrays as the Python module does, then times what
// wavefft.spectra computes (the record scaled to m/s^2 by scale_to_m_s2,
// then response_spectra at the 111 NGA-West2 periods and 5 % damping),
// best of RUNS, and prints one line "best_seconds=S" (after a line that
// describes the record). The spectra's first value is printed too, so that
// both sides can be seen to compute the same numbers.
//
//   bench/psa_call RECORD [RUNS]      (RUNS default 5)
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "measures/measures.h"
#include "records/record.h"

namespace {

namespace wm = wavefft::measures;
namespace wr = wavefft::records;

// One call: the values copied and scaled, then the spectra.
std::vector<wm::SpectrumRow> spectra(const std::array<std::vector<double>, 3>& comp, wm::Unit unit, double dt) {
  std::array<std::vector<double>, 3> a = comp;
  for (std::vector<double>& c : a) wm::scale_to_m_s2(c, unit);
  const std::array<double, 1> damping{0.05};
  return wm::response_spectra({a[0], a[1], a[2]}, dt, wm::nga_west2_periods(), damping);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench/psa_call RECORD [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  wr::RecordFile rec;
  try {
    rec = wr::read_record_file(argv[1]);
  } catch (const wr::RecordError& e) {
    std::fprintf(stderr, "psa_call: %s\n", e.what());
    return 1;
  }
  if (!rec.unit) {
    std::fprintf(stderr, "psa_call: %s: the record does not say its unit\n", argv[1]);
    return 1;
  }
  double best = HUGE_VAL;
  double first = 0.0;
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<wm::SpectrumRow> rows = spectra(rec.comp, *rec.unit, rec.dt);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    first = rows.front().psa[0];
  }
  std::printf("record: %zu samples, dt %s s; psa[0][0] = %s\n", rec.comp[0].size(),
              wavefft::common::shortest(rec.dt).c_str(), wavefft::common::shortest(first).c_str());
  std::printf("best_seconds=%.6f\n", best);
  return 0;
}
