// SPDX-License-Identifier: GPL-3.0-or-later
// Unit tests of the report library: reading a run's files, recognising what
// the run did, the warnings, and the SVG plots and page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "report/analysis.h"
#include "report/page.h"
#include "report/runfiles.h"
#include "report/svg.h"

namespace wavefft::report {
namespace {

namespace fs = std::filesystem;

// The message of the FileError that `read` throws, or "no error".
template <typename Read>
std::string error_of(Read read) {
  try {
    read();
  } catch (const FileError& e) {
    return e.what();
  }
  return "no error";
}

// Whether `text` holds `piece`; a failure names the piece.
::testing::AssertionResult holds(const std::string& text, std::string_view piece) {
  if (text.find(piece) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << piece << "\" in the text";
}

// ---------------------------------------------------------------------------
// Number fields
// ---------------------------------------------------------------------------

TEST(ParseField, NumbersAsTheRunWritesThem) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"0.01", 0.01},          {"  0.", 0.0},             {"-0.5", -0.5},
      {"1.2E-005", 1.2e-5},    {"1.E+009", 1e9},          {"  0.1500E+01", 1.5},
      {" -0.2500E-02", -0.0025}, {"0.1000E-99", 1e-100},  {"0.1000-100", 1e-101},
      {"-0.3125+123", -0.3125e123}, {"  12.3457", 12.3457}, {"+7", 7.0},
      {"1000.", 1000.0},       {"123456789.", 123456789.0}, {"0.4941-323", 4.941e-324},
  };
  for (const Case& c : cases) {
    const Field f = parse_field(c.text);
    EXPECT_EQ(f.kind, FieldKind::Number) << c.text;
    EXPECT_DOUBLE_EQ(f.value, c.value) << c.text;
  }
}

TEST(ParseField, ValuesBeyondTheDoubleRangeSaturate) {
  const Field big = parse_field("0.1000+400");
  ASSERT_EQ(big.kind, FieldKind::Number);
  EXPECT_TRUE(std::isinf(big.value));
  EXPECT_GT(big.value, 0.0);
  const Field tiny = parse_field("-0.1000-400");
  ASSERT_EQ(tiny.kind, FieldKind::Number);
  EXPECT_EQ(tiny.value, 0.0);
  EXPECT_TRUE(std::signbit(tiny.value));
}

TEST(ParseField, NonFiniteAndOverflowFields) {
  EXPECT_EQ(parse_field("********").kind, FieldKind::Overflow);
  EXPECT_EQ(parse_field(" ************").kind, FieldKind::Overflow);
  const Field inf = parse_field("-Infinity");
  ASSERT_EQ(inf.kind, FieldKind::Number);
  EXPECT_TRUE(std::isinf(inf.value) && inf.value < 0);
  EXPECT_TRUE(std::isinf(parse_field("    -Inf").value));
  EXPECT_TRUE(std::isnan(parse_field("  NaN").value));
}

TEST(ParseField, RejectsWhatTheRunNeverWrites) {
  for (const char* text : {"", "   ", "abc", "1.5E", "1.5E+", "0.1000-", "--1", "+-1", "1.2.3", "0.1-1-1", "1,5",
                           "*1*", ".", ".-100", "0x10", "1e5x"}) {
    EXPECT_EQ(parse_field(text).kind, FieldKind::Bad) << '"' << text << '"';
  }
}

// ---------------------------------------------------------------------------
// The three files
// ---------------------------------------------------------------------------

TEST(ReadEcho, LinesOfFourNumbers) {
  const Series s = read_echo("  0.  0.  0.  0.\r\n  0.01 -1.549949E-008 -1.532661E-008  1.E+009\n\n  0.02  0.5 -0.25  3.\n",
                             "fort.99");
  ASSERT_EQ(s.size(), 3u);
  EXPECT_DOUBLE_EQ(s.time[1], 0.01);
  EXPECT_DOUBLE_EQ(s.comp[0][1], -1.549949e-8);
  EXPECT_DOUBLE_EQ(s.comp[2][1], 1e9);
  EXPECT_DOUBLE_EQ(s.comp[1][2], -0.25);
  EXPECT_DOUBLE_EQ(s.time[2], 0.02);
}

TEST(ReadEcho, ErrorsNameTheLine) {
  EXPECT_EQ(error_of([] { read_echo("  0.  1.  2.  3.\n  0.01  1.  2.\n", "fort.99"); }),
            "fort.99 line 2: expected 4 numbers (time and three components), found 3");
  EXPECT_EQ(error_of([] { read_echo("  0.  1.  2.  3.\n\n  0.01  1.  x2  3.\n", "fort.99"); }),
            "fort.99 line 3: not a number: \"x2\"");
  // A field of asterisks is no number in the echo.
  EXPECT_EQ(error_of([] { read_echo("  0.  1.  2.  ***\n", "fort.99"); }), "fort.99 line 1: not a number: \"***\"");
}

TEST(ReadSpectrum, RowsWithTrailingCommas) {
  const Spectrum sp = read_spectrum(
      " frequency(Hz),comp1, comp2, comp3\n"
      "  0.0000,  0.0000E+00,  0.1000-100,  0.3125E+03,\n"
      "  0.0244,  0.1500E+01,  0.2500E-02,  0.3125E+03,\n"
      "  0.0488,  0.1500E+01,  0.2500E-02,  0.3125E+03\n",
      "amp3.csv");
  ASSERT_EQ(sp.size(), 3u);
  EXPECT_DOUBLE_EQ(sp.amp[1][0], 1e-101);
  EXPECT_DOUBLE_EQ(sp.amp[0][1], 1.5);
  EXPECT_DOUBLE_EQ(sp.amp[2][2], 312.5);
  // The grid comes from the last row: 0.0488 / 2.
  EXPECT_DOUBLE_EQ(sp.df, 0.0244);
  EXPECT_DOUBLE_EQ(sp.freq[1], 0.0244);
  EXPECT_EQ(sp.overflowed_freq, 0u);
}

