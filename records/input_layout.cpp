// SPDX-License-Identifier: GPL-3.0-or-later
// The program's input layout: "Event Station acceleration g", a line of
// column titles, then rows of the time and 42 values (components in values
// 1, 2 and 11). A large file's rows are read as two halves at once.
#include <array>
#include <cmath>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "records/fault.h"
#include "records/field.h"
#include "records/layouts.h"

namespace wavefft::records {

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

// The values of a row: the time and 42 values.
constexpr std::size_t kRowFields = 43;

// Values 1, 2 and 11 hold the components: 11 -> comp3, 5 -> none.
bool is_component(std::size_t index) { return index == 1 || index == 2 || index == 11; }

// The data rows of the input layout, "0.000 v1 v2 ... v42" (blank-separated;
// components are v1, v2, v11), appended to `time` and `comp`. `line2` gets
// the line of the second sample when it is among these rows.
// `room` scales the room reserved for them (the first of two halves makes
// room for both, so that joining them does not move it).
void parse_input_rows(Lines& lines, const std::string& name, std::vector<double>& time,
                      std::array<std::vector<double>, 3>& comp, std::size_t& line2, double room = 1.0) {
  const std::size_t lines_left = lines.remaining_lines();
  const std::size_t rows =
      room > 1.0 ? static_cast<std::size_t>(static_cast<double>(lines_left) * room) + 16 : lines_left;
  time.reserve(time.size() + rows);
  for (auto& c : comp) c.reserve(c.size() + rows);
  std::string_view line;
  while (lines.next(line)) {
    const char* p = line.data();
    const char* const e = p + line.size();
    while (p != e && blank(*p)) ++p;
    if (p == e) continue;
    std::size_t index = 0;  // 0: the time, k: value k
    while (p != e) {
      const char* q = p + 1;
      if (*p == '0' && (q == e || blank(*q)) && index != 0 && !is_component(index)) {
        // An unused value "0" (the most common field): nothing to check.
      } else {
        while (q != e && !blank(*q)) ++q;
        const std::string_view token(p, static_cast<std::size_t>(q - p));
        if (index == 0) {
          time.push_back(read_value(token, name, lines.number(), "time", 0));
        } else if (is_component(index)) {
          const std::size_t c = index == 11 ? 2 : index - 1;
          comp[c].push_back(read_value(token, name, lines.number(), "value", index));
        } else if (index < kRowFields) {
          // The other values are not used, but the row must still be numbers.
          read_value(token, name, lines.number(), "value", index);
        }
      }
      p = q;
      while (p != e && blank(*p)) ++p;
      ++index;
    }
    if (index != kRowFields) {
      fail(name, Fault(RecordFault::field_count, lines.number(), "the time and 42 values (43 fields)", index));
    }
    if (time.size() == 2) line2 = lines.number();
  }
}

// Rows of at least this many bytes are parsed in two halves at once.
constexpr std::size_t kSplitBytes = std::size_t{1} << 20;

// The rows of one half, and whether they parsed.
struct Half {
  std::vector<double> time;
  std::array<std::vector<double>, 3> comp;
  bool ok = false;
};

void parse_half(std::string_view bytes, const std::string& name, Half& half, double room) {
  try {
    Lines lines(bytes);
    std::size_t unused_line2 = 0;
    parse_input_rows(lines, name, half.time, half.comp, unused_line2, room);
    half.ok = true;
  } catch (...) {
    half.ok = false;  // the serial pass reports it
  }
}

// The rows parsed as two halves, split at the line end nearest the middle,
// in two threads. False when either half fails or the first half holds
// fewer than two samples or gives an interval that is not positive: the
// caller then parses the rows in one pass, which reports the fault with its
// true line number.
bool parse_input_rows_split(std::string_view rows, const std::string& name, std::vector<double>& time,
                            std::array<std::vector<double>, 3>& comp) {
  const std::size_t cut = rows.find('\n', rows.size() / 2);
  if (cut == std::string_view::npos || cut + 1 >= rows.size()) return false;
  Half second;
  std::thread worker;
  try {
    worker = std::thread(parse_half, rows.substr(cut + 1), std::cref(name), std::ref(second), 1.0);
  } catch (const std::system_error&) {
    return false;  // no thread to be had: one pass
  }
  Half first;
  // Room for both halves, from the bytes' ratio and a little more (rows of
  // equal length: a hair over 2); too little only costs a move.
  parse_half(rows.substr(0, cut + 1), name, first,
             1.01 * static_cast<double>(rows.size()) / static_cast<double>(cut + 1));
  worker.join();
  if (!first.ok || !second.ok || first.time.size() < 2) return false;
  const double dt = first.time[1] - first.time[0];
  if (!(dt > 0.0) || !std::isfinite(dt)) return false;
  time = std::move(first.time);
  time.insert(time.end(), second.time.begin(), second.time.end());
  for (std::size_t c = 0; c < 3; ++c) {
    comp[c] = std::move(first.comp[c]);
    comp[c].insert(comp[c].end(), second.comp[c].begin(), second.comp[c].end());
  }
  return true;
}

// The blank-separated words of the header line or the title line:
// "Quake STA acceleration gal" -> {"Quake", "STA", "acceleration", "gal"}.
std::vector<std::string_view> header_words(std::string_view first) {
  std::vector<std::string_view> words;
  for (std::string_view s = trim(first); !s.empty(); s = trim(s)) {
    std::size_t end = 0;
    while (end < s.size() && !blank(s[end])) ++end;
    words.push_back(s.substr(0, end));
    s.remove_prefix(end);
  }
  return words;
}

}  // namespace

RecordFile parse_input_layout(std::string_view first, Lines& lines, const std::string& name) {
  RecordFile rec;
  rec.kind = RecordFile::Kind::input_layout;
  const std::vector<std::string_view> words = header_words(first);
  rec.header_words.assign(words.begin(), words.end());
  if (!words.empty()) rec.event = std::string(words[0]);
  if (words.size() > 1) rec.station = std::string(words[1]);
  // Only an acceleration unit is taken: "counts" or "none" leaves it open.
  if (words.size() > 3) rec.unit = common::parse_acceleration_unit(words[3]);

  std::string_view line;
  if (!lines.next(line)) fail(name, Fault(RecordFault::no_titles, 1));
  // "TIME NS EW V03 ... V10 UD ..." -> {"NS", "EW", "UD"}: the titles of values 1, 2 and 11.
  const std::vector<std::string_view> titles = header_words(line);
  rec.title_words.assign(titles.begin(), titles.end());
  if (titles.size() >= 12) rec.titles = {std::string(titles[1]), std::string(titles[2]), std::string(titles[11])};
  std::vector<double> time;
  if (lines.rest().size() >= kSplitBytes && parse_input_rows_split(lines.rest(), name, time, rec.comp)) {
    // Both halves parsed and dt is positive: the check cannot fail.
    check_samples(rec, time, name, 0);
    rec.time = std::move(time);
    return rec;
  }
  std::size_t line2 = 0;
  parse_input_rows(lines, name, time, rec.comp, line2);
  check_samples(rec, time, name, line2);
  rec.time = std::move(time);
  return rec;
}

}  // namespace wavefft::records
