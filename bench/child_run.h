// SPDX-License-Identifier: GPL-3.0-or-later
// Timing one run of a command as a child process: its wall-clock time, its
// CPU time and its peak resident memory (wait4's rusage), for the benches
// that time whole tools.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace wavefft::bench {

inline double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
}

struct ChildRun {
  double wall = 0.0, cpu = 0.0;
  long maxrss_kib = 0;
  int status = -1;
};

/// Runs argv[0] with `argv` (standard output and error kept) and waits for it.
inline ChildRun run_child(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ChildRun r;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.cpu = seconds(u.ru_utime) + seconds(u.ru_stime);
  r.maxrss_kib = u.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace wavefft::bench
