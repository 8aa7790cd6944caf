// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the correction on the report page: the signal and noise
// plot with its corner lines, the spectra taken from record.txt at the
// summary's onset, the onset on the input plots, and what the page says
// instead when there is no noise, no raw record or no readable summary.
// The page of a real corrected run: tests/report/pages_test.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/unit/test_files.h"
#include "import/writer.h"
#include "report/correction_page.h"
#include "report/page.h"

namespace wavefft::report {
namespace {

namespace fs = std::filesystem;

// A fresh folder for one test.
struct TempDir : testing::TempDir {
  TempDir() : testing::TempDir("correction") {}
};

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// The <svg> element with id `id` in `html`; "" when there is none.
std::string svg_of(const std::string& html, const std::string& id) {
  const std::size_t at = html.find("class=\"plot\" id=\"" + id + "\"");
  if (at == std::string::npos) return "";
  const std::size_t start = html.rfind("<svg", at);
  return html.substr(start, html.find("</svg>", at) + 6 - start);
}

// The x of every marker line in `svg` and the label after it:
// "148.5 high-pass 0.1 Hz|...".
std::string marks_of(const std::string& svg) {
  std::string out;
  const std::string key = "<line class=\"marker\" x1=\"";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t x = at + key.size(), open = svg.find('>', svg.find("<text class=\"mark\"", at)) + 1;
    out += (out.empty() ? "" : "|") + svg.substr(x, svg.find('"', x) - x) + " " +
           svg.substr(open, svg.find("</text>", open) - open);
  }
  return out;
}

TEST(SnrPlot, CornerLinesAtTheirFrequenciesAndNoPointWithoutAValue) {
  // 301 frequencies from 0.01 to 100 Hz over pixels 62 to 408: f lies at
  // 62 + 346 (log10 f + 2) / 4.
  const std::size_t n = correct::snr_frequencies().size();
  std::vector<double> signal(n, 1.0), noise(n, 0.01);
  for (std::size_t k = 0; k < 10; ++k) signal[k] = std::numeric_limits<double>::quiet_NaN();
  signal[150] = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t k = 200; k < 205; ++k) noise[k] = 0.0;  // nothing a log axis can show
  auto corners = [](double highpass, std::optional<double> lowpass) {
    correct::SummaryComponent c;
    c.highpass_hz = highpass;
    c.lowpass_hz = lowpass;
    return c;
  };

  const std::string svg = snr_plot(signal, noise, corners(0.1, 10.0), 1, "HNE", "gal");
  // 0.1 Hz at 148.5, its label to the right; 10 Hz at 321.5, where
  // "low-pass 10 Hz" (14 letters) would run past the edge: to the left.
  EXPECT_EQ(marks_of(svg), "148.5 high-pass 0.1 Hz|321.5 low-pass 10 Hz");
  EXPECT_NE(svg.find("x=\"151.5\" y=\"32.0\" text-anchor=\"start\">high-pass"), std::string::npos);
  EXPECT_NE(svg.find("x=\"318.5\" y=\"43.0\" text-anchor=\"end\">low-pass"), std::string::npos);
  // The NaN and zero values are left out: 290 + 296 points.
  EXPECT_EQ(n, 301u);
  EXPECT_NE(svg.find("data-points=\"586\""), std::string::npos);
  // No low-pass: one line. A corner beyond the axis is not drawn.
  EXPECT_EQ(marks_of(snr_plot(signal, noise, corners(1.0, std::nullopt), 0, "x", "g")), "235.0 high-pass 1 Hz");
  EXPECT_EQ(marks_of(snr_plot(signal, noise, corners(0.1, 150.0), 0, "x", "g")),
            "148.5 high-pass 0.1 Hz");
}

// A summary as wavefft-correct writes it, with the onset and noise given;
// component 2 flagged, component 3 without a low-pass.
std::string summary_text(const std::string& onset, const std::string& noise) {
  auto component = [](const char* title, const char* lowpass, const char* kind, const char* flags) {
    return std::string("{\"title\": \"") + title + "\", \"highpass_hz\": 0.2, \"lowpass_hz\": " + lowpass +
           ", \"corners\": \"" + kind + "\", \"lowest_usable_hz\": 0.25, \"pga_before\": 10, \"pga_after\": 9, "
           "\"residual_velocity_cm_s\": 0, \"residual_displacement_cm\": 0, \"flags\": [" + flags + "]}";
  };
  return "{\"onset_s\": " + onset + ", \"noise_s\": " + noise + ", \"unit\": \"gal\", \"components\": [" +
         component("HNN", "20", "snr", "") + ", " + component("HNE", "20", "fallback", "\"low-snr\", \"drift\"") +
         ", " + component("HNZ", "null", "given", "") + "]}\n";
}