TEST(ReadSpectrum, FrequenciesTooWideForTheirFieldComeFromTheGrid) {
  // dt = 0.0004 s, nf = 8: lines every 312.5 Hz; from 1000 Hz on the F8.4
  // field overflows.
  const Spectrum sp = read_spectrum(
      " frequency(Hz),comp1, comp2, comp3\n"
      "  0.0000,  0.1000E+01,  0.1000E+01,  0.1000E+01,\n"
      "312.5000,  0.1000E+01,  0.1000E+01,  0.1000E+01,\n"
      "625.0000,  0.1000E+01,  0.1000E+01,  0.1000E+01,\n"
      "937.5000,  0.1000E+01,  0.1000E+01,  0.1000E+01,\n"
      "********,  0.2000E+01,  0.1000E+01,  0.1000E+01,\n",
      "amp3.csv");
  ASSERT_EQ(sp.size(), 5u);
  EXPECT_EQ(sp.overflowed_freq, 1u);
  EXPECT_DOUBLE_EQ(sp.df, 312.5);
  EXPECT_DOUBLE_EQ(sp.freq[4], 1250.0);
  EXPECT_DOUBLE_EQ(sp.amp[0][4], 2.0);
}

TEST(ReadSpectrum, RoundedFrequenciesAreReplacedByTheEvenGrid) {
  // df = 1/81.92 Hz = 0.01220703125: printed rounded to 4 decimals.
  std::ostringstream text;
  text << " frequency(Hz),comp1, comp2, comp3\n";
  const double df = 1.0 / 81.92;
  for (int i = 0; i < 50; ++i) {
    char row[64];
    std::snprintf(row, sizeof row, "%8.4f,  0.1000E+01,  0.1000E+01,  0.1000E+01,\n", i * df);
    text << row;
  }
  const Spectrum sp = read_spectrum(text.str(), "amp3.csv");
  // The step comes from the last row, 0.5981 / 49: off by at most half a
  // unit of the 4th decimal over 49 steps, where the printed 0.0122 of row 1
  // is off by 7e-6.
  EXPECT_NEAR(sp.df, df, 5e-5 / 49);
  EXPECT_NEAR(sp.freq[1], df, 5e-5 / 49);
  EXPECT_NEAR(sp.freq[49], 49 * df, 5e-5);
  EXPECT_DOUBLE_EQ(sp.freq[48], 48 * sp.df);
}

TEST(ReadSpectrum, RejectsOtherFiles) {
  EXPECT_EQ(error_of([] { read_spectrum(" time(s),comp1, comp2, comp3\n   0.000,  0.1E+01,  0.1E+01,  0.1E+01,\n", "amp3.csv"); }),
            "amp3.csv: not an amplitude spectrum file (its first line does not begin with \"frequency(Hz)\")");
  EXPECT_EQ(error_of([] { read_spectrum("", "amp3.csv"); }), "amp3.csv: empty file");
  EXPECT_EQ(error_of([] { read_spectrum(" frequency(Hz),comp1, comp2, comp3\r\n\r\n", "amp3.csv"); }),
            "amp3.csv: no data rows");
  EXPECT_EQ(error_of([] { read_spectrum(" frequency(Hz),comp1, comp2, comp3\n  0.0000,  0.1E+01,  0.1E+01,\n", "amp3.csv"); }),
            "amp3.csv line 2: expected 4 comma-separated fields, found 3");
  EXPECT_EQ(error_of([] { read_spectrum(" frequency(Hz),comp1, comp2, comp3\n\n  0.0000, 1, 0x1, 1,\n", "amp3.csv"); }),
            "amp3.csv line 3: field 3 is not a number: \"0x1\"");
}

TEST(ReadWaveform, RowsAndTimesTooWideForTheirField) {
  const Waveform w = read_waveform(
      " time(s),comp1, comp2, comp3\r\n"
      "9999.980,  0.1500E+01, -0.2500E+00,  0.1235E+05,\r\n"
      "9999.990, -0.1500E+01,  0.2500E+00,  0.0000E+00,\r\n"
      "********,  0.1000E+01,  0.1000E+01,  0.1000E+01,\r\n"
      "********,  0.2000E+01,  0.1000E+01,  0.1000E+01,\r\n",
      "vel.csv");
  ASSERT_EQ(w.series.size(), 4u);
  EXPECT_EQ(w.overflowed_time, 2u);
  EXPECT_NEAR(w.series.time[2], 10000.0, 1e-9);
  EXPECT_NEAR(w.series.time[3], 10000.01, 1e-9);
  EXPECT_DOUBLE_EQ(w.series.comp[0][1], -1.5);
  EXPECT_DOUBLE_EQ(w.series.comp[2][0], 12350.0);
  EXPECT_DOUBLE_EQ(w.series.comp[0][3], 2.0);
}

TEST(ReadWaveform, HeaderRecognised) {
  EXPECT_TRUE(is_waveform_header(" time(s),comp1, comp2, comp3"));
  EXPECT_TRUE(is_waveform_header(" time(s),comp1, comp2, comp3\r"));
  EXPECT_FALSE(is_waveform_header(" frequency(Hz),comp1, comp2, comp3"));
  EXPECT_FALSE(is_waveform_header("TIME N00E N90E V03"));
  EXPECT_FALSE(is_waveform_header(""));
  EXPECT_EQ(error_of([] { read_waveform(" frequency(Hz),comp1, comp2, comp3\n", "vel.csv"); }),
            "vel.csv: not a waveform file (its first line does not begin with \"time(s)\")");
}

// A fresh folder under the temporary directory, removed at the end.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("wavefft-report-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }

 private:
  fs::path path_;
};

const char* const kWaveText = " time(s),comp1, comp2, comp3\n   0.000,  0.1E+01,  0.1E+01,  0.1E+01,\n"
                              "   0.010,  0.2E+01,  0.1E+01,  0.1E+01,\n";
const char* const kSpectrumText = " frequency(Hz),comp1, comp2, comp3\n  0.0000,  0.1E+01,  0.1E+01,  0.1E+01,\n"
                                  " 25.0000,  0.1E+01,  0.1E+01,  0.1E+01,\n 50.0000,  0.1E+01,  0.1E+01,  0.1E+01,\n";

