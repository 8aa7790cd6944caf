// SPDX-License-Identifier: GPL-3.0-or-later
// One record through the chain, in either form (see catalogue.h).
#include "batch/catalogue.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>
#include <thread>

#include "batch/console.h"
#include "batch/correct_columns.h"
#include "batch/eas_columns.h"
#include "batch/flatfile.h"
#include "batch/measures_csv.h"
#include "batch/record_head.h"
#include "batch/run.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/units.h"

namespace wavefft::batch {
namespace fs = std::filesystem;

namespace {

bool hidden(const fs::path& p) {
  const std::string n = p.filename().string();
  return !n.empty() && n.front() == '.';
}

std::string strip_slashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// The files a record's folder gets from the batch: cleared before a record
// runs, so that a folder reused from an earlier batch tells nothing stale.
// record.done comes first: a record killed while its folder is cleared
// must not look complete.
const char* const kOwnFiles[] = {
    kDoneFile,        "record.txt",     "import.stdout",   "import.stderr",   "import.status",   "corrected.txt",  "correct.json",
    "correct.stdout", "correct.stderr",  "correct.status",  "wavefft.stdout",  "wavefft.stderr", "wavefft.status",
    "measures.stdout", "measures.stderr", "measures.status", "measures.csv",   "spectra.csv",    "fas.csv",
    "report.stdout",  "report.stderr",   "report.status",   "report.html",     "warnings.tsv",   ".wavefft-record"};

// What wavefft itself writes beside its output, whatever the options.
const char* const kProgramFiles[] = {"amp3.csv", "fort.99"};

// Runs one step with the record's folder as working directory; the streams
// and the exit status go to STEM.stdout, STEM.stderr, STEM.status.
int step(const fs::path& folder, const std::string& stem, std::vector<std::string> argv) {
  Launch l{std::move(argv), folder, std::nullopt, folder / (stem + ".stdout"), folder / (stem + ".stderr")};
  const int code = run_program(l);
  write_text(folder / (stem + ".status"), std::to_string(code) + "\n");
  return code;
}

// A path typed to wavefft: itself when the dialogue can take it, else a
// link in the folder to it.
std::string typed_record(const fs::path& folder, const fs::path& record) {
  if (cli::typeable_name_problem(record.string()).empty()) return record.string();
  std::error_code ec;
  fs::remove(folder / ".wavefft-record", ec);
  fs::create_symlink(record, folder / ".wavefft-record", ec);
  return ".wavefft-record";
}

// The titles of the report's warnings (lines kind<TAB>title<TAB>text).
std::vector<std::string> warning_titles(const fs::path& file) {
  std::vector<std::string> titles;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t a = line.find('\t');
    if (a == std::string::npos) continue;
    const std::size_t b = line.find('\t', a + 1);
    std::string title = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (!title.empty()) titles.push_back(std::move(title));
  }
  return titles;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += "; ";
    out += p;
  }
  return out;
}

// The diagnostic of a step whose program is nowhere to be found.
std::string no_tool(const char* tool) {
  return std::string("no ") + tool + " program found (next to wavefft-batch or on the PATH)";
}

// What ended a record before its last step: its status, exit and diagnostic.
struct Stop {
  std::string status, exit, diagnostic;
};

// 1. A folder of agency files through wavefft-import into record.txt in
// `folder`; every note the import writes goes to `notes`. Nothing when
// record.txt was written.
std::optional<Stop> import_record(const Job& job, const Settings& s, const fs::path& folder,
                                  std::vector<std::string>& notes) {
  if (s.import.empty()) return Stop{"import-failed", "", no_tool("wavefft-import")};
  std::vector<std::string> iargs{s.import.string()};
  const std::vector<std::string> options = import_arguments(s.import_options, s.unit);
  iargs.insert(iargs.end(), options.begin(), options.end());
  iargs.insert(iargs.end(), {"-o", (folder / "record.txt").string(), job.path.string()});
  const int code = step(folder, "import", std::move(iargs));
  const ImportStderr said = read_import_stderr(read_all(folder / "import.stderr"), code == 0);
  notes.insert(notes.end(), said.warnings.begin(), said.warnings.end());
  if (code != 0) return Stop{"import-failed", std::to_string(code), said.diagnostic};
  return std::nullopt;
}

