// SPDX-License-Identifier: GPL-3.0-or-later
// The two ways wavefft-batch takes a record through the programs:
// the records form (import, wavefft with processing options, measures,
// report; one summary.Row per record) and the answer-file form (wavefft
// fed the record's path and an answer file; four summary columns).
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/import_step.h"
#include "batch/resume.h"
#include "batch/summary.h"
#include "cli/options.h"

namespace wavefft::batch {

/// The two command-line forms: an answer file then records, or records and
/// folders with processing options.
enum class Form { answers, records };

/// What is known about the first positional argument.
enum class FirstArg { missing, record, other_file, folder };

/// The answer-file form when no processing option and no option of the
/// records form (--unit, --correct, an import option) is given, there are
/// at least two positional arguments and the first is a regular file that
/// is not a record (or does not exist: an answer file typed wrong, which
/// that form refuses). Otherwise the records form.
Form choose_form(bool any_processing_option, bool records_option_given, std::size_t positionals, FirstArg first);

/// One record of the records form.
struct Job {
  enum class Kind { file, folder, missing };
  std::string record;           // as given, or "GIVEN/SUBFOLDER" for a folder of downloads
  std::filesystem::path path;   // absolute
  Kind kind = Kind::missing;
  std::string name;             // the record's folder in OUTDIR
};

/// The records of the arguments, in order: a file is a record; a folder is
/// one record of agency files, unless it holds no regular non-hidden file
/// and at least one non-hidden subfolder, when each such subfolder (sorted)
/// is one. Fills `error` and returns nothing when two records would share a
/// folder name, or a file is not a record in the input layout.
std::vector<Job> expand_arguments(const std::vector<std::string>& args, std::string& error);

/// The folder name of a record argument: its last path element, trailing
/// '/' stripped ("." and ".." name the folder they stand for).
std::string record_name(const std::string& arg);

/// The unit wavefft-measures is given for a record: `given` (--unit) when
/// not empty, else the record's fourth header word when it names an
/// acceleration unit exactly ("g", "gal", "m_s2", "mm_s2"; not "G" or
/// "counts"), else "" (the measures are not computed).
std::string measures_unit(const std::string& given, const std::string& header_word);

/// What every record of the records form shares.
struct Settings {
  std::filesystem::path outdir;  // absolute
  std::filesystem::path wavefft, import, correct, measures, report;  // empty: not found
  bool with_correction = false;  // --correct: wavefft-correct before wavefft
  std::vector<std::string> option_args;  // the processing options as typed
  cli::ProcessingOptions options;
  std::string unit;  // --unit, or empty: the records' unit, also the unit each import writes
  ImportOptions import_options;  // handed to each import (import_arguments)
  bool resume = false;  // --resume: a record whose folder is complete is kept, not run again
  const std::atomic<int>* stop = nullptr;  // set when a signal asks the batch to stop
};

/// What a record's outputs depend on besides the record: the options,
/// the unit, the correction and the import's options, as one text
/// (record.done holds it; a resumed batch with other settings runs every
/// record again).
std::string settings_text(const Settings& s);

/// True when `name` is a file the batch writes in every record's folder: a
/// step's standard streams and status, what the steps write (record.txt,
/// corrected.txt, correct.json, measures.csv, ...) and wavefft's own
/// amp3.csv and fort.99. --output may name none of them.
bool is_folder_file(std::string_view name);

/// Takes one record through the chain; returns its summary row and its
/// flatfile line. With s.resume, a record whose folder is complete
/// (resume.h) is not run: its outcome is read back.
Outcome process_record(const Job& job, const Settings& s);

/// The answer-file form, as one record: folder OUTDIR/<file name of the
/// record>, the record's absolute path typed first (through the link
/// .wavefft-record when it is over 90 characters or ends in a blank), then
/// the answer file's text. Leaves wavefft.stdout, .stderr and .status.
void run_answers_record(const std::filesystem::path& program, const std::string& answers_text,
                        const std::filesystem::path& folder, const std::filesystem::path& record);

/// The summary line (without the line end) of an answer-file run of the
/// record `given`, from the files left in `folder`.
std::string answers_summary_line(const std::string& given, const std::filesystem::path& folder, std::string& status);

/// Runs `work(k)` for k = 0 .. count-1 on `jobs` threads, each taking the
/// next k in order, until `stop` is set; returns for each k whether it ran.
/// `finished(k)` is called (on the worker's thread) after each one.
std::vector<bool> run_all(std::size_t count, std::size_t jobs, const std::function<void(std::size_t)>& work,
                          const std::function<void(std::size_t)>& finished, const std::atomic<int>& stop);

}  // namespace wavefft::batch
