// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-batch: takes a catalogue of records through wavefft and its
// companion programs, N records at a time, each in its own folder, and
// writes a summary table (and, for the records form, an index page).
//
//   wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] [--unit U] [IMPORT OPTIONS]
//                 [PROCESSING OPTIONS] RECORD_OR_FOLDER...
//   wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] ANSWERS RECORD...
//   wavefft-batch --join -o OUTDIR DIR...
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/catalogue.h"
#include "batch/import_step.h"
#include "batch/progress.h"
#include "batch/record_head.h"
#include "batch/run.h"
#include "batch/summary.h"
#include "cli/options.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/units.h"
#include "common/usage.h"

#ifndef WAVEFFT_VERSION
#define WAVEFFT_VERSION "unknown"
#endif

namespace fs = std::filesystem;
using namespace wavefft;

namespace {

std::atomic<int> g_stop{0};  // the signal that asked the batch to stop, or 0

extern "C" void on_stop_signal(int sig) { g_stop.store(sig); }

// The first lines of --help, repeated under a refused command line.
constexpr const char* kSynopsis =
    "Usage: wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] [--unit U] [IMPORT OPTIONS]\n"
    "                     [PROCESSING OPTIONS] RECORD_OR_FOLDER...\n"
    "       wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] ANSWERS RECORD...\n"
    "       wavefft-batch --join -o OUTDIR DIR...\n";

void usage(std::ostream& out) {
  out << kSynopsis
      << "\n"
         "Takes each record through wavefft-import (for a folder of agency files),\n"
         "wavefft with the processing options, wavefft-measures and wavefft-report,\n"
         "up to N records at a time, each in its own folder OUTDIR/NAME/ (NAME: the\n"
         "file or folder name). A folder that holds only subfolders is a folder of\n"
         "records: each subfolder is one. Writes OUTDIR/summary.tsv and\n"
         "OUTDIR/index.html, a sortable page linking every record's report.\n"
         "\n"
         "With an answer file and no processing option, runs wavefft alone on each\n"
         "RECORD, typing the record's path and then the lines of ANSWERS, and\n"
         "writes a summary of four columns: record, status, exit, diagnostic.\n"
         "\n"
         "  -j N        records at a time (default: the number of processors)\n"
         "  -o OUTDIR   folder for the results (default: wavefft-batch-out)\n"
         "  -p PROGRAM  the wavefft program (default: the one next to this program,\n"
         "              else wavefft on the PATH)\n"
         "  --unit U    unit of the records: g, gal, m_s2 or mm_s2 (default: the\n"
         "              fourth header word of each record); a folder of agency\n"
         "              files is imported in this unit\n"
         "  --join      one summary and index page from the outputs of several batches\n"
         "  -h, --help  show this text\n"
         "  --version   show the version\n"
         "\n"
         "Import options (for folders of agency files; as for wavefft-import):\n"
         "  --zero-vertical        accept a record without a vertical: value 11 is zero\n"
         "  --source-unit U        unit of files that state none (SAC)\n"
         "  --channels A,B,C       choose only among these channels (names or SEED ids)\n"
         "  --pad                  pad shorter components with zeros instead of\n"
         "                         trimming all to the shortest\n"
         "  --level raw|corrected  of a raw and a corrected file of one record, take\n"
         "                         this one (default: corrected)\n"
         "\n"
         "Processing options (as for wavefft):\n"
      << cli::kOptionsHelp
      << "\n"
         "Status of a record: normal, import-failed, diagnostic, stopped-too-long,\n"
         "signal, measures-failed, report-failed, missing, error, not-run.\n"
         "Exit status: 0 when every record is normal, 1 otherwise, 2 for wrong\n"
         "arguments, 130 or 143 after an interrupt or termination.\n";
}

// A refused command line: the reason, the synopsis and a pointer to
// --help on standard error, exit status 2.
int refuse(const std::string& why) { return common::usage_error("wavefft-batch", why, kSynopsis); }

struct Args {
  std::size_t jobs = 0;
  std::string outdir = "wavefft-batch-out";
  bool outdir_given = false;
  std::string program;
  std::string unit;
  bool join = false;
  batch::ImportOptions import;
  cli::ProcessingOptions options;
  std::vector<std::string> option_args;
  std::vector<std::string> positionals;
};

// Parses the command line; returns -1 to go on, else the exit status.
int parse(int argc, char** argv, Args& a) {
  std::string jobs_text;
  bool jobs_given = false;
  bool only_positionals = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (only_positionals || arg.size() < 2 || arg.front() != '-') {
      a.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_positionals = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      usage(std::cout);
      return 0;
    }
    if (arg == "--version") {
      std::cout << "wavefft-batch " << WAVEFFT_VERSION << "\n";
      return 0;
    }
    if (arg == "--join") {
      a.join = true;
      continue;
    }
    // -j N, -jN; -o and -p alike; --unit U, --unit=U.
    auto value = [&](const std::string& flag, std::string& out) -> int {
      if (arg == flag) {
        if (i + 1 >= argc) return refuse(flag + " needs a value");
        out = argv[++i];
        return 1;
      }
      const std::string joined = flag.size() == 2 ? flag : flag + "=";
      if (arg.compare(0, joined.size(), joined) == 0) {
        out = arg.substr(joined.size());
        return 1;
      }
      return 0;
    };
    int r = 0;
    if ((r = value("-j", jobs_text)) != 0) {
      if (r == 2) return 2;
      jobs_given = true;
      continue;
    }
    if ((r = value("-o", a.outdir)) != 0) {
      if (r == 2) return 2;
      a.outdir_given = true;
      continue;
    }
    if ((r = value("-p", a.program)) != 0) {
      if (r == 2) return 2;
      continue;
    }
    if ((r = value("--unit", a.unit)) != 0) {
      if (r == 2) return 2;
      if (!common::parse_acceleration_unit(a.unit)) {
        return refuse("--unit: '" + a.unit + "' is not one of g, gal, m_s2, mm_s2");
      }
      continue;
    }
    std::string error;
    switch (batch::take_import_option(argc, argv, i, a.import, error)) {
      case cli::Take::taken:
        continue;
      case cli::Take::error:
        return refuse(error);
      case cli::Take::not_mine:
        break;
    }
    const int start = i;
    switch (cli::take_option(argc, argv, i, a.options, error)) {
      case cli::Take::taken:
        for (int k = start; k <= i; ++k) a.option_args.emplace_back(argv[k]);
        continue;
      case cli::Take::error:
        return refuse(error);
      case cli::Take::not_mine:
        break;
    }
    return refuse("unknown option " + arg);
  }
  if (jobs_given) {
    // Digits only: "+4" and "-0" are refused as well as "0" and "4097".
    const bool digits = !jobs_text.empty() && jobs_text.find_first_not_of("0123456789") == std::string::npos;
    const std::optional<long long> n = digits ? common::to_integer(jobs_text, false) : std::nullopt;
    if (!n || *n < 1 || *n > 4096) return refuse("-j needs a whole number from 1 to 4096, not '" + jobs_text + "'");
    a.jobs = static_cast<std::size_t>(*n);
  } else {
    const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    a.jobs = cpus > 0 && cpus <= 4096 ? static_cast<std::size_t>(cpus) : 2;
  }
  return -1;
}

