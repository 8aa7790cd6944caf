// SPDX-License-Identifier: GPL-3.0-or-later
// The channel layer as an in-process driver uses it (the fuzz target of the
// whole program does): the exit hook, a console input from memory,
// reset_channels() between runs; and the end of a run on a failure: the
// diagnostic, the release of every file, the names shown.
//
// Each test runs the whole program in a fresh folder with its standard
// output sent to /dev/null and its standard error captured.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "driver/run.h"
#include "textio/channel.h"
#include "textio/instream.h"

namespace {

namespace fs = std::filesystem;
using namespace wavefft;

struct RunEnded {
  int status;
};

[[noreturn]] void throw_end(int status) { throw RunEnded{status}; }

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

/// Three records: times 0, 0.5, 1; components (1, 4, -2), (2, 5, -3), (3, 7, 6).
std::string three_records() {
  std::string w = "test data g x\nTIME V01 V02\n";
  const char* lead[] = {"0 1 4", "0.5 2 5", "1 3 7"};
  const char* third[] = {"-2", "-3", "6"};
  for (int r = 0; r < 3; ++r) {
    w += lead[r];
    for (int j = 3; j <= 42; ++j) w += " " + (j == 11 ? std::string(third[r]) : std::to_string(j));
    w += "\n";
  }
  return w;
}

constexpr const char* kEcho = "  0.  1.  4. -2.\n  0.5  2.  5. -3.\n  1.  3.  7.  6.\n";

/// A folder of its own for each run, the program's console output sent to
/// /dev/null and its standard error into a file, all undone at the end.
class InProcessRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    textio::start_run();
    textio::set_exit_hook(throw_end);
  }

  void SetUp() override {
    home_ = fs::current_path();
    char templ[] = "/tmp/wavefft-channel-test-XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    dir_ = templ;
    fs::current_path(dir_);
    state_ = driver::allocate_run_state();
  }

  void TearDown() override {
    std::free(state_);
    fs::current_path(home_);
    fs::remove_all(dir_);
  }

  /// Runs the program once on `answers`; returns the exit status the process
  /// would have had (0, or -1 for the abort) and leaves standard error in err_.
  int run(const std::string& answers) {
    std::memset(static_cast<void*>(state_), 0, sizeof *state_);
    textio::set_console_input(std::make_unique<textio::MemoryInStream>(answers, 16));
    const int saved_out = ::dup(STDOUT_FILENO);
    const int saved_err = ::dup(STDERR_FILENO);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    const int err_fd = ::open((dir_ / ".stderr").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ::dup2(null_fd, STDOUT_FILENO);
    ::dup2(err_fd, STDERR_FILENO);
    int status = 1000;
    try {
      driver::run(*state_);
    } catch (const RunEnded& e) {
      status = e.status;
    }
    ::dup2(saved_out, STDOUT_FILENO);
    ::dup2(saved_err, STDERR_FILENO);
    for (int fd : {saved_out, saved_err, null_fd, err_fd}) ::close(fd);
    textio::reset_channels();
    err_ = slurp(dir_ / ".stderr");
    fs::remove(dir_ / ".stderr");
    return status;
  }

  fs::path home_;
  fs::path dir_;
  RunState* state_ = nullptr;
  std::string err_;
};

// Two runs in one process: the second starts clean (console input, at-end
// flags, channel names, the echo channel) and replaces the first run's files.
TEST_F(InProcessRun, SecondRunStartsCleanAndReplacesFiles) {
  spit("wave.txt", three_records());
  ASSERT_EQ(run("wave.txt\n0\n0\n0\n0\n0\nout.csv\n"), 0);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(slurp("fort.99"), kEcho);
  const std::string first_out = slurp("out.csv");
  EXPECT_EQ(first_out,
            " time(s),comp1, comp2, comp3\n"
            "   0.000,  0.1000E+01,  0.4000E+01, -0.2000E+01,\n"
            "   0.500,  0.2000E+01,  0.5000E+01, -0.3000E+01,\n"
            "   1.000,  0.3000E+01,  0.7000E+01,  0.6000E+01,\n");

  // Second run: one record only, every second sample, same output name.
  spit("wave.txt", "a b c d\ntitles\n" + std::string("2 42*8\n"));
  ASSERT_EQ(run("wave.txt\n0\n0\n0\n0\n1\nout.csv\n\n"), 0);
  EXPECT_EQ(err_, "");
  EXPECT_EQ(slurp("fort.99"), "  2.  8.  8.  8.\n");
  const std::string second_out = slurp("out.csv");
  EXPECT_EQ(second_out.substr(0, 29), " time(s),comp1, comp2, comp3\n");
  EXPECT_EQ(std::count(second_out.begin(), second_out.end(), '\n'), 2) << second_out;
}

// A failure ends the run through the hook with the abort status, after the
// four-line diagnostic; the echo file written so far is complete and cut.
TEST_F(InProcessRun, FailureEndsThroughHookWithDiagnostic) {
  spit("wave.txt", three_records());
  spit("fort.99", std::string(500, 'x') + "\n");
  ASSERT_EQ(run("wave.txt\nabc\n"), -1);
  EXPECT_EQ(err_,
            "invalid number: incomprehensible list input\n"
            "apparent state: unit 5 (unnamed)\n"
            "last format: list io\n"
            "lately reading sequential formatted external IO\n");
  EXPECT_EQ(slurp("fort.99"), kEcho);
  EXPECT_FALSE(fs::exists("amp3.csv"));
}

// Regression: a NUL byte in a typed name. The system opens the name up to
// the NUL; the diagnostic showed the whole typed name, NUL and all, naming a
// file that was never made.
TEST_F(InProcessRun, NameWithNulIsShownAsOpened) {
  ASSERT_EQ(run(std::string("miss\0ing.txt\n", 13)), -1);
  EXPECT_EQ(err_,
            "list in: end of file\n"
            "apparent state: unit 11 named miss\n"
            "last format: list io\n"
            "lately reading sequential formatted external IO\n");
  EXPECT_TRUE(fs::exists("miss"));
  EXPECT_EQ(fs::file_size("miss"), 0u);
}

// A name that starts with NUL is not empty as typed, but names nothing the
// system can open: the connection fails with the system's text and the name
// shown is empty.
TEST_F(InProcessRun, NameStartingWithNulFailsToOpen) {
  ASSERT_EQ(run(std::string("\0wave.txt\n", 10)), -1);
  EXPECT_EQ(err_,
            "open: No such file or directory\n"
            "apparent state: unit 11 named \n"
            "lately reading sequential formatted external IO\n");
}

// A device that refuses writes: the failure is met when the waveform file is
// released, ends the run with the write diagnostic (naming the format of the
// last row written) and the abort status; the files written before are
// complete.
TEST_F(InProcessRun, WriteFailureAtReleaseEndsRun) {
  ASSERT_TRUE(fs::exists("/dev/full")) << "this test needs /dev/full, a device that refuses writes";
  spit("wave.txt", three_records());
  ASSERT_EQ(run("wave.txt\n0\n0\n0\n0\n0\n/dev/full\n\n"), -1);
  EXPECT_EQ(err_,
            "write: No space left on device\n"
            "apparent state: unit 11 named /dev/full\n"
            "last format: (F8.3,4(',',E12.4))\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(slurp("fort.99"), kEcho);
  EXPECT_TRUE(fs::exists("amp3.csv"));
}

}  // namespace