TEST(FindWaveform, TheOneCsvWithAWaveformHeader) {
  TempDir dir;
  dir.write("amp3.csv", kSpectrumText);
  dir.write("notes.csv", "a,b,c\n1,2,3\n");
  dir.write("sample.txt", kWaveText);  // not a CSV file
  dir.write("vel.csv", kWaveText);
  EXPECT_EQ(find_waveform(dir.path(), "").filename(), "vel.csv");
  // Named: relative to the folder, or absolute.
  EXPECT_EQ(find_waveform(dir.path(), "notes.csv"), dir.path() / "notes.csv");
  EXPECT_EQ(find_waveform(dir.path(), (dir.path() / "vel.csv").string()), dir.path() / "vel.csv");
  EXPECT_THROW(find_waveform(dir.path(), "missing.csv"), FileError);
}

TEST(FindWaveform, NoneOrSeveral) {
  TempDir dir;
  dir.write("amp3.csv", kSpectrumText);
  EXPECT_EQ(error_of([&] { find_waveform(dir.path(), ""); }),
            dir.path().string() +
                ": no waveform file (no CSV file other than amp3.csv begins with \" time(s)\"); name it with --wave");
  dir.write("b.CSV", kWaveText);
  dir.write("a.csv", kWaveText);
  EXPECT_EQ(error_of([&] { find_waveform(dir.path(), ""); }),
            dir.path().string() + ": more than one waveform file (a.csv b.CSV); choose one with --wave");
}

TEST(ReadRun, NamesEveryMissingFile) {
  TempDir dir;
  dir.write("vel.csv", kWaveText);
  EXPECT_EQ(error_of([&] { read_run(dir.path(), ""); }),
            dir.path().string() + ": missing fort.99, amp3.csv (is this the folder of a wavefft run that went to the end?)");
  dir.write("fort.99", "  0.  1.  2.  3.\n  0.01  1.  2.  3.\n");
  dir.write("amp3.csv", kSpectrumText);
  const RunFiles run = read_run(dir.path(), "");
  EXPECT_EQ(run.input.size(), 2u);
  EXPECT_EQ(run.spectrum.size(), 3u);
  EXPECT_EQ(run.output.series.size(), 2u);
  EXPECT_EQ(run.wave_path.filename(), "vel.csv");
  EXPECT_THROW(read_run(dir.path() / "nowhere", ""), FileError);
}

// ---------------------------------------------------------------------------
// Transform and the recognition of the run's processing
// ---------------------------------------------------------------------------

std::vector<std::complex<double>> naive_dft(const std::vector<std::complex<double>>& x) {
  const std::size_t n = x.size();
  std::vector<std::complex<double>> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::complex<double> sum;
    for (std::size_t j = 0; j < n; ++j) {
      const double angle = -2.0 * std::numbers::pi * static_cast<double>((j * k) % n) / static_cast<double>(n);
      sum += x[j] * std::complex<double>(std::cos(angle), std::sin(angle));
    }
    out[k] = sum;
  }
  return out;
}

// Deterministic values in [-1, 1).
struct Lcg {
  std::uint64_t state;
  double next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
  }
};

// A run made here: an input record of nt samples and the spectrum file the
// program would write for it (transform length nf, trapezoid filter with
// corners in Hz when `filter` is set, then the operation), amplitudes kept to
// 4 significant digits as in amp3.csv.
struct Corners {
  double fl1, fl2, fh1, fh2;
};

// The input is white noise, or with `tone_hz` set a sine of that frequency
// with 1 % of noise.
RunFiles synthetic_run(std::size_t nt, std::size_t nf, double dt, Operation op, const Corners* filter,
                       double tone_hz = 0.0) {
  RunFiles run;
  Lcg rng{7};
  EXPECT_LE(nt, nf) << "the program pads, it never truncates";
  nt = std::min(nt, nf);
  for (std::size_t i = 0; i < nt; ++i) {
    const double t = static_cast<double>(i) * dt;
    run.input.time.push_back(t);
    for (auto& c : run.input.comp) {
      c.push_back(tone_hz > 0.0 ? std::sin(2.0 * std::numbers::pi * tone_hz * t) + 0.01 * rng.next() : rng.next());
    }
  }
  const std::size_t rows = nf / 2 + 1;
  const double df = 1.0 / (static_cast<double>(nf) * dt);
  run.spectrum.df = df;
  for (std::size_t k = 0; k < rows; ++k) run.spectrum.freq.push_back(static_cast<double>(k) * df);
  for (std::size_t c = 0; c < 3; ++c) {
    std::vector<std::complex<double>> x(nf);
    for (std::size_t i = 0; i < nt; ++i) x[i] = run.input.comp[c][i];
    const auto X = naive_dft(x);
    for (std::size_t k = 0; k < rows; ++k) {
      const double f = static_cast<double>(k) * df;
      double gain = 1.0;
      if (filter) {
        if (f < filter->fl1 || f > filter->fh2) {
          gain = 0.0;
        } else {
          if (f < filter->fl2) gain = (f - filter->fl1) / (filter->fl2 - filter->fl1);
          if (f > filter->fh1) gain = (filter->fh2 - f) / (filter->fh2 - filter->fh1);
        }
      }
      double a = std::abs(X[k]) * dt * gain;
      if (k > 0) a *= std::pow(2.0 * std::numbers::pi * f, omega_power(op));
      char text[32];
      std::snprintf(text, sizeof text, "%.3e", a);
      run.spectrum.amp[c].push_back(std::strtod(text, nullptr));
    }
  }
  return run;
}

TEST(DetectOperation, EachMenuChoiceIsRecognised) {
  const Corners band{2.0, 4.0, 30.0, 40.0};
  for (const Operation op :
       {Operation::None, Operation::Integration, Operation::DoubleIntegration, Operation::Differentiation}) {
    for (const Corners* filter : {static_cast<const Corners*>(nullptr), &band}) {
      const RunFiles run = synthetic_run(200, 256, 0.01, op, filter);
      const OperationFit fit = detect_operation(run.input, run.spectrum);
      EXPECT_EQ(fit.op, op) << operation_name(op) << (filter ? " with" : " without") << " a filter";
      ASSERT_EQ(fit.gain.size(), 129u);
      // Line 20 (7.8125 Hz) is inside the flat part of the band.
      EXPECT_NEAR(fit.gain[20], 1.0, 2e-3) << operation_name(op);
      if (filter) {
        EXPECT_EQ(fit.gain[1], 0.0) << "0.39 Hz lies below fL1";
        // Line 5 (1.95 Hz) and line 7 (2.73 Hz): below fL1, then on the ramp.
        EXPECT_EQ(fit.gain[5], 0.0);
        EXPECT_NEAR(fit.gain[7], (7 * 100.0 / 256.0 - 2.0) / 2.0, 2e-3);
      }
    }
  }
}

