// SPDX-License-Identifier: GPL-3.0-or-later
// wavefft-batch: takes a catalogue of records through wavefft and its
// companion programs, N records at a time, each in its own folder, and
// writes a summary table (and, for the records form, an index page).
//
//   wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] [--unit U] [--correct]
//                 [--shard I/N] [--resume]
//                 [IMPORT OPTIONS] [PROCESSING OPTIONS] RECORD_OR_FOLDER...
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
#include "batch/shard.h"
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
    "Usage: wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] [--unit U] [--correct]\n"
    "                     [--shard I/N] [--resume] [IMPORT OPTIONS]\n"
    "                     [PROCESSING OPTIONS] RECORD_OR_FOLDER...\n"
    "       wavefft-batch [-j N] [-o OUTDIR] [-p PROGRAM] ANSWERS RECORD...\n"
    "       wavefft-batch --join -o OUTDIR DIR...\n";

void usage(std::ostream& out) {
  out << kSynopsis
      << "\n"
         "Takes each record through wavefft-import (for a folder of agency files),\n"
         "wavefft-correct (with --correct), wavefft with the processing options,\n"
         "wavefft-measures and wavefft-report, up to N records at a time, each in\n"
         "its own folder OUTDIR/NAME/ (NAME: the file or folder name). A folder\n"
         "that holds only subfolders is a folder of records: each subfolder is\n"
         "one. Writes OUTDIR/summary.tsv, OUTDIR/index.html, a sortable page\n"
         "linking every record's report, and OUTDIR/flatfile.csv, one row per\n"
         "measured record with every measure (PGA, PGV, PGD and their RotD50,\n"
         "Arias, CAV, durations, PSA at 111 periods, EAS at 401 frequencies).\n"
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
         "  --correct   correct each record first (wavefft-correct: onset, band-pass\n"
         "              with corners from the noise, baseline) into corrected.txt,\n"
         "              its summary into correct.json; wavefft and the measures then\n"
         "              take corrected.txt. summary.tsv gets the corners (hp1_hz ..\n"
         "              lp3_hz) and the flags (\"comp1:drift comp3:low-snr\"); a\n"
         "              flagged record is still normal\n"
         "  --shard I/N run only the records whose position in the sorted list of all\n"
         "              records is I modulo N (0 <= I < N): N batches split a catalogue\n"
         "  --resume    keep every record of OUTDIR whose outputs are complete (from an\n"
         "              earlier run with the same options) and run the rest\n"
         "  --join      one summary, index page and flatfile from the outputs of several\n"
         "              batches (shards of one catalogue in the catalogue's order)\n"
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
         "Status of a record: normal, import-failed, correct-failed, diagnostic,\n"
         "stopped-too-long, signal, measures-failed, report-failed, missing, error,\n"
         "not-run.\n"
         "Exit status: 0 when every record is normal, 1 otherwise, 2 for wrong\n"
         "arguments, 130 or 143 after an interrupt or termination.\n";
}

// A refused command line: the reason, the synopsis and a pointer to
// --help on standard error, exit status 2.
int refuse(const std::string& why) { return common::usage_error("wavefft-batch", why, kSynopsis); }

struct Args {
  std::size_t jobs = 0;
  std::string jobs_text;  // -j as typed
  bool jobs_given = false;
  std::string outdir = "wavefft-batch-out";
  bool outdir_given = false;
  std::string program;
  std::string unit;
  bool join = false;
  bool correct = false;  // --correct
  bool resume = false;   // --resume
  std::string shard_text;  // --shard as typed
  std::optional<batch::Shard> shard;
  batch::ImportOptions import;
  cli::ProcessingOptions options;
  std::vector<std::string> option_args;
  std::vector<std::string> positionals;
};