// 1000 samples at 0.01 s: 6 s of small noise, then a 3 Hz burst.
constexpr double kDt = 0.01;
std::array<std::vector<double>, 3> raw_record() {
  std::array<std::vector<double>, 3> a;
  for (std::size_t i = 0; i < 1000; ++i) {
    const double t = static_cast<double>(i) * kDt;
    for (std::size_t c = 0; c < 3; ++c) {
      const double noise = 0.01 * std::sin(37.0 * t * static_cast<double>(c + 2));
      a[c].push_back(t < 6.0 ? noise : noise + 5.0 * std::sin(6.0 * std::numbers::pi * t) * std::exp(6.0 - t));
    }
  }
  return a;
}

// record.txt of `dir` in the input layout, as wavefft-import writes it.
void write_raw(const fs::path& dir) {
  import::Record rec{"Quake", "STA", common::Unit::gal, kDt, {}, {}};
  const auto comp = raw_record();
  for (std::size_t c = 0; c < 3; ++c) rec.components[c] = {"HN" + std::string(1, "NEZ"[c]), "", comp[c]};
  std::string text;
  import::write_record(rec, text);
  write_file(dir / kRawRecordFile, text);
}

// The page of the corrected run, in memory (its echo starting at 0.5 s),
// with the correction found in `dir`.
std::string page(const fs::path& dir, const CorrectionView& view) {
  RunFiles run;
  run.dir = dir;
  run.wave_path = dir / "acc.csv";
  for (std::size_t i = 0; i < 1000; ++i) run.input.time.push_back(0.5 + static_cast<double>(i) * kDt);
  run.input.comp = raw_record();
  run.output.series = run.input;
  Analysis a;
  a.op = Operation::None;
  a.dt = kDt;
  a.step = 1;
  a.band.found = true;
  return render_page(run, a, "test", Motion{}, view);
}

TEST(CorrectionPage, SpectraOfTheRawRecordAtTheOnsetAndTheOnsetMarked) {
  TempDir dir;
  write_file(dir.path() / kSummaryFile, summary_text("6.006", "6.006"));
  write_raw(dir.path());
  const CorrectionView view = read_correction(dir.path(), 1000, kDt);
  ASSERT_TRUE(view.spectra.has_value());
  EXPECT_TRUE(view.warnings.empty());
  // The onset at sample round(6.006 / 0.01) = 601, not 600; NaN where the
  // window holds no line.
  const auto raw = raw_record();
  const std::array<std::span<const double>, 3> a{raw[0], raw[1], raw[2]};
  auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                      [](double u, double v) { return u == v || (std::isnan(u) && std::isnan(v)); });
  };
  const correct::NoiseSpectra at_601 = correct::noise_spectra(a, kDt, 601);
  for (std::size_t c = 0; c < 3; ++c) {
    EXPECT_TRUE(same(view.spectra->signal[c], at_601.signal[c]) && same(view.spectra->noise[c], at_601.noise[c]));
  }
  EXPECT_FALSE(same(view.spectra->noise[0], correct::noise_spectra(a, kDt, 600).noise[0]));

  const std::string html = page(dir.path(), view);
  // The onset at 0.5 + 6.006 s on each input plot (0.5 to 10.49 s over 346
  // pixels: 62 + 346 * 6.006 / 9.99 = 270.0), on no processed plot.
  for (const char* id : {"input-comp1", "input-comp2", "input-comp3"}) {
    EXPECT_EQ(marks_of(svg_of(html, id)), "270.0 onset") << id;
  }
  EXPECT_EQ(marks_of(svg_of(html, "output-comp1")), "");
  EXPECT_NE(html.find("the onset at 6.006 s after the first sample, 6.006 s of pre-event noise"), std::string::npos);
  EXPECT_NE(html.find("<tr data-comp=\"2\"><td class=\"name\">HNE</td><td>0.2</td><td>20</td><td class=\"name\">"
                      "fallback (no usable noise, or a low ratio at 1 Hz)</td><td class=\"name\">low-snr, drift</td>"),
            std::string::npos);
  EXPECT_NE(html.find("<td>0.2</td><td>none</td><td class=\"name\">given</td><td class=\"name\">none</td>"),
            std::string::npos);
  EXPECT_EQ(marks_of(svg_of(html, "snr-comp1")), "174.5 high-pass 0.2 Hz|347.5 low-pass 20 Hz");
  EXPECT_EQ(marks_of(svg_of(html, "snr-comp3")), "174.5 high-pass 0.2 Hz");
  EXPECT_NE(html.find("data-comp=\"2\">corners: fallback (no usable noise, or a low ratio at 1 Hz); flags: low-snr, "
                      "drift</p>"),
            std::string::npos);
}