// 2. With --correct: wavefft-correct on the record `record` (as given or
// imported), the corrected record into corrected.txt and its summary into
// correct.json in `folder`; the summary's corners and flags into `row`.
// Nothing when the record was corrected, flagged or not.
std::optional<Stop> correct_record(const Settings& s, const fs::path& folder, const std::string& record, Row& row,
                                   FlatRecord& flat) {
  if (s.correct.empty()) return Stop{"correct-failed", "", no_tool("wavefft-correct")};
  // The batch's --unit stands over the record's header word here as for the
  // measures; "--" keeps a record named "-x" a record.
  std::vector<std::string> args{s.correct.string(), "--summary", "correct.json", "-o", "corrected.txt"};
  if (!s.unit.empty()) args.insert(args.end(), {"--unit", s.unit});
  args.insert(args.end(), {"--", record});
  const int code = step(folder, "correct", args);
  if (code != 0) return Stop{"correct-failed", std::to_string(code), first_line(folder / "correct.stderr")};
  try {
    flat.lowest_usable_hz = lowest_usable_cell(read_correction(folder / "correct.json", row));
  } catch (const correct::SummaryError& e) {
    return Stop{"correct-failed", "0", e.what()};
  }
  return std::nullopt;
}

// 3. wavefft with the processing options on the record typed as `typed`:
// the count and step it printed into `nt_dt`, the step and duration into
// `row`. Nothing when it ended normally.
std::optional<Stop> transform(const fs::path& folder, const Settings& s, const std::string& typed, Row& row,
                              std::optional<NtDt>& nt_dt) {
  std::vector<std::string> argv{s.wavefft.string()};
  argv.insert(argv.end(), s.option_args.begin(), s.option_args.end());
  argv.push_back(typed);
  const int code = step(folder, "wavefft", std::move(argv));
  const ConsoleScan console = scan_console(folder / "wavefft.stdout");
  const Ending ending = classify(code, console.last_line, first_line(folder / "wavefft.stderr"),
                                 code != 0 && has_lately_io_line(folder / "wavefft.stderr"));
  nt_dt = parse_nt_dt(console.nt_dt_line);
  if (nt_dt) {
    row.dt = nt_dt->dt;
    row.duration = duration_text(*nt_dt);
  }
  if (ending.status != "normal") return Stop{ending.status, std::to_string(code), ending.diagnostic};
  return std::nullopt;
}

// True when wavefft leaves the record as it is: no option but --output.
bool program_changes_nothing(const cli::ProcessingOptions& o) {
  const bool flipped = o.flip[0] || o.flip[1] || o.flip[2];
  const std::optional<long long> skip = common::to_integer(o.skip);
  return !flipped && !o.bandpass && o.nit == 0 && !o.cut && skip && *skip == 0;
}

// The record the measures take, at full precision where there is one: the
// corrected record when the batch corrected it, the input when wavefft
// changed nothing, else the processed record while it is an acceleration
// (its step `--dt`), else the input.
struct Measured {
  fs::path record;
  std::string what;       // "corrected", "input" or "processed"
  std::string step_text;  // --dt, for the processed record
};
std::optional<Measured> measured_record(const Settings& s, const fs::path& input, const fs::path& output,
                                        const std::optional<NtDt>& nt_dt) {
  if (s.with_correction) return Measured{input, "corrected", ""};
  if (program_changes_nothing(s.options) || s.options.nit != 0) return Measured{input, "input", ""};
  const std::string step_text = nt_dt ? thinned_step(nt_dt->dt, s.options.skip) : std::string();
  if (step_text.empty()) return std::nullopt;
  return Measured{output, "processed", step_text};
}

