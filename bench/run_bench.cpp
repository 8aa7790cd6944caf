// SPDX-License-Identifier: GPL-3.0-or-later
// run_bench: one whole run of the program, phase by phase, with the time of
// each phase.
//
//   run_bench INPUT ANSWERS
//
// Runs in the current directory exactly what the program runs, with ANSWERS
// (the typed answers after the file name, one per line) on standard input
// and INPUT typed as the file name. The console dialogue goes to /dev/null;
// the phase times go to standard error, in milliseconds:
//   read (with the echo file), transforms (sign questions, padding, forward
//   transforms, scaling, filter, integration), spectrum file, rebuild
//   (inverse transforms), waveform file (cut, skip, file), end (release of
//   every file) and the total.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "driver/run.h"
#include "phases/phases.h"
#include "textio/channel.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point g_start;
Clock::time_point g_last;
std::string g_report;

void lap(const char* name) {
  const auto now = Clock::now();
  char line[96];
  std::snprintf(line, sizeof line, "%-16s %9.1f ms\n", name,
                std::chrono::duration<double, std::milli>(now - g_last).count());
  g_report += line;
  g_last = now;
}

[[noreturn]] void report_and_exit(int status) {
  lap("end");
  char line[96];
  std::snprintf(line, sizeof line, "%-16s %9.1f ms\n", "total",
                std::chrono::duration<double, std::milli>(g_last - g_start).count());
  g_report += line;
  std::fputs(g_report.c_str(), stderr);
  std::_Exit(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: run_bench INPUT ANSWERS\n");
    return 2;
  }
  // Standard input: the file name, then the answers.
  char path[] = "/tmp/run_bench_stdin_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 1;
  unlink(path);
  std::string head = std::string(argv[1]) + "\n";
  if (write(fd, head.data(), head.size()) != static_cast<ssize_t>(head.size())) return 1;
  if (std::FILE* answers = std::fopen(argv[2], "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, answers)) > 0) {
      if (write(fd, buf, n) != static_cast<ssize_t>(n)) return 1;
    }
    std::fclose(answers);
  } else {
    std::perror(argv[2]);
    return 1;
  }
  lseek(fd, 0, SEEK_SET);
  dup2(fd, STDIN_FILENO);
  close(fd);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, STDOUT_FILENO);
  close(devnull);

  namespace ph = wavefft::phases;
  wavefft::textio::start_run();
  wavefft::textio::set_exit_hook(report_and_exit);
  g_start = g_last = Clock::now();
  wavefft::RunState& s = *wavefft::driver::allocate_run_state();
  ph::read_waveform(s);
  lap("read+echo");
  ph::ask_signs(s);
  if (!ph::transform_components(s)) wavefft::textio::stop();
  ph::scale_and_filter(s);
  ph::integrate_menu(s);
  lap("transforms");
  ph::write_spectrum_file(s);
  lap("spectrum file");
  ph::rebuild_waveform(s);
  lap("rebuild");
  ph::cut_dialogue(s);
  ph::write_waveform_file(s);
  lap("waveform file");
  wavefft::textio::read_list(wavefft::textio::kConsoleIn, wavefft::textio::EofMode::Ignored, {});
  wavefft::textio::stop();
}
