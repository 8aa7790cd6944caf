// wavefft-measures: ground-motion measures and response spectra of a
// three-component acceleration record, written to measures.csv and
// spectra.csv. The steps: read the arguments, read the record and the
// periods, convert to m/s^2, compute, write both files (to temporary names,
// renamed only when both are complete).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "measures/measures.h"
#include "measures/oscillator.h"
#include "measures/record_file.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace {

namespace wm = wavefft::measures;

constexpr const char* kUsage =
    "Usage: wavefft-measures [--unit U] [--dt DT] [--damping Z[,Z...]] [--periods FILE]\n"
    "                        [--out DIR] RECORD\n"
    "       wavefft-measures --help | --version\n"
    "\n"
    "Computes the ground-motion measures (PGA, PGV, PGD, Arias intensity, CAV,\n"
    "D5-75, D5-95) and the response spectra (PSA of each component, RotD50 and\n"
    "RotD100 of the two horizontals) of a three-component acceleration record:\n"
    "a file in the program's input layout or a waveform file written by wavefft.\n"
    "Writes DIR/measures.csv and DIR/spectra.csv.\n"
    "\n"
    "  --unit U         the record's unit: g, gal, m_s2 or mm_s2 (needed for a\n"
    "                   waveform file; overrides the input layout's header word)\n"
    "  --dt DT          the sampling interval in seconds, instead of time(2) -\n"
    "                   time(1); it must agree with that step to the resolution\n"
    "                   of the time column (waveform file: 0.0011 s, input\n"
    "                   layout: a relative 1e-6)\n"
    "  --damping Z,...  damping ratios in (0, 1), default 0.05\n"
    "  --periods FILE   periods in seconds (blank-, comma- or line-separated;\n"
    "                   '#' starts a comment), default the 111 NGA-West2 periods\n"
    "  --out DIR        folder for the two files, default the current folder\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "See wavefft-measures(1).\n";

// Why the command stops. Each kind becomes its message in `message`.
enum class Fault {
  usage,          // wrong arguments (detail: what); exit status 2
  record,         // the record file is unreadable or malformed (detail: the reader's message)
  no_unit,        // the record does not give its unit and --unit is absent (detail: file name)
  bad_unit,       // --unit names no unit (detail: the word)
  bad_damping,    // --damping holds a non-number or a value outside (0, 1) (detail: the text)
  dt_mismatch,    // --dt disagrees with the record's time step (detail: the whole message)
  periods,        // the periods file is unreadable or holds a bad period (detail: "FILE:LINE: ...")
  write,          // an output file cannot be written (detail: "FILE: reason")
  internal,       // anything else the computation threw (detail: its message)
};

struct Failure {
  Fault kind;
  std::string detail;
};

std::string message(const Failure& f) {
  switch (f.kind) {
    case Fault::usage: return f.detail + " (try wavefft-measures --help)";
    case Fault::record: return f.detail;
    case Fault::no_unit:
      return f.detail + ": the record does not say its unit; give it with --unit g, --unit gal, --unit m_s2 or --unit mm_s2";
    case Fault::bad_unit: return "--unit: unknown unit \"" + f.detail + "\" (use g, gal, m_s2 or mm_s2)";
    case Fault::bad_damping: return "--damping: " + f.detail;
    case Fault::dt_mismatch: return f.detail;
    case Fault::periods: return f.detail;
    case Fault::write: return f.detail;
    case Fault::internal: return f.detail;
  }
  return f.detail;
}

struct Options {
  std::optional<std::string> unit;
  std::optional<double> dt;  // --dt, checked finite and positive
  std::string damping = "0.05";
  std::optional<std::string> periods;
  std::string out = ".";
  std::string record;
};

// A strict number: optional sign, decimal digits, point, exponent. "+0.05" -> 0.05.
std::optional<double> number(std::string_view s) {
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || s.front() == '-') return std::nullopt;
  }
  double v = 0.0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::string num(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

Options parse_arguments(int argc, char** argv) {
  Options o;
  bool have_record = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // "--unit g" and "--unit=g" alike.
    auto value = [&](std::string_view opt) -> std::optional<std::string> {
      if (arg == opt) {
        if (i + 1 >= argc) throw Failure{Fault::usage, std::string(opt) + " needs a value"};
        return std::string(argv[++i]);
      }
      if (arg.size() > opt.size() && arg.starts_with(opt) && arg[opt.size()] == '=') {
        return std::string(arg.substr(opt.size() + 1));
      }
      return std::nullopt;
    };
    if (auto v = value("--unit")) {
      o.unit = *v;
    } else if (auto t = value("--dt")) {
      const std::optional<double> dt = number(*t);
      if (!dt || !std::isfinite(*dt) || !(*dt > 0.0)) {
        throw Failure{Fault::usage, "--dt \"" + *t + "\" is not a positive number of seconds"};
      }
      o.dt = *dt;
    } else if (auto d = value("--damping")) {
      o.damping = *d;
    } else if (auto p = value("--periods")) {
      o.periods = *p;
    } else if (auto out = value("--out")) {
      o.out = *out;
    } else if (arg.size() > 1 && arg.front() == '-') {
      throw Failure{Fault::usage, "unknown option '" + std::string(arg) + "'"};
    } else if (have_record) {
      throw Failure{Fault::usage, "more than one RECORD ('" + o.record + "', '" + std::string(arg) + "')"};
    } else {
      o.record = arg;
      have_record = true;
    }
  }
  if (!have_record) throw Failure{Fault::usage, "no RECORD given"};
  return o;
}

