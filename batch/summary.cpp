// SPDX-License-Identifier: GPL-3.0-or-later
// summary.tsv of wavefft-batch: writing, reading and joining the tables of
// several batches. The page itself is made in index_page.cpp.
#include "batch/summary.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "batch/fields.h"
#include "batch/flatfile.h"
#include "batch/shard.h"
#include "common/text.h"
#include "common/files.h"

namespace wavefft::batch {
namespace {

// The header of the table the older, script-only batch wrote; its first
// four columns are ours.
constexpr std::string_view kOlderHeader = "record\tstatus\texit\tdiagnostic";

// The headers of the tables the batch wrote before some of today's columns
// existed: their rows still read, the missing cells empty. First before the
// EAS columns, then before the correction's corners and flags.
constexpr std::string_view kEarlierHeaders[] = {
    "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
    "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\twarnings\tpage",
    "record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\t"
    "pga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\twarnings\tpage",
};

// Every column name of `header` is one of today's columns.
constexpr bool names_are_columns(std::string_view header) {
  while (!header.empty()) {
    const std::size_t tab = header.find('\t');
    if (common::catalogue_column(header.substr(0, tab)) == common::kCatalogueColumns.size()) return false;
    header.remove_prefix(tab == std::string_view::npos ? header.size() : tab + 1);
  }
  return true;
}
static_assert(std::all_of(std::begin(kEarlierHeaders), std::end(kEarlierHeaders), names_are_columns),
              "an earlier table's column is not read into any of today's");

// `line` is today's header or one of the earlier ones.
bool known_header(std::string_view line) {
  return line == common::catalogue_header() ||
         std::find(std::begin(kEarlierHeaders), std::end(kEarlierHeaders), line) != std::end(kEarlierHeaders);
}

std::string shown(const std::filesystem::path& path) { return path.string(); }

// `text` as the whole of `path`, replaced atomically so that a reader never
// sees half a file.
void write_replacing(const std::filesystem::path& path, std::string_view text) {
  common::FileFault fault;
  if (!common::replace_file(path, text, fault)) {
    throw std::runtime_error("cannot write " + shown(path) + ": " + fault.reason);
  }
}

// The columns (positions in common::kCatalogueColumns) of the fields of
// the lines under the header `line`, in order: today's table or one the
// batch wrote before. Throws for any other line.
std::vector<std::size_t> table_layout(std::string_view line, const std::filesystem::path& path) {
  std::vector<std::size_t> layout;
  if (known_header(line)) {
    for (const std::string_view name : common::split_at(line, '\t')) layout.push_back(common::catalogue_column(name));
    return layout;
  }
  if (line == kOlderHeader) {
    throw std::runtime_error(shown(path) +
                             ": a summary of the older four-column form (record, status, exit, "
                             "diagnostic); it has no folders, measures or pages to join: run the batch again");
  }
  throw std::runtime_error(shown(path) +
                           " line 1: not the header of a wavefft-batch summary (record, status, exit, "
                           "diagnostic, folder, ..., warnings, page, separated by tabs)");
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

std::string one_line(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}

void write_summary(const std::filesystem::path& path, const std::vector<Row>& rows) {
  std::string text = common::catalogue_header();
  text += '\n';
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < kRowFields.size(); ++c) {
      if (c != 0) text += '\t';
      text += one_line(row.*kRowFields[c]);
    }
    text += '\n';
  }
  write_replacing(path, text);
}

std::vector<Row> read_summary(const std::filesystem::path& path) {
  std::string text;
  common::FileFault fault;
  if (!common::read_file(path, text, fault)) throw std::runtime_error("cannot read " + shown(path) + ": " + fault.reason);
  const std::vector<std::string_view> lines = split_lines(text);
  if (lines.empty()) throw std::runtime_error(shown(path) + ": empty file, not a wavefft-batch summary");
  std::vector<Row> rows;
  std::vector<std::size_t> layout;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string_view line = lines[k];
    // A table that went through a CRLF editor still reads: no field holds a CR.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (k == 0) {
      layout = table_layout(line, path);
      continue;
    }
    const std::vector<std::string_view> fields = common::split_at(line, '\t');
    if (fields.size() != layout.size()) {
      throw std::runtime_error(shown(path) + " line " + std::to_string(k + 1) + ": " +
                               std::to_string(fields.size()) + " fields, expected " +
                               std::to_string(layout.size()));
    }
    Row row;
    for (std::size_t f = 0; f < fields.size(); ++f) row.*kRowFields[layout[f]] = std::string(fields[f]);
    rows.push_back(std::move(row));
  }
  return rows;
}

