// summary.tsv of wavefft-batch: writing, reading and joining the tables of
// several batches. The page itself is made in index_page.cpp.
#include "batch/summary.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>
#include <stdexcept>

#include <unistd.h>

namespace wavefft::batch {
namespace {

// Row's members in the order of the columns; kSummaryHeader names them.
constexpr std::array<std::string Row::*, 18> kColumns = {
    &Row::record,   &Row::status,   &Row::exit,     &Row::diagnostic, &Row::folder, &Row::event,
    &Row::station,  &Row::components, &Row::dt,     &Row::duration,   &Row::measured, &Row::pga,
    &Row::pgv,      &Row::psa_02,   &Row::psa_10,   &Row::rotd50_10,  &Row::warnings, &Row::page};

// The header of the table the older, script-only batch wrote; its first
// four columns are ours.
constexpr std::string_view kOlderHeader = "record\tstatus\texit\tdiagnostic";

std::string shown(const std::filesystem::path& path) { return path.string(); }

// Why the last file operation failed, when the system said.
std::string reason() { return errno != 0 ? std::strerror(errno) : "cannot open it"; }

// A field as it goes into the table: tabs and line ends would break the
// line into the wrong columns or rows, so they become blanks.
void append_field(std::string& line, const std::string& field) {
  for (const char c : field) line += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}

// Writes `text` to a temporary file beside `path`, then renames it over
// `path`, so that a reader never sees half a file.
void write_replacing(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::path temp = path;
  temp += ".tmp-" + std::to_string(static_cast<long long>(::getpid()));
  {
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      throw std::runtime_error("cannot write " + shown(path) + ": cannot create " + shown(temp) + ": " + reason());
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw std::runtime_error("cannot write " + shown(path) + ": writing " + shown(temp) + " failed");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw std::runtime_error("cannot write " + shown(path) + ": " + ec.message());
  }
}

std::vector<std::string_view> split_tabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

// `p` relative to `base` (both taken as seen from the current folder), in
// '/' form; the absolute path when no relative one can be had.
std::filesystem::path relative_to(const std::filesystem::path& p, const std::filesystem::path& base) {
  std::error_code ec;
  std::filesystem::path rel = std::filesystem::relative(p, base, ec);
  if (!ec && !rel.empty()) return rel;
  return std::filesystem::absolute(p);
}

// A folder or page of a batch's table (relative to DIR) made relative to
// the joined output folder: `prefix` is DIR relative to OUTDIR.
std::string rebase(const std::string& entry, const std::filesystem::path& prefix) {
  if (entry.empty()) return entry;
  const std::filesystem::path p(entry);
  if (p.is_absolute()) return entry;
  return (prefix / p).lexically_normal().generic_string();
}

}  // namespace

const char* const kSummaryHeader =
    "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
    "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\twarnings\tpage";

void write_summary(const std::filesystem::path& path, const std::vector<Row>& rows) {
  std::string text = kSummaryHeader;
  text += '\n';
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      if (c != 0) text += '\t';
      append_field(text, row.*kColumns[c]);
    }
    text += '\n';
  }
  write_replacing(path, text);
}

std::vector<Row> read_summary(const std::filesystem::path& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + shown(path) + ": " + reason());
  std::vector<Row> rows;
  std::string line;
  long long number = 0;
  while (std::getline(in, line)) {
    ++number;
    // A table that went through a CRLF editor still reads: no field holds a CR.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line == kSummaryHeader) continue;
      if (line == kOlderHeader) {
        throw std::runtime_error(shown(path) +
                                 ": a summary of the older four-column form (record, status, exit, "
                                 "diagnostic); it has no folders, measures or pages to join: run the batch again");
      }
      throw std::runtime_error(shown(path) +
                               " line 1: not the header of a wavefft-batch summary (record, status, exit, "
                               "diagnostic, folder, ..., warnings, page, separated by tabs)");
    }
    const std::vector<std::string_view> fields = split_tabs(line);
    if (fields.size() != kColumns.size()) {
      throw std::runtime_error(shown(path) + " line " + std::to_string(number) + ": " +
                               std::to_string(fields.size()) + " fields, expected " +
                               std::to_string(kColumns.size()));
    }
    Row row;
    for (std::size_t c = 0; c < kColumns.size(); ++c) row.*kColumns[c] = std::string(fields[c]);
    rows.push_back(std::move(row));
  }
  if (in.bad()) throw std::runtime_error("cannot read " + shown(path) + ": read error");
  if (number == 0) throw std::runtime_error(shown(path) + ": empty file, not a wavefft-batch summary");
  return rows;
}

// Every table is read before anything is written, so OUTDIR may be one of
// the DIRs: that batch's own summary.tsv and index.html are then replaced
// by the joined ones (its rows keep their folders, which are already
// relative to it). The same folder given twice is refused: its rows would
// be listed twice.
void join(const std::filesystem::path& outdir, const std::vector<std::filesystem::path>& dirs) {
  if (dirs.empty()) throw std::runtime_error("no batch folders to join");
  for (std::size_t i = 0; i < dirs.size(); ++i) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(dirs[i] / "summary.tsv", ec)) {
      throw std::runtime_error(shown(dirs[i]) + ": no summary.tsv here (not an output folder of wavefft-batch)");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (std::filesystem::equivalent(dirs[i], dirs[j], ec) && !ec) {
        throw std::runtime_error(shown(dirs[i]) + ": the same folder as " + shown(dirs[j]) +
                                 ", given twice: its records would be listed twice");
      }
    }
  }
  std::vector<Row> rows;
  for (const std::filesystem::path& dir : dirs) {
    const std::filesystem::path prefix = relative_to(dir, outdir);
    for (Row& row : read_summary(dir / "summary.tsv")) {
      row.folder = rebase(row.folder, prefix);
      row.page = rebase(row.page, prefix);
      rows.push_back(std::move(row));
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(outdir, ec);
  if (ec || !std::filesystem::is_directory(outdir)) {
    throw std::runtime_error("cannot create the folder " + shown(outdir) + (ec ? ": " + ec.message() : ""));
  }
  write_summary(outdir / "summary.tsv", rows);
  const std::string title = "wavefft-batch: joined " + std::to_string(dirs.size()) +
                            (dirs.size() == 1 ? " batch" : " batches");
  write_replacing(outdir / "index.html", render_index(rows, title));
}

}  // namespace wavefft::batch
