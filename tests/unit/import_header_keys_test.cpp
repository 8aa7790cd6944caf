// SPDX-License-Identifier: GPL-3.0-or-later
// Headers of "KEY: value" lines: how each convention matches a key, which
// line counts when two give one, and the words for a missing key.
#include "import/header_keys.h"

#include <gtest/gtest.h>

namespace wavefft::import::text {
namespace {

TEST(HeaderKeys, ExactKeysTheLastLineCounts) {
  Field ndata, station;
  const HeaderKey keys[] = {{"NDATA", &ndata}, {"STATION", &station}};
  take_header_line("NDATA: 12 ", 3, KeyMatch::exact, keys);
  take_header_line("NDATA : 13", 4, KeyMatch::exact, keys);     // "NDATA " is another key
  take_header_line("STATION_CODE: X", 5, KeyMatch::exact, keys);  // so is a longer one
  EXPECT_EQ(ndata.value, "12");
  EXPECT_EQ(ndata.line, 3u);
  EXPECT_EQ(station.line, 0u);
  take_header_line("NDATA:14", 9, KeyMatch::exact, keys);
  EXPECT_EQ(ndata.value, "14");
  EXPECT_EQ(ndata.line, 9u);
  take_header_line("no colon here", 10, KeyMatch::exact, keys);
  EXPECT_EQ(ndata.line, 9u);
}

TEST(HeaderKeys, PrefixKeysTheFirstLineCounts) {
  Field interval;
  const HeaderKey keys[] = {{"SAMPLING INTERVAL", &interval}};
  take_header_line("  SAMPLING INTERVAL (sec) : 0.01", 6, KeyMatch::prefix, keys);
  take_header_line("SAMPLING INTERVAL: 0.02", 7, KeyMatch::prefix, keys);
  EXPECT_EQ(interval.value, "0.01");
  EXPECT_EQ(interval.line, 6u);
}

TEST(HeaderKeys, BracketKeysKeepTheWholeKey) {
  Field rate, start;
  const HeaderKey keys[] = {{"SampleRate", &rate}, {"StartTime", &start}};
  take_header_line("StartTime(GMT+08): 2018/02/06-23:50:29.000", 2, KeyMatch::bracket, keys);
  take_header_line("SampleRates: 1", 3, KeyMatch::bracket, keys);
  EXPECT_EQ(start.value, "2018/02/06-23:50:29.000");  // the first ':' splits
  EXPECT_EQ(start.key, "StartTime(GMT+08)");
  EXPECT_EQ(rate.line, 0u);
}

// Agencies write one key in either case ("NDATA", "Ndata"): every
// convention compares letters without case, and still whole keys only.
TEST(HeaderKeys, KeysMatchInEitherCase) {
  Field ndata, interval, rate;
  const HeaderKey exact[] = {{"NDATA", &ndata}};
  take_header_line("Ndata: 7", 2, KeyMatch::exact, exact);
  EXPECT_EQ(ndata.value, "7");
  take_header_line("ndatas: 8", 3, KeyMatch::exact, exact);
  EXPECT_EQ(ndata.line, 2u);
  const HeaderKey prefix[] = {{"SAMPLING INTERVAL", &interval}};
  take_header_line(" Sampling Interval (sec) : 0.01", 4, KeyMatch::prefix, prefix);
  EXPECT_EQ(interval.value, "0.01");
  const HeaderKey bracket[] = {{"SampleRate", &rate}};
  take_header_line("SAMPLERATE(HZ): 50", 5, KeyMatch::bracket, bracket);
  EXPECT_EQ(rate.value, "50");
  EXPECT_EQ(rate.key, "SAMPLERATE(HZ)");
}

TEST(HeaderKeys, RequireNamesTheFirstMissingKey) {
  Field a, b, c;
  const HeaderKey keys[] = {{"EVENT_ID", &a, false}, {"STREAM", &b}, {"UNITS", &c}};
  Problem p = require_keys(keys, "x.asc");
  EXPECT_EQ(p.status, Status::malformed);
  EXPECT_EQ(p.file, "x.asc");
  EXPECT_EQ(p.line, 0u);
  EXPECT_EQ(p.text, "the header has no STREAM line");
  b.line = 4;
  EXPECT_EQ(require_keys(keys, "x.dat", "#").text, "the header has no #UNITS line");
  c.line = 5;
  EXPECT_TRUE(require_keys(keys, "x.asc").ok());  // an optional key may stay missing
}

}  // namespace
}  // namespace wavefft::import::text
