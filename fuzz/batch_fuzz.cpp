// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the text readers of wavefft-batch (batch/summary.h,
// batch/record_head.h, batch/console.h, batch/measures_csv.h,
// batch/progress.h, batch/import_step.h, batch/shard.h, batch/resume.h,
// batch/flatfile.h) and the catalogue page made from what they give.
//
// The first byte picks the reader (modulo 14); the rest is its text:
//   0 read_summary (the text as summary.tsv, through a temporary file), and
//     join on a batch folder holding it
//   1 read_header and free_form_items (a record's head)
//   2 parse_nt_dt, duration_text and thinned_step (lines of wavefft.stdout;
//     the count's text doubles as a --skip value)
//   3 pick_measures (measures.csv)       4 pick_spectra (spectra.csv)
//   5 looks_like_record, classify, is_lately_io_line, one_line, tally
//   6 read_import_stderr (wavefft-import's standard error, after a success
//     and after a failure)
//   7 clock_text and progress_line (the text's bytes as counts and seconds)
//   8 parse_shard (the first line: a --shard value) and shard_positions
//     (the other lines: record names)
//   9 read_shard_file and shard_order (shard.txt files separated by RS,
//     byte 0x1e)
//  10 read_done (record.done), then write_done and read_done of an outcome
//     made of the text after an RS: settings|flat|record|status|...|page
//  11 flatfile_rows, flatfile_record and csv_cell (flatfile.csv)
//  12 flatfile_line (measures.csv RS spectra.csv RS fas.csv RS the record's
//     fields separated by '|', in the flatfile's order record .. flags)
//  13 join of a batch folder holding a summary.tsv, the flatfile.csv before
//     the RS and the shard.txt after it
// Refusals of read_summary, flatfile_rows and join (std::runtime_error)
// are expected outcomes.
//
// Every reader's output ends up in rows of the catalogue, which
// render_index turns into a page. Checks, besides the sanitizers: the page
// has one "<tr" per row plus the heading's, a cell per page column in each
// row, and exactly
// as many '<' as the page of the same rows with '<', '>', '&' and quotes
// taken out of every field (so no byte of the input became markup); a
// summary read back after write_summary gives the same rows, and joined
// the same rows with their folders and pages rebased; read_header's
// four words are free_form_items' first four; picked numbers are cells of
// the file that read as numbers; the duration is nt * dt; classify gives a
// known status; clock_text reads back as the count of seconds; an import's
// standard error gives a diagnostic only after a failure, one from its
// lines, and every warning starts "import: ".
// Shards: a --shard value is taken exactly when it is digits '/' digits
// with I < N <= 1000000, and its shard.txt reads back; shard_positions puts
// every record in exactly one of N shards, in the order given, the shards
// as even as can be; an accepted shard.txt has its positions below the
// total and reads back from shard_text; shard_order gives every row of the
// files once, by position, and refuses files of one catalogue only for a
// position given twice. Resuming: an accepted record.done is for the
// record and settings asked, and every file it lists is there at its size;
// an outcome written by write_done reads back with its fields on one line,
// and no longer once a listed file changes size. Flatfile: the reader takes
// exactly the texts whose first line is the header; csv_cell reads back as
// the first cell; flatfile_line has exactly flatfile_columns() cells (split
// honouring quotes), the record's fields first, every other cell empty or
// copied from its file; a join writes only rows of the flatfile read, for
// records of its summary, in the summary's order (the catalogue's for a
// shard), and refuses only a flatfile that does not read.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "batch/catalogue.h"
#include "batch/console.h"
#include "batch/flatfile.h"
#include "batch/import_step.h"
#include "batch/measures_csv.h"
#include "batch/progress.h"
#include "batch/record_head.h"
#include "batch/run.h"
#include "batch/resume.h"
#include "batch/shard.h"
#include "batch/summary.h"
#include "cli/options.h"
#include "common/catalogue_columns.h"

