// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-measures: ground-motion measures, response spectra and smoothed
// Fourier amplitude spectra of a three-component acceleration record,
// written to measures.csv, spectra.csv and fas.csv. The steps: read the
// arguments, settle the smoothing, read the record, the periods and the
// frequencies, convert to m/s^2, compute, write the three files (to
// temporary names, renamed only when all three are complete).
#include <array>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/files.h"
#include "common/numbers.h"
#include "common/options.h"
#include "common/units.h"
#include "common/usage.h"
#include "measures/fas.h"
#include "measures/measures.h"
#include "measures/step.h"
#include "records/frequency_list.h"
#include "records/record.h"

namespace {

namespace common = wavefft::common;
namespace wm = wavefft::measures;
namespace wr = wavefft::records;

constexpr const char* kTool = "wavefft-measures";

// --help. A usage error repeats its first lines, up to the first empty
// one: the synopsis.
constexpr std::string_view kHelp =
    "Usage: wavefft-measures [--unit U] [--dt DT] [--damping Z[,Z...]] [--periods FILE]\n"
    "                        [--ko-bandwidth B] [--ko-window main|full]\n"
    "                        [--frequencies FILE] [--out DIR] RECORD\n"
    "       wavefft-measures --help | --version\n"
    "\n"
    "Computes the ground-motion measures (PGA, PGV, PGD, Arias intensity, CAV,\n"
    "D5-75, D5-95 of each component; PGA, PGV and PGD also as RotD50 of the two\n"
    "horizontals), the response spectra (PSA of each component, RotD50 and\n"
    "RotD100 of the two horizontals) and the Fourier amplitude spectra (FAS of\n"
    "each component and the EAS of the horizontals, Konno-Ohmachi smoothed) of\n"
    "a three-component acceleration record: a file in the program's input\n"
    "layout or a waveform file written by wavefft. Writes DIR/measures.csv,\n"
    "DIR/spectra.csv and DIR/fas.csv.\n"
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
    "  --ko-bandwidth B the smoothing's bandwidth b > 0, default 188.5\n"
    "  --ko-window W    main (the window's main lobe, |b log10(f/fc)| <= 3; the\n"
    "                   default) or full (every line)\n"
    "  --frequencies FILE  the frequencies of fas.csv in Hz, one per line (blank\n"
    "                   lines skipped), default 0.01 to 100 Hz, 100 per decade\n"
    "  --out DIR        folder for the three files, made when missing; default\n"
    "                   the current folder\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "See wavefft-measures(1).\n";

// Why the command stops. Each kind becomes its message in `message`.
enum class Fault {
  usage,          // wrong arguments (detail: the reason); exit status 2, common::usage_error
  record,         // the record file is unreadable or malformed (detail: the reader's message)
  no_unit,        // the record does not give its unit and --unit is absent (detail: file name)
  bad_unit,       // --unit names no acceleration unit (detail: the word)
  bad_damping,    // --damping holds a non-number or a value outside (0, 1) (detail: the text)
  dt_mismatch,    // --dt disagrees with the record's time step (detail: the whole message)
  periods,        // the periods file is unreadable or holds a bad period (detail: "FILE:LINE: ...")
  bad_bandwidth,  // --ko-bandwidth is not a positive finite number (detail: the text)
  bad_window,     // --ko-window names no window (detail: the word)
  frequencies,    // the frequencies file is unreadable or holds a bad frequency (detail: "FILE:LINE: ...")
  out_folder,     // the --out folder is missing and cannot be made (detail: "DIR: reason")
  write,          // an output file cannot be written (detail: "FILE: reason")
  internal,       // anything else the computation threw (detail: its message)
};

struct Failure {
  Fault kind;
  std::string detail;
};

std::string message(const Failure& f) {
  switch (f.kind) {
    case Fault::usage: return f.detail;
    case Fault::record: return f.detail;
    case Fault::no_unit:
      return f.detail + ": the record does not say its unit; give it with --unit g, --unit gal, --unit m_s2 or --unit mm_s2";
    case Fault::bad_unit: return "--unit: unknown unit \"" + f.detail + "\" (use g, gal, m_s2 or mm_s2)";
    case Fault::bad_damping: return "--damping: " + f.detail;
    case Fault::dt_mismatch: return f.detail;
    case Fault::periods: return f.detail;
    case Fault::bad_bandwidth: return "--ko-bandwidth: \"" + f.detail + "\" is not a positive number";
    case Fault::bad_window: return "--ko-window: unknown window \"" + f.detail + "\" (use main or full)";
    case Fault::frequencies: return f.detail;
    case Fault::out_folder: return f.detail;
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
  std::optional<std::string> ko_bandwidth;
  std::optional<std::string> ko_window;
  std::optional<std::string> frequencies;
  std::string out = ".";
  std::string record;
};

// The numbers of --dt, --damping and the periods file: "+0.05", "1e-3",
// and the words "inf" and "nan", which the range checks that follow refuse.
constexpr common::NumberGrammar kArgumentNumber{.plus_sign = true, .special_words = true};

std::optional<double> number(std::string_view s) { return common::to_number(s, kArgumentNumber); }

std::string num(double v) { return common::shortest(v); }

// The options whose value is kept as written and checked where it is used.
struct TextOption {
  std::string_view name;
  void (*store)(Options&, std::string);
};
constexpr TextOption kTextOptions[] = {
    {"--unit", [](Options& o, std::string v) { o.unit = std::move(v); }},
    {"--damping", [](Options& o, std::string v) { o.damping = std::move(v); }},
    {"--periods", [](Options& o, std::string v) { o.periods = std::move(v); }},
    {"--ko-bandwidth", [](Options& o, std::string v) { o.ko_bandwidth = std::move(v); }},
    {"--ko-window", [](Options& o, std::string v) { o.ko_window = std::move(v); }},
    {"--frequencies", [](Options& o, std::string v) { o.frequencies = std::move(v); }},
    {"--out", [](Options& o, std::string v) { o.out = std::move(v); }},
};

// --dt: read as a number here, refused as a usage error.
struct NumberOption {
  std::string_view name;
};
constexpr NumberOption kDtOption[] = {{"--dt"}};

double parse_dt(std::string_view t) {
  const std::optional<double> dt = number(t);
  if (!dt || !std::isfinite(*dt) || !(*dt > 0.0)) {
    throw Failure{Fault::usage, "--dt \"" + std::string(t) + "\" is not a positive number of seconds"};
  }
  return *dt;
}

Options parse_arguments(std::span<const std::string_view> words) {
  Options o;
  bool have_record = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string_view arg = words[i];
    std::optional<std::string_view> value;
    if (const TextOption* t = common::find_value_option(words, i, kTextOptions, value)) {
      if (!value) throw Failure{Fault::usage, std::string(t->name) + " needs a value"};
      t->store(o, std::string(*value));
    } else if (common::find_value_option(words, i, kDtOption, value)) {
      if (!value) throw Failure{Fault::usage, "--dt needs a value"};
      o.dt = parse_dt(*value);
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

// The periods of one line of the periods file, appended to `p`.
// "0.1, 0.2  # short" -> {0.1, 0.2}.
void parse_period_line(std::string_view s, const std::string& name, std::size_t line_no, Periods& p) {
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

// The periods file: numbers separated by blanks, tabs, commas or line ends;
// '#' comments to the end of its line.
Periods read_periods(const std::string& name) {
  std::string text;
  common::FileFault fault;
  if (!common::read_file(name, text, fault)) {
    // A folder opens but does not read: the reason the system gives for it.
    const bool folder = fault.error == EISDIR;
    throw Failure{Fault::periods, name + ": cannot read the file: " + (folder ? "it is a folder" : fault.reason)};
  }
  Periods p;
  std::size_t line_no = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    parse_period_line(std::string_view(text).substr(start, end - start), name, ++line_no, p);
    start = end + 1;
  }
  if (p.value.empty()) throw Failure{Fault::periods, name + ": no periods in the file"};
  return p;
}

// The smoothing of fas.csv: --ko-bandwidth and --ko-window, checked
// before anything is read.
wm::Smoothing settle_smoothing(const Options& o) {
  wm::Smoothing s;
  if (o.ko_bandwidth) {
    const std::optional<double> b = number(*o.ko_bandwidth);
    if (!b || !std::isfinite(*b) || !(*b > 0.0)) throw Failure{Fault::bad_bandwidth, *o.ko_bandwidth};
    s.bandwidth = *b;
  }
  if (o.ko_window) {
    if (*o.ko_window == "main") {
      s.window = wm::KoWindow::main;
    } else if (*o.ko_window == "full") {
      s.window = wm::KoWindow::full;
    } else {
      throw Failure{Fault::bad_window, *o.ko_window};
    }
  }
  return s;
}

// The output frequencies of fas.csv: --frequencies or the default set.
std::vector<double> settle_frequencies(const Options& o) {
  if (!o.frequencies) {
    const auto set = wm::fas_frequencies();
    return {set.begin(), set.end()};
  }
  const std::string& name = *o.frequencies;
  std::string text;
  common::FileFault fault;
  if (!common::read_file(name, text, fault)) {
    const bool folder = fault.error == EISDIR;
    throw Failure{Fault::frequencies, name + ": cannot read the file: " + (folder ? "it is a folder" : fault.reason)};
  }
  try {
    return wr::parse_frequency_list(text, name);
  } catch (const wr::RecordError& e) {
    throw Failure{Fault::frequencies, e.what()};
  }
}

// measures.csv: a row per measure, its value for each component, and the
// RotD50 of the horizontals for the peaks (an empty field for the others).
std::string measures_csv(const std::array<wm::Measures, 3>& m, const wm::PeakRotD50& rotd) {
  std::string s = "measure,unit,comp1,comp2,comp3,rotd50\n";
  auto row = [&](const char* name, const char* unit, auto get, std::optional<double> rotd50) {
    s += name;
    s += ',';
    s += unit;
    for (const wm::Measures& c : m) {
      s += ',';
      const std::optional<double> v = get(c);
      if (v) s += num(*v);  // an empty field: no significant duration
    }
    s += ',';
    if (rotd50) s += num(*rotd50);
    s += '\n';
  };
  constexpr std::optional<double> none;
  row("pga", "g", [](const wm::Measures& c) { return std::optional<double>(c.pga); }, rotd.pga);
  row("pgv", "cm/s", [](const wm::Measures& c) { return std::optional<double>(c.pgv); }, rotd.pgv);
  row("pgd", "cm", [](const wm::Measures& c) { return std::optional<double>(c.pgd); }, rotd.pgd);
  row("arias", "m/s", [](const wm::Measures& c) { return std::optional<double>(c.arias); }, none);
  row("cav", "m/s", [](const wm::Measures& c) { return std::optional<double>(c.cav); }, none);
  row("d5_75", "s", [](const wm::Measures& c) { return c.d5_75; }, none);
  row("d5_95", "s", [](const wm::Measures& c) { return c.d5_95; }, none);
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

// fas.csv: one row per output frequency; an empty field where the smoothed
// value is empty (NaN).
std::string fas_csv(const wm::FourierSpectra& f) {
  std::string s = "frequency_hz,comp1,comp2,comp3,eas\n";
  auto field = [&s](double v) {
    s += ',';
    if (!std::isnan(v)) s += num(v);
  };
  for (std::size_t k = 0; k < f.frequencies.size(); ++k) {
    s += num(f.frequencies[k]);
    for (const std::vector<double>& c : f.fas) field(c[k]);
    field(f.eas[k]);
    s += '\n';
  }
  return s;
}

// Makes the folders of `dir` that are missing, then writes every file under
// a temporary name in `dir`, closes them all, then renames them; a failure
// to create, write or close any removes what was written and leaves the old
// files alone. Each failure carries the system's reason:
// "out/measures.csv: cannot write: No space left on device".
void write_outputs(const std::filesystem::path& dir, const std::array<std::pair<std::string, std::string>, 3>& files) {
  common::FileFault fault;
  // "a.txt/out" with a.txt a file -> "a.txt/out: cannot make the folder: Not a directory".
  if (!common::make_parent_folders(dir / files[0].first, fault)) {
    throw Failure{Fault::out_folder, dir.string() + ": cannot make the folder: " + fault.reason};
  }
  std::vector<common::NewFile> out;
  for (const auto& [name, text] : files) out.push_back({dir / name, text});
  const std::size_t failed = common::replace_files(out, fault, false);
  if (failed != out.size()) {
    throw Failure{Fault::write, (dir / files[failed].first).string() + ": cannot write: " + fault.reason};
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
void check_dt(wr::RecordFile& rec, double dt, const std::string& name) {
  const bool waveform = rec.kind == wr::RecordFile::Kind::waveform;
  const double resolution = waveform ? kWaveformTimeResolution : kInputTimeResolution * dt;
  if (!(std::fabs(rec.dt - dt) <= resolution)) {
    throw Failure{Fault::dt_mismatch,
                  name + ": its times step by " + num(rec.dt) + " s, which is not --dt " + num(dt) +
                      " s to within " + (waveform ? "0.0011 s (the waveform file's three decimals)"
                                                  : "a relative 1e-6 (the input layout's times)")};
  }
  rec.dt = dt;
}

// The record, its unit settled (--unit first, then the header's word) and
// its step replaced by --dt when the two agree.
wr::RecordFile read_record(const Options& o, wm::Unit& unit) {
  wr::RecordFile rec;
  try {
    rec = wr::read_record_file(o.record);
  } catch (const wr::RecordError& e) {
    throw Failure{Fault::record, e.what()};
  }
  // Only an acceleration unit: "counts" is as unknown as "furlongs".
  std::optional<wm::Unit> u = rec.unit;
  if (o.unit) {
    u = common::parse_acceleration_unit(*o.unit);
    if (!u) throw Failure{Fault::bad_unit, *o.unit};
  }
  if (!u) throw Failure{Fault::no_unit, o.record};
  unit = *u;
  if (o.dt) check_dt(rec, *o.dt, o.record);
  return rec;
}

// The periods of --periods or the built-in set, each checked against the
// sub-step limit of the sample interval `dt`.
Periods settle_periods(const Options& o, double dt) {
  Periods periods;
  if (o.periods) {
    periods = read_periods(*o.periods);
  } else {
    const auto set = wm::nga_west2_periods();
    periods.value.assign(set.begin(), set.end());
    periods.line.assign(set.size(), 0);
  }
  for (std::size_t k = 0; k < periods.value.size(); ++k) {
    if (!wm::sub_steps(dt, periods.value[k])) {
      // "periods.txt:3: period 1e-09 s ..." or, for the built-in set, "rec.txt: period 0.01 s ...".
      const std::string where =
          o.periods ? *o.periods + ":" + std::to_string(periods.line[k]) : o.record;
      throw Failure{Fault::periods, where + ": period " + num(periods.value[k]) +
                                        " s is too short for the sample interval " + num(dt) +
                                        " s (more than " + std::to_string(wm::kMaxSubSteps) +
                                        " sub-steps per sample)"};
    }
  }
  return periods;
}

struct Results {
  std::array<wm::Measures, 3> measures;
  wm::PeakRotD50 peak_rotd50;
  std::vector<wm::SpectrumRow> rows;
  wm::FourierSpectra fourier;
};

// What fas.csv is computed from.
struct FourierRequest {
  std::vector<double> frequencies;
  wm::Smoothing smoothing;
};

// The measures (with the peaks' RotD50) and the Fourier spectra in a
// thread of their own while the response spectra run (which share their
// batches out between threads as these come free).
Results compute(const std::array<std::vector<double>, 3>& a, double dt, const Periods& periods,
                const std::vector<double>& dampings, const FourierRequest& fourier) {
  Results r;
  auto ground = [&a, &r, &fourier, dt] {
    for (std::size_t c = 0; c < 3; ++c) r.measures[c] = wm::ground_motion(a[c], dt);
    r.peak_rotd50 = wm::peak_rotd50(a[0], a[1], dt);
    r.fourier = wm::fourier_spectra({a[0], a[1], a[2]}, dt, fourier.frequencies, fourier.smoothing);
  };
  std::future<void> ground_done;
  try {
    ground_done = std::async(std::launch::async, ground);
  } catch (const std::system_error&) {
    ground();  // no thread to be had
  }
  try {
    r.rows = wm::response_spectra({a[0], a[1], a[2]}, dt, periods.value, dampings);
  } catch (...) {
    if (ground_done.valid()) ground_done.wait();  // it writes `r` and reads `a`, which are about to go
    throw;
  }
  if (ground_done.valid()) ground_done.get();
  return r;
}

int run(const Options& o) {
  const wm::Smoothing smoothing = settle_smoothing(o);
  wm::Unit unit = wm::Unit::none;
  wr::RecordFile rec = read_record(o, unit);
  const std::vector<double> dampings = parse_dampings(o.damping);
  const Periods periods = settle_periods(o, rec.dt);
  const FourierRequest fourier{settle_frequencies(o), smoothing};

  // Convert to m/s^2 and compute.
  std::array<std::vector<double>, 3> a;
  for (std::size_t c = 0; c < 3; ++c) {
    a[c] = std::move(rec.comp[c]);  // scaled in place: no second copy of the record
    if (!wm::scale_to_m_s2(a[c], unit)) throw Failure{Fault::no_unit, o.record};
  }
  const Results r = compute(a, rec.dt, periods, dampings, fourier);

  write_outputs(o.out, {{{"measures.csv", measures_csv(r.measures, r.peak_rotd50)},
                         {"spectra.csv", spectra_csv(r.rows)},
                         {"fas.csv", fas_csv(r.fourier)}}});
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return common::tool_main(argc, argv, kTool, kHelp, [](std::span<const std::string_view> words) {
    try {
      return run(parse_arguments(words));
    } catch (const Failure& f) {
      throw common::ToolStop{message(f), f.kind == Fault::usage};
    }
  });
}
