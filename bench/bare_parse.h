// SPDX-License-Identifier: GPL-3.0-or-later
// The bare parse of a waveform file: how fast the numbers of a file can be
// read at all, as the yardstick for the program's own reader and for the
// whole run (read_bench, parse_limit).
//
// read(2) in 1 MiB blocks, skip the first two lines, split at blanks, tabs,
// commas and line ends, convert every number with std::from_chars, and add
// them all up in file order.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace wavefft::bench {

constexpr int kValuesPerRecord = 43;  // the time and 42 values

struct Tally {
  long long records = 0;
  long long numbers = 0;
  double sum = 0.0;
};

[[noreturn]] inline void fail(const char* program, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program, what.c_str());
  std::exit(1);
}

inline int open_or_fail(const char* program, const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(program, std::string("cannot open ") + path + ": " + std::strerror(errno));
  return fd;
}

inline bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; }

/// The bare loop: blocks, a split at separators, std::from_chars.
inline Tally parse_with_from_chars(const char* program, const char* path) {
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  constexpr std::size_t kCarry = 256;  // longest token carried into the next block
  const int fd = open_or_fail(program, path);
  // A token cut by the block end is moved to the front before the next read.
  const std::unique_ptr<char[]> storage(new char[kBlock + kCarry]);
  char* const buf = storage.get();
  std::size_t len = 0;
  bool eof = false;
  int lines_to_skip = 2;
  Tally t;
  while (!eof || len > 0) {
    if (!eof) {
      const ssize_t n = ::read(fd, buf + len, kBlock);
      if (n < 0) fail(program, std::string(path) + ": read failed: " + std::strerror(errno));
      if (n == 0) eof = true;
      len += static_cast<std::size_t>(n);
    }
    const char* p = buf;
    const char* const end = buf + len;
    while (lines_to_skip > 0 && p < end) {
      const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
      if (nl == nullptr) {
        p = end;
        break;
      }
      p = static_cast<const char*>(nl) + 1;
      --lines_to_skip;
    }
    for (;;) {
      while (p < end && is_separator(*p)) ++p;
      const char* q = p;
      while (q < end && !is_separator(*q)) ++q;
      if (q == end && !eof) break;  // maybe cut by the block end
      if (p == q) break;
      double v = 0.0;
      const auto [stop, ec] = std::from_chars(p, q, v);
      if (ec != std::errc() || stop != q) fail(program, std::string(path) + ": not a number: " + std::string(p, q));
      t.sum += v;
      ++t.numbers;
      p = q;
    }
    const auto rest = static_cast<std::size_t>(end - p);
    if (rest > kCarry) fail(program, std::string(path) + ": a token longer than 256 characters");
    std::memmove(buf, p, rest);
    len = rest;
    if (eof) break;
  }
  ::close(fd);
  t.records = t.numbers / kValuesPerRecord;
  return t;
}

}  // namespace wavefft::bench