TEST(DetectOperation, FilesThatDoNotFitTogether) {
  const RunFiles run = synthetic_run(200, 256, 0.01, Operation::Integration, nullptr);
  // More records than the transform length.
  Series longer = run.input;
  for (int i = 0; i < 100; ++i) {
    longer.time.push_back(0.0);
    for (auto& c : longer.comp) c.push_back(0.0);
  }
  EXPECT_EQ(detect_operation(longer, run.spectrum).op, Operation::Unknown);
  // Another dt: the frequency step does not match.
  Series other = run.input;
  for (auto& t : other.time) t *= 2.0;
  EXPECT_EQ(detect_operation(other, run.spectrum).op, Operation::Unknown);
  // A spectrum whose length is not that of a power-of-two transform.
  Spectrum odd = run.spectrum;
  odd.freq.pop_back();
  for (auto& a : odd.amp) a.pop_back();
  EXPECT_EQ(detect_operation(run.input, odd).op, Operation::Unknown);
  // Amplitudes unrelated to the input.
  Spectrum noise = run.spectrum;
  Lcg rng{99};
  for (auto& a : noise.amp) {
    for (auto& v : a) v = std::fabs(rng.next());
  }
  EXPECT_EQ(detect_operation(run.input, noise).op, Operation::Unknown);
}

Spectrum spectrum_of(const std::vector<std::array<double, 3>>& rows, double df) {
  Spectrum sp;
  sp.df = df;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    sp.freq.push_back(static_cast<double>(i) * df);
    for (std::size_t c = 0; c < 3; ++c) sp.amp[c].push_back(rows[i][c]);
  }
  return sp;
}

TEST(FindBand, OneRunOfNonzeroLinesBetweenZeroLines) {
  const Spectrum sp = spectrum_of({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {2, 2, 2}, {0, 0, 3}, {0, 0, 0}}, 0.5);
  const Band b = find_band(sp, {});
  ASSERT_TRUE(b.found);
  EXPECT_EQ(b.first, 2u);
  EXPECT_EQ(b.last, 4u);
  EXPECT_DOUBLE_EQ(b.f_lo, 1.0);
  EXPECT_DOUBLE_EQ(b.f_hi, 2.0);
  EXPECT_FALSE(b.flat_known);
  // With gains: the flat part is where the gain is 1.
  const Band g = find_band(sp, {0, 0, 0.5, 1.0, 0.99, 0});
  ASSERT_TRUE(g.flat_known);
  EXPECT_DOUBLE_EQ(g.flat_lo, 1.5);
  EXPECT_DOUBLE_EQ(g.flat_hi, 1.5);
}

TEST(FindBand, ZeroLinesOnOneSideAreEnough) {
  const Band top = find_band(spectrum_of({{1, 1, 1}, {1, 1, 1}, {0, 0, 0}}, 1.0), {});
  ASSERT_TRUE(top.found);
  EXPECT_DOUBLE_EQ(top.f_lo, 0.0);
  EXPECT_DOUBLE_EQ(top.f_hi, 1.0);
  EXPECT_TRUE(find_band(spectrum_of({{0, 0, 0}, {1, 1, 1}, {1, 1, 1}}, 1.0), {}).found);
}

