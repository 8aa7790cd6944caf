// SPDX-License-Identifier: GPL-3.0-or-later
// Times wavefft-report against the wavefft run it reports on, in one run:
// wavefft with a band-pass (--bandpass 0.1,0.2,20,25, as the batch runs
// it) on a record copied into a temporary folder, wavefft-measures on the
// input and on the processed record (untimed), then, in alternation, the
// run itself, the report computing its measures and the report taking them
// from the files (--measures, both records, and the processed record only
// as the batch hands it). Prints the best wall-clock time of each, the
// ratios report / wavefft, and the figure before --measures for reference;
// checks that every page is the same bytes. Timing never fails it.
//
//   bench/report WAVEFFT WAVEFFT_MEASURES WAVEFFT_REPORT [RECORD] [REPEATS]
//
// RECORD defaults to ../shared/data/records/RIDGECREST_2019_BSAP.txt (it
// must name its unit as its fourth header word); REPEATS to 5.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/units.h"
#include "records/record.h"

namespace fs = std::filesystem;

namespace {

// The figure before the report could take the measures' files: wavefft-report
// 0.46 s, wavefft 0.09 s on RIDGECREST_2019_BSAP.
constexpr double kBeforeReport = 0.46, kBeforeWavefft = 0.09;

// One timed command and its best wall-clock time.
struct Timed {
  const char* what;
  std::vector<std::string> argv;
  double best = HUGE_VAL;
};

// Runs argv with its standard output thrown away (the dialogue of wavefft);
// the exit status, and the wall-clock time into `wall`.
int quiet_run(const std::vector<std::string>& argv, double& wall) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  const wavefft::bench::ChildRun r = wavefft::bench::run_child(argv);
  dup2(saved, STDOUT_FILENO);
  close(null);
  close(saved);
  wall = r.wall;
  return r.status;
}

bool same_file(const fs::path& a, const fs::path& b) {
  std::string x, y;
  wavefft::common::FileFault fault;
  return wavefft::common::read_file(a, x, fault) && wavefft::common::read_file(b, y, fault) && x == y;
}

std::string absolute(const char* p) { return fs::absolute(p).string(); }

// A temporary folder holding a copy of `source` as record.txt, made the
// current folder; "" when that fails.
std::string enter_copy(const std::string& source) {
  char dir_template[] = "/tmp/bench-report-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (dir == nullptr) return "";
  std::error_code ec;
  fs::copy_file(source, fs::path(dir) / "record.txt", ec);
  if (ec || chdir(dir) != 0) return "";
  return dir;
}

// The run and the measures' files (untimed), then `repeats` rounds of every
// command of `timed` after one round that warms the page cache; the status
// of the first command that fails, 0 when none does.
int time_all(std::vector<Timed>& timed, const std::vector<std::vector<std::string>>& setup, int repeats) {
  double wall = 0.0;
  for (const auto& argv : setup) {
    if (const int status = quiet_run(argv, wall); status != 0) {
      std::fprintf(stderr, "bench/report: %s ended with status %d\n", argv[0].c_str(), status);
      return status;
    }
  }
  for (int r = 0; r <= repeats; ++r) {
    for (Timed& t : timed) {
      if (const int status = quiet_run(t.argv, wall); status != 0) {
        std::fprintf(stderr, "bench/report: %s ended with status %d\n", t.what, status);
        return status;
      }
      if (r > 0) t.best = std::min(t.best, wall);
    }
  }
  return 0;
}

void print(const std::string& source, int repeats, const std::vector<Timed>& timed, bool same) {
  std::printf("%s, best of %d runs each, alternating\n", fs::path(source).filename().c_str(), repeats);
  for (const Timed& t : timed) {
    std::printf("  %-52s %7.3f s", t.what, t.best);
    if (&t != &timed[0]) std::printf("   report/wavefft %5.2f", t.best / timed[0].best);
    std::printf("\n");
  }
  std::printf("  before --measures (reference): wavefft-report %.2f s, wavefft %.2f s, report/wavefft %.1f\n",
              kBeforeReport, kBeforeWavefft, kBeforeReport / kBeforeWavefft);
  std::printf("  pages from the files equal the computed page: %s\n", same ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench/report WAVEFFT WAVEFFT_MEASURES WAVEFFT_REPORT [RECORD] [REPEATS]\n");
    return 2;
  }
  const std::string wavefft = absolute(argv[1]), measures = absolute(argv[2]), report = absolute(argv[3]);
  const std::string source = absolute(argc > 4 ? argv[4] : "../shared/data/records/RIDGECREST_2019_BSAP.txt");
  const int repeats = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;
  wavefft::records::RecordFile rec;
  try {
    rec = wavefft::records::read_record_file(source);
  } catch (const wavefft::records::RecordError& e) {
    std::fprintf(stderr, "bench/report: %s\n", e.what());
    return 1;
  }
  if (!rec.unit) {
    std::fprintf(stderr, "bench/report: %s does not name its unit\n", source.c_str());
    return 1;
  }
  const std::string unit(wavefft::common::unit_word(*rec.unit));
  const std::string dt = wavefft::common::shortest(rec.dt);
  const std::string dir = enter_copy(source);
  if (dir.empty()) {
    std::fprintf(stderr, "bench/report: cannot copy the record into a temporary folder\n");
    return 1;
  }

  auto page = [&](const char* out, std::vector<std::string> extra) {
    std::vector<std::string> a{report, "--out", out, "--wave", "wave.csv", "--warnings", "warnings.tsv",
                               "--unit", unit, "--input", "record.txt"};
    a.insert(a.end(), extra.begin(), extra.end());
    a.push_back(".");
    return a;
  };
  const std::vector<std::string> run{wavefft, "--bandpass", "0.1,0.2,20,25", "record.txt"};
  std::vector<Timed> timed{
      {"wavefft --bandpass 0.1,0.2,20,25", run},
      {"wavefft-report, computing", page("computed.html", {})},
      {"wavefft-report --measures (input and processed)",
       page("handed.html", {"--measures", "m-input", "--measures", "m-processed"})},
      {"wavefft-report --measures (processed, as the batch)", page("batch.html", {"--measures", "m-processed"})},
  };
  const int status = time_all(timed,
                              {run,
                               {measures, "--unit", unit, "--out", "m-input", "record.txt"},
                               {measures, "--unit", unit, "--dt", dt, "--out", "m-processed", "wave.csv"}},
                              repeats);
  const bool same = status == 0 && same_file("computed.html", "handed.html") && same_file("computed.html", "batch.html");
  std::error_code ec;
  if (chdir("/") != 0) std::perror("chdir");
  fs::remove_all(dir, ec);
  if (status != 0) return 1;
  print(source, repeats, timed, same);
  return same ? 0 : 1;
}