// "0.05,0.02" -> {0.05, 0.02}.
std::vector<double> parse_dampings(const std::string& text) {
  std::vector<double> out;
  std::string_view rest = text;
  for (;;) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    const std::optional<double> z = number(item);
    if (!z) throw Failure{Fault::bad_damping, "\"" + std::string(item) + "\" is not a number"};
    if (!(*z > 0.0 && *z < 1.0)) throw Failure{Fault::bad_damping, std::string(item) + " is outside (0, 1)"};
    out.push_back(*z);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return out;
}

struct Periods {
  std::vector<double> value;
  std::vector<std::size_t> line;  // where each was read; 0 for the built-in set
};

// The periods file: numbers separated by blanks, tabs, commas or line ends;
// '#' comments to the end of its line. "0.1, 0.2  # short" -> {0.1, 0.2}.
Periods read_periods(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::error_code ec;
  if (in && std::filesystem::is_directory(name, ec)) throw Failure{Fault::periods, name + ": cannot read the file: it is a folder"};
  if (!in) throw Failure{Fault::periods, name + ": cannot read the file: " + std::strerror(errno)};
  Periods p;
  std::string line;
  std::size_t line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    std::string_view s = line;
    s = s.substr(0, s.find('#'));
    while (!s.empty()) {
      const std::size_t start = s.find_first_not_of(" \t\r,");
      if (start == std::string_view::npos) break;
      s.remove_prefix(start);
      const std::size_t end = std::min(s.find_first_of(" \t\r,"), s.size());
      const std::string_view token = s.substr(0, end);
      s.remove_prefix(end);
      const std::string where = name + ":" + std::to_string(line_no) + ": ";
      const std::optional<double> t = number(token);
      if (!t) throw Failure{Fault::periods, where + "period is not a number: \"" + std::string(token) + "\""};
      if (!(*t > 0.0) || !std::isfinite(*t)) {
        throw Failure{Fault::periods, where + "period " + std::string(token) + " is not a positive number of seconds"};
      }
      p.value.push_back(*t);
      p.line.push_back(line_no);
    }
  }
  if (in.bad()) throw Failure{Fault::periods, name + ": read error"};
  if (p.value.empty()) throw Failure{Fault::periods, name + ": no periods in the file"};
  return p;
}

std::string measures_csv(const std::array<wm::Measures, 3>& m) {
  std::string s = "measure,unit,comp1,comp2,comp3\n";
  auto row = [&](const char* name, const char* unit, auto get) {
    s += name;
    s += ',';
    s += unit;
    for (const wm::Measures& c : m) {
      s += ',';
      const std::optional<double> v = get(c);
      if (v) s += num(*v);  // an empty field: no significant duration
    }
    s += '\n';
  };
  row("pga", "g", [](const wm::Measures& c) { return std::optional<double>(c.pga); });
  row("pgv", "cm/s", [](const wm::Measures& c) { return std::optional<double>(c.pgv); });
  row("pgd", "cm", [](const wm::Measures& c) { return std::optional<double>(c.pgd); });
  row("arias", "m/s", [](const wm::Measures& c) { return std::optional<double>(c.arias); });
  row("cav", "m/s", [](const wm::Measures& c) { return std::optional<double>(c.cav); });
  row("d5_75", "s", [](const wm::Measures& c) { return c.d5_75; });
  row("d5_95", "s", [](const wm::Measures& c) { return c.d5_95; });
  return s;
}

std::string spectra_csv(const std::vector<wm::SpectrumRow>& rows) {
  std::string s = "period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n";
  for (const wm::SpectrumRow& r : rows) {
    s += num(r.period) + ',' + num(r.damping);
    for (double v : r.psa) s += ',' + num(v);
    s += ',' + num(r.rotd50) + ',' + num(r.rotd100) + '\n';
  }
  return s;
}

// Writes both files under temporary names in `dir`, then renames them; on
// any failure removes what it wrote and leaves the old files alone.
void write_outputs(const std::filesystem::path& dir, const std::array<std::pair<std::string, std::string>, 2>& files) {
  const std::string tag = "." + std::to_string(getpid()) + ".tmp";
  std::vector<std::filesystem::path> temps;
  auto cleanup = [&] {
    std::error_code ec;
    for (const auto& t : temps) std::filesystem::remove(t, ec);
  };
  for (const auto& [name, text] : files) {
    const std::filesystem::path tmp = dir / ("." + name + tag);
    temps.push_back(tmp);
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (out) out.close();
    if (!out) {
      const std::string reason = errno != 0 ? std::strerror(errno) : "write error";
      cleanup();
      throw Failure{Fault::write, (dir / name).string() + ": cannot write: " + reason};
    }
  }
  for (std::size_t k = 0; k < files.size(); ++k) {
    std::error_code ec;
    std::filesystem::rename(temps[k], dir / files[k].first, ec);
    if (ec) {
      cleanup();
      throw Failure{Fault::write, (dir / files[k].first).string() + ": cannot write: " + ec.message()};
    }
  }
}