TEST(FindBand, NotABand) {
  EXPECT_FALSE(find_band(spectrum_of({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 1.0), {}).found) << "no zero lines";
  EXPECT_FALSE(find_band(spectrum_of({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 1.0), {}).found) << "all zero";
  EXPECT_FALSE(find_band(spectrum_of({{0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}}, 1.0), {}).found)
      << "two runs";
  // A field that could not be read is not a removed line.
  const double nan = std::nan("");
  EXPECT_FALSE(find_band(spectrum_of({{nan, 0, 0}, {1, 1, 1}, {1, 1, 1}}, 1.0), {}).found);
}

Waveform waveform_with_times(const std::vector<double>& times) {
  Waveform w;
  w.series.time = times;
  for (auto& c : w.series.comp) c.assign(times.size(), 0.0);
  return w;
}

Series input_with_dt(double dt, std::size_t n = 100) {
  Series s;
  for (std::size_t i = 0; i < n; ++i) s.time.push_back(static_cast<double>(i) * dt);
  for (auto& c : s.comp) c.assign(n, 0.0);
  return s;
}

TEST(OutputStep, WholeMultiplesOfTheInputStep) {
  const Series in = input_with_dt(0.01);
  EXPECT_EQ(output_step(in, waveform_with_times({0.0, 0.01, 0.02, 0.03})), 1u);
  EXPECT_EQ(output_step(in, waveform_with_times({0.0, 0.04, 0.08, 0.12})), 4u);
  // A window that runs past the record shows 0.000 in its tail.
  EXPECT_EQ(output_step(in, waveform_with_times({0.0, 0.03, 0.06, 0.09, 0.0, 0.0})), 3u);
  // Times rounded to 3 decimals: dt 0.0005 s, every sample.
  const Series fine = input_with_dt(0.0005);
  EXPECT_EQ(output_step(fine, waveform_with_times({0.0, 0.001, 0.001, 0.002, 0.002, 0.003, 0.003, 0.004, 0.004})),
            1u);
  // Negative dt: times fall.
  EXPECT_EQ(output_step(input_with_dt(-0.01), waveform_with_times({0.0, -0.02, -0.04})), 2u);
}

TEST(OutputStep, CannotBeTold) {
  const Series in = input_with_dt(0.01);
  EXPECT_EQ(output_step(in, waveform_with_times({0.0})), 0u) << "one row";
  EXPECT_EQ(output_step(in, waveform_with_times({0.0, 0.025, 0.05})), 0u) << "not a whole multiple";
  EXPECT_EQ(output_step(in, waveform_with_times({0.0, 0.0, 0.0})), 0u) << "no step";
  EXPECT_EQ(output_step(input_with_dt(0.0), waveform_with_times({0.0, 0.01})), 0u) << "dt of zero";
}

// ---------------------------------------------------------------------------
// Warnings
// ---------------------------------------------------------------------------

std::vector<std::string> kinds(const Analysis& a) {
  std::vector<std::string> k;
  for (const Warning& w : a.warnings) k.push_back(w.kind);
  return k;
}

using Kinds = std::vector<std::string>;

long count_kind(const Analysis& a, const std::string& kind) {
  return std::count_if(a.warnings.begin(), a.warnings.end(), [&](const Warning& w) { return w.kind == kind; });
}

TEST(Analyse, NoPaddingWhenTheRecordIsAPowerOfTwo) {
  RunFiles run = synthetic_run(256, 256, 0.01, Operation::None, nullptr);
  run.output = waveform_with_times({0.0, 0.01, 0.02});
  Analysis a = analyse(run);
  EXPECT_EQ(a.nf, 256u);
  EXPECT_EQ(kinds(a), Kinds{"no-padding"});
  EXPECT_TRUE(holds(a.warnings[0].text, "256 samples"));

  run = synthetic_run(255, 256, 0.01, Operation::None, nullptr);
  run.output = waveform_with_times({0.0, 0.01, 0.02});
  a = analyse(run);
  EXPECT_EQ(a.nf, 256u);
  EXPECT_TRUE(a.warnings.empty()) << a.warnings[0].text;
}

TEST(Analyse, AliasingAboveOnePercentOfThePeak) {
  // Lines every 1 Hz up to 50 Hz (dt 0.01 s, nf 100 is not a power of two,
  // which does not matter here); every 4th sample keeps up to 12.5 Hz.
  std::vector<std::array<double, 3>> rows(51, {0.0, 0.0, 0.0});
  rows[5] = {1.0, 0.5, 0.2};
  rows[20] = {0.005, 0.009, 0.0};  // 0.5 % and 1.8 % of the peaks
  RunFiles run;
  run.spectrum = spectrum_of(rows, 1.0);
  run.input = input_with_dt(0.01);
  run.output = waveform_with_times({0.0, 0.04, 0.08});
  Analysis a = analyse(run);
  EXPECT_EQ(a.step, 4u);
  EXPECT_DOUBLE_EQ(a.alias_freq, 12.5);
  ASSERT_EQ(count_kind(a, "aliasing"), 1) << a.warnings.size();
  const auto it = std::find_if(a.warnings.begin(), a.warnings.end(), [](const Warning& w) { return w.kind == "aliasing"; });
  EXPECT_TRUE(holds(it->text, "reaches 1.8% of its peak (comp2)")) << it->text;
  EXPECT_TRUE(holds(it->text, "every 4th sample")) << it->text;

  // Below 1 % in every component: no warning.
  rows[20] = {0.005, 0.004, 0.0019};
  run.spectrum = spectrum_of(rows, 1.0);
  a = analyse(run);
  EXPECT_EQ(count_kind(a, "aliasing"), 0);
  // The same content with every 2nd sample kept (up to 25 Hz): nothing aliases.
  rows[20] = {0.005, 0.009, 0.0};
  run.spectrum = spectrum_of(rows, 1.0);
  run.output = waveform_with_times({0.0, 0.02, 0.04});
  a = analyse(run);
  EXPECT_EQ(a.step, 2u);
  EXPECT_EQ(count_kind(a, "aliasing"), 0);
}

TEST(Analyse, IntegrationWithEnergyAtTheLowestLines) {
  // White input integrated without a filter: line 1 is the largest.
  RunFiles run = synthetic_run(200, 256, 0.01, Operation::Integration, nullptr);
  run.output = waveform_with_times({0.0, 0.01});
  Analysis a = analyse(run);
  EXPECT_EQ(a.op, Operation::Integration);
  ASSERT_EQ(kinds(a), Kinds{"low-lines"});
  // duration 2.56 s: the first line is multiplied by 2.56/2π.
  EXPECT_TRUE(holds(a.warnings[0].text, "duration/2\u03c0 = 0.4074")) << a.warnings[0].text;
  EXPECT_TRUE(holds(a.warnings[0].text, "Keep fL1 well above 1/duration.")) << a.warnings[0].text;

  // White noise through a band from 4 Hz, integrated twice: the lowest
  // lines of the band, raised by 1/f², come near the peak.
  const Corners band{4.0, 8.0, 30.0, 40.0};
  run = synthetic_run(200, 256, 0.01, Operation::DoubleIntegration, &band);
  run.output = waveform_with_times({0.0, 0.01});
  a = analyse(run);
  EXPECT_EQ(a.op, Operation::DoubleIntegration);
  ASSERT_EQ(kinds(a), Kinds{"low-lines"});
  // The band starts well above 1/duration: the advice is about the record.
  EXPECT_TRUE(holds(a.warnings[0].text, "raise fL1 (and fL2)")) << a.warnings[0].text;
  EXPECT_TRUE(holds(a.warnings[0].text, "\u03c0f twice")) << a.warnings[0].text;

  // A 15 Hz tone through the same band: the lowest lines hold little.
  run = synthetic_run(200, 256, 0.01, Operation::DoubleIntegration, &band, 15.0);
  run.output = waveform_with_times({0.0, 0.01});
  a = analyse(run);
  EXPECT_EQ(a.op, Operation::DoubleIntegration);
  EXPECT_TRUE(a.warnings.empty()) << a.warnings[0].text;
  ASSERT_TRUE(a.band.found);
  // Lines every 100/256 Hz: the first above 4 Hz is line 11, the last
  // below 40 Hz line 102; the gain is 1 from line 21 (8.2 Hz) to line 76
  // (29.7 Hz).
  const double df = 100.0 / 256.0;
  EXPECT_DOUBLE_EQ(a.band.f_lo, 11 * df);
  EXPECT_DOUBLE_EQ(a.band.f_hi, 102 * df);
  ASSERT_TRUE(a.band.flat_known);
  EXPECT_DOUBLE_EQ(a.band.flat_lo, 21 * df);
  EXPECT_DOUBLE_EQ(a.band.flat_hi, 76 * df);

  // Differentiation amplifies the top, not the bottom: no warning.
  run = synthetic_run(200, 256, 0.01, Operation::Differentiation, nullptr);
  run.output = waveform_with_times({0.0, 0.01});
  EXPECT_TRUE(analyse(run).warnings.empty());
}

TEST(Analyse, FilesFromDifferentRuns) {
  RunFiles run = synthetic_run(200, 256, 0.01, Operation::None, nullptr);
  run.output = waveform_with_times({0.0, 0.01});
  run.spectrum.df *= 2.0;
  EXPECT_EQ(kinds(analyse(run)), Kinds{"mismatch"});
  // An echo file of 300 records next to the spectrum of a 256-point transform.
  run = synthetic_run(200, 256, 0.01, Operation::None, nullptr);
  run.output = waveform_with_times({0.0, 0.01});
  run.input = input_with_dt(0.01, 300);
  const Analysis a = analyse(run);
  EXPECT_EQ(kinds(a), Kinds{"mismatch"});
  EXPECT_EQ(a.op, Operation::Unknown);
}

// ---------------------------------------------------------------------------
// Edge transients
// ---------------------------------------------------------------------------

// n samples of zero with the peak 1 in the middle and -0.5 at `at`.
std::vector<double> half_peak_at(std::size_t n, std::size_t at) {
  std::vector<double> x(n, 0.0);
  x[n / 2] = 1.0;
  x[at] = -0.5;
  return x;
}

TEST(EdgeSwing, EndsAreTheFirstAndLastFiftiethRoundedUp) {
  // n = 6000: the ends are samples 0..119 and 5880..5999.
  EdgeSwing e = edge_swing(half_peak_at(6000, 119));
  EXPECT_TRUE(e.start);
  EXPECT_FALSE(e.end);
  EXPECT_EQ(e.share, 0.5);
  e = edge_swing(half_peak_at(6000, 120));
  EXPECT_FALSE(e.start || e.end);
  EXPECT_EQ(e.share, 0.0);
  e = edge_swing(half_peak_at(6000, 5880));
  EXPECT_TRUE(e.end && !e.start);
  EXPECT_FALSE(edge_swing(half_peak_at(6000, 5879)).end);
  // n = 51: 51/50 rounds up to two samples at each end.
  EXPECT_TRUE(edge_swing(half_peak_at(51, 1)).start);
  EXPECT_FALSE(edge_swing(half_peak_at(51, 2)).start);
  // n = 50: one sample each; 49 samples are too few to tell.
  EXPECT_TRUE(edge_swing(half_peak_at(50, 49)).end);
  EXPECT_FALSE(edge_swing(half_peak_at(50, 48)).end);
  e = edge_swing(half_peak_at(49, 0));
  EXPECT_FALSE(e.start || e.end);
  EXPECT_EQ(e.share, 0.0);
}

TEST(EdgeSwing, MoreThanATenthOfThePeak) {
  std::vector<double> x(100, 0.0);
  x[50] = -2.0;  // the peak is the largest |x|
  x[0] = 0.2;    // exactly a tenth: not more
  EdgeSwing e = edge_swing(x);
  EXPECT_FALSE(e.start);
  EXPECT_EQ(e.share, 0.1);
  x[0] = std::nextafter(0.2, 1.0);
  EXPECT_TRUE(edge_swing(x).start);
  x[99] = -0.25;
  e = edge_swing(x);
  EXPECT_TRUE(e.start && e.end);
  EXPECT_EQ(e.share, 0.125);
  // A component of zeros, or with a value that is not finite, tells nothing.
  EXPECT_FALSE(edge_swing(std::vector<double>(100, 0.0)).start);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double bad : {std::nan(""), inf, -inf}) {
    std::vector<double> y = x;
    y[30] = bad;
    e = edge_swing(y);
    EXPECT_FALSE(e.start || e.end) << bad;
    EXPECT_EQ(e.share, 0.0) << bad;
  }
}

// The processed record of a run of 200 samples at 0.01 s with every
// `step`-th sample kept in `rows` rows: zeros with the peak 1 in the
// middle, comp1 starting at 0.5, comp2 at 0.05 (under a tenth), comp3
// ending at -0.3.
Waveform stepped_output(std::size_t rows, std::size_t step) {
  Waveform w;
  for (std::size_t i = 0; i < rows; ++i) w.series.time.push_back(static_cast<double>(i * step) * 0.01);
  for (auto& c : w.series.comp) {
    c.assign(rows, 0.0);
    c[rows / 2] = 1.0;
  }
  w.series.comp[0].front() = 0.5;
  w.series.comp[1].front() = 0.05;
  w.series.comp[2].back() = -0.3;
  return w;
}

TEST(Analyse, EdgeTransientsOfABandPassedAcceleration) {
  const Corners band{2.0, 4.0, 30.0, 40.0};
  RunFiles run = synthetic_run(200, 256, 0.01, Operation::None, &band);
  run.wave_path = "/runs/x/acc.csv";
  run.output = stepped_output(200, 1);
  Analysis a = analyse(run);
  ASSERT_EQ(kinds(a), Kinds{"edge-transients"});
  EXPECT_EQ(a.warnings[0].title, "Edge transients");
  EXPECT_EQ(a.warnings[0].text,
            "The first or last 2% of the processed record (acc.csv) reaches more than 10% of the component's peak, "
            "up to 50%, in comp1 (start), comp3 (end). A filter rings where the record starts or stops on a step, as "
            "an offset of the baseline makes: remove the mean or taper before filtering.");
  // Every 2nd sample: 100 rows cover the record, and are tested.
  run.output = stepped_output(100, 2);
  EXPECT_EQ(count_kind(analyse(run), "edge-transients"), 1);
  // 99 or 101 rows of every 2nd sample, 150 of every one: a cut, whose ends
  // lie inside the motion.
  for (const auto& [rows, step] : {std::pair<std::size_t, std::size_t>{99, 2}, {101, 2}, {150, 1}}) {
    run.output = stepped_output(rows, step);
    EXPECT_EQ(count_kind(analyse(run), "edge-transients"), 0) << rows << " rows, step " << step;
  }
  // Not band-passed, or no longer an acceleration: not tested.
  for (const auto& [op, filter] : {std::pair<Operation, const Corners*>{Operation::None, nullptr},
                                   {Operation::Integration, &band}, {Operation::Differentiation, &band}}) {
    run = synthetic_run(200, 256, 0.01, op, filter);
    run.output = stepped_output(200, 1);
    a = analyse(run);
    EXPECT_EQ(a.op, op);
    EXPECT_EQ(count_kind(a, "edge-transients"), 0)
        << operation_name(op) << (filter ? " with" : " without") << " a filter";
  }
}

// ---------------------------------------------------------------------------
// Units of the axes
// ---------------------------------------------------------------------------

TEST(AxisUnits, TheRecordsUnitTimesTheSecondsOfTheOperation) {
  using common::Unit;
  const std::optional<Unit> units[] = {std::nullopt, Unit::g, Unit::gal, Unit::m_s2, Unit::mm_s2};
  EXPECT_EQ(input_unit(), "u");
  const char* const inputs[] = {"u", "g", "gal", "m/s\u00b2", "mm/s\u00b2"};
  struct Row {
    Operation op;
    const char* waveform[5];
    const char* spectrum[5];
  };
  const Row rows[] = {
      {Operation::None,
       {"u", "g", "gal", "m/s\u00b2", "mm/s\u00b2"},
       {"u\u00b7s", "g\u00b7s", "gal\u00b7s", "m/s", "mm/s"}},
      {Operation::Integration,
       {"u\u00b7s", "g\u00b7s", "gal\u00b7s", "m/s", "mm/s"},
       {"u\u00b7s\u00b2", "g\u00b7s\u00b2", "gal\u00b7s\u00b2", "m", "mm"}},
      {Operation::DoubleIntegration,
       {"u\u00b7s\u00b2", "g\u00b7s\u00b2", "gal\u00b7s\u00b2", "m", "mm"},
       {"u\u00b7s\u00b3", "g\u00b7s\u00b3", "gal\u00b7s\u00b3", "m\u00b7s", "mm\u00b7s"}},
      {Operation::Differentiation,
       {"u/s", "g/s", "gal/s", "m/s\u00b3", "mm/s\u00b3"},
       {"u", "g", "gal", "m/s\u00b2", "mm/s\u00b2"}},
      {Operation::Unknown,
       {"u\u00b7s\u207f", "g\u00b7s\u207f", "gal\u00b7s\u207f", "m/s\u00b2\u00b7s\u207f", "mm/s\u00b2\u00b7s\u207f"},
       {"u\u00b7s\u207f", "g\u00b7s\u207f", "gal\u00b7s\u207f", "m/s\u00b2\u00b7s\u207f", "mm/s\u00b2\u00b7s\u207f"}},
  };
  for (std::size_t u = 0; u < 5; ++u) {
    EXPECT_EQ(input_unit(units[u]), inputs[u]) << u;
    for (const Row& r : rows) {
      EXPECT_EQ(waveform_unit(r.op, units[u]), r.waveform[u]) << operation_name(r.op) << ", unit " << u;
      EXPECT_EQ(spectrum_unit(r.op, units[u]), r.spectrum[u]) << operation_name(r.op) << ", unit " << u;
    }
  }
  // No unit, or one that is no acceleration: "u".
  EXPECT_EQ(waveform_unit(Operation::Integration, Unit::counts), "u\u00b7s");
  EXPECT_EQ(spectrum_unit(Operation::None, Unit::none), "u\u00b7s");
}

// ---------------------------------------------------------------------------
// Plots and page
// ---------------------------------------------------------------------------

TEST(Decimate, KeepsEveryPeakWithinTheColumnBudget) {
  std::vector<Point> pts;
  for (int i = 0; i < 100000; ++i) {
    const double x = i * 0.001;
    pts.push_back({x, std::sin(x)});
  }
  pts[54321].y = 7.0;    // a spike
  pts[77777].y = -9.0;   // a dip
  const auto thin = decimate(pts, 0.0, 100.0, 300);
  EXPECT_LE(thin.size(), 600u);
  EXPECT_GE(thin.size(), 300u);
  EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](const Point& p) { return p.y == 7.0; }));
  EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](const Point& p) { return p.y == -9.0; }));
  EXPECT_TRUE(std::is_sorted(thin.begin(), thin.end(), [](const Point& a, const Point& b) { return a.x < b.x; }));
  // Every point kept is one of the input points.
  for (const Point& p : thin) {
    const auto i = static_cast<std::size_t>(std::lround(p.x / 0.001));
    ASSERT_LT(i, pts.size());
    EXPECT_EQ(pts[i].y, p.y);
  }
}