fs::path absolute_folder(const std::string& p) {
  fs::path abs = fs::absolute(p).lexically_normal();
  if (abs.has_filename() || abs == abs.root_path()) return abs;
  return abs.parent_path();
}

// The progress line on a terminal: rewritten at every finished record and
// once a second; cleared when the batch is done.
class Progress {
 public:
  Progress(std::size_t total, bool on) : total_(total), on_(on && total > 3 && ::isatty(2) == 1) {
    if (on_) thread_ = std::thread([this] { loop(); });
  }
  ~Progress() { finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void record_done(bool failed) {
    if (!on_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    if (failed) ++failed_;
    changed_ = true;
    wake_.notify_one();
  }

  void finish() {
    if (!on_) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (over_) return;
      over_ = true;
      wake_.notify_one();
    }
    thread_.join();
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }

 private:
  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    // Every finished record is shown, the last one too, before the line
    // is cleared.
    while (true) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      const std::string line = "\r\033[K" + batch::progress_line(done_, total_, failed_, elapsed);
      std::fputs(line.c_str(), stderr);
      std::fflush(stderr);
      changed_ = false;
      if (over_) break;
      wake_.wait_for(lock, std::chrono::seconds(1), [this] { return over_ || changed_; });
    }
  }

  std::size_t total_;
  bool on_;
  std::size_t done_ = 0, failed_ = 0;
  bool changed_ = false, over_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::thread thread_;
};

