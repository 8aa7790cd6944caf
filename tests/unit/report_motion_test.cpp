// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the ground-motion part of the report: the drift test,
// finding the input record behind fort.99, the unit, the measures table and
// the response-spectrum plots. The warnings on real runs are in
// tests/report/pages_test.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/unit/test_files.h"
#include "report/motion.h"
#include "report/page.h"

namespace wavefft::report {
namespace {

namespace fs = std::filesystem;

// A fresh folder for one test.
struct TempDir : testing::TempDir {
  TempDir() : testing::TempDir("motion") {}
};

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A record in the input layout: components in values 1, 2 and 11 of 42.
std::string input_layout(const std::string& unit, double dt, const std::array<std::vector<double>, 3>& comp) {
  std::string s = "Tiny Station acceleration " + unit + "\nTIME";
  for (int v = 1; v <= 42; ++v) s += " V" + std::to_string(v);
  s += "\n";
  for (std::size_t i = 0; i < comp[0].size(); ++i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(i) * dt);
    s += buf;
    for (std::size_t v = 1; v <= 42; ++v) {
      const double x = v == 1 ? comp[0][i] : v == 2 ? comp[1][i] : v == 11 ? comp[2][i] : 0.0;
      std::snprintf(buf, sizeof buf, " %.9g", x);
      s += buf;
    }
    s += "\n";
  }
  return s;
}

Series echo_of(double dt, const std::array<std::vector<double>, 3>& comp) {
  Series e;
  for (std::size_t i = 0; i < comp[0].size(); ++i) e.time.push_back(static_cast<double>(i) * dt);
  e.comp = comp;
  return e;
}

// ---------------------------------------------------------------------------
// The drift test
// ---------------------------------------------------------------------------

TEST(Drift, LargestValueInTheLastFivePercent) {
  // n = 100: a ramp up to sample p, then down. The largest |d| must lie at
  // index 95 or later (the last ceil(100/20) = 5 samples).
  auto peak_at = [](std::size_t p) {
    std::vector<double> d(100);
    for (std::size_t i = 0; i < d.size(); ++i) {
      d[i] = i <= p ? static_cast<double>(i) : static_cast<double>(p) - 0.5 * static_cast<double>(i - p);
    }
    return d;
  };
  EXPECT_TRUE(drifts(peak_at(99)));
  EXPECT_TRUE(drifts(peak_at(95)));  // windows 94..96 and 97..99 fall once: 6 rises of 7
  EXPECT_FALSE(drifts(peak_at(94)));
}

TEST(Drift, MostWindowsOfTheLastQuarterRise) {
  // n = 100: the last quarter is samples 75..99 in 8 windows, the first of
  // 4 samples (75..78), the others of 3. Each window holds one value.
  auto windows = [](std::array<double, 8> tops) {
    std::vector<double> d(100, 0.0);
    std::size_t start = 75;
    for (std::size_t w = 0; w < 8; ++w) {
      const std::size_t len = w == 0 ? 4 : 3;
      for (std::size_t i = start; i < start + len; ++i) d[i] = tops[w];
      start += len;
    }
    return d;
  };
  EXPECT_TRUE(drifts(windows({1, 2, 3, 3, 4, 5, 6, 7})));   // 6 rises
  EXPECT_FALSE(drifts(windows({1, 2, 3, 3, 3, 4, 5, 6})));  // 5 rises
  EXPECT_FALSE(drifts(windows({1, 1, 1, 1, 1, 1, 1, 1})));  // flat: never rises
  EXPECT_FALSE(drifts(windows({0, 0, 0, 0, 0, 0, 0, 0})));  // zeros
  std::vector<double> ramp(31);  // fewer than 4 * 8 samples
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i);
  EXPECT_FALSE(drifts(ramp));
  ramp.push_back(31.0);
  EXPECT_TRUE(drifts(ramp));
  ramp[3] = std::nan("");
  EXPECT_FALSE(drifts(ramp));
}

// ---------------------------------------------------------------------------
// The input record behind fort.99
// ---------------------------------------------------------------------------

