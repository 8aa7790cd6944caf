// SPDX-License-Identifier: GPL-3.0-or-later
// genwave: writes a waveform input file for wavefft, for tests and benches.
//
//   genwave [options] FILE
//
// Layout: a header line of four words, a column-title line, then one record
// per line: the time and 42 values, separated by single blanks. Components
// 1, 2 and 3 of the program are values 1, 2 and 11.
//
// Options (defaults in brackets):
//   --records N        number of records [1000]
//   --dt X             time step in seconds [0.01]
//   --t0 X             time of the first record [0]
//   --style e|f        every number as "%.6E" (1.234560E-01) or "%11.6f" [e]
//   --signal KIND      sine | noise | ramp | const [sine]
//   --freq X           frequency of the sine, Hz [1]
//   --amp X            amplitude [1]
//   --seed N           seed of the noise [20240601]
//   --distinct         value j of record i (both from 1) is i + j/100, so every
//                      column is recognisable (exact in "%.6E" up to 9999 records)
//   --header "W W W W" the four header words [genwave synthetic acceleration g]
//   --no-final-newline the last line has no line end
//   --crlf             lines end with CR LF
//
// Signals, with t the record's time and s = 2*pi*freq*t:
//   sine:  value 1 = amp*sin(s), value 2 = amp*cos(s), value 11 = -amp*sin(s)/2
//   noise: values 1, 2 and 11 independent, uniform in [-amp, amp)
//   ramp:  value 1 = amp*(i-1)/N, value 2 = -value 1, value 11 = value 1/2
//   const: value 1 = amp, value 2 = -amp, value 11 = amp/2
// All other values are 0. The output is the same on every platform for the
// same options: the noise comes from a fixed 64-bit generator, not from a
// library distribution.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kValues = 42;
constexpr double kTwoPi = 6.283185307179586;

enum class Style { E, F };
enum class Signal { Sine, Noise, Ramp, Const };

struct Options {
  long long records = 1000;
  double dt = 0.01;
  double t0 = 0.0;
  Style style = Style::E;
  Signal signal = Signal::Sine;
  double freq = 1.0;
  double amp = 1.0;
  std::uint64_t seed = 20240601;
  bool distinct = false;
  std::string header = "genwave synthetic acceleration g";
  bool final_newline = true;
  bool crlf = false;
  std::string out;
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr,
               "genwave: %s\n"
               "usage: genwave [--records N] [--dt X] [--t0 X] [--style e|f]\n"
               "               [--signal sine|noise|ramp|const] [--freq X] [--amp X] [--seed N]\n"
               "               [--distinct] [--header \"W W W W\"] [--no-final-newline] [--crlf] FILE\n",
               why.c_str());
  std::exit(2);
}

double to_double(const char* s, const char* opt) {
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (end == s || *end != '\0' || !std::isfinite(v)) usage(std::string("bad number for ") + opt + ": " + s);
  return v;
}

long long to_count(const char* s, const char* opt) {
  char* end = nullptr;
  const long long v = std::strtoll(s, &end, 10);
  if (end == s || *end != '\0' || v < 0) usage(std::string("bad count for ") + opt + ": " + s);
  return v;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    const auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage(std::string(a) + " needs a value");
      return argv[++i];
    };
    if (a == "--records") {
      o.records = to_count(value(), "--records");
    } else if (a == "--dt") {
      o.dt = to_double(value(), "--dt");
    } else if (a == "--t0") {
      o.t0 = to_double(value(), "--t0");
    } else if (a == "--style") {
      const std::string_view s = value();
      if (s == "e") o.style = Style::E;
      else if (s == "f") o.style = Style::F;
      else usage("--style is e or f");
    } else if (a == "--signal") {
      const std::string_view s = value();
      if (s == "sine") o.signal = Signal::Sine;
      else if (s == "noise") o.signal = Signal::Noise;
      else if (s == "ramp") o.signal = Signal::Ramp;
      else if (s == "const") o.signal = Signal::Const;
      else usage("--signal is sine, noise, ramp or const");
    } else if (a == "--freq") {
      o.freq = to_double(value(), "--freq");
    } else if (a == "--amp") {
      o.amp = to_double(value(), "--amp");
    } else if (a == "--seed") {
      o.seed = static_cast<std::uint64_t>(to_count(value(), "--seed"));
    } else if (a == "--distinct") {
      o.distinct = true;
    } else if (a == "--header") {
      o.header = value();
    } else if (a == "--no-final-newline") {
      o.final_newline = false;
    } else if (a == "--crlf") {
      o.crlf = true;
    } else if (a == "-o" || a == "--output") {
      o.out = value();
    } else if (!a.empty() && a[0] == '-') {
      usage("unknown option " + std::string(a));
    } else if (o.out.empty()) {
      o.out = std::string(a);
    } else {
      usage("more than one output file");
    }
  }
  if (o.out.empty()) usage("no output file");
  return o;
}

/// splitmix64: a fixed generator, so the noise is the same everywhere.
struct Noise {
  std::uint64_t state;
  double next() {  // uniform in [-1, 1)
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
  }
};

class Writer {
 public:
  Writer(std::FILE* f, Style style) : f_(f), style_(style) {}
  void number(double v, bool first) {
    if (!first) std::fputc(' ', f_);
    if (v == 0.0) v = 0.0;  // no "-0.000000E+00" from a negated zero
    std::fprintf(f_, style_ == Style::E ? "%.6E" : "%11.6f", v);
  }

 private:
  std::FILE* f_;
  Style style_;
};

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  std::FILE* f = std::fopen(o.out.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "genwave: cannot create %s: %s\n", o.out.c_str(), std::strerror(errno));
    return 1;
  }
  static char buffer[1 << 16];
  std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
  const char* eol = o.crlf ? "\r\n" : "\n";

  std::fprintf(f, "%s%s", o.header.c_str(), eol);
  std::fputs("TIME", f);
  for (int j = 1; j <= kValues; ++j) std::fprintf(f, " V%02d", j);
  if (o.records > 0 || o.final_newline) std::fputs(eol, f);

  Writer w(f, o.style);
  Noise noise{o.seed};
  double values[kValues + 1] = {};
  for (long long i = 1; i <= o.records; ++i) {
    const double t = o.t0 + static_cast<double>(i - 1) * o.dt;
    for (double& v : values) v = 0.0;
    if (o.distinct) {
      for (int j = 1; j <= kValues; ++j) values[j] = static_cast<double>(i) + j / 100.0;
    } else {
      switch (o.signal) {
        case Signal::Sine: {
          const double s = kTwoPi * o.freq * t;
          values[1] = o.amp * std::sin(s);
          values[2] = o.amp * std::cos(s);
          values[11] = -o.amp * std::sin(s) / 2.0;
          break;
        }
        case Signal::Noise:
          values[1] = o.amp * noise.next();
          values[2] = o.amp * noise.next();
          values[11] = o.amp * noise.next();
          break;
        case Signal::Ramp:
          values[1] = o.amp * static_cast<double>(i - 1) / static_cast<double>(o.records);
          values[2] = -values[1];
          values[11] = values[1] / 2.0;
          break;
        case Signal::Const:
          values[1] = o.amp;
          values[2] = -o.amp;
          values[11] = o.amp / 2.0;
          break;
      }
    }
    w.number(t, true);
    for (int j = 1; j <= kValues; ++j) w.number(values[j], false);
    if (i < o.records || o.final_newline) std::fputs(eol, f);
  }
  if (std::fclose(f) != 0) {
    std::fprintf(stderr, "genwave: writing %s failed\n", o.out.c_str());
    return 1;
  }
  return 0;
}
