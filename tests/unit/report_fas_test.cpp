// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the Fourier amplitude spectra on the report page: which
// records get a FAS plot, its axes in g·s, and how a long spectrum is
// thinned without losing its extremes. The plots of real runs are checked in
// tests/report/pages_test.sh and browser_test.sh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "report/fas_plot.h"
#include "report/motion.h"
#include "report/page.h"

namespace wavefft::report {
namespace {

// The <svg> element with id `id` in `html`; "" when there is none.
std::string svg_of(const std::string& html, const std::string& id) {
  const std::size_t at = html.find("class=\"plot\" id=\"" + id + "\"");
  if (at == std::string::npos) return "";
  const std::size_t start = html.rfind("<svg", at);
  return html.substr(start, html.find("</svg>", at) + 6 - start);
}

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// The tick labels of the y axis, bottom to top ("1e-05 ... 1").
std::string y_ticks(const std::string& svg) {
  std::string ticks;
  const std::string key = "text-anchor=\"end\">";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t open = at + key.size();
    ticks += (ticks.empty() ? "" : " ") + svg.substr(open, svg.find("</text>", open) - open);
  }
  return ticks;
}

// 1000 samples at 0.01 s in gal: a cosine of 0.2 g (196.133 gal) on line
// 100 (10 Hz) in comp1, half of it in comp2, comp3 a cosine on line 30. The
// line of comp1 at 10 Hz is dt * 0.2 g * n / 2 = 1 g·s exactly.
RunFiles cosine_run() {
  RunFiles run;
  run.dir = "/runs/cosine";
  run.wave_path = "/runs/cosine/acc.csv";
  const std::size_t n = 1000;
  for (std::size_t i = 0; i < n; ++i) {
    run.input.time.push_back(static_cast<double>(i) * 0.01);
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    run.input.comp[0].push_back(196.133 * std::cos(100.0 * phase));
    run.input.comp[1].push_back(98.0665 * std::cos(100.0 * phase));
    run.input.comp[2].push_back(50.0 * std::cos(30.0 * phase));
  }
  run.output.series = run.input;
  return run;
}

Analysis acceleration_kept() {
  Analysis a;
  a.op = Operation::None;
  a.dt = 0.01;
  a.step = 1;
  a.band.found = true;  // no drift test of the input
  return a;
}

TEST(FasPage, InputAndProcessedAccelerationInGSeconds) {
  const RunFiles run = cosine_run();
  const Analysis a = acceleration_kept();
  Motion m = analyse_motion(run, a, common::Unit::gal, std::nullopt, 1);
  m.channels = {"NS", "EW", "UD"};
  const std::string html = render_page(run, a, "test", m);
  for (const char* id : {"fas-input", "fas-processed"}) {
    const std::string svg = svg_of(html, id);
    ASSERT_FALSE(svg.empty()) << id;
    // Three faint lines behind, three smoothed components and the EAS.
    EXPECT_EQ(count(svg, "<polyline class=\"trace faint\""), 3u) << id;
    EXPECT_EQ(count(svg, "<path class=\"trace\""), 4u) << id;
    EXPECT_EQ(count(svg, "stroke-dasharray"), 1u) << id << ": the EAS alone is dashed";
    for (const char* name : {">NS</text>", ">EW</text>", ">UD</text>", ">EAS</text>"}) {
      EXPECT_NE(svg.find(name), std::string::npos) << id << " legend " << name;
    }
    // The peak line is 1 g·s: the axis ends there and shows kFasDecades
    // decades below it (in gal·s it would end at 1000).
    EXPECT_EQ(y_ticks(svg), "1e-05 0.0001 0.001 0.01 0.1 1") << id;
    EXPECT_NE(svg.find(">g\u00b7s</text>"), std::string::npos) << id;
  }
  EXPECT_NE(html.find("<p class=\"fas-note\">"), std::string::npos);
  EXPECT_NE(html.find("EAS: the effective amplitude spectrum of NS and EW"), std::string::npos);
}

TEST(FasPage, OnlyWithAUnitAndTheProcessedOnlyWhileAnAcceleration) {
  const RunFiles run = cosine_run();
  Analysis a = acceleration_kept();
  const std::string none = render_page(run, a, "test", analyse_motion(run, a, std::nullopt, std::nullopt, 1));
  EXPECT_EQ(none.find("id=\"fas-"), std::string::npos);
  EXPECT_EQ(none.find("<p class=\"fas-note\">"), std::string::npos);

  a.op = Operation::Integration;
  const std::string velocity = render_page(run, a, "test", analyse_motion(run, a, common::Unit::gal, std::nullopt, 1));
  EXPECT_FALSE(svg_of(velocity, "fas-input").empty());
  EXPECT_TRUE(svg_of(velocity, "fas-processed").empty());
}

// A spectrum of 65536 lines (n = 131072 at 0.005 s, up to 100 Hz): every
// line 0.01 g·s, but comp1 has a spike of 1 g·s and a run of zeros, comp2
// a dip to 1e-5 g·s, and line 0 and the lines below 0.01 Hz are huge.
RecordMotion long_record() {
  RecordMotion r;
  r.label = "input";
  measures::FourierSpectra& s = r.fas.emplace();
  s.grid = {131072, 0.005};
  for (auto& line : s.lines) line.assign(s.grid.lines(), 0.01);
  for (auto& line : s.lines) {
    for (std::size_t j = 0; s.grid.frequency(j) < 0.01; ++j) line[j] = 1e3;
  }
  s.lines[0][30000] = 1.0;
  for (std::size_t j = 40000; j < 40100; ++j) s.lines[0][j] = 0.0;
  s.lines[1][50000] = 1e-5;
  s.eas_lines = s.lines[0];
  s.frequencies.assign(measures::fas_frequencies().begin(), measures::fas_frequencies().end());
  for (auto& f : s.fas) f.assign(s.frequencies.size(), 0.01);
  s.eas.assign(s.frequencies.size(), 0.01);
  s.fas[0][200] = std::numeric_limits<double>::quiet_NaN();  // empty at 1 Hz
  s.fas[1][100] = 0.0;                                       // zero at 0.1 Hz
  return r;
}

// The points="..." of the n-th faint line in `svg`.
std::string faint_points(const std::string& svg, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t k = 0; k <= n; ++k) at = svg.find("<polyline class=\"trace faint\"", k ? at + 1 : 0);
  if (at == std::string::npos) return "";
  const std::size_t open = svg.find("points=\"", at) + 8;
  return svg.substr(open, svg.find('"', open) - open);
}

