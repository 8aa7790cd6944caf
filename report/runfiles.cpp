// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/runfiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <system_error>

#include "common/files.h"
#include "records/field.h"
#include "records/lines.h"
#include "report/parallel.h"

namespace wavefft::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The forms the run writes; beyond the double range the value saturates,
// as the program itself would have read it.
constexpr common::NumberGrammar kRunNumber = [] {
  common::NumberGrammar g = records::kWrittenNumber;
  g.saturate = true;
  return g;
}();

// Blanks around a field or a line; a carriage return counts as one.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// common::trim(s, " \t\r"), written out: it runs for every field of files
// of a million fields.
std::string_view trim(std::string_view s) {
  std::size_t first = 0, last = s.size();
  while (first < last && is_blank(s[first])) ++first;
  while (last > first && is_blank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

std::string where(const std::string& name, std::size_t line) {
  return name + " line " + std::to_string(line) + ": ";
}

// The fields of a CSV row: the first kRowFields of them in `fields`, and
// how many it has. A row that ends with a comma (as every row the run writes
// does) yields an empty last field, which is not counted.
constexpr std::size_t kRowFields = 4;
std::size_t split_row(std::string_view row, std::array<std::string_view, kRowFields>& fields) {
  std::size_t count = 0, start = 0;
  std::string_view last;
  while (true) {
    const std::size_t comma = row.find(',', start);
    last = row.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (count < kRowFields) fields[count] = last;
    ++count;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (count > 1 && trim(last).empty()) --count;
  return count;
}

// The whole of one of the run's files.
std::string read_input(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) throw FileError(path.string() + ": no such file");
  if (std::filesystem::is_directory(path, ec)) throw FileError(path.string() + ": is a folder, not a file");
  std::string bytes;
  common::FileFault fault;
  if (!common::read_file(path, bytes, fault)) throw FileError(path.string() + ": cannot be opened for reading");
  return bytes;
}

// Reads the four fields of one CSV data row into `values` (NaN for a field
// of asterisks); `first_overflowed` tells whether the first field was one.
void read_csv_row(std::string_view row, const std::string& name, std::size_t line_no,
                  std::array<double, 4>& values, bool& first_overflowed) {
  std::array<std::string_view, kRowFields> fields;
  const std::size_t count = split_row(row, fields);
  if (count != kRowFields) {
    throw FileError(where(name, line_no) + "expected 4 comma-separated fields, found " + std::to_string(count));
  }
  first_overflowed = false;
  for (std::size_t i = 0; i < 4; ++i) {
    const Field f = parse_field(fields[i]);
    if (f.kind == FieldKind::Bad) {
      throw FileError(where(name, line_no) + "field " + std::to_string(i + 1) + " is not a number: \"" +
                      std::string(trim(fields[i])) + "\"");
    }
    values[i] = f.kind == FieldKind::Number ? f.value : kNaN;
    if (i == 0 && f.kind == FieldKind::Overflow) first_overflowed = true;
  }
}

// The data rows after a CSV file's header line: each row's four numbers and
// whether its first field overflowed; empty lines are passed over.
template <typename Row>
void for_each_csv_row(records::Lines& lines, const std::string& name, Row&& row) {
  std::string_view line;
  while (lines.next(line)) {
    if (trim(line).empty()) continue;
    std::array<double, 4> v{};
    bool overflowed = false;
    read_csv_row(line, name, lines.number(), v, overflowed);
    row(v, overflowed);
  }
}

// An upper bound of the lines still to come in `lines`, counted a line at
// a time (memchr) rather than a byte at a time.
std::size_t rows_to_come(const records::Lines& lines) {
  const std::string_view rest = lines.rest();
  std::size_t count = 1;
  for (std::size_t at = rest.find('\n'); at != std::string_view::npos; at = rest.find('\n', at + 1)) ++count;
  return count;
}

// Room in `s` for the rows still to come in `lines`: files of 100000 rows
// then fill their columns without moving them.
void reserve_rows(Series& s, const records::Lines& lines) {
  const std::size_t rows = rows_to_come(lines);
  s.time.reserve(rows);
  for (auto& c : s.comp) c.reserve(rows);
}

// The header line of a CSV file, or FileError "NAME: empty file".
std::string_view header_line(records::Lines& lines, const std::string& name) {
  std::string_view line;
  if (!lines.next(line)) throw FileError(name + ": empty file");
  return line;
}

}  // namespace

Field parse_field(std::string_view text) {
  const records::FieldValue v = records::read_field(trim(text), kRunNumber);
  switch (v.status) {
    case records::FieldStatus::number: return {FieldKind::Number, v.value};
    case records::FieldStatus::overflowed: return {FieldKind::Overflow, kNaN};
    case records::FieldStatus::not_a_number:
    case records::FieldStatus::out_of_range: break;  // out of range: never, the grammar saturates
  }
  return {};
}

Series read_echo(std::string_view bytes, const std::string& name) {
  Series s;
  records::Lines lines(bytes);
  reserve_rows(s, lines);
  std::string_view line;
  while (lines.next(line)) {
    std::string_view rest = trim(line);
    if (rest.empty()) continue;
    std::array<double, 4> v{};
    std::size_t count = 0;
    while (!rest.empty()) {
      std::size_t end = 0;
      while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t') ++end;
      const std::string_view token = rest.substr(0, end);
      rest = trim(rest.substr(end));
      const Field f = parse_field(token);
      if (f.kind != FieldKind::Number) {
        throw FileError(where(name, lines.number()) + "not a number: \"" + std::string(token) + "\"");
      }
      if (count < 4) v[count] = f.value;
      ++count;
    }
    if (count != 4) {
      throw FileError(where(name, lines.number()) + "expected 4 numbers (time and three components), found " +
                      std::to_string(count));
    }
    s.time.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) s.comp[c].push_back(v[c + 1]);
  }
  return s;
}