TEST(CorrectionPage, ASentenceInsteadOfThePlotsOrAWarning) {
  TempDir dir;
  EXPECT_FALSE(read_correction(dir.path(), 1000, kDt).summary.has_value());
  auto says = [&](const std::string& summary, const std::string& sentence) {
    write_file(dir.path() / kSummaryFile, summary);
    const CorrectionView view = read_correction(dir.path(), 1000, kDt);
    const std::string html = page(dir.path(), view);
    EXPECT_EQ(html.find("id=\"snr-comp"), std::string::npos) << sentence;
    EXPECT_NE(html.find("<p class=\"snr-none\">No signal and noise plots: " + sentence + "</p>"), std::string::npos)
        << sentence;
    return view.warnings.empty() ? html : view.warnings[0].title + ": " + view.warnings[0].text;
  };
  // record.txt is looked for only when the noise is usable.
  says(summary_text("4.99", "4.99"), "Only 4.99 s of pre-event noise, less than the 5 s a signal-to-noise ratio needs.");
  const std::string no_onset = says(summary_text("null", "0"), "No onset was found, so there is no pre-event noise "
                                                               "to compare the signal with.");
  EXPECT_EQ(marks_of(svg_of(no_onset, "input-comp1")), "");
  const std::string no_raw = says(summary_text("6", "6"), "The raw record, record.txt, is not in the folder.");
  EXPECT_EQ(marks_of(svg_of(no_raw, "input-comp1")), "269.8 onset");  // 62 + 346 * 6 / 9.99
  EXPECT_NE(no_raw.find("from fort.99, amp3.csv, acc.csv and correct.json.</p>"), std::string::npos);

  // What cannot be read or does not fit: a warning.
  const std::string instead = "The spectra could not be made; the warnings say why.";
  write_raw(dir.path());
  EXPECT_EQ(says(summary_text("1e300", "6"), instead).substr(0, 29), "Onset outside the raw record:");
  EXPECT_EQ(read_correction(dir.path(), 1000, 0.02).warnings.size(), 1u) << "another dt";
  EXPECT_EQ(read_correction(dir.path(), 999, kDt).warnings.at(0).text,
            "record.txt holds 1000 samples at 0.01 s, fort.99 999 records at 0.01 s: not the record this run "
            "corrected. No signal and noise spectra.");
  write_file(dir.path() / kRawRecordFile, "Quake STA acceleration gal\nTIME\n0 x\n");
  EXPECT_EQ(says(summary_text("6", "6"), instead).substr(0, 22), "Raw record unreadable:");

  // A summary that is not one: the reader's message, and no section.
  write_file(dir.path() / kSummaryFile, "{\"onset_s\": 6, \"noise_s\": 6}\n");
  const CorrectionView bad = read_correction(dir.path(), 1000, kDt);
  ASSERT_EQ(bad.warnings.size(), 1u);
  EXPECT_EQ(bad.warnings[0].kind, "correction");
  const std::string html = page(dir.path(), bad);
  EXPECT_NE(html.find("<li data-warning=\"correction\"><b>Correction summary unreadable.</b> correct.json: "),
            std::string::npos);
  EXPECT_EQ(html.find("Signal and noise"), std::string::npos);
  EXPECT_EQ(page_warnings(Analysis{}, Motion{}, bad).size(), 1u);
}

}  // namespace
}  // namespace wavefft::report
