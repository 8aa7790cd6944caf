// SPDX-License-Identifier: GPL-3.0-or-later
// read_bench: how long reading a waveform file takes.
//
//   read_bench [--runs N] FILE...
//
// For each file, two readers are timed, each N times (default 5), and the
// medians are printed with their ratio:
//  1. the program's own way: the free-form reader on an FdInStream: one
//     read of the four header items, one read that skips the column-title
//     line, then one read of 43 doubles per record (textio::read_doubles, as
//     the program reads its records) until the end of the file;
//  2. a bare loop: read(2) in 1 MiB blocks, skip the first two lines, split
//     at blanks, tabs, commas and line ends, and convert every number with
//     std::from_chars.
// Both add up every number in file order; the sums must agree bit for bit
// (both convert to the nearest double), which the bench checks and reports.
// A file should be made by bench/gen_largest.sh (131072 records, the largest
// the program transforms) or be one of the project's sample records.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bare_parse.h"
#include "textio/freeform.h"
#include "textio/instream.h"

namespace {

namespace tio = wavefft::textio;
using wavefft::bench::kValuesPerRecord;
using wavefft::bench::Tally;
using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what) { wavefft::bench::fail("read_bench", what); }

int open_or_fail(const char* path) { return wavefft::bench::open_or_fail("read_bench", path); }

/// The reads the program makes, in the program's order.
Tally read_like_program(const char* path) {
  const int fd = open_or_fail(path);
  tio::FdInStream in(fd);

  tio::Text90 head1{}, head2{}, head3{}, head4{};
  const std::array header{tio::dest(head1), tio::dest(head2), tio::dest(head3), tio::dest(head4)};
  const tio::ReadStatus h = tio::read_list(in, header);
  if (h.error != tio::ReadError::None) fail(std::string(path) + ": header read failed: " + (h.context ? h.context : "?"));
  tio::read_list(in, std::span<const tio::Dest>());  // the column-title line

  double time = 0.0;
  std::array<double, kValuesPerRecord - 1> yy{};

  Tally t;
  for (;;) {
    const tio::ReadStatus s = tio::read_doubles(in, time, yy);
    if (s.error != tio::ReadError::None) {
      if (s.end_of_file()) break;
      fail(std::string(path) + ": record " + std::to_string(t.records + 1) + ": " + (s.context ? s.context : "?") +
           ": " + (s.message ? s.message : "?"));
    }
    ++t.records;
    t.numbers += kValuesPerRecord;
    t.sum += time;
    for (const double v : yy) t.sum += v;
  }
  ::close(fd);
  return t;
}

/// The bare loop: blocks, a split at separators, std::from_chars.
Tally read_with_from_chars(const char* path) { return wavefft::bench::parse_with_from_chars("read_bench", path); }

template <class Reader>
double median_seconds(int runs, Reader&& reader, Tally& tally) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const auto start = Clock::now();
    tally = reader();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

long long file_size(const char* path) {
  const int fd = open_or_fail(path);
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::close(fd);
  return static_cast<long long>(size);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1) fail("--runs needs a positive count");
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: read_bench [--runs N] FILE...\n");
    return 2;
  }

  bool all_agree = true;
  for (const char* path : files) {
    const double mib = static_cast<double>(file_size(path)) / double(1 << 20);
    Tally warm = read_with_from_chars(path);  // bring the file into the page cache
    (void)warm;
    Tally program{}, bare{};
    const double t_program = median_seconds(runs, [&] { return read_like_program(path); }, program);
    const double t_bare = median_seconds(runs, [&] { return read_with_from_chars(path); }, bare);
    const bool agree = program.numbers == bare.numbers &&
                       std::bit_cast<std::uint64_t>(program.sum) == std::bit_cast<std::uint64_t>(bare.sum);
    all_agree = all_agree && agree;

    std::printf("%s: %.2f MiB, %lld records, %lld numbers\n", path, mib, program.records, program.numbers);
    std::printf("  program reader          : %9.2f ms  %8.1f MiB/s  (median of %d)\n", t_program * 1e3,
                mib / t_program, runs);
    std::printf("  from_chars, 1 MiB blocks: %9.2f ms  %8.1f MiB/s  (median of %d)\n", t_bare * 1e3, mib / t_bare,
                runs);
    std::printf("  ratio program reader / from_chars: %.2f\n", t_program / t_bare);
    std::printf("  sums: %s (%a vs %a; %lld vs %lld numbers)\n", agree ? "agree" : "DIFFER", program.sum, bare.sum,
                program.numbers, bare.numbers);
  }
  return all_agree ? 0 : 1;
}