TEST(Decimate, ShortTracesAndGaps) {
  const std::vector<Point> pts{{0, 1}, {1, std::nan("")}, {2, 3}, {INFINITY, 4}};
  const auto thin = decimate(pts, 0.0, 2.0, 10);
  ASSERT_EQ(thin.size(), 2u);
  EXPECT_EQ(thin[1].y, 3.0);
  EXPECT_TRUE(decimate({}, 0.0, 1.0, 10).empty());
  // Points far outside the range fall into the first or the last column.
  std::vector<Point> far;
  for (int i = 0; i < 100; ++i) far.push_back({i % 2 ? 1e300 : -1e300, static_cast<double>(i)});
  const auto ends = decimate(far, 0.0, 1.0, 10);
  ASSERT_EQ(ends.size(), 4u);
  EXPECT_EQ(ends[0].y, 0.0);
  EXPECT_EQ(ends[1].y, 98.0);
  EXPECT_EQ(ends[2].y, 1.0);
  EXPECT_EQ(ends[3].y, 99.0);
}

TEST(Ticks, LinearAndLogarithmic) {
  EXPECT_EQ(linear_ticks(0.0, 60.0, 6), (std::vector<double>{0, 10, 20, 30, 40, 50, 60}));
  const auto t = linear_ticks(-0.23, 0.31, 5);
  ASSERT_EQ(t.size(), 6u);
  EXPECT_DOUBLE_EQ(t.front(), -0.2);
  EXPECT_EQ(t[2], 0.0);
  EXPECT_NEAR(t.back(), 0.3, 1e-15);
  EXPECT_EQ(log_ticks(0.01, 100.0, 8), (std::vector<double>{0.01, 0.1, 1, 10, 100}));
  const auto many = log_ticks(1e-20, 1e5, 6);
  EXPECT_LE(many.size(), 7u);
  EXPECT_DOUBLE_EQ(many.front(), 1e-20);
  EXPECT_TRUE(log_ticks(0.0, 1.0, 5).empty());
  EXPECT_EQ(tick_label(0.0), "0");
  EXPECT_EQ(tick_label(0.5), "0.5");
  EXPECT_EQ(tick_label(1e-5), "1e-05");
}