void install_signals() {
  struct sigaction sa {};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  // A signal ignored by whoever started the batch (nohup, a background job
  // of a shell) stays ignored.
  for (const int sig : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
  struct sigaction ignore {}, old_pipe {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &old_pipe);
  wavefft::batch::set_sigpipe_ignored_at_start(old_pipe.sa_handler == SIG_IGN);
}

int stop_status(bool all_normal) {
  const int sig = g_stop.load();
  if (sig != 0) return 128 + sig;
  return all_normal ? 0 : 1;
}

// The answer-file form: wavefft alone, the record's path then ANSWERS typed.
int answers_form(const Args& a) {
  const fs::path answers = fs::absolute(a.positionals.front());
  std::error_code ec;
  if (!fs::is_regular_file(answers, ec) || ::access(answers.c_str(), R_OK) != 0) {
    return refuse("no answer file " + answers.string());
  }
  const fs::path program = a.program.empty() ? batch::find_tool("wavefft") : batch::resolve_program(a.program);
  if (program.empty()) {
    return refuse(a.program.empty() ? "no wavefft program found; name it with -p"
                                    : a.program + " is not an executable program");
  }
  const std::vector<std::string> records(a.positionals.begin() + 1, a.positionals.end());
  std::vector<std::string> names;
  for (const auto& r : records) {
    if (r.find('\n') != std::string::npos) return refuse("a record path holds a line end and cannot be typed: " + r);
    names.push_back(batch::record_name(r));
  }
  {
    std::vector<std::string> sorted = names, dup;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t k = 1; k < sorted.size(); ++k) {
      if (sorted[k] == sorted[k - 1] && (dup.empty() || dup.back() != sorted[k])) dup.push_back(sorted[k]);
    }
    if (!dup.empty()) {
      std::string list;
      for (const auto& d : dup) list += (list.empty() ? "" : " ") + d;
      return refuse("records with the same file name would share a folder: " + list);
    }
  }
  common::FileFault fault;
  if (!common::make_folders(a.outdir, fault)) return refuse("cannot create " + a.outdir + ": " + fault.reason);
  const fs::path outdir = absolute_folder(a.outdir);
  const std::string answers_text = batch::read_all(answers);

  install_signals();
  std::vector<std::string> statuses(records.size());
  std::vector<std::string> lines(records.size());
  Progress progress(records.size(), true);
  const auto ran = batch::run_all(
      records.size(), a.jobs,
      [&](std::size_t k) {
        const fs::path folder = outdir / names[k];
        if (fs::is_regular_file(records[k])) batch::run_answers_record(program, answers_text, folder, fs::absolute(records[k]));
        lines[k] = batch::answers_summary_line(records[k], folder, statuses[k]);
      },
      [&](std::size_t k) { progress.record_done(statuses[k] != "normal"); }, g_stop);
  progress.finish();
  std::string table = "record\tstatus\texit\tdiagnostic\n";
  for (std::size_t k = 0; k < records.size(); ++k) {
    if (!ran[k]) {
      statuses[k] = "not-run";
      lines[k] = batch::one_line(records[k]) + "\tnot-run\t\t";
    }
    table += lines[k] + "\n";
  }
  const fs::path summary = outdir / "summary.tsv";
  // Replaced whole, like the catalogue form's tables: a failed write leaves
  // an earlier table as it was.
  if (!common::replace_file(summary, table, fault)) {
    std::cerr << "wavefft-batch: cannot write " << summary.string() << ": " << fault.reason << "\n";
    return 1;
  }
  std::cout << batch::tally(statuses) << "summary: " << summary.string() << "\n";
  bool all_normal = true;
  for (const auto& s : statuses) all_normal = all_normal && s == "normal";
  return stop_status(all_normal);
}

bool write_index(const fs::path& file, const std::vector<batch::Row>& rows, const std::string& title) {
  common::FileFault ignored;  // the message names the file only
  return common::replace_file(file, batch::render_index(rows, title), ignored);
}

int report_rows(const fs::path& outdir, const std::vector<batch::Row>& rows) {
  std::vector<std::string> statuses;
  bool all_normal = true;
  for (const auto& r : rows) {
    statuses.push_back(r.status);
    all_normal = all_normal && r.status == "normal";
  }
  std::cout << batch::tally(statuses) << "summary: " << (outdir / "summary.tsv").string() << "\n"
            << "index: " << (outdir / "index.html").string() << "\n";
  return stop_status(all_normal);
}