// The EAS cells of the record wavefft-measures measured (`m`, in `unit`)
// into `row`, its step and length into `flat`; a record that gives none
// gets a note saying why.
void read_measured(const Measured& m, const std::string& unit, Row& row, FlatRecord& flat,
                   std::vector<std::string>& notes) {
  std::optional<double> dt;
  if (!m.step_text.empty()) dt = common::to_number(m.step_text, common::kPrintedNumber);  // as wavefft-measures reads --dt
  try {
    const MeasuredRecord r = read_measured_record(m.record, unit, dt);
    row.eas_1hz = r.eas.eas_1hz;
    row.eas_5hz = r.eas.eas_5hz;
    flat.dt_s = common::shortest(r.dt);
    flat.npts = std::to_string(r.npts);
    flat.duration_s = common::shortest(static_cast<double>(r.npts) * r.dt);
  } catch (const std::exception& e) {
    notes.push_back(std::string("EAS not computed: ") + e.what());
  }
}

// 4. The measures of the record measured_record() chooses, in `unit`:
// wavefft-measures, then its numbers and the EAS cells into `row`, and the
// record's flatfile line into `flat_line`. Nothing when the record may go
// on to its report.
std::optional<Stop> measure(const fs::path& folder, const Settings& s, const fs::path& input, const fs::path& output,
                            const std::optional<NtDt>& nt_dt, const std::string& unit, Row& row, FlatRecord& flat,
                            std::string& flat_line, std::vector<std::string>& notes) {
  if (s.measures.empty()) return Stop{"measures-failed", "", no_tool("wavefft-measures")};
  const std::optional<Measured> m = measured_record(s, input, output, nt_dt);
  if (!m) return Stop{"measures-failed", "", "no sampling interval in wavefft's output"};
  std::vector<std::string> margs{s.measures.string(), "--unit", unit};
  if (!m->step_text.empty()) margs.insert(margs.end(), {"--dt", m->step_text});
  margs.insert(margs.end(), {"--out", folder.string(), m->record.string()});
  const int mcode = step(folder, "measures", std::move(margs));
  if (mcode != 0) return Stop{"measures-failed", std::to_string(mcode), first_line(folder / "measures.stderr")};
  row.measured = m->what;
  flat.measured = m->what;
  const std::string measures_text = read_all(folder / "measures.csv"), spectra_text = read_all(folder / "spectra.csv");
  Picked picked;
  pick_measures(measures_text, picked);
  pick_spectra(spectra_text, picked);
  row.pga = picked.pga;
  row.pgv = picked.pgv;
  row.psa_02 = picked.psa_02;
  row.psa_10 = picked.psa_10;
  row.rotd50_10 = picked.rotd50_10;
  read_measured(*m, unit, row, flat, notes);
  flat_line = flatfile_line(flat, measures_text, spectra_text, read_all(folder / "fas.csv"));
  return std::nullopt;
}

// 5. The report page of the record `input` (measured in `unit`, "" when
// not), its warnings' titles put before `notes`; the page goes into `row`.
// Nothing when the page was written.
std::optional<Stop> report(const Job& job, const Settings& s, const fs::path& folder, const fs::path& input,
                           const std::string& unit, Row& row, std::vector<std::string>& notes) {
  if (s.report.empty()) return Stop{"report-failed", "", no_tool("wavefft-report")};
  std::vector<std::string> rargs{s.report.string(), "--out", (folder / "report.html").string(), "--wave", s.options.output,
                                 "--warnings", (folder / "warnings.tsv").string()};
  if (!unit.empty()) rargs.insert(rargs.end(), {"--unit", unit});
  // The measures just written: the report takes them instead of computing
  // them again (for whichever of its records they are).
  if (!row.measured.empty()) rargs.insert(rargs.end(), {"--measures", folder.string()});
  rargs.insert(rargs.end(), {"--input", input.string(), folder.string()});
  const int rcode = step(folder, "report", std::move(rargs));
  std::vector<std::string> titles = warning_titles(folder / "warnings.tsv");
  titles.insert(titles.end(), notes.begin(), notes.end());
  notes = std::move(titles);
  if (rcode != 0) return Stop{"report-failed", std::to_string(rcode), first_line(folder / "report.stderr")};
  row.page = job.name + "/report.html";
  return std::nullopt;
}

