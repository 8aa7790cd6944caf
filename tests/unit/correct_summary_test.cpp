// SPDX-License-Identifier: GPL-3.0-or-later
// The summary's JSON written and read back, the JSON reader's refusals, and
// the input layout written back with new components.
#include <gtest/gtest.h>

#include <string>

#include "common/json.h"
#include "correct/summary.h"
#include "records/layout_writer.h"
#include "records/record.h"

namespace wavefft::correct {
namespace {

Correction sample_correction() {
  Correction c;
  c.onset = 1457;
  c.dt = 0.01;
  c.noise_usable = true;
  c.components[0] = {0.1, 25.0, Corners::snr, 8.5, 7.25, 0.001, -0.0002, {}};
  c.components[1] = {0.15, std::nullopt, Corners::given, 1e-300, 3.0, -0.5, 0.25, {}};
  c.components[2] = {0.3, 40.0, Corners::fallback, 2.0, 1.0, 0.0, 0.0, {}};
  c.components[1].flags.drift = true;
  c.components[1].flags.residual = true;
  c.components[2].flags.low_snr = true;
  return c;
}

TEST(CorrectSummary, WrittenAndReadBack) {
  const Summary s = summarise(sample_correction(), {"HNN", "", "Z \"up\"\xff"}, "gal");
  EXPECT_EQ(s.components[1].title, "comp2");
  const std::string text = summary_json(s);
  EXPECT_NE(text.find("\"onset_s\": 14.57,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"lowpass_hz\": null"), std::string::npos);
  EXPECT_NE(text.find("\"flags\": [\"drift\", \"residual\"]"), std::string::npos);
  EXPECT_NE(text.find("\"lowest_usable_hz\": 0.375"), std::string::npos);  // 1.25 x 0.3
  const Summary back = parse_summary(text, "s.json");
  EXPECT_EQ(back.onset_s, s.onset_s);
  EXPECT_EQ(back.noise_s, 14.57);
  EXPECT_EQ(back.unit, "gal");
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(back.components[k].highpass_hz, s.components[k].highpass_hz);
    EXPECT_EQ(back.components[k].lowpass_hz, s.components[k].lowpass_hz);
    EXPECT_EQ(back.components[k].pga_before, s.components[k].pga_before);
    EXPECT_EQ(back.components[k].flags, s.components[k].flags);
    EXPECT_EQ(back.components[k].corners, s.components[k].corners);
  }
  EXPECT_EQ(back.components[2].title, "Z \"up\"\xef\xbf\xbd");  // the stray byte became U+FFFD
}

TEST(CorrectSummary, WithoutOnset) {
  Correction c = sample_correction();
  c.onset.reset();
  const std::string text = summary_json(summarise(c, {"a", "b", "c"}, "g"));
  EXPECT_NE(text.find("\"onset_s\": null,\n  \"noise_s\": 0,"), std::string::npos) << text;
  EXPECT_FALSE(parse_summary(text, "s.json").onset_s);
}

TEST(CorrectSummary, Refusals) {
  const std::string good = summary_json(summarise(sample_correction(), {"a", "b", "c"}, "g"));
  const std::string bad[] = {
      "",
      "[]",
      good.substr(0, good.size() - 3),
      good + "x",
      "{\"onset_s\": 1, \"noise_s\": 1, \"components\": []}",
      "{\"onset_s\": \"1\", \"noise_s\": 1, \"components\": []}",
      "{\"onset_s\": 01, \"noise_s\": 1}",
      "{\"onset_s\": 1e999, \"noise_s\": 1}",
      std::string(40, '[') + std::string(40, ']'),
      "{\"a\": \"\\ud800\"}",
      "{\"a\": \"tab\there\"}",
  };
  for (const std::string& text : bad) {
    EXPECT_THROW(parse_summary(text, "s.json"), SummaryError) << text;
  }
  try {
    parse_summary("{\"onset_s\": 1, \"noise_s\": }", "x.json");
    FAIL();
  } catch (const SummaryError& e) {
    EXPECT_STREQ(e.what(), "x.json: byte 26: expected a value");
  }
}

TEST(CorrectJson, StringsAndEscapes) {
  EXPECT_EQ(common::json_string("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
  EXPECT_EQ(common::json_string("\xc3\xa9\xe2\x82"), "\"\xc3\xa9\\ufffd\\ufffd\"");
  const common::JsonValue v = common::parse_json(" {\"k\": [\"\\u00e9\\ud83d\\ude00\", true, false, null, -0.5e1]} ");
  const common::JsonValue* k = v.find("k");
  ASSERT_TRUE(k);
  ASSERT_EQ(k->items.size(), 5u);
  EXPECT_EQ(k->items[0].text, "\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_TRUE(k->items[1].boolean);
  EXPECT_FALSE(k->items[2].boolean);
  EXPECT_EQ(k->items[3].kind, common::JsonValue::Kind::null);
  EXPECT_EQ(k->items[4].number, -5.0);
}

TEST(CorrectLayout, WrittenBackReadsTheSame) {
  const std::string file =
      "Quake STA acceleration gal extra\n"
      "TIME NS EW V03 V04 V05 V06 V07 V08 V09 V10 UD V12 V13 V14 V15 V16 V17 V18 V19 V20 V21 V22 V23 V24 V25 V26 "
      "V27 V28 V29 V30 V31 V32 V33 V34 V35 V36 V37 V38 V39 V40 V41 V42\n"
      "0.000 1 2 0 0 0 0 0 0 0 0 3 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
      "0.010 4 5 0 0 0 0 0 0 0 0 6 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  const records::RecordFile rec = records::parse_record(file, "r.txt");
  const std::string out = records::layout_text(rec, {{{0.1, -1e-300}, {1.0 / 3.0, 0.0}, {2.5, -7.0}}});
  EXPECT_EQ(out.substr(0, out.find('\n')), "Quake STA acceleration gal extra");
  EXPECT_NE(out.find("\n0 0.1 0.3333333333333333 0 0 0 0 0 0 0 0 2.5 0"), std::string::npos) << out;
  EXPECT_NE(out.find("\n0.01 -1e-300 0 0 0 0 0 0 0 0 0 -7 0"), std::string::npos) << out;
  const records::RecordFile back = records::parse_record(out, "out.txt");
  EXPECT_EQ(back.comp[0], (std::vector<double>{0.1, -1e-300}));
  EXPECT_EQ(back.comp[1][0], 1.0 / 3.0);
  EXPECT_EQ(back.titles, rec.titles);
  EXPECT_EQ(back.time, rec.time);
  EXPECT_THROW(records::layout_text(rec, {{{1.0}, {1.0}, {1.0}}}), std::invalid_argument);
}

}  // namespace
}  // namespace wavefft::correct