// How far time(2) - time(1) may lie from the true sampling interval. A
// waveform file writes its times with three decimals, each within 0.0005 s
// of the truth, so their difference is within 0.001 s (0.0011 leaves room
// for the rounding of the doubles); the input layout holds times to about
// seven significant digits.
constexpr double kWaveformTimeResolution = 0.0011;  // seconds
constexpr double kInputTimeResolution = 1e-6;       // relative to --dt

// --dt replaces the record's step once the two agree to the resolution of
// its time column; a step that differs by more means a wrong --dt.
void check_dt(wm::RecordFile& rec, double dt, const std::string& name) {
  const bool waveform = rec.kind == wm::RecordFile::Kind::waveform;
  const double resolution = waveform ? kWaveformTimeResolution : kInputTimeResolution * dt;
  if (!(std::fabs(rec.dt - dt) <= resolution)) {
    throw Failure{Fault::dt_mismatch,
                  name + ": its times step by " + num(rec.dt) + " s, which is not --dt " + num(dt) +
                      " s to within " + (waveform ? "0.0011 s (the waveform file's three decimals)"
                                                  : "a relative 1e-6 (the input layout's times)")};
  }
  rec.dt = dt;
}

int run(const Options& o) {
  // Read the record and settle its unit.
  wm::RecordFile rec = [&] {
    try {
      return wm::read_record_file(o.record);
    } catch (const wm::RecordError& e) {
      throw Failure{Fault::record, e.what()};
    }
  }();
  std::optional<wm::Unit> unit = rec.unit;
  if (o.unit) {
    unit = wm::parse_unit(*o.unit);
    if (!unit) throw Failure{Fault::bad_unit, *o.unit};
  }
  if (!unit) throw Failure{Fault::no_unit, o.record};
  if (o.dt) check_dt(rec, *o.dt, o.record);

  // The dampings and periods, each period checked against the sub-step limit.
  const std::vector<double> dampings = parse_dampings(o.damping);
  Periods periods;
  if (o.periods) {
    periods = read_periods(*o.periods);
  } else {
    const auto set = wm::nga_west2_periods();
    periods.value.assign(set.begin(), set.end());
    periods.line.assign(set.size(), 0);
  }
  for (std::size_t k = 0; k < periods.value.size(); ++k) {
    if (!wm::sub_steps(rec.dt, periods.value[k])) {
      // "periods.txt:3: period 1e-09 s ..." or, for the built-in set, "rec.txt: period 0.01 s ...".
      const std::string where =
          o.periods ? *o.periods + ":" + std::to_string(periods.line[k]) : o.record;
      throw Failure{Fault::periods, where + ": period " + num(periods.value[k]) +
                                        " s is too short for the sample interval " + num(rec.dt) +
                                        " s (more than " + std::to_string(wm::kMaxSubSteps) +
                                        " sub-steps per sample)"};
    }
  }

  // Convert to m/s^2 and compute.
  const double scale = wm::to_m_s2(*unit);
  std::array<std::vector<double>, 3> a;
  for (std::size_t c = 0; c < 3; ++c) {
    a[c] = std::move(rec.comp[c]);  // scaled in place: no second copy of the record
    for (double& x : a[c]) x *= scale;
  }
  // The measures in a thread of their own while the spectra run (which
  // share their batches out between threads as these come free).
  std::array<wm::Measures, 3> measures;
  auto ground = [&a, &measures, dt = rec.dt] {
    for (std::size_t c = 0; c < 3; ++c) measures[c] = wm::ground_motion(a[c], dt);
  };
  std::future<void> ground_done;
  try {
    ground_done = std::async(std::launch::async, ground);
  } catch (const std::system_error&) {
    ground();  // no thread to be had
  }
  const std::vector<wm::SpectrumRow> rows = [&] {
    try {
      return wm::response_spectra({a[0], a[1], a[2]}, rec.dt, periods.value, dampings);
    } catch (...) {
      if (ground_done.valid()) ground_done.wait();  // it reads `a`, which is about to go
      throw;
    }
  }();
  if (ground_done.valid()) ground_done.get();

  write_outputs(o.out, {{{"measures.csv", measures_csv(measures)}, {"spectra.csv", spectra_csv(rows)}}});
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("wavefft-measures %s\n", WAVEFFT_VERSION);
    return 0;
  }
  try {
    const Options o = parse_arguments(argc, argv);
    return run(o);
  } catch (const Failure& f) {
    std::fprintf(stderr, "wavefft-measures: %s\n", message(f).c_str());
    if (f.kind == Fault::usage) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wavefft-measures: %s\n", message({Fault::internal, e.what()}).c_str());
    return 1;
  }
}