TEST(RenderPlot, LogLogSpectrumWithZeroLines) {
  Plot p;
  p.id = "s1";
  p.title = "comp1 <amplitude> & more";
  p.log_x = p.log_y = true;
  p.band = std::make_pair(0.0, 10.0);
  p.band_label = "band";
  p.marker = 5.0;
  Trace tr{{}, "#123456"};
  for (int i = 0; i <= 5000; ++i) tr.points.push_back({i * 0.01, i % 7 == 0 ? 0.0 : 1.0 / (1 + i)});
  const std::string svg = render_plot(p, {tr});
  EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
  EXPECT_TRUE(holds(svg, "id=\"s1\""));
  EXPECT_TRUE(holds(svg, "comp1 &lt;amplitude&gt; &amp; more"));
  EXPECT_EQ(svg.find("<amplitude>"), std::string::npos);
  EXPECT_TRUE(holds(svg, "class=\"band\""));
  EXPECT_TRUE(holds(svg, "class=\"marker\""));
  // No coordinate of a zero line or the zero-frequency line escapes as
  // "inf" or "nan".
  EXPECT_EQ(svg.find("inf"), std::string::npos);
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  const auto at = svg.find("data-points=\"");
  ASSERT_NE(at, std::string::npos);
  const int n = std::atoi(svg.c_str() + at + 13);
  EXPECT_GT(n, 100);
  EXPECT_LE(n, 2 * (p.width - 74));
}