Spectrum read_spectrum(std::string_view bytes, const std::string& name) {
  Spectrum sp;
  records::Lines lines(bytes);
  if (trim(header_line(lines, name)).substr(0, 13) != "frequency(Hz)") {
    throw FileError(name + ": not an amplitude spectrum file (its first line does not begin with \"frequency(Hz)\")");
  }
  const std::size_t rows = rows_to_come(lines);
  sp.freq.reserve(rows);
  for (auto& c : sp.amp) c.reserve(rows);
  for_each_csv_row(lines, name, [&sp](const std::array<double, 4>& v, bool overflowed) {
    if (overflowed) ++sp.overflowed_freq;
    sp.freq.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) sp.amp[c].push_back(v[c + 1]);
  });
  if (sp.freq.empty()) throw FileError(name + ": no data rows");

  // The frequency of row i is i * df. Take df from the highest row whose
  // frequency could be read: its rounding error is smallest relative to it.
  std::size_t k = sp.freq.size();
  while (k > 1 && !std::isfinite(sp.freq[k - 1])) --k;
  if (k > 1) {
    const std::size_t last = k - 1;
    sp.df = sp.freq[last] / static_cast<double>(last);
    bool even = true;
    for (std::size_t i = 0; i < sp.freq.size() && even; ++i) {
      if (std::isfinite(sp.freq[i])) even = std::fabs(sp.freq[i] - static_cast<double>(i) * sp.df) <= 1.5e-4;
    }
    for (std::size_t i = 0; i < sp.freq.size(); ++i) {
      if (even || !std::isfinite(sp.freq[i])) sp.freq[i] = static_cast<double>(i) * sp.df;
    }
  }
  return sp;
}

bool is_waveform_header(std::string_view first_line) {
  return trim(first_line).substr(0, 7) == "time(s)";
}

