// SPDX-License-Identifier: GPL-3.0-or-later
// The import options and what the batch keeps of an import's standard
// error (see import_step.h).
#include "batch/import_step.h"

#include "batch/fields.h"
#include "cli/options.h"
#include "common/units.h"

namespace wavefft::batch {

namespace {

constexpr std::string_view kProgramPrefix = "wavefft-import: ";
constexpr std::string_view kNotePrefix = "note: ";
constexpr std::string_view kSkippedPrefix = "skipped ";

std::string check_zero_vertical(std::string_view, ImportOptions& opts) {
  opts.zero_vertical = true;
  return {};
}

std::string check_pad(std::string_view, ImportOptions& opts) {
  opts.pad = true;
  return {};
}

std::string check_source_unit(std::string_view value, ImportOptions& opts) {
  if (!common::parse_acceleration_unit(value)) return cli::quote(value) + " is not one of g, gal, m_s2, mm_s2";
  opts.source_unit = std::string(value);
  return {};
}

// The import drops blanks around the names and empty items: "HNE, ,HNZ"
// names two channels, ", ," none.
std::string check_channels(std::string_view value, ImportOptions& opts) {
  if (value.find_first_not_of(" ,") == std::string_view::npos) return cli::quote(value) + " names no channel";
  opts.channels = std::string(value);
  return {};
}

std::string check_level(std::string_view value, ImportOptions& opts) {
  if (value != "raw" && value != "corrected") return cli::quote(value) + " is not raw or corrected";
  opts.level = std::string(value);
  return {};
}

/// The options in the order they are handed on; an option's place here is
/// its bit in ImportOptions::seen.
constexpr cli::OptionRule<ImportOptions> kOptions[] = {
    {"--zero-vertical", false, check_zero_vertical},
    {"--source-unit", true, check_source_unit},
    {"--channels", true, check_channels},
    {"--pad", false, check_pad},
    {"--level", true, check_level},
};

/// The note a line of import's standard error holds, or "" for a diagnostic:
/// "wavefft-import: note: no vertical ..." -> "no vertical ...";
/// "wavefft-import: skipped a.txt: not ..." -> "skipped a.txt: not ...".
std::string_view note_of(std::string_view line) {
  if (line.starts_with(kProgramPrefix)) line.remove_prefix(kProgramPrefix.size());
  if (line.starts_with(kNotePrefix)) return line.substr(kNotePrefix.size());
  if (line.starts_with(kSkippedPrefix)) return line;
  return {};
}

}  // namespace

cli::Take take_import_option(int argc, const char* const* argv, int& i, ImportOptions& opts, std::string& error) {
  return cli::take_from_table(argc, argv, i, kOptions, opts, opts.seen, error);
}

std::vector<std::string> import_arguments(const ImportOptions& opts, const std::string& unit) {
  std::vector<std::string> args;
  if (!unit.empty()) args.insert(args.end(), {"--unit", unit});
  if (opts.zero_vertical) args.emplace_back("--zero-vertical");
  if (!opts.source_unit.empty()) args.insert(args.end(), {"--source-unit", opts.source_unit});
  if (!opts.channels.empty()) args.insert(args.end(), {"--channels", opts.channels});
  if (opts.pad) args.emplace_back("--pad");
  if (!opts.level.empty()) args.insert(args.end(), {"--level", opts.level});
  return args;
}

ImportStderr read_import_stderr(std::string_view text, bool succeeded) {
  ImportStderr said;
  std::string_view first;
  for (std::string_view line : split_lines(text)) {
    while (line.ends_with('\r')) line.remove_suffix(1);  // CRLF, or stray CRs: a line of them says nothing
    if (line.empty()) continue;
    if (first.empty()) first = line;
    const std::string_view note = note_of(line);
    if (!note.empty()) {
      said.warnings.push_back("import: " + std::string(note));
    } else if (succeeded) {
      // Nothing but notes is expected here; whatever else is said is kept.
      if (line.starts_with(kProgramPrefix)) line.remove_prefix(kProgramPrefix.size());
      said.warnings.push_back("import: " + std::string(line));
    } else if (said.diagnostic.empty()) {
      said.diagnostic = std::string(line);
    }
  }
  if (!succeeded && said.diagnostic.empty()) said.diagnostic = std::string(first);
  return said;
}

}  // namespace wavefft::batch