TEST(InputRecord, FoundWhenEverySampleAgreesWithTheEcho) {
  const std::array<std::vector<double>, 3> comp{{{0.0, 1.25, -2.5, 0.125}, {0.5, 0.0, 0.0, 1e-7}, {3.0, 2.0, 1.0, 0.0}}};
  const Series echo = echo_of(0.01, comp);
  TempDir dir;
  // Names sort before the right one: a waveform file and a record that
  // differs in one value.
  write_file(dir.path() / "a_wave.csv", " time(s),comp1, comp2, comp3\n0.0,1,2,3,\n0.01,1,2,3,\n");
  auto other = comp;
  other[2][3] = 0.001;
  write_file(dir.path() / "b_other.txt", input_layout("gal", 0.01, other));
  EXPECT_FALSE(find_input_record(dir.path(), echo, {}).has_value());

  write_file(dir.path() / "e_input.txt", input_layout("gal", 0.01, comp));
  auto found = find_input_record(dir.path(), echo, {});
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->path.filename(), "e_input.txt");
  ASSERT_TRUE(found->file.unit.has_value());
  EXPECT_EQ(*found->file.unit, common::Unit::gal);
  // A file passed over by name (the page, the waveform file) is not taken.
  EXPECT_FALSE(find_input_record(dir.path(), echo, {dir.path() / "e_input.txt"}).has_value());

  // The echo keeps 7 digits: 1.25 echoed as 1.250001 still agrees, 1.2501 not.
  Series rounded = echo;
  rounded.comp[0][1] = 1.250001;
  EXPECT_EQ(first_disagreement(found->file, rounded), 0u);
  rounded.comp[0][1] = 1.2501;
  EXPECT_EQ(first_disagreement(found->file, rounded), 2u);
  EXPECT_EQ(first_disagreement(found->file, echo_of(0.02, comp)), 2u);  // another dt

  // Named with --input, a file that is not the run's input is an error that
  // names the line (sample 4 sits on line 6, after the header and titles).
  std::string what = "no error";
  try {
    read_input_record(dir.path(), "b_other.txt", echo);
  } catch (const FileError& e) {
    what = e.what();
  }
  EXPECT_EQ(what, dir.path().string() +
                      "/b_other.txt line 6: comp3 is 0.001 but 0 in fort.99 line 4: not the input of this run");
  EXPECT_TRUE(read_input_record(dir.path(), "e_input.txt", echo).named);
}

// ---------------------------------------------------------------------------
// Unit, measures table and spectra on the page
// ---------------------------------------------------------------------------

// A tiny acceleration in gal, dt 0.02 s: one spike of A = 196.133 gal
// (0.2 g) in comp1, one of -A/2 in comp2, zeros in comp3.
constexpr double kSpike = 196.133;
constexpr double kTinyDt = 0.02;

std::array<std::vector<double>, 3> tiny_record() {
  return {{{0.0, kSpike, 0.0, 0.0, 0.0}, {0.0, -kSpike / 2.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0, 0.0}}};
}

using Cells = std::vector<std::string>;

// The first `n` cells of the table row of `record` and component `comp`
// after the two name cells: PGA, PGV, PGD, Arias, CAV, D5-75, D5-95.
Cells table_row(const std::string& html, const std::string& record, int comp, std::size_t n = 7) {
  const std::string key = "<tr data-record=\"" + record + "\" data-comp=\"" + std::to_string(comp) + "\">";
  const std::size_t at = html.find(key);
  if (at == std::string::npos) return {"no row"};
  const std::size_t end = html.find("</tr>", at);
  Cells cells;
  for (std::size_t p = html.find("<td>", at); p < end && cells.size() < n; p = html.find("<td>", p + 1)) {
    cells.push_back(html.substr(p + 4, html.find("</td>", p) - p - 4));
  }
  return cells;
}

