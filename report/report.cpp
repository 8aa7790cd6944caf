// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-report: turns the files of one wavefft run into a single HTML page
// with plots of the input, the processed waveform and the spectra, and the
// warnings that the files give reason for, and the ground motion: measures,
// response spectra and Fourier amplitude spectra of the input and processed
// records; for a corrected record, its onset, the spectra of its signal and
// noise and the corners chosen from them.
//
//   wavefft-report [--out FILE] [--wave NAME] [--unit U] [--input FILE]
//                  [--warnings FILE] [--measures MDIR]... [DIR]
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "common/units.h"
#include "common/usage.h"
#include "report/analysis.h"
#include "report/correction.h"
#include "report/measures_files.h"
#include "report/motion.h"
#include "report/page.h"
#include "report/parallel.h"
#include "report/runfiles.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace {

constexpr const char* kTool = "wavefft-report";

// --help. A usage error repeats its first lines, up to the first empty
// one: the synopsis.
constexpr std::string_view kHelp =
    "Usage: wavefft-report [--out FILE] [--wave NAME] [--unit U] [--input FILE]\n"
    "                      [--warnings FILE] [--measures MDIR]... [DIR]\n"
    "\n"
    "Reads the files a wavefft run left in DIR (default: the current folder):\n"
    "fort.99, amp3.csv and the waveform file, and writes one self-contained\n"
    "HTML page with plots of the input and processed components, the\n"
    "amplitude spectra (pass band shaded) and warnings about the processing.\n"
    "With the unit of the record, the page also shows the ground-motion\n"
    "measures (PGA, PGV, PGD, Arias intensity, CAV, D5-75, D5-95), the 5%\n"
    "damped response spectra (PSA of each component and RotD50) and the\n"
    "Fourier amplitude spectra (each component and the EAS of the two\n"
    "horizontals, Konno-Ohmachi smoothed, b = 188.5, over the unsmoothed\n"
    "lines) of the input and, when the run left an acceleration, of the\n"
    "processed record.\n"
    "\n"
    "When DIR holds correct.json, the summary of a correction (wavefft-batch\n"
    "--correct), the page marks its onset on the input plots and adds a\n"
    "section \"Signal and noise\": the corners and flags of each component and,\n"
    "with at least 5 s of noise before the onset and the raw record record.txt\n"
    "in DIR, the smoothed spectra of its signal and noise with the corners\n"
    "marked. A correct.json or record.txt that cannot be read is a warning.\n"
    "\n"
    "  --out FILE   page to write (default: DIR/report.html); missing folders\n"
    "               are made\n"
    "  --wave NAME  the waveform file, relative to DIR unless absolute\n"
    "               (default: the one CSV file in DIR other than amp3.csv\n"
    "               whose first line begins with \" time(s)\")\n"
    "  --unit U     unit of the input record: g, gal, m_s2 or mm_s2 (default:\n"
    "               the fourth header word of the input record file)\n"
    "  --input FILE the record file wavefft read, relative to DIR unless\n"
    "               absolute; it must agree with fort.99 (default: the first\n"
    "               file in DIR, by name, in the input layout whose samples\n"
    "               all agree with fort.99 to 6 digits)\n"
    "  --warnings FILE  also write the page's warnings to FILE (relative to\n"
    "               the current folder), one a line: kind, title and text\n"
    "               separated by tabs; an empty file when there is none.\n"
    "               Written only when the page is written; missing folders\n"
    "               are made.\n"
    "  --measures MDIR  take the measures, response spectra and smoothed\n"
    "               Fourier spectra of a record from the files wavefft-measures\n"
    "               wrote for it with its defaults (MDIR/measures.csv,\n"
    "               spectra.csv, fas.csv) instead of computing them; the\n"
    "               record is the one (input or processed) whose measures\n"
    "               they hold. At most twice, once per record. Files that are\n"
    "               missing, malformed or of no record on the page are an\n"
    "               error.\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "Exit status: 0 page written, 1 a file is missing or unreadable or the\n"
    "page cannot be written, 2 wrong arguments.\n";
constexpr std::string_view kSynopsis = kHelp.substr(0, kHelp.find("\n\n") + 1);

// The warnings as lines "kind<TAB>title<TAB>text<LF>", in the page's order.
// A tab or line end inside a field would break the line apart: it becomes a
// blank.
std::string warning_lines(const std::vector<wavefft::report::Warning>& warnings) {
  std::string out;
  auto field = [&out](const std::string& text) {
    for (const char c : text) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  };
  for (const wavefft::report::Warning& w : warnings) {
    field(w.kind);
    out += '\t';
    field(w.title);
    out += '\t';
    field(w.text);
    out += '\n';
  }
  return out;
}

// A file to write and its bytes.
struct Output {
  std::string path;
  std::string bytes;
};

// Writes each output under a temporary name beside it, its missing folders
// made, and once all are complete renames them over their targets, so that
// a folder that cannot be made or a failed write leaves every old file as
// it was. "" when all are written,
// else what failed: "x/r.html: cannot make its folder: Not a directory",
// "r.html: cannot write: No space left on device", "r.html: cannot replace
// it: Is a directory".
std::string write_outputs(const std::vector<Output>& outputs) {
  namespace wc = wavefft::common;
  std::vector<wc::NewFile> files;
  for (const Output& o : outputs) files.push_back({o.path, o.bytes});
  wc::FileFault fault;
  const std::size_t failed = wc::replace_files(files, fault, true);
  if (failed == files.size()) return "";
  const char* what = fault.step == wc::FileFault::Step::folder    ? ": cannot make its folder: "
                     : fault.step == wc::FileFault::Step::replace ? ": cannot replace it: "
                                                                   : ": cannot write: ";
  return outputs[failed].path + what + fault.reason;
}