// When argv[i] is the option `flag`, its value into `out`: "-j 4" or
// "-j4", "--unit gal" or "--unit=gal" (i moved past a value of its own).
// On Take::error (no value after the flag) `error` says so.
cli::Take take_value(int argc, char** argv, int& i, const std::string& flag, std::string& out, std::string& error) {
  const std::string arg = argv[i];
  if (arg == flag) {
    if (i + 1 >= argc) {
      error = flag + " needs a value";
      return cli::Take::error;
    }
    out = argv[++i];
    return cli::Take::taken;
  }
  const std::string joined = flag.size() == 2 ? flag : flag + "=";
  if (arg.compare(0, joined.size(), joined) == 0) {
    out = arg.substr(joined.size());
    return cli::Take::taken;
  }
  return cli::Take::not_mine;
}

// The batch's own options with a value: -j (checked once all are read),
// -o, -p and --unit (one of the acceleration units).
cli::Take take_batch_option(int argc, char** argv, int& i, Args& a, std::string& error) {
  cli::Take t = take_value(argc, argv, i, "-j", a.jobs_text, error);
  if (t != cli::Take::not_mine) {
    a.jobs_given = true;
    return t;
  }
  if ((t = take_value(argc, argv, i, "-o", a.outdir, error)) != cli::Take::not_mine) {
    a.outdir_given = true;
    return t;
  }
  if ((t = take_value(argc, argv, i, "-p", a.program, error)) != cli::Take::not_mine) return t;
  if ((t = take_value(argc, argv, i, "--shard", a.shard_text, error)) != cli::Take::not_mine) {
    if (t == cli::Take::taken && !(a.shard = batch::parse_shard(a.shard_text, error))) return cli::Take::error;
    return t;
  }
  t = take_value(argc, argv, i, "--unit", a.unit, error);
  if (t == cli::Take::taken && !common::parse_acceleration_unit(a.unit)) {
    error = "--unit: '" + a.unit + "' is not one of g, gal, m_s2, mm_s2";
    return cli::Take::error;
  }
  return t;
}

// A processing option of wavefft; its arguments are kept as typed, to be
// handed to every run ("--skip 1" -> {"--skip", "1"}).
cli::Take take_processing_option(int argc, char** argv, int& i, Args& a, std::string& error) {
  const int start = i;
  const cli::Take t = cli::take_option(argc, argv, i, a.options, error);
  if (t == cli::Take::taken) {
    for (int k = start; k <= i; ++k) a.option_args.emplace_back(argv[k]);
  }
  return t;
}

// The option argv[i] (and its value; i is moved to the last argument
// used). Returns -1 to go on, else the exit status: 0 after --help or
// --version, 2 after a refusal.
int take_option_argument(int argc, char** argv, int& i, Args& a) {
  const std::string arg = argv[i];
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
    return -1;
  }
  if (arg == "--correct") {
    a.correct = true;
    return -1;
  }
  if (arg == "--resume") {
    a.resume = true;
    return -1;
  }
  std::string error;
  cli::Take t = take_batch_option(argc, argv, i, a, error);
  if (t == cli::Take::not_mine) t = batch::take_import_option(argc, argv, i, a.import, error);
  if (t == cli::Take::not_mine) t = take_processing_option(argc, argv, i, a, error);
  switch (t) {
    case cli::Take::taken:
      return -1;
    case cli::Take::error:
      return refuse(error);
    case cli::Take::not_mine:
      break;
  }
  return refuse("unknown option " + arg);
}

// The records at a time: -j as given, digits only from 1 to 4096, else
// the number of processors (2 when that is not known). Returns -1 to go
// on, else the exit status of the refusal.
int settle_jobs(Args& a) {
  if (a.jobs_given) {
    // Digits only: "+4" and "-0" are refused as well as "0" and "4097".
    const std::string& text = a.jobs_text;
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    const std::optional<long long> n = digits ? common::to_integer(text, false) : std::nullopt;
    if (!n || *n < 1 || *n > 4096) return refuse("-j needs a whole number from 1 to 4096, not '" + text + "'");
    a.jobs = static_cast<std::size_t>(*n);
  } else {
    const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    a.jobs = cpus > 0 && cpus <= 4096 ? static_cast<std::size_t>(cpus) : 2;
  }
  return -1;
}

// Parses the command line; returns -1 to go on, else the exit status.
int parse(int argc, char** argv, Args& a) {
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
    if (const int done = take_option_argument(argc, argv, i, a); done >= 0) return done;
  }
  return settle_jobs(a);
}