TEST(MotionPage, UnitAndMeasuresOfATinyRecordInGal) {
  TempDir dir;
  write_file(dir.path() / "tiny.txt", input_layout("gal", kTinyDt, tiny_record()));
  RunFiles run;
  run.dir = dir.path();
  run.input = echo_of(kTinyDt, tiny_record());
  run.wave_path = dir.path() / "acc.csv";
  run.output.series = echo_of(kTinyDt, tiny_record());
  Analysis a;  // no operation, every sample, filtered (so no drift test of the input)
  a.op = Operation::None;
  a.dt = kTinyDt;
  a.step = 1;
  a.band.found = true;
  const auto input = find_input_record(dir.path(), run.input, {run.wave_path});
  ASSERT_TRUE(input.has_value());
  const Motion m = analyse_motion(run, a, std::nullopt, input, 1);
  EXPECT_EQ(m.unit_from, "the header of tiny.txt");  // gal
  ASSERT_EQ(m.records.size(), 2u);  // input (tiny.txt) and processed (still an acceleration)

  const std::string html = render_page(run, a, "test", m);
  // By hand, A = 1.96133 m/s^2 = 0.2 g over one step of 0.02 s (trapezoid):
  // PGV = A dt = 0.0392266 m/s = 3.923 cm/s; the velocity stays there, so
  // the displacement after 4 steps is A dt^2 (1/4 + 3/4 + 1 + 1) = 3 A dt^2
  // = 0.2353596 cm; Arias = pi/(2g) A^2 dt = 0.0123233 m/s; CAV = A dt.
  EXPECT_EQ(table_row(html, "input", 1, 5), (Cells{"0.2", "3.923", "0.2354", "0.01232", "0.03923"}));
  // comp2: half the spike (0.1 g), a quarter of the energy.
  EXPECT_EQ(table_row(html, "input", 2, 5), (Cells{"0.1", "1.961", "0.1177", "0.003081", "0.01961"}));
  // comp3: zeros, no durations.
  EXPECT_EQ(table_row(html, "input", 3), (Cells{"0", "0", "0", "0", "0", "\u2013", "\u2013"}));
  EXPECT_EQ(table_row(html, "processed", 1, 1), Cells{"0.2"});
  EXPECT_NE(html.find("id=\"psa-processed\""), std::string::npos);

  // --unit g wins over the header: 196.133 g, and the header is named.
  const Motion g = analyse_motion(run, a, common::Unit::g, input, 1);
  const std::string html_g = render_page(run, a, "test", g);
  EXPECT_EQ(table_row(html_g, "input", 1, 1), Cells{"196.1"});
  EXPECT_NE(html_g.find("<td>g (from --unit); the header of tiny.txt says gal</td>"), std::string::npos);

  // Without a unit: no measures, one line that says how to give one.
  const std::string none = render_page(run, a, "test", analyse_motion(run, a, std::nullopt, std::nullopt, 1));
  const std::size_t at = none.find("<p class=\"no-unit\">");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(none.substr(at, none.find("</p>", at) - at).find("<code>--unit U</code> (g, gal, m_s2 or mm_s2)"),
            std::string::npos);
  EXPECT_EQ(none.find("psa-input"), std::string::npos);
  // --unit and no input file: the input's measures come from fort.99; a
  // processed value that overflowed its field leaves that record without.
  run.output.series.comp[1][2] = std::nan("");
  const Motion echo_only = analyse_motion(run, a, common::Unit::gal, std::nullopt, 1);
  ASSERT_EQ(echo_only.records.size(), 1u);
  EXPECT_EQ(echo_only.records[0].source, "fort.99");
  EXPECT_EQ(echo_only.skipped, Cells{"The processed record has no measures: acc.csv comp2 sample 3 is nan."});
}

// The title and the y axis label of the plot with id `id`: "NS input|gal".
std::string plot_labels(const std::string& html, const std::string& id) {
  const std::size_t at = html.find("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" id=\"" + id + "\"");
  if (at == std::string::npos) return "no plot " + id;
  const std::size_t end = html.find("</svg>", at);
  auto text_after = [&](const std::string& key) {
    const std::size_t k = html.find(key, at);
    if (k == std::string::npos || k > end) return std::string("none");
    const std::size_t open = html.find('>', k) + 1;
    return html.substr(open, html.find("</text>", open) - open);
  };
  return text_after("<text class=\"title\"") + "|" + text_after(" transform=\"rotate(-90");
}