namespace {

namespace wb = wavefft::batch;
namespace fs = std::filesystem;

void check(bool ok) {
  if (!ok) std::abort();
}

// A folder for one input's summary files, removed when the input is done
// (libFuzzer may end the process without running exit handlers).
struct Scratch {
  fs::path dir;
  Scratch() {
    std::string tmpl = (fs::temp_directory_path() / "batch_fuzz-XXXXXX").string();
    check(::mkdtemp(tmpl.data()) != nullptr);
    dir = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
};

void write_file(const fs::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  check(static_cast<bool>(out));
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    out.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

std::string defused(std::string s) {
  for (char& c : s) {
    if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') c = 'x';
  }
  return s;
}

constexpr const auto& kFields = wb::kRowFields;

void check_page(const std::vector<wb::Row>& rows, const std::string& title) {
  const std::string page = wb::render_index(rows, title);
  check(count(page, "<tr") == rows.size() + 1);
  check(count(page, "</td>") == wb::page_columns(rows).size() * rows.size());
  check(count(page, "<table") == 1 && count(page, "<script") == 1 && count(page, "</html>") == 1);
  std::vector<wb::Row> plain = rows;
  for (wb::Row& r : plain) {
    for (const auto field : kFields) r.*field = defused(r.*field);
  }
  const std::string plain_page = wb::render_index(plain, defused(title));
  check(count(page, "<") == count(plain_page, "<"));
}

// The reference for the numbers the batch reads from the programs: what
// std::from_chars reads, after one '+' that no second sign follows.
std::optional<double> reference_number(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

bool is_number(std::string_view text) { return reference_number(text).has_value(); }

double number(std::string_view text) { return reference_number(text).value_or(0.0); }

// A picked value: empty, or a cell of the file that reads as a number.
void check_picked(const std::string& value, std::string_view csv) {
  if (value.empty()) return;
  check(is_number(value) && csv.find(value) != std::string_view::npos);
}

std::vector<wb::Row> summary_rows(const std::string& text) {
  const Scratch scratch;
  const fs::path path = scratch.dir / "summary.tsv";
  write_file(path, text);
  std::vector<wb::Row> rows;
  try {
    rows = wb::read_summary(path);
  } catch (const std::runtime_error& e) {
    check(std::strlen(e.what()) > 0);
    return {};
  }
  // Written again and read back, a table whose fields hold no tab or line
  // end gives the same rows.
  bool clean = true;
  for (const wb::Row& r : rows) {
    for (const auto field : kFields) clean = clean && (r.*field).find_first_of("\t\r\n") == std::string::npos;
  }
  if (clean) {
    const fs::path again = scratch.dir / "again.tsv";
    wb::write_summary(again, rows);
    const std::vector<wb::Row> back = wb::read_summary(again);
    check(back.size() == rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
      for (const auto field : kFields) check(back[k].*field == rows[k].*field);
    }
    // Joined into a sibling folder: the same rows, with each relative folder
    // and page now starting at the batch's folder ("../batch/...").
    const fs::path batch_dir = scratch.dir / "batch", joined = scratch.dir / "joined";
    fs::create_directories(batch_dir);
    wb::write_summary(batch_dir / "summary.tsv", rows);
    wb::join(joined, {batch_dir});
    check(fs::is_regular_file(joined / "index.html"));
    const std::vector<wb::Row> all = wb::read_summary(joined / "summary.tsv");
    check(all.size() == rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
      for (const auto field : kFields) {
        const std::string& was = rows[k].*field;
        const std::string& now = all[k].*field;
        if (field != &wb::Row::folder && field != &wb::Row::page) {
          check(now == was);
        } else if (was.empty() || was.front() == '/') {
          check(now == was);
        } else {
          check(now.rfind("../batch", 0) == 0 || now.rfind("..", 0) == 0);
        }
      }
    }
  }
  return rows;
}

wb::Row header_row(const std::string& text) {
  const wb::Header h = wb::read_header(text);
  const std::vector<std::string> words = wb::free_form_items(text, 4);
  check(words.size() <= 4);
  const std::string* got[] = {&h.event, &h.station, &h.kind, &h.unit};
  for (std::size_t k = 0; k < 4; ++k) check(*got[k] == (k < words.size() ? words[k] : std::string()));
  // A longer list starts with the shorter one.
  const std::vector<std::string> more = wb::free_form_items(text, 9);
  check(more.size() >= words.size() && std::equal(words.begin(), words.end(), more.begin()));
  if (!h.components.empty()) {
    check(count(h.components, " ") == 2 && h.components.front() != ' ' && h.components.back() != ' ');
    check(h.components.find_first_of("\t,\r\n") == std::string::npos);
  }
  const std::string unit = wb::measures_unit("", h.unit);
  check(unit.empty() || unit == h.unit);
  check(wb::measures_unit("g", h.unit) == "g");
  wb::Row r;
  r.record = text.substr(0, std::min<std::size_t>(text.size(), 200));
  r.event = h.event;
  r.station = h.station;
  r.components = h.components;
  r.warnings = h.kind + "; " + h.unit;
  r.page = h.event;
  r.status = h.station;
  return r;
}

std::vector<wb::Row> nt_dt_rows(const std::string& text) {
  std::vector<wb::Row> rows;
  for (const std::string& line : lines_of(text)) {
    const auto v = wb::parse_nt_dt(line);
    if (!v) continue;
    check(!v->nt.empty() && !v->dt.empty() && line.find("NT and DT=") != std::string::npos);
    const std::string d = wb::duration_text(*v);
    if (!d.empty()) {
      check(is_number(v->nt) && is_number(v->dt) && is_number(d));
      const double want = number(v->nt) * number(v->dt);
      check(std::isfinite(want) && number(d) == want);
    }
    // The step thinned by a skip taken from the count's text.
    const std::string step = wb::thinned_step(v->dt, v->nt);
    if (!step.empty()) check(is_number(step) && is_number(v->dt) && std::isfinite(number(step)));
    // Every K that --skip accepts gives a step when dt * (K + 1) is a finite number.
    {
      const char* const argv[] = {"--skip", v->nt.c_str()};
      int i = 0;
      wavefft::cli::ProcessingOptions opts;
      std::string error;
      if (wavefft::cli::take_option(2, argv, i, opts, error) == wavefft::cli::Take::taken && is_number(v->dt)) {
        const std::string_view k = opts.skip[0] == '+' ? std::string_view(opts.skip).substr(1) : opts.skip;
        const double factor = std::strtod(std::string(k).c_str(), nullptr) + 1.0;
        if (std::isfinite(number(v->dt) * factor)) check(!wb::thinned_step(v->dt, opts.skip).empty());
      }
    }
    const std::string unthinned = wb::thinned_step(v->dt, "0");
    if (is_number(v->dt) && std::isfinite(number(v->dt))) check(unthinned.empty() || number(unthinned) == number(v->dt));
    wb::Row r;
    r.record = line;
    r.dt = v->dt;
    r.duration = d;
    r.pga = v->nt;
    r.folder = v->nt;
    r.status = "normal";
    rows.push_back(std::move(r));
    if (rows.size() >= 50) break;
  }
  return rows;
}

wb::Row picked_row(const std::string& text, bool measures) {
  wb::Picked p;
  if (measures) {
    wb::pick_measures(text, p);
    check(p.psa_02.empty() && p.psa_10.empty() && p.rotd50_10.empty());
    check_picked(p.pga, text);
    check_picked(p.pgv, text);
  } else {
    wb::pick_spectra(text, p);
    check(p.pga.empty() && p.pgv.empty());
    check_picked(p.psa_02, text);
    check_picked(p.psa_10, text);
    // rotd50 is copied as it stands.
    check(p.rotd50_10.empty() || text.find(p.rotd50_10) != std::string::npos);
  }
  wb::Row r;
  r.record = "record";
  r.status = "normal";
  r.pga = p.pga;
  r.pgv = p.pgv;
  r.psa_02 = p.psa_02;
  r.psa_10 = p.psa_10;
  r.rotd50_10 = p.rotd50_10;
  r.measured = "processed";
  return r;
}

std::vector<wb::Row> console_rows(const std::string& text) {
  const bool record = wb::looks_like_record(text);
  // What holds a record's line still does with more text after it.
  if (record) check(wb::looks_like_record(text + "\nmore"));
  const std::vector<std::string> lines = lines_of(text);
  bool any_line = false;
  for (const std::string& line : lines) any_line = any_line || wb::looks_like_record(line);
  check(record == any_line);

  std::vector<std::string> statuses;
  std::vector<wb::Row> rows;
  const int code = text.empty() ? 0 : static_cast<unsigned char>(text[0]) * 2 - 200;  // -200 .. 310
  bool lately = false;
  for (const std::string& line : lines) {
    if (wb::is_lately_io_line(line)) {
      lately = true;
      check(line.rfind("lately ", 0) == 0);
    }
  }
  const std::string first = lines.empty() ? std::string() : lines.front();
  const std::string last = lines.empty() ? std::string() : lines.back();
  const wb::Ending e = wb::classify(code, last, first, lately);
  const char* const known[] = {"normal", "stopped-too-long", "diagnostic", "signal", "error"};
  check(std::find(std::begin(known), std::end(known), e.status) != std::end(known));
  check((code == 0) == (e.status == "normal" || e.status == "stopped-too-long"));
  if (e.status == "signal" && code > 128 && first.empty()) check(e.diagnostic == "signal " + std::to_string(code - 128));
  for (const std::string& line : lines) {
    const std::string one = wb::one_line(line + "\t" + line);
    check(one.size() == 2 * line.size() + 1 && one.find_first_of("\t\r\n") == std::string::npos);
    statuses.push_back(line.substr(0, std::min<std::size_t>(line.size(), 3)));
    if (rows.size() < 40) {
      wb::Row r;
      r.record = line;
      r.status = e.status;
      r.exit = std::to_string(code);
      r.diagnostic = e.diagnostic;
      r.warnings = one;
      rows.push_back(std::move(r));
    }
  }
  const std::string t = wb::tally(statuses);
  std::size_t total = 0;
  for (const std::string& l : lines_of(t)) {
    if (l.empty()) continue;
    const std::size_t blank = l.find(' ');
    check(blank != std::string::npos && blank > 0);
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(l.data(), l.data() + blank, n);
    check(ec == std::errc() && end == l.data() + blank && n > 0);
    total += n;
  }
  check(total == statuses.size());
  return rows;
}

// "m:ss" or "h:mm:ss" read back as seconds.
std::int64_t clock_seconds(const std::string& text) {
  std::int64_t total = 0, part = 0;
  std::size_t colons = 0;
  for (const char c : text) {
    if (c == ':') {
      total = (total + part) * 60;
      part = 0;
      ++colons;
    } else {
      check(c >= '0' && c <= '9');
      part = part * 10 + (c - '0');
    }
  }
  check(colons == 1 || colons == 2);
  return total + part;
}

wb::Row clock_row(const std::uint8_t* data, std::size_t size) {
  std::uint8_t bytes[24] = {};
  std::memcpy(bytes, data, std::min(size, sizeof bytes));
  std::int64_t seconds = 0;
  std::uint64_t done = 0, total = 0;
  double elapsed = 0;
  std::memcpy(&seconds, bytes, 8);
  std::memcpy(&done, bytes + 8, 4);
  std::memcpy(&total, bytes + 12, 4);
  std::memcpy(&elapsed, bytes + 16, 8);
  seconds %= std::int64_t{1} << 50;  // keeps h*3600 far from the int64 range in the check
  const std::string c = wb::clock_text(seconds);
  check(clock_seconds(c) == std::max<std::int64_t>(seconds, 0));
  const std::string line = wb::progress_line(done, total, done / 3, elapsed);
  check(line.rfind("wavefft-batch: " + std::to_string(done) + "/" + std::to_string(total) + " done, ", 0) == 0);
  check((line.find(" left") != std::string::npos) == (done > 0 && done < total));
  wb::Row r;
  r.record = line;
  r.status = c;
  r.duration = c;
  return r;
}

// Both readings of an import's standard error; the warnings and the
// diagnostic become rows.
std::vector<wb::Row> import_stderr_rows(const std::string& text) {
  std::vector<wb::Row> rows;
  for (const bool succeeded : {true, false}) {
    const wb::ImportStderr e = wb::read_import_stderr(text, succeeded);
    check(succeeded ? e.diagnostic.empty() : e.diagnostic.empty() == (text.find_first_not_of("\r\n") == std::string::npos));
    check(e.diagnostic.find('\n') == std::string::npos);
    check(e.diagnostic.empty() || text.find(e.diagnostic) != std::string::npos);
    wb::Row r;
    r.status = succeeded ? "normal" : "import-failed";
    r.diagnostic = e.diagnostic;
    for (const std::string& w : e.warnings) {
      check(w.rfind("import: ", 0) == 0);
      r.warnings += (r.warnings.empty() ? "" : "; ") + w;
    }
    rows.push_back(r);
  }
  return rows;
}


// ---- shards, record.done, the flatfile --------------------------------------

constexpr char kPartSeparator = '\x1e';  // RS: between the texts of one input

// `text` cut at each `sep`, the last part holding the rest once there are `most`.
std::vector<std::string> parts_of(std::string_view text, char sep, std::size_t most) {
  std::vector<std::string> parts;
  while (parts.size() + 1 < most) {
    const std::size_t at = text.find(sep);
    if (at == std::string_view::npos) break;
    parts.emplace_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
  parts.emplace_back(text);
  return parts;
}

// The lines std::getline gives: the part after the last '\n' only when not empty.
std::size_t line_count(std::string_view text) {
  return count(text, "\n") + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

bool all_digits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// Digits read as a number, saturating far above any shard count.
std::size_t digits_value(std::string_view s) {
  std::size_t v = 0;
  for (const char c : s) v = std::min<std::size_t>(v * 10 + static_cast<std::size_t>(c - '0'), 100000000);
  return v;
}

// parse_shard against the rule: digits '/' digits, I < N <= 1000000. A
// side of more than 7 digits (leading zeros) may go either way.
void check_shard_value(const std::string& value, const std::optional<wb::Shard>& s, const std::string& error) {
  const std::size_t slash = value.find('/');
  const std::string_view left = std::string_view(value).substr(0, slash);
  const std::string_view right = slash == std::string::npos ? std::string_view() : std::string_view(value).substr(slash + 1);
  const bool form = slash != std::string::npos && all_digits(left) && all_digits(right);
  const std::size_t i = form ? digits_value(left) : 0, n = form ? digits_value(right) : 0;
  const bool fine = form && i < n && n <= 1000000;
  if (s) {
    check(fine && s->index == i && s->count == n);
  } else {
    check(!fine || left.size() > 7 || right.size() > 7);
    check(error.rfind("--shard: '" + value + "' ", 0) == 0);
  }
}

// Every position of `names` in exactly one of the `n` shards, each shard
// in the order given, the first ones at most one larger than the others.
void check_partition(const std::vector<std::string>& names, std::size_t n) {
  std::vector<bool> taken(names.size(), false);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::size_t> mine = wb::shard_positions(names, wb::Shard{i, n});
    check(mine.size() == (names.size() > i ? (names.size() - i + n - 1) / n : 0));
    for (std::size_t k = 0; k < mine.size(); ++k) {
      check(mine[k] < names.size() && !taken[mine[k]] && (k == 0 || mine[k - 1] < mine[k]));
      taken[mine[k]] = true;
    }
  }
  check(std::find(taken.begin(), taken.end(), false) == taken.end());
}

bool same_shard_file(const wb::ShardFile& a, const wb::ShardFile& b) {
  return a.shard.index == b.shard.index && a.shard.count == b.shard.count && a.total == b.total &&
         a.positions == b.positions;
}

// `f` through shard_text and read_shard_file (in `dir`) gives `f`.
void check_shard_round_trip(const fs::path& dir, const wb::ShardFile& f) {
  write_file(dir / wb::kShardFile, wb::shard_text(f));
  const std::optional<wb::ShardFile> back = wb::read_shard_file(dir);
  check(back.has_value() && same_shard_file(*back, f));
}

// Selector 8: the first line as a --shard value, the others as names.
void shard_value(const std::string& text) {
  std::vector<std::string> lines = lines_of(text);
  const std::string value = lines.front();
  std::string error;
  const std::optional<wb::Shard> s = wb::parse_shard(value, error);
  check_shard_value(value, s, error);
  std::vector<std::string> names;
  for (std::size_t k = 1; k < lines.size() && names.size() < 200; ++k) {
    if (std::find(names.begin(), names.end(), lines[k]) == names.end()) names.push_back(lines[k]);
  }
  for (std::size_t n = 1; n <= 5; ++n) check_partition(names, n);
  if (!s) return;
  const Scratch scratch;
  check_shard_round_trip(scratch.dir, wb::ShardFile{*s, names.size() + value.size(), wb::shard_positions(names, *s)});
}

// A fuzzed shard.txt in `dir`: when it reads, its positions (one per line
// after the title) are below the total, and it reads back from shard_text.
std::optional<wb::ShardFile> fuzzed_shard_file(const fs::path& dir, const std::string& text) {
  fs::create_directories(dir);
  write_file(dir / wb::kShardFile, text);
  const std::optional<wb::ShardFile> f = wb::read_shard_file(dir);
  if (!f) return f;
  check(text.rfind("wavefft-batch shard ", 0) == 0 && f->positions.size() + 1 == line_count(text));
  check(f->shard.index < f->shard.count && f->shard.count <= 1000000 && f->total <= 1000000);
  for (const std::size_t p : f->positions) check(p < f->total);
  check_shard_round_trip(dir, *f);
  return f;
}

// shard_order's answer: every row of every file once, by increasing
// position; nothing only when the files are not one catalogue's shards
// with those row counts, or a position comes twice.
void check_order(const std::vector<std::optional<wb::ShardFile>>& files, const std::vector<std::size_t>& counts) {
  const auto order = wb::shard_order(files, counts);
  bool one_catalogue = true;
  std::vector<std::size_t> all;
  for (std::size_t d = 0; d < files.size(); ++d) {
    one_catalogue = one_catalogue && files[d] && files[d]->shard.count == files[0]->shard.count &&
                    files[d]->total == files[0]->total && files[d]->positions.size() == counts[d];
    if (files[d]) all.insert(all.end(), files[d]->positions.begin(), files[d]->positions.end());
  }
  std::sort(all.begin(), all.end());
  const bool twice = std::adjacent_find(all.begin(), all.end()) != all.end();
  check(order.has_value() == (one_catalogue && !twice));
  if (!order) return;
  check(order->size() == all.size());
  std::vector<std::vector<bool>> seen(files.size());
  for (std::size_t d = 0; d < files.size(); ++d) seen[d].assign(counts[d], false);
  for (std::size_t k = 0; k < order->size(); ++k) {
    const auto [d, r] = (*order)[k];
    check(d < files.size() && r < counts[d] && !seen[d][r]);
    seen[d][r] = true;
    check(files[d]->positions[r] == all[k]);
  }
}

// Selector 9: up to three shard.txt files.
void shard_files(const std::string& text) {
  const Scratch scratch;
  check(!wb::read_shard_file(scratch.dir).has_value());  // none there
  std::vector<std::optional<wb::ShardFile>> files;
  std::vector<std::size_t> counts;
  for (const std::string& part : parts_of(text, kPartSeparator, 3)) {
    files.push_back(fuzzed_shard_file(scratch.dir / std::to_string(files.size()), part));
    counts.push_back(files.back() ? files.back()->positions.size() : 0);
  }
  check_order(files, counts);
  ++counts.back();  // a summary with one row more than its shard.txt says
  check_order(files, counts);
}

// A line "file<TAB>NAME<TAB>SIZE" of record.done as the harness reads it.
struct Listed {
  std::string name;
  std::optional<long long> size;
};

std::optional<Listed> listed_file(std::string_view line) {
  const std::vector<std::string> f = parts_of(line, '\t', 4);
  if (f.size() < 2 || f[0] != "file") return std::nullopt;
  Listed l{f[1], std::nullopt};
  long long size = 0;
  if (f.size() == 3) {
    const auto [end, ec] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), size);
    if (ec == std::errc() && end == f[2].data() + f[2].size()) l.size = size;
  }
  return l;
}

// A name the harness may create in the record's folder.
bool plain_name(const std::string& name) {
  return !name.empty() && name.size() <= 100 && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos && name != wb::kDoneFile;
}

// The folder of a record: the first three files record.done lists, at the
// sizes it gives (up to 64 kB), and extra.txt.
void make_listed_files(const fs::path& folder, const std::vector<std::string>& lines) {
  write_file(folder / "extra.txt", "abc");
  std::size_t made = 0;
  for (const std::string& line : lines) {
    const std::optional<Listed> l = listed_file(line);
    if (!l || !plain_name(l->name) || !l->size || *l->size < 0 || *l->size > 65536 || made == 3) continue;
    std::error_code ec;
    if (fs::exists(folder / l->name, ec)) continue;
    write_file(folder / l->name, std::string(static_cast<std::size_t>(*l->size), 'x'));
    ++made;
  }
}

// An accepted record.done: for the record and settings asked (and no
// other), every file it lists there at its size.
void check_accepted_done(const fs::path& folder, const std::vector<std::string>& lines, const wb::Outcome& out,
                         const std::string& record, const std::string& settings) {
  check(out.row.record == wb::one_line(record) && out.flat.find('\n') == std::string::npos);
  for (const std::string& line : lines) {
    const std::optional<Listed> l = listed_file(line);
    if (!l) continue;
    std::error_code ec;
    check(l->size && fs::is_regular_file(folder / l->name, ec));
    check(fs::file_size(folder / l->name) == static_cast<std::uintmax_t>(*l->size));
  }
  check(!wb::read_done(folder, record + "#", settings).has_value());
  check(!wb::read_done(folder, record, settings + "#").has_value());
}

// A fuzzed record.done in `folder`, asked for the record of its first row
// line with the settings of its second line.
std::optional<wb::Outcome> fuzzed_done(const fs::path& folder, const std::string& text) {
  const std::vector<std::string> lines = lines_of(text);
  make_listed_files(folder, lines);
  write_file(folder / wb::kDoneFile, text);
  std::string record, settings = lines.size() > 1 ? lines[1] : std::string();
  if (settings.rfind("settings\t", 0) == 0) settings.erase(0, 9);
  for (const std::string& line : lines) {
    if (line.rfind("row\t", 0) == 0) {
      record = parts_of(line, '\t', 3)[1];
      break;
    }
  }
  const std::optional<wb::Outcome> out = wb::read_done(folder, record, settings);
  if (out) check_accepted_done(folder, lines, *out, record, settings);
  return out;
}

// An outcome made of "settings|flat|record|status|...|page" written by
// write_done reads back with every field on one line; once a file it
// lists changes size, it no longer does.
wb::Row done_round_trip(const fs::path& folder, const std::string& text) {
  const std::vector<std::string> f = parts_of(text, '|', kFields.size() + 2);
  const auto field = [&f](std::size_t k) { return k < f.size() ? f[k] : std::string(); };
  wb::Outcome done;
  done.flat = field(1);
  for (std::size_t c = 0; c < kFields.size(); ++c) done.row.*kFields[c] = field(c + 2);
  const std::vector<std::string> files = {"extra.txt", "absent.csv", "..", "", "../escape"};
  check(wb::write_done(folder, done, field(0), files));
  const std::optional<wb::Outcome> back = wb::read_done(folder, done.row.record, field(0));
  check(back.has_value() && back->flat == wb::one_line(done.flat));
  for (const auto member : kFields) check(back->row.*member == wb::one_line(done.row.*member));
  write_file(folder / "extra.txt", "abcd");
  check(!wb::read_done(folder, done.row.record, field(0)).has_value());
  return back->row;
}

// Selector 10: a record.done, then an outcome after the RS.
std::vector<wb::Row> done_rows(const std::string& text) {
  const std::vector<std::string> parts = parts_of(text, kPartSeparator, 2);
  const Scratch scratch;
  std::vector<wb::Row> rows;
  if (const std::optional<wb::Outcome> out = fuzzed_done(scratch.dir, parts[0])) rows.push_back(out->row);
  rows.push_back(done_round_trip(scratch.dir, parts.size() > 1 ? parts[1] : parts[0]));
  return rows;
}

// The cells of a CSV line, a cell between double quotes (each one inside
// doubled) when it starts with one; nothing when the line is not such CSV
// (a quote not closed, or inside an unquoted cell, or text after a closing quote).
std::optional<std::vector<std::string>> csv_split(std::string_view line) {
  std::vector<std::string> cells;
  std::size_t i = 0;
  while (true) {
    std::string cell;
    if (i < line.size() && line[i] == '"') {
      for (++i;; ++i) {
        if (i >= line.size()) return std::nullopt;
        if (line[i] != '"') {
          cell += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          cell += line[++i];
        } else {
          break;
        }
      }
      if (++i < line.size() && line[i] != ',') return std::nullopt;
    } else {
      const std::size_t end = std::min(line.find(',', i), line.size());
      cell = std::string(line.substr(i, end - i));
      i = end;
      if (cell.find('"') != std::string::npos) return std::nullopt;
    }
    cells.push_back(std::move(cell));
    if (i >= line.size()) return cells;
    ++i;  // the comma
  }
}

// csv_cell(x) is one cell, x on one line: the first cell of a line, as
// flatfile_record and a CSV reader take it; quoted only when it must be.
void check_csv_cell(std::string_view x) {
  const std::string cell = wb::csv_cell(x), flat = wb::one_line(x);
  check(cell.find_first_of("\t\r\n") == std::string::npos);
  check(wb::flatfile_record(cell + ",rest") == flat && wb::flatfile_record(cell) == flat);
  const auto cells = csv_split(cell + ",rest");
  check(cells && cells->size() == 2 && (*cells)[0] == flat && (*cells)[1] == "rest");
  const bool plain = flat.find_first_of(",\"") == std::string::npos &&
                     (flat.empty() || (flat.front() != ' ' && flat.back() != ' '));
  check(plain == (cell == flat));
}

// Selector 11: a flatfile.csv. It reads exactly when its first line (a CR
// at its end aside) is the header; each row's record is its first cell.
std::vector<wb::Row> flatfile_read_rows(const std::string& text) {
  std::vector<std::string> lines = lines_of(text);
  if (!text.empty() && text.back() == '\n') lines.pop_back();
  std::string first = lines.empty() ? std::string() : lines.front();
  if (!first.empty() && first.back() == '\r') first.pop_back();
  std::vector<std::string> rows;
  try {
    rows = wb::flatfile_rows(text, "fuzz.csv");
    check(first == wb::flatfile_header() && rows.size() + 1 == lines.size());
  } catch (const std::runtime_error& e) {
    check(first != wb::flatfile_header() && std::string(e.what()).rfind("fuzz.csv: ", 0) == 0);
  }
  std::vector<wb::Row> out;
  for (std::size_t k = 1; k < lines.size() && k <= 40; ++k) {
    if (!rows.empty()) {
      const std::string_view line = lines[k];
      check(rows[k - 1] == (!line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line));
    }
    const std::string record = wb::flatfile_record(lines[k]);
    const auto cells = csv_split(lines[k]);
    if (cells) check(record == cells->front());
    check_csv_cell(lines[k]);
    wb::Row r;
    r.record = record;
    r.status = "normal";
    out.push_back(std::move(r));
  }
  check_csv_cell(std::string_view(text).substr(0, 300));
  if (!lines.empty()) check_csv_cell(lines.front());
  return out;
}

// The flatfile's columns from a FlatRecord: record .. flags.
constexpr std::size_t kRecordCells = 19;

// Which file the flatfile's column `k` (named `name`) comes from: 0 the
// record's fields, 1 measures.csv, 2 spectra.csv, 3 fas.csv.
int column_source(std::size_t k, const std::string& name) {
  if (k < kRecordCells) return 0;
  if (name.rfind("psa_", 0) == 0) return 2;
  return name.rfind("eas_", 0) == 0 ? 3 : 1;
}

// The lines of a CSV text as cells on one line, found by the text with
// `decimals` decimals of any finite number among their cells: the rows a
// column named for a period or a frequency may take its cell from.
class KeyedLines {
 public:
  KeyedLines(std::string_view csv, int decimals) {
    for (std::string line : lines_of(csv)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<std::string> cells = parts_of(wb::one_line(line), ',', line.size() + 1);
      for (const std::string& cell : cells) {
        const std::optional<double> v = reference_number(cell);
        if (!v || !std::isfinite(*v)) continue;
        char key[400];
        std::snprintf(key, sizeof key, "%.*f", decimals, *v);
        by_key_[key].push_back(lines_.size());
      }
      lines_.push_back(std::move(cells));
    }
  }
  // True when a line with a cell that reads as `key` also holds `cell`.
  bool holds(const std::string& key, const std::string& cell) const {
    const auto it = by_key_.find(key);
    if (it == by_key_.end()) return false;
    return std::any_of(it->second.begin(), it->second.end(), [&](std::size_t k) {
      return std::find(lines_[k].begin(), lines_[k].end(), cell) != lines_[k].end();
    });
  }

 private:
  std::vector<std::vector<std::string>> lines_;
  std::map<std::string, std::vector<std::size_t>> by_key_;
};

// The period or frequency in the name of a spectral column, as written
// there: "psa_rotd50_T0.010S_g" -> "0.010", "eas_f0.0100Hz_g_s" -> "0.0100".
std::string column_key(const std::string& name) {
  const std::size_t at = name.rfind(name.rfind("psa_", 0) == 0 ? "_T" : "_f");
  check(at != std::string::npos);
  return name.substr(at + 2, name.find_first_of("SH", at + 2) - at - 2);
}

wb::FlatRecord flat_record(const std::vector<std::string>& f) {
  const auto field = [&f](std::size_t k) { return k < f.size() ? f[k] : std::string(); };
  wb::FlatRecord r;
  std::string* cells[] = {&r.record,         &r.event,          &r.station,        &r.dt_s,          &r.npts,
                          &r.duration_s,     &r.titles[0],      &r.titles[1],      &r.titles[2],     &r.measured,
                          &r.bandpass_hz,    &r.highpass_hz[0], &r.highpass_hz[1], &r.highpass_hz[2], &r.lowpass_hz[0],
                          &r.lowpass_hz[1],  &r.lowpass_hz[2],  &r.lowest_usable_hz, &r.flags};
  static_assert(std::size(cells) == kRecordCells);
  for (std::size_t k = 0; k < std::size(cells); ++k) *cells[k] = field(k);
  return r;
}

// Selector 12: a flatfile line from fuzzed files and fields. It has one
// cell per column, the record's fields first as given (on one line), every
// other cell empty or copied from its file (a PSA or EAS cell from a row
// with the column's period or frequency); it reads back through
// flatfile_text and flatfile_rows.
std::vector<wb::Row> flatfile_line_rows(const std::string& text) {
  const std::vector<std::string> parts = parts_of(text, kPartSeparator, 4);
  const auto part = [&parts](std::size_t k) { return k < parts.size() ? parts[k] : std::string(); };
  const std::vector<std::string> fields = parts_of(part(3), '|', kRecordCells);
  const wb::FlatRecord r = flat_record(fields);
  const std::string line = wb::flatfile_line(r, part(0), part(1), part(2));
  check(line.find_first_of("\r\n") == std::string::npos);
  const auto cells = csv_split(line);
  const auto names = csv_split(wb::flatfile_header());
  check(cells && names && cells->size() == wb::flatfile_columns() && names->size() == cells->size());
  check((*names)[kRecordCells - 1] == "flags" && (*names)[kRecordCells] == "pga_h1_g");
  const std::string measures = wb::one_line(part(0));
  const KeyedLines spectra(part(1), 3), fas(part(2), 4);
  for (std::size_t k = 0; k < cells->size(); ++k) {
    const int from = column_source(k, (*names)[k]);
    const std::string& cell = (*cells)[k];
    if (from == 0) {
      check(cell == wb::one_line(k < fields.size() ? fields[k] : std::string()));
    } else if (!cell.empty() && from == 1) {
      check(measures.find(cell) != std::string::npos);
    } else if (!cell.empty()) {
      check((from == 2 ? spectra : fas).holds(column_key((*names)[k]), cell));
    }
  }
  check(wb::flatfile_record(line) == wb::one_line(r.record));
  const std::vector<std::string> back = wb::flatfile_rows(wb::flatfile_text({&line}), "line");
  check(back.size() == 1 && back[0] == line);
  wb::Row row;
  row.record = r.record;
  row.event = r.event;
  row.station = r.station;
  row.flags = r.flags;
  return {row};
}

// The lines of a flatfile's text after the header; nothing when it does
// not read.
std::optional<std::vector<std::string>> flatfile_or_nothing(const std::string& text) {
  try {
    return wb::flatfile_rows(text, "flatfile.csv");
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

// A summary for the batch folder `dir`: as many rows as its shard.txt has
// positions (when it reads and has at most 64), else one per row of the
// flatfile (at most 64), for the flatfile's records in turn.
std::vector<wb::Row> batch_rows(const fs::path& dir, const std::optional<std::vector<std::string>>& flat) {
  const std::optional<wb::ShardFile> shard = wb::read_shard_file(dir);
  const std::size_t from_flat = flat ? std::min<std::size_t>(flat->size(), 64) : 0;
  const std::size_t n = shard && shard->positions.size() <= 64 ? shard->positions.size() : from_flat;
  std::vector<wb::Row> rows(n);
  for (std::size_t k = 0; k < n; ++k) {
    rows[k].record = k < from_flat ? wb::flatfile_record((*flat)[k]) : "extra" + std::to_string(k);
    rows[k].status = "normal";
    rows[k].folder = "r" + std::to_string(k);
    rows[k].page = "r" + std::to_string(k) + "/report.html";
  }
  wb::write_summary(dir / "summary.tsv", rows);
  return wb::read_summary(dir / "summary.tsv");
}

// The joined flatfile: the header, then rows of the batch's flatfile, for
// records of the joined summary, in its order.
void check_joined_flatfile(const std::string& text, const std::vector<std::string>& flat,
                           const std::vector<wb::Row>& joined) {
  check(text.rfind(wb::flatfile_header() + "\n", 0) == 0 && text.back() == '\n');
  std::vector<std::string> lines = lines_of(text);
  lines.pop_back();  // after the last line end
  std::size_t next = 0;  // the joined summary's row for the next line
  for (std::size_t k = 1; k < lines.size(); ++k) {
    check(std::find(flat.begin(), flat.end(), lines[k]) != flat.end());
    const std::string record = wb::flatfile_record(lines[k]);
    while (next < joined.size() && joined[next].record != record) ++next;
    check(next < joined.size());
    ++next;
  }
}

// Selector 13: a batch folder with a summary.tsv, the flatfile.csv before
// the RS (none when empty) and the shard.txt after it (none without an RS),
// joined into a sibling folder.
std::vector<wb::Row> join_rows(const std::string& text) {
  const std::vector<std::string> parts = parts_of(text, kPartSeparator, 2);
  const Scratch scratch;
  const fs::path batch = scratch.dir / "batch", joined = scratch.dir / "joined";
  fs::create_directories(batch);
  const std::optional<std::vector<std::string>> flat = flatfile_or_nothing(parts[0]);
  if (!parts[0].empty()) write_file(batch / wb::kFlatfile, parts[0]);
  if (parts.size() > 1) write_file(batch / wb::kShardFile, parts[1]);
  const std::vector<wb::Row> rows = batch_rows(batch, flat);
  try {
    wb::join(joined, {batch});
  } catch (const std::runtime_error& e) {
    check(!parts[0].empty() && !flat && std::strlen(e.what()) > 0);
    return rows;
  }
  check(parts[0].empty() || flat);
  const std::vector<wb::Row> all = wb::read_summary(joined / "summary.tsv");
  check(all.size() == rows.size() && !fs::exists(joined / wb::kShardFile));
  const std::optional<wb::ShardFile> shard = wb::read_shard_file(batch);
  const auto order = wb::shard_order({shard}, {rows.size()});
  for (std::size_t k = 0; k < all.size(); ++k) {
    check(all[k].record == rows[order ? (*order)[k].second : k].record);
  }
  check_joined_flatfile(wb::read_all(joined / wb::kFlatfile), flat.value_or(std::vector<std::string>()), all);
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 65536) return 0;
  const int pick = data[0] % 14;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<wb::Row> rows;
  switch (pick) {
    case 0: rows = summary_rows(text); break;
    case 1: rows.push_back(header_row(text)); break;
    case 2: rows = nt_dt_rows(text); break;
    case 3: rows.push_back(picked_row(text, true)); break;
    case 4: rows.push_back(picked_row(text, false)); break;
    case 5: rows = console_rows(text); break;
    case 6: rows = import_stderr_rows(text); break;
    case 7: rows.push_back(clock_row(data + 1, size - 1)); break;
    case 8: shard_value(text); break;
    case 9: shard_files(text); break;
    case 10: rows = done_rows(text); break;
    case 11: rows = flatfile_read_rows(text); break;
    case 12: rows = flatfile_line_rows(text); break;
    default: rows = join_rows(text); break;
  }
  check_page(rows, text.substr(0, std::min<std::size_t>(text.size(), 100)));
  return 0;
}