fs::path absolute_folder(const std::string& p) {
  fs::path abs = fs::absolute(p).lexically_normal();
  if (abs.has_filename() || abs == abs.root_path()) return abs;
  return abs.parent_path();
}

// Makes OUTDIR (-o) and gives its absolute path in `outdir`. Returns -1 to
// go on, else the exit status of the refusal.
int make_outdir(const Args& a, fs::path& outdir) {
  common::FileFault fault;
  if (!common::make_folders(a.outdir, fault)) return refuse("cannot create " + a.outdir + ": " + fault.reason);
  outdir = absolute_folder(a.outdir);
  return -1;
}

// The wavefft program: -p's, else the one next to this program or on the
// PATH; empty when there is none (no_program says why).
fs::path wavefft_program(const Args& a) {
  return a.program.empty() ? batch::find_tool("wavefft") : batch::resolve_program(a.program);
}

// Why wavefft_program found none: "prog is not an executable program".
std::string no_program(const Args& a) {
  return a.program.empty() ? "no wavefft program found; name it with -p" : a.program + " is not an executable program";
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

// The names of several records' folders that are the same, each once,
// sorted and joined by blanks: {"a.txt", "b.txt", "a.txt"} -> "a.txt".
std::string shared_names(std::vector<std::string> names) {
  std::vector<std::string> dup;
  std::sort(names.begin(), names.end());
  for (std::size_t k = 1; k < names.size(); ++k) {
    if (names[k] == names[k - 1] && (dup.empty() || dup.back() != names[k])) dup.push_back(names[k]);
  }
  std::string list;
  for (const auto& d : dup) list += (list.empty() ? "" : " ") + d;
  return list;
}

// What the runs of the answer-file form share, and its records.
struct AnswersRun {
  fs::path program, outdir;
  std::string answers_text;          // typed after each record's path
  std::vector<std::string> records;  // as given
  std::vector<std::string> names;    // each one's folder in OUTDIR
};

// The records of the answer-file form (the arguments after ANSWERS) and
// their folders' names into `r`. Returns -1 to go on, else the exit status
// of the refusal: a path that cannot be typed, two records that would share
// a folder.
int answers_records(const Args& a, AnswersRun& r) {
  r.records.assign(a.positionals.begin() + 1, a.positionals.end());
  for (const auto& rec : r.records) {
    if (rec.find('\n') != std::string::npos) return refuse("a record path holds a line end and cannot be typed: " + rec);
    r.names.push_back(batch::record_name(rec));
  }
  if (const std::string shared = shared_names(r.names); !shared.empty()) {
    return refuse("records with the same file name would share a folder: " + shared);
  }
  return -1;
}

// Runs wavefft on every record, a.jobs at a time, until a stop signal.
// Returns the text of summary.tsv; `statuses` gets each record's status,
// "not-run" for one the signal left out.
std::string run_answers(const Args& a, const AnswersRun& r, std::vector<std::string>& statuses) {
  const std::size_t count = r.records.size();
  statuses.assign(count, std::string());
  std::vector<std::string> lines(count);
  Progress progress(count, true);
  const auto ran = batch::run_all(
      count, a.jobs,
      [&](std::size_t k) {
        const fs::path folder = r.outdir / r.names[k];
        if (fs::is_regular_file(r.records[k])) {
          batch::run_answers_record(r.program, r.answers_text, folder, fs::absolute(r.records[k]));
        }
        lines[k] = batch::answers_summary_line(r.records[k], folder, statuses[k]);
      },
      [&](std::size_t k) { progress.record_done(statuses[k] != "normal"); }, g_stop);
  progress.finish();
  std::string table = "record\tstatus\texit\tdiagnostic\n";
  for (std::size_t k = 0; k < count; ++k) {
    if (!ran[k]) {
      statuses[k] = "not-run";
      lines[k] = batch::one_line(r.records[k]) + "\tnot-run\t\t";
    }
    table += lines[k] + "\n";
  }
  return table;
}

// Writes the answer-file form's summary.tsv and the tally; returns the exit
// status of the batch.
int write_answers_summary(const fs::path& outdir, const std::string& table, const std::vector<std::string>& statuses) {
  const fs::path summary = outdir / "summary.tsv";
  // Replaced whole, like the catalogue form's tables: a failed write leaves
  // an earlier table as it was.
  common::FileFault fault;
  if (!common::replace_file(summary, table, fault)) {
    std::cerr << "wavefft-batch: cannot write " << summary.string() << ": " << fault.reason << "\n";
    return 1;
  }
  std::cout << batch::tally(statuses) << "summary: " << summary.string() << "\n";
  bool all_normal = true;
  for (const auto& s : statuses) all_normal = all_normal && s == "normal";
  return stop_status(all_normal);
}

// The answer-file form: wavefft alone, the record's path then ANSWERS typed.
int answers_form(const Args& a) {
  const fs::path answers = fs::absolute(a.positionals.front());
  std::error_code ec;
  if (!fs::is_regular_file(answers, ec) || ::access(answers.c_str(), R_OK) != 0) {
    return refuse("no answer file " + answers.string());
  }
  AnswersRun r;
  r.program = wavefft_program(a);
  if (r.program.empty()) return refuse(no_program(a));
  if (const int refused = answers_records(a, r); refused >= 0) return refused;
  if (const int refused = make_outdir(a, r.outdir); refused >= 0) return refused;
  r.answers_text = batch::read_all(answers);

  install_signals();
  std::vector<std::string> statuses;
  const std::string table = run_answers(a, r, statuses);
  return write_answers_summary(r.outdir, table, statuses);
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
            << "index: " << (outdir / "index.html").string() << "\n"
            << "flatfile: " << (outdir / batch::kFlatfile).string() << "\n";
  return stop_status(all_normal);
}

int join_form(const Args& a) {
  if (!a.outdir_given) return refuse("--join needs -o OUTDIR");
  if (a.positionals.empty()) return refuse("--join needs at least one batch output folder");
  if (a.options.any || !a.unit.empty()) return refuse("--join takes no processing option and no --unit");
  if (a.import.seen != 0) return refuse("--join takes no import option");
  if (a.correct) return refuse("--join takes no --correct");
  if (a.shard || a.resume) return refuse("--join takes no --shard and no --resume");
  std::vector<fs::path> dirs(a.positionals.begin(), a.positionals.end());
  fs::path outdir;
  if (const int refused = make_outdir(a, outdir); refused >= 0) return refused;
  try {
    batch::join(outdir, dirs);
    return report_rows(outdir, batch::read_summary(outdir / "summary.tsv"));
  } catch (const std::exception& e) {
    std::cerr << "wavefft-batch: " << e.what() << "\n";
    return 1;
  }
}

// --output names the waveform file, which lands in each record's folder
// beside the batch's own: a plain name, none of theirs. Returns -1 to go
// on, else the exit status of the refusal.
int check_output_name(const std::string& output) {
  if (output.find('/') != std::string::npos) return refuse("--output: '" + output + "' must be a plain file name here");
  if (batch::is_folder_file(output)) {
    return refuse("--output: '" + output + "' is a file the batch writes in each record's folder");
  }
  return -1;
}

// Takes every record through the chain, a.jobs at a time, until a stop
// signal: one outcome per record, of status "not-run" for one the signal
// left out.
std::vector<batch::Outcome> run_records(const Args& a, const batch::Settings& s, const std::vector<batch::Job>& jobs) {
  std::vector<batch::Outcome> outcomes(jobs.size());
  Progress progress(jobs.size(), true);
  const auto ran = batch::run_all(
      jobs.size(), a.jobs, [&](std::size_t k) { outcomes[k] = batch::process_record(jobs[k], s); },
      [&](std::size_t k) { progress.record_done(outcomes[k].row.status != "normal"); }, g_stop);
  progress.finish();
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    if (!ran[k]) {
      outcomes[k] = batch::Outcome{};
      outcomes[k].row.record = jobs[k].record;
      outcomes[k].row.status = "not-run";
    }
  }
  return outcomes;
}