namespace {

// What one batch folder gives a join: its rows, their folders and pages
// made relative to OUTDIR, its flatfile's lines by record (none for a
// batch from before the flatfile), and its shard file.
struct Joined {
  std::vector<Row> rows;
  std::map<std::string, std::string, std::less<>> flat;
  std::optional<ShardFile> shard;
};

void check_dirs(const std::vector<std::filesystem::path>& dirs) {
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
}

Joined read_batch(const std::filesystem::path& dir, const std::filesystem::path& outdir) {
  Joined j;
  const std::filesystem::path prefix = relative_to(dir, outdir);
  j.rows = read_summary(dir / "summary.tsv");
  for (Row& row : j.rows) {
    row.folder = rebase(row.folder, prefix);
    row.page = rebase(row.page, prefix);
  }
  std::error_code ec;
  const std::filesystem::path flat = dir / kFlatfile;
  if (std::filesystem::exists(flat, ec)) {
    std::string text;
    common::FileFault fault;
    if (!common::read_file(flat, text, fault)) throw std::runtime_error("cannot read " + shown(flat) + ": " + fault.reason);
    for (std::string& line : flatfile_rows(text, shown(flat))) j.flat.emplace(flatfile_record(line), std::move(line));
  }
  j.shard = read_shard_file(dir);
  return j;
}

}  // namespace

std::string flatfile_text(const std::vector<const std::string*>& lines) {
  std::string text = flatfile_header() + "\n";
  for (const std::string* line : lines) text += *line + "\n";
  return text;
}

// Every table is read before anything is written, so OUTDIR may be one of
// the DIRs: that batch's own files are then replaced by the joined ones
// (its rows keep their folders, which are already relative to it). The
// same folder given twice is refused: its rows would be listed twice.
// Shards of one catalogue are listed in the order of the catalogue, and
// the page is titled as a single batch into OUTDIR would be.
void join(const std::filesystem::path& outdir, const std::vector<std::filesystem::path>& dirs) {
  check_dirs(dirs);
  std::vector<Joined> batches;
  std::vector<std::optional<ShardFile>> shards;
  std::vector<std::size_t> counts;
  for (const std::filesystem::path& dir : dirs) {
    batches.push_back(read_batch(dir, outdir));
    shards.push_back(batches.back().shard);
    counts.push_back(batches.back().rows.size());
  }
  std::optional<std::vector<std::pair<std::size_t, std::size_t>>> order = shard_order(shards, counts);
  const bool sharded = order.has_value();
  if (!sharded) {
    order.emplace();
    for (std::size_t d = 0; d < batches.size(); ++d) {
      for (std::size_t r = 0; r < batches[d].rows.size(); ++r) order->push_back({d, r});
    }
  }
  std::vector<Row> rows;
  std::vector<const std::string*> flat;
  for (const auto& [d, r] : *order) {
    rows.push_back(batches[d].rows[r]);
    const auto it = batches[d].flat.find(rows.back().record);
    if (it != batches[d].flat.end()) flat.push_back(&it->second);
  }
  common::FileFault fault;
  if (!common::make_folders(outdir, fault)) {
    throw std::runtime_error("cannot create the folder " + shown(outdir) + ": " + fault.reason);
  }
  write_summary(outdir / "summary.tsv", rows);
  write_replacing(outdir / kFlatfile, flatfile_text(flat));
  const std::string title = sharded ? "wavefft-batch: " + outdir.filename().string()
                                    : "wavefft-batch: joined " + std::to_string(dirs.size()) +
                                          (dirs.size() == 1 ? " batch" : " batches");
  write_replacing(outdir / "index.html", render_index(rows, title));
  std::error_code ec;
  std::filesystem::remove(outdir / kShardFile, ec);  // the joined catalogue is whole
}

}  // namespace wavefft::batch
