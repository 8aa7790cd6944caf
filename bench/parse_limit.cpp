// SPDX-License-Identifier: GPL-3.0-or-later
// parse_limit: the bare parse of a waveform file, once, as a process of its
// own, so that a script can time it the same way as a whole run of the
// program (bench/compare.sh).
//
//   parse_limit FILE
//
// read(2) in 1 MiB blocks, the first two lines skipped, split at blanks,
// tabs, commas and line ends, std::from_chars per number (bench/bare_parse.h).
// Prints the count and the sum of the numbers (so the work cannot be left
// out) and the time the parse took inside the process.
#include <chrono>
#include <cstdio>

#include "bench/bare_parse.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: parse_limit FILE\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const wavefft::bench::Tally t = wavefft::bench::parse_with_from_chars("parse_limit", argv[1]);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %lld numbers, %lld records, sum %a, %.1f ms\n", argv[1], t.numbers, t.records, t.sum, ms);
  return 0;
}