TEST(FasPlot, LongSpectrumThinnedKeepingItsExtremes) {
  const std::string svg = fas_plot(long_record(), {"comp1", "comp2", "comp3"});
  ASSERT_FALSE(svg.empty());
  // Line 0 and the lines below 0.01 Hz are left out: the axis ends at the
  // spike, 1 g·s, at pixel row 22 (the top of the plotting area), and the
  // dip of comp2 lies on the lower edge, row 226.
  EXPECT_EQ(y_ticks(svg), "1e-05 0.0001 0.001 0.01 0.1 1");
  const std::string comp1 = faint_points(svg, 0), comp2 = faint_points(svg, 1);
  EXPECT_NE(comp1.find(",22.0"), std::string::npos) << "the spike of comp1 was thinned away";
  EXPECT_NE(comp2.find(",226.0"), std::string::npos) << "the dip of comp2 was thinned away";
  // Zero lines are left out, not drawn on the lower edge.
  EXPECT_EQ(comp1.find(",226.0"), std::string::npos);
  // 4 x 65536 lines and 4 x 401 smoothed values in a few tens of kilobytes:
  // each faint line at most 2 points per 2 pixel columns (346 of them).
  EXPECT_LT(svg.size(), 40000u);
  EXPECT_LE(count(comp1, ","), 346u);
  // The empty value of comp1 and the zero of comp2 break their curves.
  const std::size_t first_path = svg.find("<path ");
  ASSERT_NE(first_path, std::string::npos);
  const std::string paths = svg.substr(first_path);
  const std::size_t second = paths.find("<path ", 1), third = paths.find("<path ", second + 1);
  EXPECT_EQ(count(paths.substr(0, second), "M"), 2u);
  EXPECT_EQ(count(paths.substr(second, third - second), "M"), 2u);
  EXPECT_EQ(count(paths.substr(third), "M"), 2u) << "comp3 and the EAS: one piece each";

  RecordMotion without = long_record();
  without.fas.reset();
  EXPECT_EQ(fas_plot(without, {"a", "b", "c"}), "");
}

}  // namespace
}  // namespace wavefft::report
