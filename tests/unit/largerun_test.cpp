// SPDX-License-Identifier: GPL-3.0-or-later
// A whole run on a large generated waveform file against the same run
// computed here the plain way: the numbers taken with strtod from the text
// written, the transform as a literal loop with the factor evaluated for
// every butterfly, and every line of the three files and the numeric console
// reports formatted with snprintf and the layout rules of the text layer.
// The files the program writes must equal these byte for byte, for numbers
// written as "%.6E" and as "%11.6f", with the answers of the example session.
//
// Size: the largest record the program transforms (131072 records). Builds
// without optimisation or with sanitizers take half of that, which keeps the
// reference's per-butterfly sines and cosines affordable there.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/run.h"
#include "tests/unit/literal_transform.h"
#include "phases/frequency_domain.h"
#include "textio/channel.h"
#include "textio/fixedfmt.h"
#include "textio/instream.h"
#include "textio/listout.h"

namespace wavefft {
namespace {

#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kRecords = 65536;
constexpr int kRandomValues = 50000;
#else
constexpr int kRecords = 131072;
constexpr int kRandomValues = 200000;
#endif

constexpr double kDt = 0.005;
/// The answers of the example session after the file name: no sign change,
/// band-pass 0.1/0.2/20/25 Hz, single integration, no cut, every second
/// sample, output "vel.csv"; then the final line end.
constexpr std::string_view kAnswers = "0\n1\n0.1 0.2 20 25\n1\n0\n1\nvel.csv\n";

// ---------------------------------------------------------------------------
// Reference formatting: snprintf for the digits, the layout written out.

/// A double item of a free-form output record: a blank, the sign column,
/// then 9 significant digits, fixed form for decimal exponents -4 .. 8 (of
/// the rounded value), exponent form with three exponent digits otherwise,
/// no trailing zeros in the fraction, always a point.
std::string ref_list_double(double x) {
  std::string out = " ";
  out += x < 0.0 ? '-' : ' ';
  if (std::isnan(x)) return out + "NaN";
  if (std::isinf(x)) return out + "Infinity";
  if (x == 0.0) return out + "0.";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.8E", std::fabs(x));  // d.ddddddddE+xx
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 8);
  const int e = std::atoi(buf + 11);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (e < -4 || e > 8) {
    out += digits[0];
    out += '.';
    out += digits.substr(1);
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%03d", e < 0 ? '-' : '+', std::abs(e));
    return out + exp;
  }
  if (e >= 0) {
    while (static_cast<int>(digits.size()) < e + 1) digits += '0';
    return out + digits.substr(0, static_cast<std::size_t>(e) + 1) + "." + digits.substr(static_cast<std::size_t>(e) + 1);
  }
  return out + "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + digits;
}

/// An item of a console line.
struct Item {
  enum Kind { Text, Integer, Double } kind;
  std::string text;
  std::int32_t integer = 0;
  double real = 0.0;
};
Item text_item(std::string t) { return {Item::Text, std::move(t)}; }
Item int_item(std::int32_t i) { return {Item::Integer, "", i}; }
Item double_item(double d) { return {Item::Double, "", 0, d}; }

/// A free-form output record: a line is ended before an item when the
/// position is past 0 and position + counted length reaches 80 (a text
/// counts its characters, an integer its digits, a double its whole text);
/// a text opening a line gets a blank; the record ends with a line end.
std::string ref_list_record(const std::vector<Item>& items) {
  std::string out;
  std::size_t line_start = 0;
  for (const Item& item : items) {
    std::string text;
    std::size_t counted = 0;
    if (item.kind == Item::Text) {
      text = item.text;
      counted = text.size();
    } else if (item.kind == Item::Integer) {
      text = " " + std::to_string(item.integer);
      counted = std::to_string(std::abs(static_cast<long long>(item.integer))).size();
    } else {
      text = ref_list_double(item.real);
      counted = text.size();
    }
    if (out.size() > line_start && out.size() - line_start + counted >= 80) {
      out += '\n';
      line_start = out.size();
    }
    if (item.kind == Item::Text && out.size() == line_start) out += ' ';
    out += text;
  }
  return out + '\n';
}

std::string ref_doubles_record(std::initializer_list<double> values) {
  std::vector<Item> items;
  for (const double v : values) items.push_back(double_item(v));
  return ref_list_record(items);
}

/// Right-justified [minus] text in w columns, or w asterisks when it does
/// not fit.
std::string justify(bool minus, const std::string& text, int w) {
  const std::size_t n = text.size() + (minus ? 1 : 0);
  if (n > static_cast<std::size_t>(w)) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - n, ' ') + (minus ? "-" : "") + text;
}