// What one record's steps find out besides its summary row.
struct Findings {
  FlatRecord flat;                 // the flatfile's cells of the record
  std::string flat_line;           // its flatfile line, once measured
  std::vector<std::string> notes;  // the batch's notes, after the report's warnings
};

// The flatfile's cells that the settings and the record's header give.
void describe(const Job& job, const Settings& s, const Header& header, FlatRecord& flat) {
  flat.record = job.record;
  flat.event = header.event;
  flat.station = header.station;
  flat.titles = header.titles;
  if (s.options.bandpass) {
    const auto& c = *s.options.bandpass;
    flat.bandpass_hz = c[0] + " " + c[1] + " " + c[2] + " " + c[3];
  }
}

// The correction's corners and flags of `row` into the flatfile's cells.
void describe_correction(const Row& row, FlatRecord& flat) {
  flat.highpass_hz = {row.hp1_hz, row.hp2_hz, row.hp3_hz};
  flat.lowpass_hz = {row.lp1_hz, row.lp2_hz, row.lp3_hz};
  flat.flags = row.flags;
}

// Steps 1 to 5 of a record in its folder, each step's findings into `row`
// and `f`: what stopped it, or nothing when it went through to its page.
// `input` is the record that wavefft and the measures take: as given,
// imported (record.txt) or corrected (corrected.txt); `typed` its name
// for the programs started in the folder.
std::optional<Stop> run_chain(const Job& job, const Settings& s, const fs::path& folder, Row& row, Findings& f) {
  fs::path input = job.path;
  std::string typed;
  if (job.kind == Job::Kind::folder) {
    if (std::optional<Stop> stop = import_record(job, s, folder, f.notes)) return stop;
    input = folder / "record.txt";
    typed = "record.txt";
  }
  const Header header = read_header(read_head(input, kHeadBytes));
  row.event = header.event;
  row.station = header.station;
  row.components = header.components;
  describe(job, s, header, f.flat);
  if (s.with_correction) {
    if (std::optional<Stop> stop = correct_record(s, folder, typed.empty() ? input.string() : typed, row, f.flat)) {
      return stop;
    }
    describe_correction(row, f.flat);
    input = folder / "corrected.txt";
    typed = "corrected.txt";
  }
  if (typed.empty()) typed = typed_record(folder, input);

  std::optional<NtDt> nt_dt;
  if (std::optional<Stop> stop = transform(folder, s, typed, row, nt_dt)) return stop;
  const fs::path output = folder / s.options.output;

  const std::string unit = measures_unit(s.unit, header.unit);
  if (unit.empty()) {
    f.notes.push_back("no unit: measures not computed (give --unit)");
  } else if (std::optional<Stop> stop =
                 measure(folder, s, input, output, nt_dt, unit, row, f.flat, f.flat_line, f.notes)) {
    return stop;
  }
  return report(job, s, folder, input, unit, row, f.notes);
}

// Every file a record's folder may hold from the batch and its programs:
// what record.done lists when it is there.
std::vector<std::string> folder_files(const Settings& s) {
  std::vector<std::string> files(std::begin(kOwnFiles) + 1, std::end(kOwnFiles));
  files.insert(files.end(), std::begin(kProgramFiles), std::end(kProgramFiles));
  files.push_back(s.options.output);
  return files;
}

// The exit status a status file holds ("134\n" -> 134), -1 when it holds none.
int status_code(const std::string& first_line) {
  const std::optional<long long> code = common::to_integer(first_line, false);
  return code && *code >= INT_MIN && *code <= INT_MAX ? static_cast<int>(*code) : -1;
}

}  // namespace