// OUTDIR/shard.txt for a shard (the catalogue positions of its records),
// removed for a whole catalogue; false when it cannot be written.
bool write_shard_file(const fs::path& outdir, const std::optional<batch::Shard>& shard, std::size_t total,
                      const std::vector<std::size_t>& positions) {
  common::FileFault fault;
  if (shard) return common::replace_file(outdir / batch::kShardFile, batch::shard_text({*shard, total, positions}), fault);
  std::error_code ec;
  fs::remove(outdir / batch::kShardFile, ec);
  return true;
}

// Writes OUTDIR/summary.tsv, OUTDIR/flatfile.csv and OUTDIR/index.html,
// then the tally; returns the exit status of the batch.
int write_catalogue(const fs::path& outdir, const std::vector<batch::Outcome>& outcomes) {
  std::vector<batch::Row> rows;
  std::vector<const std::string*> flat;
  for (const batch::Outcome& o : outcomes) {
    rows.push_back(o.row);
    if (!o.flat.empty()) flat.push_back(&o.flat);
  }
  try {
    batch::write_summary(outdir / "summary.tsv", rows);
  } catch (const std::exception& e) {
    std::cerr << "wavefft-batch: " << e.what() << "\n";
    return 1;
  }
  common::FileFault fault;
  if (!common::replace_file(outdir / batch::kFlatfile, batch::flatfile_text(flat), fault)) {
    std::cerr << "wavefft-batch: cannot write " << (outdir / batch::kFlatfile).string() << ": " << fault.reason << "\n";
    return 1;
  }
  if (!write_index(outdir / "index.html", rows, "wavefft-batch: " + outdir.filename().string())) {
    std::cerr << "wavefft-batch: cannot write " << (outdir / "index.html").string() << "\n";
    return 1;
  }
  return report_rows(outdir, rows);
}