TEST(RenderPlot, NothingToDraw) {
  Plot p;
  p.id = "e";
  p.log_y = true;
  const std::string zeros = render_plot(p, {{{{0, 0}, {1, 0}}, "#000"}});
  EXPECT_TRUE(holds(zeros, "all values are zero"));
  const std::string none = render_plot(p, {});
  EXPECT_TRUE(holds(none, "no data to plot"));
  EXPECT_EQ(none.find("<polyline"), std::string::npos);
}

TEST(RenderPlot, FaintTracesAndTracesWithGaps) {
  Plot p;
  p.id = "g";
  const double nan = std::nan("");
  Trace broken{{{0, 1}, {1, nan}, {2, 2}, {3, 3}, {4, nan}, {5, nan}, {6, 1}}, "#111"};
  broken.gaps = true;
  Trace joined = broken;
  joined.gaps = false;
  joined.faint = true;
  const std::string svg = render_plot(p, {joined, broken});
  // Drawn in order: the faint polyline of the 4 finite points behind the path.
  const auto poly = svg.find("<polyline class=\"trace faint\"");
  const auto path = svg.find("<path class=\"trace\"");
  ASSERT_NE(poly, std::string::npos);
  ASSERT_NE(path, std::string::npos);
  EXPECT_LT(poly, path);
  // Pieces {0}, {2, 3} and {6}: each starts with M, a piece of one point
  // is a dot.
  const auto d = svg.find(" d=\"", path) + 4;
  const std::string pieces = svg.substr(d, svg.find('"', d) - d);
  EXPECT_EQ(std::count(pieces.begin(), pieces.end(), 'M'), 3) << pieces;
  EXPECT_EQ(pieces.rfind("M", 0), 0u) << pieces;
  EXPECT_TRUE(holds(pieces, "h0M")) << pieces;
  EXPECT_EQ(pieces.substr(pieces.size() - 2), "h0") << pieces;
  EXPECT_TRUE(holds(svg, "data-points=\"8\""));
}

TEST(RenderPage, NinePlotsAndTheWarnings) {
  RunFiles run = synthetic_run(256, 256, 0.01, Operation::None, nullptr);
  run.dir = "/runs/<quake & co>";
  run.wave_path = "/runs/x/acc.csv";
  run.output = waveform_with_times({0.0, 0.01, 0.02, 0.03});
  const Analysis a = analyse(run);
  ASSERT_EQ(kinds(a), Kinds{"no-padding"});
  const std::string html = render_page(run, a, "wavefft-report test");
  std::size_t svgs = 0;
  for (auto at = html.find("<svg "); at != std::string::npos; at = html.find("<svg ", at + 1)) ++svgs;
  EXPECT_EQ(svgs, 9u);
  for (const char* id : {"input-comp1", "output-comp2", "spectrum-comp3"}) {
    EXPECT_TRUE(holds(html, std::string("id=\"") + id + "\"")) << id;
  }
  EXPECT_TRUE(holds(html, "<li data-warning=\"no-padding\"><b>No zero padding.</b>"));
  EXPECT_TRUE(holds(html, "/runs/&lt;quake &amp; co&gt;"));
  EXPECT_EQ(html.find("<quake"), std::string::npos);
  EXPECT_TRUE(holds(html, "Processed (acc.csv)"));
  EXPECT_EQ(html.find("no-warnings"), std::string::npos);

  run = synthetic_run(200, 256, 0.01, Operation::Integration, nullptr);
  run.wave_path = "vel.csv";
  run.output = waveform_with_times({0.0, 0.01});
  Analysis quiet = analyse(run);
  quiet.warnings.clear();
  const std::string calm = render_page(run, quiet, "g");
  EXPECT_TRUE(holds(calm, "<p class=\"no-warnings\">None.</p>"));
  EXPECT_TRUE(holds(calm, "<td>single integration</td>"));
  EXPECT_TRUE(holds(calm, spectrum_unit(Operation::Integration)));
}

}  // namespace
}  // namespace wavefft::report
