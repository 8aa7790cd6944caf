// SPDX-License-Identifier: GPL-3.0-or-later
// Header words that say how a record is sampled: a rate, an interval, and
// a length in seconds as a count of samples, each at the edges of what it
// takes.
#include "import/sampling_words.h"

#include <gtest/gtest.h>

namespace wavefft::import::text {
namespace {

TEST(SamplingWords, RateUpToAMillionInclusive) {
  EXPECT_EQ(rate_hz("100"), 100.0);
  EXPECT_EQ(rate_hz("1E+06"), 1e6);
  for (const char* refused : {"0", "-50", "1000001", "100Hz", ""}) {
    EXPECT_FALSE(rate_hz(refused).has_value()) << refused;
  }
}

TEST(SamplingWords, IntervalOrRateBelowAMillion) {
  EXPECT_EQ(sampling_number(".005"), 0.005);
  EXPECT_EQ(sampling_number("999999"), 999999.0);
  for (const char* refused : {"0", "-1", "1e6", "x", ""}) {
    EXPECT_FALSE(sampling_number(refused).has_value()) << refused;
  }
}

TEST(SamplingWords, LengthAsACountOfSamples) {
  EXPECT_EQ(samples_in("68", 100.0), 6800u);
  EXPECT_EQ(samples_in("0", 50.0), 0u);
  // Rounded to the nearest, halves away from zero: 2.5 samples -> 3.
  EXPECT_EQ(samples_in("2.5", 1.0), 3u);
  EXPECT_EQ(samples_in("2.4", 1.0), 2u);
  // Up to kMaxLengthSamples exactly.
  EXPECT_EQ(samples_in("1000000", 100.0), 100000000u);
  for (const char* refused : {"1000001", "-1", "x", ""}) {
    EXPECT_FALSE(samples_in(refused, 100.0).has_value()) << refused;
  }
}

}  // namespace
}  // namespace wavefft::import::text