std::vector<std::string> job_names(const std::vector<batch::Job>& jobs) {
  std::vector<std::string> names;
  for (const batch::Job& j : jobs) names.push_back(j.name);
  return names;
}

// The records form: every record and folder through the chain, then the
// summary and the index page.
int records_form(const Args& a) {
  if (a.positionals.empty()) return refuse("no record given");
  if (const int refused = check_output_name(a.options.output); refused >= 0) return refused;
  batch::Settings s;
  s.wavefft = wavefft_program(a);
  if (s.wavefft.empty()) return refuse(no_program(a));
  s.import = batch::find_tool("wavefft-import");
  s.correct = batch::find_tool("wavefft-correct");
  s.with_correction = a.correct;
  s.measures = batch::find_tool("wavefft-measures");
  s.report = batch::find_tool("wavefft-report");
  s.option_args = a.option_args;
  s.options = a.options;
  s.unit = a.unit;
  s.import_options = a.import;
  std::string error;
  s.resume = a.resume;
  s.stop = &g_stop;
  const std::vector<batch::Job> all = batch::expand_arguments(a.positionals, error);
  if (!error.empty()) return refuse(error);
  std::vector<std::size_t> positions(all.size());
  for (std::size_t k = 0; k < all.size(); ++k) positions[k] = k;
  if (a.shard) positions = batch::shard_positions(job_names(all), *a.shard);
  std::vector<batch::Job> jobs;
  for (const std::size_t p : positions) jobs.push_back(all[p]);
  if (const int refused = make_outdir(a, s.outdir); refused >= 0) return refused;
  if (!write_shard_file(s.outdir, a.shard, all.size(), positions)) {
    std::cerr << "wavefft-batch: cannot write " << (s.outdir / batch::kShardFile).string() << "\n";
    return 1;
  }

  install_signals();
  return write_catalogue(s.outdir, run_records(a, s, jobs));
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
  const bool records_option = !a.unit.empty() || a.import.seen != 0 || a.correct || a.shard || a.resume;
  const auto form = batch::choose_form(a.options.any, records_option, a.positionals.size(),
                                       a.positionals.empty() ? batch::FirstArg::missing : first_arg(a.positionals.front()));
  if (form == batch::Form::answers) return answers_form(a);
  return records_form(a);
}
