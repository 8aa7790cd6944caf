// SPDX-License-Identifier: GPL-3.0-or-later
// What a run of wavefft tells wavefft-batch: the "NT and DT=" line, the
// duration and thinned step made from it, and how the run ended.
#include <gtest/gtest.h>

#include <string>

#include "batch/console.h"
#include "cli/options.h"

using namespace wavefft::batch;

TEST(BatchConsole, NtAndDtAndTheProductsOfThem) {
  const auto v = parse_nt_dt(" NT and DT= 6800  0.01");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->nt, "6800");
  EXPECT_EQ(v->dt, "0.01");
  EXPECT_FALSE(parse_nt_dt(" NT and DT= 6800").has_value());
  EXPECT_FALSE(parse_nt_dt(" NT=6800").has_value());
  EXPECT_EQ(parse_nt_dt(" NT and DT= 12 1.000000000000000E-02")->dt, "1.000000000000000E-02");

  // Products in doubles, shortest round-trip text.
  EXPECT_EQ(duration_text({"6800", "0.01"}), "68");
  EXPECT_EQ(duration_text({"3", "0.1"}), "0.30000000000000004");
  EXPECT_EQ(duration_text({"+12", "1.000000000000000E-02"}), "0.12");
  EXPECT_EQ(duration_text({"x", "0.1"}), "");
  EXPECT_EQ(duration_text({"inf", "0.1"}), "");
  EXPECT_EQ(duration_text({"1e200", "1e200"}), "");
  EXPECT_EQ(thinned_step("0.01", "1"), "0.02");
  EXPECT_EQ(thinned_step("0.1", "2"), "0.30000000000000004");
  EXPECT_EQ(thinned_step("0.005", "0"), "0.005");
  for (const char* skip : {"x", "-1", "+", "+-1", "", "1.0", "2147483647"}) {
    EXPECT_EQ(thinned_step("0.01", skip), "") << skip;
  }
  EXPECT_EQ(thinned_step("1e308", "9"), "");
}

// A doubled sign ("+-1") once read as -1: a number has one sign.
TEST(BatchConsole, DoubledSignIsNoNumber) {
  EXPECT_EQ(duration_text({"+-2", "0.5"}), "");
  EXPECT_EQ(duration_text({"2", "+-0.5"}), "");
  EXPECT_EQ(thinned_step("+-0.01", "1"), "");
  EXPECT_EQ(duration_text({"-2", "+0.5"}), "-1");
}

// Every K that --skip accepts gives the thinned step the measures are run
// with: a '+' before K once made the record "measures-failed".
TEST(BatchConsole, ThinnedStepOfEveryAcceptedSkip) {
  for (const char* k : {"1", "+1", "+01", "007", "+2147483646"}) {
    const char* const argv[] = {"--skip", k};
    int i = 0;
    wavefft::cli::ProcessingOptions opts;
    std::string error;
    ASSERT_EQ(wavefft::cli::take_option(2, argv, i, opts, error), wavefft::cli::Take::taken) << k << ": " << error;
    EXPECT_NE(thinned_step("0.01", opts.skip), "") << k;
  }
  EXPECT_EQ(thinned_step("0.01", "+1"), "0.02");
  EXPECT_EQ(thinned_step("0.005", "+007"), "0.04");
}

TEST(BatchConsole, HowARunEnded) {
  struct Case {
    int code;
    const char* last_stdout;
    const char* first_stderr;
    bool lately_io;
    const char* status;
    const char* diagnostic;
  };
  const Case cases[] = {
      {0, " press Enter", "a note", false, "normal", "a note"},
      {0, "  NT>2**17 !!!!!", "a note", false, "stopped-too-long", ""},
      {0, "  NT>2**17 !!!!!\r", "", false, "stopped-too-long", ""},
      // An abort after a diagnostic is a diagnostic, not a signal.
      {134, "", "invalid number: incomprehensible list input", true, "diagnostic",
       "invalid number: incomprehensible list input"},
      {137, "", "", false, "signal", "signal 9"},
      {130, "", "Interrupt", false, "signal", "Interrupt"},
      {1, "", "Killed", false, "signal", "Killed"},
      {1, "", "Floating Exception", false, "signal", "Floating Exception"},
      {2, "", "wavefft: unknown option --x", false, "error", "wavefft: unknown option --x"},
      {127, "", "", false, "error", ""},
  };
  for (const Case& c : cases) {
    const Ending e = classify(c.code, c.last_stdout, c.first_stderr, c.lately_io);
    EXPECT_EQ(e.status, c.status) << c.code << " '" << c.first_stderr << "'";
    EXPECT_EQ(e.diagnostic, c.diagnostic) << c.code << " '" << c.first_stderr << "'";
  }

  EXPECT_TRUE(is_lately_io_line("lately reading sequential formatted external IO"));
  EXPECT_TRUE(is_lately_io_line("lately writing sequential formatted external IO\r"));
  EXPECT_FALSE(is_lately_io_line("lately reading"));
  EXPECT_FALSE(is_lately_io_line("not lately reading external IO"));
}