int usage_error(const std::string& reason) { return wavefft::common::usage_error(kTool, reason, kSynopsis); }

// The records whose measures the page shows: the input and the processed.
constexpr std::size_t kMaxMeasures = 2;

// What the command line asks for.
struct Options {
  std::string out, wave, dir, input, warnings_file;
  std::optional<wavefft::common::Unit> unit;
  std::vector<std::string> measures;  // --measures, in order
};

// The value of `option` when argv[i] is "--out FILE" or "--out=FILE": 1 when
// it was taken into `into` (i moved past FILE in the first form), -1 when
// FILE is missing, 0 when argv[i] is another argument.
int option_value(std::string_view option, int& i, int argc, char** argv, std::string& into) {
  const std::string_view arg = argv[i];
  if (arg == option) {
    if (i + 1 >= argc) return -1;
    into = argv[++i];
    return 1;
  }
  if (arg.size() > option.size() && arg.substr(0, option.size()) == option && arg[option.size()] == '=') {
    into = std::string(arg.substr(option.size() + 1));
    return 1;
  }
  return 0;
}

// Reads the command line into `o`, with the defaults: the current folder,
// DIR/report.html. An exit status when the program ends here (--help,
// --version, a usage error), nothing when the report is to be made.
std::optional<int> parse_arguments(int argc, char** argv, Options& o) {
  std::string unit_word;
  bool have_dir = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "wavefft-report " << WAVEFFT_VERSION << "\n";
      return 0;
    }
    int r = option_value("--out", i, argc, argv, o.out);
    if (r == 0) r = option_value("--wave", i, argc, argv, o.wave);
    if (r == 0) r = option_value("--unit", i, argc, argv, unit_word);
    if (r == 0) r = option_value("--input", i, argc, argv, o.input);
    if (r == 0) r = option_value("--warnings", i, argc, argv, o.warnings_file);
    std::string measures_dir;
    if (r == 0 && (r = option_value("--measures", i, argc, argv, measures_dir)) > 0) {
      if (measures_dir.empty()) return usage_error("--measures needs a folder");
      if (o.measures.size() == kMaxMeasures) return usage_error("--measures given more than twice");
      o.measures.push_back(measures_dir);
    }
    if (r < 0) return usage_error(std::string(arg) + " needs a value");
    if (r > 0) continue;
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option " + std::string(arg));
    if (have_dir) return usage_error("more than one folder given");
    o.dir = arg;
    have_dir = true;
  }
  if (!have_dir) o.dir = ".";
  if (!unit_word.empty()) {
    o.unit = wavefft::common::parse_acceleration_unit(unit_word);
    if (!o.unit) return usage_error("--unit " + unit_word + ": not one of g, gal, m_s2, mm_s2");
  }
  if (o.out.empty()) o.out = (std::filesystem::path(o.dir) / "report.html").string();
  return std::nullopt;
}

// Reads the run, writes the page (and the warnings file when asked for)
// and says so: the exit status, 0 when written, 1 when a file is missing,
// unreadable or cannot be written.
int write_report(const Options& o) {
  try {
    namespace wr = wavefft::report;
    // The run's files beside the named input record and the measures'
    // files; the run's faults are told first.
    wr::RunFiles run;
    std::optional<wr::InputRecord> record;
    std::vector<wr::MeasuresFiles> handed;
    wr::run_both([&] { run = wr::read_run(o.dir, o.wave); },
                 [&] {
                   if (!o.input.empty()) record = wr::load_named_input(o.dir, o.input);
                   for (const std::string& m : o.measures) handed.push_back(wr::read_measures_files(m));
                 });
    const auto analysis = wr::analyse(run);
    if (record) {
      wr::check_named_input(*record, run.input);
    } else {
      record = wr::find_input_record(o.dir, run.input, {run.wave_path, o.out});
    }
    const auto motion = wr::analyse_motion(run, analysis, o.unit, record, 0, handed);
    const auto correction = wr::read_correction(o.dir, analysis.nt, analysis.dt);
    const std::string page =
        wr::render_page(run, analysis, std::string("wavefft-report ") + WAVEFFT_VERSION, motion, correction);
    const std::vector<wr::Warning> warnings = wr::page_warnings(analysis, motion, correction);
    std::vector<Output> outputs{{o.out, page}};
    if (!o.warnings_file.empty()) outputs.push_back({o.warnings_file, warning_lines(warnings)});
    if (const std::string why = write_outputs(outputs); !why.empty()) {
      std::cerr << "wavefft-report: " << why << "\n";
      return 1;
    }
    std::cout << "wrote " << o.out << " (" << warnings.size()
              << (warnings.size() == 1 ? " warning)\n" : " warnings)\n");
  } catch (const wavefft::report::FileError& e) {
    std::cerr << "wavefft-report: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "wavefft-report: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> status = parse_arguments(argc, argv, options)) return *status;
  return write_report(options);
}