Waveform read_waveform(std::string_view bytes, const std::string& name) {
  Waveform w;
  records::Lines lines(bytes);
  if (!is_waveform_header(header_line(lines, name))) {
    throw FileError(name + ": not a waveform file (its first line does not begin with \"time(s)\")");
  }
  reserve_rows(w.series, lines);
  for_each_csv_row(lines, name, [&w](const std::array<double, 4>& v, bool overflowed) {
    if (overflowed) ++w.overflowed_time;
    w.series.time.push_back(v[0]);
    for (std::size_t c = 0; c < 3; ++c) w.series.comp[c].push_back(v[c + 1]);
  });
  auto& t = w.series.time;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (std::isfinite(t[i])) continue;
    if (i >= 2) {
      t[i] = t[i - 1] + (t[i - 1] - t[i - 2]);
    } else {
      t[i] = static_cast<double>(i);
    }
  }
  return w;
}

std::filesystem::path find_waveform(const std::filesystem::path& dir, const std::string& wave) {
  namespace fs = std::filesystem;
  if (!wave.empty()) {
    const fs::path p = fs::path(wave).is_absolute() ? fs::path(wave) : dir / wave;
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) throw FileError(p.string() + ": no such file (the waveform file named by --wave)");
    return p;
  }
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) throw FileError(dir.string() + ": cannot list the folder: " + ec.message());
  std::vector<fs::path> found;
  for (const auto& entry : it) {
    std::error_code fec;
    if (!entry.is_regular_file(fec)) continue;
    const fs::path& p = entry.path();
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".csv" || p.filename() == "amp3.csv") continue;
    // The first line, from the first 64 bytes: the header is short.
    std::ifstream in(p, std::ios::binary);
    std::string first;
    first.resize(64);
    in.read(first.data(), static_cast<std::streamsize>(first.size()));
    first.resize(static_cast<std::size_t>(in.gcount()));
    std::string_view head = std::string_view(first).substr(0, first.find('\n'));
    if (!head.empty() && head.back() == '\r') head.remove_suffix(1);
    if (is_waveform_header(head)) found.push_back(p);
  }
  std::sort(found.begin(), found.end());
  if (found.empty()) {
    throw FileError(dir.string() +
                    ": no waveform file (no CSV file other than amp3.csv begins with \" time(s)\"); name it with --wave");
  }
  if (found.size() > 1) {
    std::string names;
    for (const auto& p : found) {
      // appended piecewise: `" " + string` trips a false -Wrestrict in g++ 12 -O3
      names += ' ';
      names += p.filename().string();
    }
    throw FileError(dir.string() + ": more than one waveform file (" + names.substr(1) + "); choose one with --wave");
  }
  return found.front();
}

RunFiles read_run(const std::filesystem::path& dir, const std::string& wave) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) throw FileError(dir.string() + ": no such folder");
  RunFiles r;
  r.dir = dir;
  const auto echo_path = dir / "fort.99";
  const auto amp_path = dir / "amp3.csv";
  // Name every missing file at once: a run that stopped early leaves some.
  std::string missing;
  for (const auto& p : {echo_path, amp_path}) {
    if (!std::filesystem::is_regular_file(p, ec)) missing += (missing.empty() ? "" : ", ") + p.filename().string();
  }
  if (!missing.empty()) {
    throw FileError(dir.string() + ": missing " + missing +
                    " (is this the folder of a wavefft run that went to the end?)");
  }
  r.wave_path = find_waveform(dir, wave);
  // The waveform file beside the other two; a fault of fort.99 or amp3.csv
  // is told before one of the waveform file, as when read in turn.
  run_both(
      [&] {
        r.input = read_echo(read_input(echo_path), echo_path.string());
        r.spectrum = read_spectrum(read_input(amp_path), amp_path.string());
      },
      [&] { r.output = read_waveform(read_input(r.wave_path), r.wave_path.string()); });
  if (r.input.size() == 0) throw FileError(echo_path.string() + ": no records");
  return r;
}

}  // namespace wavefft::report
