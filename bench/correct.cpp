// SPDX-License-Identifier: GPL-3.0-or-later
// Times the whole wavefft-correct process (auto corners: the onset, the
// signal and noise spectra, the filter passes, the baseline, the record and
// its summary written) next to the whole wavefft-measures process on the
// same record, run alternately in one run. Prints the ratio of the best
// wall-clock times (target: at most 1, correcting a record costs no more
// than measuring it) and the correction's peak memory (target: at most
// 64 MiB), and checks that both wrote their files.
//
//   bench/correct WAVEFFT_CORRECT WAVEFFT_MEASURES [RECORD] [REPEATS]
//
// RECORD defaults to ../shared/data/records/RIDGECREST_2019_BSAP.txt;
// each timing is the best of REPEATS runs (default 5).
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/child_run.h"

namespace {

using wavefft::bench::ChildRun;
using wavefft::bench::run_child;

struct Best {
  double wall = HUGE_VAL;
  long maxrss_kib = 0;
  void add(const ChildRun& r) {
    wall = std::min(wall, r.wall);
    maxrss_kib = std::max(maxrss_kib, r.maxrss_kib);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench/correct WAVEFFT_CORRECT WAVEFFT_MEASURES [RECORD] [REPEATS]\n");
    return 2;
  }
  const std::string correct = argv[1], measures = argv[2];
  const std::string record = argc > 3 ? argv[3] : "../shared/data/records/RIDGECREST_2019_BSAP.txt";
  const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

  char dir_template[] = "/tmp/bench-correct-XXXXXX";
  const char* made = mkdtemp(dir_template);
  if (made == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path dir = made;
  const std::string out = (dir / "corrected.txt").string(), summary = (dir / "correct.json").string();

  Best c, m;
  for (int r = 0; r < repeats; ++r) {
    const ChildRun cr = run_child({correct, "-o", out, "--summary", summary, record});
    const ChildRun mr = run_child({measures, "--out", dir.string(), record});
    if (cr.status != 0 || mr.status != 0) {
      std::fprintf(stderr, "bench/correct: exit statuses %d (correct) and %d (measures)\n", cr.status, mr.status);
      return 1;
    }
    c.add(cr);
    m.add(mr);
  }
  const bool wrote = std::filesystem::file_size(out) > 0 && std::filesystem::file_size(summary) > 0 &&
                     std::filesystem::exists(dir / "measures.csv");
  std::filesystem::remove_all(dir);
  if (!wrote) {
    std::fprintf(stderr, "bench/correct: an output file is missing\n");
    return 1;
  }
  std::printf("record              %s\n", record.c_str());
  std::printf("wavefft-correct     %.3f s (best of %d), peak memory %.1f MiB (target <= 64)\n", c.wall, repeats,
              static_cast<double>(c.maxrss_kib) / 1024.0);
  std::printf("wavefft-measures    %.3f s (best of %d), peak memory %.1f MiB\n", m.wall, repeats,
              static_cast<double>(m.maxrss_kib) / 1024.0);
  std::printf("ratio correct/measures  %.2f (target <= 1)\n", c.wall / m.wall);
  return 0;
}
