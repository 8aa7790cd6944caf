// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft's refused command line: the same bytes as the tools' usage errors
// (common/usage.h), which the program cannot link.
#include "cli/usage.h"

#include <gtest/gtest.h>

#include <string>

#include "common/usage.h"

namespace wavefft::cli {
namespace {

TEST(CliUsage, SameThreePartsAsTheTools) {
  for (const std::string reason : {"unknown option '--bogus'", "one RECORD only, not 'a' and 'b'", "two\nlines\r",
                                   ""}) {
    ::testing::internal::CaptureStderr();
    const int ours = usage_error(reason);
    const std::string text = ::testing::internal::GetCapturedStderr();
    ::testing::internal::CaptureStderr();
    const int tools = common::usage_error("wavefft", reason, kSynopsis);
    EXPECT_EQ(text, ::testing::internal::GetCapturedStderr()) << reason;
    EXPECT_EQ(ours, 2);
    EXPECT_EQ(tools, ours);
  }
  ::testing::internal::CaptureStderr();
  usage_error("--skip: 'x' is not a whole number from 0 to 2147483646");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "wavefft: --skip: 'x' is not a whole number from 0 to 2147483646\n"
            "Usage: wavefft\n"
            "       wavefft [options] RECORD\n"
            "       wavefft --help | --version\n"
            "Try 'wavefft --help' for more information.\n");
}

}  // namespace
}  // namespace wavefft::cli