int join_form(const Args& a) {
  if (!a.outdir_given) return refuse("--join needs -o OUTDIR");
  if (a.positionals.empty()) return refuse("--join needs at least one batch output folder");
  if (a.options.any || !a.unit.empty()) return refuse("--join takes no processing option and no --unit");
  if (a.import.seen != 0) return refuse("--join takes no import option");
  std::vector<fs::path> dirs(a.positionals.begin(), a.positionals.end());
  common::FileFault fault;
  if (!common::make_folders(a.outdir, fault)) return refuse("cannot create " + a.outdir + ": " + fault.reason);
  const fs::path outdir = absolute_folder(a.outdir);
  try {
    batch::join(outdir, dirs);
    return report_rows(outdir, batch::read_summary(outdir / "summary.tsv"));
  } catch (const std::exception& e) {
    std::cerr << "wavefft-batch: " << e.what() << "\n";
    return 1;
  }
}

int records_form(const Args& a) {
  if (a.positionals.empty()) return refuse("no record given");
  // The waveform file lands in the record's folder beside the batch's own.
  const std::string& output = a.options.output;
  if (output.find('/') != std::string::npos) return refuse("--output: '" + output + "' must be a plain file name here");
  for (const char* own : {"record.txt", "wavefft.stdout", "wavefft.stderr", "wavefft.status", "import.stdout",
                          "import.stderr", "import.status", "measures.stdout", "measures.stderr", "measures.status",
                          "measures.csv", "spectra.csv", "fas.csv", "report.html", "warnings.tsv", "report.stdout",
                          "report.stderr",
                          "report.status", "amp3.csv", "fort.99", ".wavefft-record"}) {
    if (output == own) return refuse("--output: '" + output + "' is a file the batch writes in each record's folder");
  }
  batch::Settings s;
  s.wavefft = a.program.empty() ? batch::find_tool("wavefft") : batch::resolve_program(a.program);
  if (s.wavefft.empty()) {
    return refuse(a.program.empty() ? "no wavefft program found; name it with -p"
                                    : a.program + " is not an executable program");
  }
  s.import = batch::find_tool("wavefft-import");
  s.measures = batch::find_tool("wavefft-measures");
  s.report = batch::find_tool("wavefft-report");
  s.option_args = a.option_args;
  s.options = a.options;
  s.unit = a.unit;
  s.import_options = a.import;
  std::string error;
  const std::vector<batch::Job> jobs = batch::expand_arguments(a.positionals, error);
  if (!error.empty()) return refuse(error);
  common::FileFault fault;
  if (!common::make_folders(a.outdir, fault)) return refuse("cannot create " + a.outdir + ": " + fault.reason);
  s.outdir = absolute_folder(a.outdir);

  install_signals();
  std::vector<batch::Row> rows(jobs.size());
  Progress progress(jobs.size(), true);
  const auto ran = batch::run_all(
      jobs.size(), a.jobs, [&](std::size_t k) { rows[k] = batch::process_record(jobs[k], s); },
      [&](std::size_t k) { progress.record_done(rows[k].status != "normal"); }, g_stop);
  progress.finish();
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    if (!ran[k]) {
      rows[k] = batch::Row{};
      rows[k].record = jobs[k].record;
      rows[k].status = "not-run";
    }
  }
  try {
    batch::write_summary(s.outdir / "summary.tsv", rows);
  } catch (const std::exception& e) {
    std::cerr << "wavefft-batch: " << e.what() << "\n";
    return 1;
  }
  if (!write_index(s.outdir / "index.html", rows, "wavefft-batch: " + s.outdir.filename().string())) {
    std::cerr << "wavefft-batch: cannot write " << (s.outdir / "index.html").string() << "\n";
    return 1;
  }
  return report_rows(s.outdir, rows);
}

batch::FirstArg first_arg(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) return batch::FirstArg::missing;
  if (fs::is_directory(st)) return batch::FirstArg::folder;
  if (!fs::is_regular_file(st)) return batch::FirstArg::folder;  // not an answer file either
  return batch::looks_like_record(batch::read_head(path, batch::kHeadBytes)) ? batch::FirstArg::record
                                                                             : batch::FirstArg::other_file;
}

}  // namespace

int main(int argc, char** argv) {
  Args a;
  if (const int done = parse(argc, argv, a); done >= 0) return done;
  if (a.join) return join_form(a);
  const auto form = batch::choose_form(a.options.any, !a.unit.empty() || a.import.seen != 0, a.positionals.size(),
                                       a.positionals.empty() ? batch::FirstArg::missing : first_arg(a.positionals.front()));
  if (form == batch::Form::answers) return answers_form(a);
  return records_form(a);
}