TEST(MotionPage, ChannelNamesAndUnitOnThePlots) {
  TempDir dir;
  // The title line names values 1, 2 and 11; "E&W" must reach the page escaped.
  std::string file = input_layout("gal", kTinyDt, tiny_record());
  const std::size_t titles = file.find('\n') + 1;
  std::string line = "TIME NS E&W";
  for (int v = 3; v <= 42; ++v) line += v == 11 ? " UD" : " V" + std::to_string(v);
  file.replace(titles, file.find('\n', titles) - titles, line);
  write_file(dir.path() / "tiny.txt", file);
  RunFiles run;
  run.dir = dir.path();
  run.input = echo_of(kTinyDt, tiny_record());
  run.wave_path = dir.path() / "vel.csv";
  run.output.series = echo_of(kTinyDt, tiny_record());
  Analysis a;
  a.op = Operation::Integration;
  a.dt = kTinyDt;
  a.step = 1;
  const auto input = find_input_record(dir.path(), run.input, {run.wave_path});
  ASSERT_TRUE(input.has_value());
  const Motion m = analyse_motion(run, a, std::nullopt, input, 1);
  EXPECT_EQ(m.channels, (std::array<std::string, 3>{"NS", "E&W", "UD"}));

  // The unit of the header: the input in gal, its integral in gal·s, the
  // spectrum of that in gal·s².
  const std::string html = render_page(run, a, "test", m);
  EXPECT_EQ(plot_labels(html, "input-comp1"), "NS input|gal");
  EXPECT_EQ(plot_labels(html, "output-comp2"), "E&amp;W processed|gal\u00b7s");
  EXPECT_EQ(plot_labels(html, "spectrum-comp3"), "UD amplitude|gal\u00b7s\u00b2");
  EXPECT_NE(html.find("<tr><th>Components</th><td>comp1 NS, comp2 E&amp;W, comp3 UD (titles in tiny.txt)</td></tr>"),
            std::string::npos);
  // The foot explains "u" only where an axis shows it.
  EXPECT_EQ(html.find("u: the unit of the input record."), std::string::npos);
  EXPECT_NE(html.find("<p class=\"foot\">Spectrum lines of amplitude zero"), std::string::npos);

  // --unit wins over the header (every unit's labels: AxisUnits in report_test).
  const std::string si = render_page(run, a, "test", analyse_motion(run, a, common::Unit::m_s2, input, 1));
  EXPECT_EQ(plot_labels(si, "output-comp1"), "NS processed|m/s");

  // No input file and no unit: the components by number, in "u".
  const std::string bare = render_page(run, a, "test", analyse_motion(run, a, std::nullopt, std::nullopt, 1));
  EXPECT_EQ(plot_labels(bare, "input-comp1"), "comp1 input|u");
  EXPECT_EQ(plot_labels(bare, "output-comp2"), "comp2 processed|u\u00b7s");
  EXPECT_EQ(plot_labels(bare, "spectrum-comp3"), "comp3 amplitude|u\u00b7s\u00b2");
  EXPECT_EQ(bare.find("<th>Components</th>"), std::string::npos);
  EXPECT_NE(bare.find("<p class=\"foot\">u: the unit of the input record. Spectrum lines"), std::string::npos);

  // A title line of 11 words names no channel; the unit still labels the axes.
  file.replace(titles, file.find('\n', titles) - titles, "TIME NS EW V3 V4 V5 V6 V7 V8 V9 V10");
  write_file(dir.path() / "tiny.txt", file);
  const auto short_titles = find_input_record(dir.path(), run.input, {run.wave_path});
  ASSERT_TRUE(short_titles.has_value());
  const Motion unnamed = analyse_motion(run, a, std::nullopt, short_titles, 1);
  EXPECT_EQ(unnamed.channels, (std::array<std::string, 3>{}));
  EXPECT_EQ(plot_labels(render_page(run, a, "test", unnamed), "input-comp1"), "comp1 input|gal");
}

}  // namespace
}  // namespace wavefft::report
