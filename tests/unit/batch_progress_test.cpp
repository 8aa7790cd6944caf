// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-batch's progress line, its clock and the tally at the end.
#include <gtest/gtest.h>

#include "batch/progress.h"

using namespace wavefft::batch;

TEST(BatchProgress, LineAndClock) {
  EXPECT_EQ(clock_text(42), "0:42");
  EXPECT_EQ(clock_text(90), "1:30");
  EXPECT_EQ(clock_text(3600), "1:00:00");
  EXPECT_EQ(clock_text(3725), "1:02:05");
  EXPECT_EQ(clock_text(-5), "0:00");
  EXPECT_EQ(progress_line(0, 64, 0, 3.2), "wavefft-batch: 0/64 done, 0 failed, 0:03 elapsed");
  // 42 s for 12 records: 52 more take about 182 s.
  EXPECT_EQ(progress_line(12, 64, 1, 42.0), "wavefft-batch: 12/64 done, 1 failed, 0:42 elapsed, about 3:02 left");
  EXPECT_EQ(progress_line(64, 64, 2, 61.0), "wavefft-batch: 64/64 done, 2 failed, 1:01 elapsed");
  EXPECT_EQ(progress_line(1, 2, 0, 1e300), "wavefft-batch: 1/2 done, 0 failed, 277777777:46:40 elapsed, about 277777777:46:40 left");
  EXPECT_EQ(progress_line(1, 2, 0, -1.0), "wavefft-batch: 1/2 done, 0 failed, 0:00 elapsed, about 0:00 left");
}

TEST(BatchProgress, TallySortedByStatus) {
  EXPECT_EQ(tally({"normal", "missing", "normal", "diagnostic"}), "1 diagnostic\n1 missing\n2 normal\n");
  EXPECT_EQ(tally({}), "");
}