/// Fw.d of a finite x: |x| to d decimals with a digit before the point, a
/// minus only when a nonzero digit remains, the leading 0 dropped when that
/// alone makes it fit.
std::string ref_f_field(double x, int w, int d) {
  std::vector<char> buf(400);
  std::snprintf(buf.data(), buf.size(), "%.*f", d, std::fabs(x));
  std::string text = buf.data();
  if (d == 0) text += '.';
  const bool minus = x < 0.0 && text.find_first_of("123456789") != std::string::npos;
  if (text.size() + (minus ? 1 : 0) == static_cast<std::size_t>(w) + 1 && text[0] == '0') text.erase(0, 1);
  return justify(minus, text, w);
}

/// Ew.d of a finite x: "0." and d significant digits, then E and a signed
/// two-digit exponent, or a signed three-digit exponent without the E; the
/// exponent is that of 0.d1d2.. (one above that of d1.d2..); zero is 0.00..
/// with exponent 0 and no minus.
std::string ref_e_field(double x, int w, int d) {
  std::string digits(static_cast<std::size_t>(d), '0');
  int e = 0;
  if (x != 0.0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", d - 1, std::fabs(x));
    const std::string s = buf;
    const std::size_t epos = s.find('E');
    digits = s.substr(0, 1) + (d > 1 ? s.substr(2, epos - 2) : "");
    e = std::atoi(s.c_str() + epos + 1) + 1;
  }
  char exp[16];
  if (std::abs(e) <= 99) {
    std::snprintf(exp, sizeof exp, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
  } else {
    std::snprintf(exp, sizeof exp, "%c%03d", e < 0 ? '-' : '+', std::abs(e));
  }
  return justify(x < 0.0, "0." + digits + exp, w);
}

/// "(F8.4,6(',',E12.4))" with four values: the group's fifth comma comes
/// before the record ends at the field that finds no value.
std::string ref_spectrum_row(double f, double a1, double a2, double a3) {
  return ref_f_field(f, 8, 4) + "," + ref_e_field(a1, 12, 4) + "," + ref_e_field(a2, 12, 4) + "," +
         ref_e_field(a3, 12, 4) + ",\n";
}

/// "(F8.3,4(',',E12.4))" with four values.
std::string ref_waveform_row(double t, double x1, double x2, double x3) {
  return ref_f_field(t, 8, 3) + "," + ref_e_field(x1, 12, 4) + "," + ref_e_field(x2, 12, 4) + "," +
         ref_e_field(x3, 12, 4) + ",\n";
}

// The reference formatting holds to the worked examples of the text layer.
TEST(ReferenceFormatting, WorkedExamples) {
  EXPECT_EQ(ref_list_double(1000.0), "  1000.");
  EXPECT_EQ(ref_list_double(-0.0), "  0.");
  EXPECT_EQ(ref_list_double(1.0E9), "  1.E+009");
  EXPECT_EQ(ref_list_double(1234567890.0), "  1.23456789E+009");
  EXPECT_EQ(ref_list_double(0.00001), "  1.E-005");
  EXPECT_EQ(ref_list_double(-0.0001), " -0.0001");
  EXPECT_EQ(ref_list_double(999999999.6), "  1.E+009");
  EXPECT_EQ(ref_list_double(9.9999999996e-5), "  0.0001");
  EXPECT_EQ(ref_list_double(-1.5e-300), " -1.5E-300");
  EXPECT_EQ(ref_list_record({text_item("NT and DT="), int_item(1000), double_item(0.01)}), " NT and DT= 1000  0.01\n");
  EXPECT_EQ(ref_doubles_record({0.01, 0.0012345, -0.5, 1.2E-5}), "  0.01  0.0012345 -0.5  1.2E-005\n");
  EXPECT_EQ(ref_f_field(-0.00001, 8, 4), "  0.0000");
  EXPECT_EQ(ref_f_field(-0.00005, 8, 4), " -0.0001");
  EXPECT_EQ(ref_f_field(999.99995, 8, 4), "********");
  EXPECT_EQ(ref_f_field(-0.5, 6, 4), "-.5000");
  EXPECT_EQ(ref_f_field(-2.6, 5, 0), "  -3.");
  EXPECT_EQ(ref_f_field(0.01, 8, 3), "   0.010");
  EXPECT_EQ(ref_e_field(-1.5, 12, 4), " -0.1500E+01");
  EXPECT_EQ(ref_e_field(0.0, 12, 4), "  0.0000E+00");
  EXPECT_EQ(ref_e_field(1.0E-101, 12, 4), "  0.1000-100");
  EXPECT_EQ(ref_e_field(9.99996E98, 12, 4), "  0.1000+100");
  EXPECT_EQ(ref_e_field(9.9995, 12, 4), "  0.9999E+01");
  EXPECT_EQ(ref_spectrum_row(0.0244140625, 1.5, 0.25, 12345.678), "  0.0244,  0.1500E+01,  0.2500E+00,  0.1235E+05,\n");
}

// The text layer's writers against the reference on values of every size.
TEST(ReferenceFormatting, WritersAgreeOnRandomValues) {
  std::mt19937_64 gen(31337);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  for (int i = 0; i < kRandomValues; ++i) {
    double x = (i % 4 == 0) ? std::bit_cast<double>(gen()) : mantissa(gen) * std::pow(10.0, exponent(gen));
    if (!std::isfinite(x)) x = 0.0;
    std::string got;
    textio::append_list_double(got, x);
    ASSERT_EQ(got, ref_list_double(x)) << std::hexfloat << x;
    for (const auto& [w, d] : {std::pair{8, 3}, std::pair{8, 4}, std::pair{12, 6}, std::pair{30, 12}}) {
      got.clear();
      textio::append_f_field(got, x, w, d);
      ASSERT_EQ(got, ref_f_field(x, w, d)) << std::hexfloat << x << " F" << w << "." << d;
    }
    for (const auto& [w, d] : {std::pair{12, 4}, std::pair{9, 1}, std::pair{25, 17}}) {
      got.clear();
      textio::append_e_field(got, x, w, d);
      ASSERT_EQ(got, ref_e_field(x, w, d)) << std::hexfloat << x << " E" << w << "." << d;
    }
  }
}

// ---------------------------------------------------------------------------
// Reference computation.

using wavefft::reference::literal_transform;

/// |c| as the spectrum file shows it.
double ref_modulus(Complex c) {
  const double a = std::fabs(c.re);
  const double b = std::fabs(c.im);
  const double big = a >= b ? a : b;
  const double small = a >= b ? b : a;
  if (big + small == big) return big;
  const double q = small / big;
  return big * std::sqrt(1.0 + q * q);
}

/// The number a token of the file stands for: the nearest double, and +0.0
/// for a number without a nonzero digit ("-0.000000").
double value_of(const char* token) {
  const double v = std::strtod(token, nullptr);
  return v == 0.0 ? 0.0 : v;
}

struct Expected {
  std::string echo, spectrum, waveform;
  std::vector<std::string> console_lines;
  /// The rebuilt components over the transform length, before any output
  /// rounding: the transforms' results bit for bit.
  std::vector<double> rebuilt[3];
};

/// Writes the waveform file (header line, title line, kRecords records of
/// the time and 42 values, noise in values 1, 2 and 11, zeros elsewhere)
/// and computes everything the run must write.
Expected make_input_and_expectation(const std::string& path, bool e_style) {
  const char* const format = e_style ? "%.6E" : "%11.6f";
  const std::string zero = e_style ? "0.000000E+00" : "   0.000000";
  std::vector<double> time(kRecords), xr1(kRecords), xr2(kRecords), xr3(kRecords);
  std::mt19937_64 gen(e_style ? 2024 : 2025);
  std::uniform_real_distribution<double> noise(-0.5, 0.5);

  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return {};
  std::fputs("largest test acceleration g\nTIME V01 V02 V03 V04 V05 V06 V07 V08 V09 V10 V11 and so on\n", f);
  std::string line;
  char token[64];
  Expected ex;
  for (int i = 0; i < kRecords; ++i) {
    line.clear();
    std::snprintf(token, sizeof token, format, kDt * i);
    line += token;
    time[static_cast<std::size_t>(i)] = value_of(token);
    for (int j = 1; j <= 42; ++j) {
      line += ' ';
      if (j == 1 || j == 2 || j == 11) {
        std::snprintf(token, sizeof token, format, noise(gen));
        line += token;
        const double v = value_of(token);
        (j == 1 ? xr1 : j == 2 ? xr2 : xr3)[static_cast<std::size_t>(i)] = v;
      } else {
        line += zero;
      }
    }
    line += '\n';
    std::fputs(line.c_str(), f);
    const auto k = static_cast<std::size_t>(i);
    ex.echo += ref_doubles_record({time[k], xr1[k], xr2[k], xr3[k]});
  }
  std::fclose(f);

  const std::int32_t nt = kRecords;
  const double dt = time[1] - time[0];
  std::int32_t nf = 4, if1 = 2;
  while (nf < nt) {
    nf *= 2;
    ++if1;
  }
  ex.console_lines.push_back(ref_list_record({text_item("NT and DT="), int_item(nt), double_item(dt)}));
  ex.console_lines.push_back(ref_list_record({text_item(" IF1,NF="), int_item(if1), int_item(nf)}));

  // Forward transforms of the zero-padded components.
  std::vector<std::vector<Complex>> fx(3, std::vector<Complex>(static_cast<std::size_t>(nf), Complex{0.0, 0.0}));
  for (std::size_t i = 0; i < static_cast<std::size_t>(nt); ++i) {
    fx[0][i].re = xr1[i];
    fx[1][i].re = xr2[i];
    fx[2][i].re = xr3[i];
  }
  for (auto& c : fx) literal_transform(nf, c.data(), -1);

  // Scaling, grid, band-pass 0.1/0.2/20/25 Hz, single integration.
  const double two_pi = phases::kTwoPi;
  const double dur = static_cast<double>(nf) * dt;
  for (auto& c : fx) {
    for (Complex& v : c) v = Complex{v.re * dt, v.im * dt};
  }
  const double dom = two_pi / dur;
  const std::int32_t nom = nf / 2 + 1;
  const double eom = static_cast<double>(nom) * dom;
  ex.console_lines.push_back(ref_list_record(
      {text_item(" DUR,DOM,NOM,EOM="), double_item(dur), double_item(dom), int_item(nom), double_item(eom)}));
  ex.console_lines.push_back(ref_list_record({text_item(" Highest Frequency (hz)="), double_item(eom / two_pi)}));
  const double oml1 = 0.1 * two_pi, oml2 = 0.2 * two_pi, omh1 = 20.0 * two_pi, omh2 = 25.0 * two_pi;
  for (std::int32_t i = 1; i <= nom; ++i) {
    const double omega = static_cast<double>(i - 1) * dom;
    for (auto& c : fx) {
      Complex& v = c[static_cast<std::size_t>(i - 1)];
      if (omega < oml1 || omega > omh2) {
        v = Complex{0.0, 0.0};
        continue;
      }
      double aa = 1.0;
      if (omega < oml2) aa = (omega - oml1) / (oml2 - oml1);
      if (omega > omh1) aa = (omh2 - omega) / (omh2 - omh1);
      v = Complex{v.re * aa, v.im * aa};
    }
  }
  for (std::int32_t i = 2; i <= nom; ++i) {
    const double omega = static_cast<double>(i - 1) * dom;
    for (auto& c : fx) {
      Complex& v = c[static_cast<std::size_t>(i - 1)];
      v = Complex{v.im / omega, (-v.re) / omega};
    }
  }

  // The spectrum file.
  ex.spectrum = " frequency(Hz),comp1, comp2, comp3\n";
  for (std::int32_t i = 1; i <= nom; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    ex.spectrum += ref_spectrum_row((static_cast<double>(i - 1) * dom) / two_pi, ref_modulus(fx[0][k]),
                                    ref_modulus(fx[1][k]), ref_modulus(fx[2][k]));
  }

  // Conjugate completion, inverse transforms, division by dur.
  for (auto& c : fx) {
    for (std::int32_t i = 2; i <= nf / 2; ++i) {
      const Complex v = c[static_cast<std::size_t>(i - 1)];
      c[static_cast<std::size_t>(nf - i + 1)] = Complex{v.re, -v.im};
    }
    literal_transform(nf, c.data(), +1);
  }

  for (std::size_t c = 0; c < 3; ++c) {
    for (const Complex& v : fx[c]) ex.rebuilt[c].push_back(v.re / dur);
  }

  // The waveform file: every second sample.
  ex.waveform = " time(s),comp1, comp2, comp3\n";
  for (std::int32_t i = 1; i <= nt; i += 2) {
    const auto k = static_cast<std::size_t>(i - 1);
    ex.waveform += ref_waveform_row(time[k], fx[0][k].re / dur, fx[1][k].re / dur, fx[2][k].re / dur);
  }
  return ex;
}

// ---------------------------------------------------------------------------
// The program, in this process.

struct RunEnded {
  int status;
};

[[noreturn]] void end_by_throwing(int status) { throw RunEnded{status}; }

std::string read_file(const std::string& path) {
  std::string s;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return "(missing " + path + ")";
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

struct RunOutput {
  int status = -2;
  std::string console, echo, spectrum, waveform;
  std::vector<double> rebuilt[3];  ///< xr1 .. xr3 over the transform length
};

/// One run of the program with `folder` as its working directory and
/// `input` on its console; its standard output goes to a file there.
RunOutput run_program(const std::string& folder, const std::string& input) {
  RunOutput out;
  const int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (home < 0 || ::chdir(folder.c_str()) != 0) return out;
  std::fflush(stdout);
  const int saved_stdout = ::dup(STDOUT_FILENO);
  const int console = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ::dup2(console, STDOUT_FILENO);
  ::close(console);

  textio::start_run();
  textio::set_exit_hook(end_by_throwing);
  textio::set_console_input(std::make_unique<textio::MemoryInStream>(input));
  RunState* const state = driver::allocate_run_state();
  try {
    driver::run(*state);
  } catch (const RunEnded& end) {
    out.status = end.status;
  }
  const auto nf = static_cast<std::size_t>(state->nf);
  out.rebuilt[0].assign(state->xr1.data(), state->xr1.data() + nf);
  out.rebuilt[1].assign(state->xr2.data(), state->xr2.data() + nf);
  out.rebuilt[2].assign(state->xr3.data(), state->xr3.data() + nf);
  std::free(state);
  textio::reset_channels();
  textio::set_exit_hook(nullptr);

  ::dup2(saved_stdout, STDOUT_FILENO);
  ::close(saved_stdout);
  out.console = read_file("console.txt");
  out.echo = read_file("fort.99");
  out.spectrum = read_file("amp3.csv");
  out.waveform = read_file("vel.csv");
  for (const char* name : {"console.txt", "fort.99", "amp3.csv", "vel.csv", "wave.txt"}) ::unlink(name);
  [[maybe_unused]] const int back = ::fchdir(home);
  ::close(home);
  return out;
}

/// Byte for byte, with the first differing line when not.
::testing::AssertionResult SameText(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::size_t line_start = want.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t from = line_start == std::string::npos || at == 0 ? 0 : line_start + 1;
  const auto line_of = [from](const std::string& s) { return s.substr(from, s.find('\n', from) - from); };
  std::size_t line = 1;
  for (std::size_t i = 0; i < from; ++i) line += want[i] == '\n' ? 1 : 0;
  return ::testing::AssertionFailure() << "sizes " << got.size() << " and " << want.size() << ", line " << line
                                       << " differs:\n  got  \"" << line_of(got) << "\"\n  want \"" << line_of(want)
                                       << "\"";
}

void check_large_run(bool e_style) {
  const char* const tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/wavefft_largerun_XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  ASSERT_NE(::mkdtemp(name.data()), nullptr) << std::strerror(errno);
  const std::string folder = name.data();

  const Expected want = make_input_and_expectation(folder + "/wave.txt", e_style);
  ASSERT_FALSE(want.echo.empty()) << "cannot write " << folder << "/wave.txt";
  const RunOutput got = run_program(folder, "wave.txt\n" + std::string(kAnswers));
  ::rmdir(folder.c_str());

  EXPECT_EQ(got.status, 0);
  for (std::size_t c = 0; c < 3; ++c) {
    ASSERT_EQ(got.rebuilt[c].size(), want.rebuilt[c].size()) << "component " << c + 1;
    for (std::size_t i = 0; i < want.rebuilt[c].size(); ++i) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(got.rebuilt[c][i]), std::bit_cast<std::uint64_t>(want.rebuilt[c][i]))
          << "component " << c + 1 << " sample " << i + 1;
    }
  }
  EXPECT_TRUE(SameText(got.echo, want.echo)) << "fort.99";
  EXPECT_TRUE(SameText(got.spectrum, want.spectrum)) << "amp3.csv";
  EXPECT_TRUE(SameText(got.waveform, want.waveform)) << "vel.csv";
  for (const std::string& line : want.console_lines) {
    EXPECT_NE(got.console.find("\n" + line), std::string::npos) << "console line " << line << "in\n" << got.console;
  }
  // The run covers what it should: every record echoed, every line of the
  // spectrum up to the Nyquist line, every second sample.
  EXPECT_EQ(std::count(want.echo.begin(), want.echo.end(), '\n'), kRecords);
  EXPECT_EQ(std::count(want.spectrum.begin(), want.spectrum.end(), '\n'), kRecords / 2 + 2);
  EXPECT_EQ(std::count(want.waveform.begin(), want.waveform.end(), '\n'), kRecords / 2 + 1);
}

TEST(LargeRun, ExponentStyleMatchesReference) { check_large_run(true); }

TEST(LargeRun, FixedStyleMatchesReference) { check_large_run(false); }

}  // namespace
}  // namespace wavefft