Form choose_form(bool any_processing_option, bool records_option_given, std::size_t positionals, FirstArg first) {
  if (any_processing_option || records_option_given || positionals < 2) return Form::records;
  return first == FirstArg::other_file || first == FirstArg::missing ? Form::answers : Form::records;
}

std::string measures_unit(const std::string& given, const std::string& header_word) {
  if (!given.empty()) return given;
  const std::optional<common::Unit> unit = common::parse_acceleration_unit(header_word);
  return unit ? std::string(common::unit_word(*unit)) : std::string();
}

std::string record_name(const std::string& arg) {
  const std::string stripped = strip_slashes(arg);
  const std::size_t slash = stripped.rfind('/');
  std::string base = slash == std::string::npos ? stripped : stripped.substr(slash + 1);
  if (base.empty() || base == "." || base == "..") {
    std::error_code ec;
    fs::path p = fs::absolute(stripped.empty() ? fs::path(".") : fs::path(stripped), ec).lexically_normal();
    base = p.filename().string();
    if (base.empty()) base = p.parent_path().filename().string();
  }
  return base;
}

std::vector<Job> expand_arguments(const std::vector<std::string>& args, std::string& error) {
  std::vector<Job> jobs;
  for (const auto& arg : args) {
    Job job;
    job.record = strip_slashes(arg);
    std::error_code ec;
    job.path = fs::absolute(job.record, ec);
    job.name = record_name(arg);
    const fs::file_status st = fs::status(arg, ec);
    if (ec || !fs::exists(st)) {
      job.kind = Job::Kind::missing;
    } else if (fs::is_regular_file(st)) {
      if (!looks_like_record(read_head(arg, kHeadBytes))) {
        error = arg + ": not a record in the input layout (no line of 43 fields); give agency files as a folder";
        return {};
      }
      job.kind = Job::Kind::file;
    } else if (fs::is_directory(st)) {
      job.kind = Job::Kind::folder;
      bool any_file = false;
      std::vector<std::string> subfolders;
      for (fs::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
        if (hidden(it->path())) continue;
        std::error_code e2;
        if (it->is_regular_file(e2)) any_file = true;
        else if (it->is_directory(e2)) subfolders.push_back(it->path().filename().string());
      }
      if (!any_file && !subfolders.empty()) {
        std::sort(subfolders.begin(), subfolders.end());
        for (const auto& sub : subfolders) {
          jobs.push_back(Job{job.record + "/" + sub, job.path / sub, Job::Kind::folder, sub});
        }
        continue;
      }
    } else {
      error = arg + ": neither a regular file nor a folder";
      return {};
    }
    jobs.push_back(std::move(job));
  }
  std::map<std::string, std::string> seen;
  for (const auto& job : jobs) {
    if (job.name.empty() || job.name == "summary.tsv" || job.name == "index.html") {
      error = job.record + ": cannot be given a folder of its own in the output folder";
      return {};
    }
    const auto [it, fresh] = seen.emplace(job.name, job.record);
    if (!fresh) {
      error = "records with the same name would share a folder: " + it->second + " and " + job.record;
      return {};
    }
  }
  return jobs;
}

bool is_folder_file(std::string_view name) {
  const auto named = [name](const char* f) { return name == f; };
  return std::any_of(std::begin(kOwnFiles), std::end(kOwnFiles), named) ||
         std::any_of(std::begin(kProgramFiles), std::end(kProgramFiles), named);
}

std::string settings_text(const Settings& s) {
  // Unit separators between the words: no argument holds one.
  const std::string sep(1, '\x1f');
  std::string text = "options";
  for (const std::string& a : s.option_args) text += sep + a;
  text += sep + "unit" + sep + s.unit + sep + "correct" + sep + (s.with_correction ? "yes" : "no") + sep + "import";
  for (const std::string& a : import_arguments(s.import_options, s.unit)) text += sep + a;
  return text;
}

