// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the text readers of wavefft-batch (batch/summary.h,
// batch/record_head.h, batch/console.h, batch/measures_csv.h,
// batch/progress.h, batch/import_step.h) and the catalogue page made from
// what they give.
//
// The first byte picks the reader (modulo 8); the rest is its text:
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
// Refusals of read_summary (std::runtime_error) are expected outcomes.
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
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "batch/catalogue.h"
#include "batch/console.h"
#include "batch/import_step.h"
#include "batch/measures_csv.h"
#include "batch/progress.h"
#include "batch/record_head.h"
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
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    check(static_cast<bool>(out));
  }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 65536) return 0;
  const int pick = data[0] % 8;
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
    default: rows.push_back(clock_row(data + 1, size - 1)); break;
  }
  check_page(rows, text.substr(0, std::min<std::size_t>(text.size(), 100)));
  return 0;
}