Outcome process_record(const Job& job, const Settings& s) {
  Outcome out;
  Row& row = out.row;
  row.record = job.record;
  if (job.kind == Job::Kind::missing) {
    row.status = "missing";
    row.diagnostic = "no such file or folder";
    return out;
  }
  const fs::path folder = s.outdir / job.name;
  const std::string settings = settings_text(s);
  if (s.resume) {
    if (std::optional<Outcome> done = read_done(folder, job.record, settings)) return std::move(*done);
  }
  common::FileFault fault;
  if (!common::make_folders(folder, fault)) {
    row.status = "error";
    row.diagnostic = "cannot create " + folder.string() + ": " + fault.reason;
    return out;
  }
  std::error_code ec;
  for (const char* f : kOwnFiles) fs::remove(folder / f, ec);
  row.folder = job.name;
  Findings found;
  Stop end = run_chain(job, s, folder, row, found).value_or(Stop{"normal", "0", ""});
  row.status = std::move(end.status);
  row.exit = std::move(end.exit);
  row.diagnostic = std::move(end.diagnostic);
  row.warnings = joined(found.notes);
  out.flat = std::move(found.flat_line);
  // A record cut short by a stop signal is not complete: a resumed batch runs it again.
  if (s.stop == nullptr || s.stop->load() == 0) write_done(folder, out, settings, folder_files(s));
  return out;
}

void run_answers_record(const fs::path& program, const std::string& answers_text, const fs::path& folder,
                        const fs::path& record) {
  common::FileFault fault;
  if (!common::make_folders(folder, fault)) return;  // left without a status: "error"
  std::error_code ec;
  fs::remove(folder / "wavefft.status", ec);
  // The program takes a file name of at most 90 characters and drops
  // trailing blanks: a longer or odd path is typed as a link to it.
  std::string typed = record.string();
  if (typed.size() > 90 || (!typed.empty() && typed.back() == ' ')) {
    fs::remove(folder / ".wavefft-record", ec);
    fs::create_symlink(record, folder / ".wavefft-record", ec);
    typed = ".wavefft-record";
  }
  Launch l{{program.string()}, folder, typed + "\n" + answers_text, folder / "wavefft.stdout", folder / "wavefft.stderr"};
  const int code = run_program(l);
  write_text(folder / "wavefft.status", std::to_string(code) + "\n");
}

std::string answers_summary_line(const std::string& given, const fs::path& folder, std::string& status) {
  std::string code_text, first;
  std::error_code ec;
  if (!fs::is_regular_file(given, ec)) {
    status = "missing";
    first = "no such file";
  } else if (fs::is_regular_file(folder / "wavefft.status", ec)) {
    code_text = first_line(folder / "wavefft.status");
    const int code = status_code(code_text);
    first = first_line(folder / "wavefft.stderr");
    const Ending e = classify(code, scan_console(folder / "wavefft.stdout").last_line, first,
                              code != 0 && has_lately_io_line(folder / "wavefft.stderr"));
    status = e.status;
    first = e.diagnostic;
  } else {
    status = "error";
    first = "the run did not start";
  }
  return one_line(given) + "\t" + status + "\t" + code_text + "\t" + one_line(first);
}

std::vector<bool> run_all(std::size_t count, std::size_t jobs, const std::function<void(std::size_t)>& work,
                          const std::function<void(std::size_t)>& finished, const std::atomic<int>& stop) {
  std::vector<unsigned char> ran(count, 0);  // one byte per record: no shared words between threads
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    while (stop.load() == 0) {
      const std::size_t k = next.fetch_add(1);
      if (k >= count) break;
      work(k);
      ran[k] = 1;
      finished(k);
    }
  };
  const std::size_t n = std::max<std::size_t>(1, std::min(jobs, count));
  std::vector<std::thread> threads;
  threads.reserve(n);
  for (std::size_t t = 0; t < n; ++t) threads.emplace_back(worker);
  for (auto& t : threads) t.join();
  return std::vector<bool>(ran.begin(), ran.end());
}

}  // namespace wavefft::batch
