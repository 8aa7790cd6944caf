// SPDX-License-Identifier: GPL-3.0-or-later
// The USGS SMC reader of wavefft-import. One file holds one component:
//   11 text lines: 1 "2 CORRECTED ACCELEROGRAM" (the data type: 1
//      uncorrected and 2 corrected acceleration, both in cm/s^2; other types
//      are velocity, displacement or spectra, refused), 4 the event
//      ("     1989  10  18    0004 Loma Prieta, CA"), 6 "station = San
//      Francisco, 1295 Shafter, F component=    360";
//   48 integer header values, 8 to a line, 10 characters each (value 17:
//      the number of samples; -32768 means unknown);
//   50 real header values, 5 to a line, 15 characters each (value 2: the
//      sampling rate in samples per second; 1.7E+38 means unknown);
//   comment lines, each starting with '|';
//   the samples, 8 to a line, 10 characters each ("-7.3687E+0-8.3923E+0":
//      read by column, never by blanks).
// The header's times do not say where the record starts, so no start_ns
// is set.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/fixedvol.h"
#include "import/formats.h"
#include "import/value_blocks.h"

namespace wavefft::import {

namespace {

using namespace fixedvol::vocabulary;

constexpr int kTextLines = 11;
constexpr text::FixedFormat kIntegers{8, 10, 'I'};
constexpr std::size_t kIntegerCount = 48;
constexpr text::FixedFormat kReals{5, 15, 'E'};
constexpr std::size_t kRealCount = 50;
constexpr text::FixedFormat kSamples{8, 10, 'E'};

/// The data type word after the code on the first line, or empty.
std::string_view type_word(std::string_view first) {
  if (first.size() < 3 || first[0] < '0' || first[0] > '9' || first[1] != ' ') return {};
  return trim(first.substr(2));
}

/// The first line, "2 CORRECTED ACCELEROGRAM": only acceleration (types 1
/// and 2) is read; the type names the file's layout and level.
Problem read_data_type(std::string_view line, const std::string& file, FileContents& out) {
  const std::string_view kind = type_word(line);
  if (line.empty() || (line[0] != '1' && line[0] != '2') || text::find_nocase(kind, "ACCELEROGRAM") == std::string_view::npos) {
    return malformed(file, 1, "the data type is not acceleration: " + quoted(trim(line)));
  }
  out.format = line[0] == '1' ? "USGS SMC uncorrected acceleration" : "USGS SMC corrected acceleration";
  out.level = line[0] == '1' ? Level::raw : Level::corrected;
  return {};
}

/// Text line 6 (`line`, line `number`), "station = San Francisco, 1295
/// Shafter, F component=    360": the station and the component's name.
Problem take_station_line(std::string_view line, std::size_t number, const std::string& file, FileContents& out,
                          Channel& c) {
  const std::optional<std::string_view> st = after(line, "station =");
  const std::size_t comp = text::find_nocase(line, "component=");
  if (!st || comp == std::string_view::npos) {
    return malformed(file, number, "expected \"station = ... component= ...\", found " + quoted(trim(line)));
  }
  const std::size_t st_at = line.size() - st->size();
  if (comp >= st_at) out.station = std::string(trim(line.substr(st_at, comp - st_at)));
  c.name = std::string(trim(line.substr(comp + 10)));
  return {};
}

/// Text lines 2 .. 11: the event (line 4, "     1989  10  18    0004 Loma
/// Prieta, CA"), the station and the component (line 6), whose name must
/// be an azimuth or up/down.
Problem read_text_lines(Lines& lines, const std::string& file, FileContents& out, Channel& c) {
  std::string_view line;
  for (int k = 2; k <= kTextLines; ++k) {
    if (!lines.next(line)) return Problem{Status::truncated, file, lines.number(), "the file ends inside the text lines"};
    if (k == 4) out.event = std::string(trim(line));
    if (k == 6) {
      if (Problem p = take_station_line(line, lines.number(), file, out, c); !p.ok()) return p;
    }
  }
  if (!fixedvol::orient(c.name, c)) {
    return malformed(file, 6, "the component is not an azimuth or up/down: " + quoted(c.name));
  }
  return {};
}

/// The integer and real headers: the number of samples (integer 17) into
/// `count`, and dt from the samples per second (real 2: 200 -> 1.0 /
/// 200.0).
Problem read_headers(Lines& lines, const std::string& file, Channel& c, std::size_t& count) {
  std::vector<double> ints, reals;
  if (Problem p = text::read_fixed_block(lines, kIntegers, kIntegerCount, 1.0, false, file, ints); !p.ok()) {
    return fixedvol::in_block(std::move(p), "integer header");
  }
  const std::size_t ints_end = lines.number();
  if (Problem p = text::read_fixed_block(lines, kReals, kRealCount, 1.0, false, file, reals); !p.ok()) {
    return fixedvol::in_block(std::move(p), "real header");
  }
  const std::optional<std::size_t> n = fixedvol::sample_count(ints[16]);
  if (!n) {
    return malformed(file, ints_end, "integer header value 17 (the number of samples) is not a count up to 100000000: " +
                                         fixedvol::plain_number(ints[16]));
  }
  count = *n;
  const double rate = reals[1];
  if (!(rate > 0.0 && rate < 1e9)) {
    return malformed(file, lines.number(), "real header value 2 (samples per second) is not a positive rate: " + fixedvol::plain_number(rate));
  }
  c.dt = 1.0 / rate;
  return {};
}

}  // namespace

bool is_smc(std::string_view head) {
  // "2 CORRECTED ACCELEROGRAM", "1 UNCORRECTED ACCELEROGRAM", "3 VELOCITY", ...
  const std::optional<std::string_view> first = text::first_line(head);
  if (!first) return false;
  const std::string_view w = type_word(*first);
  for (const std::string_view kind : {"UNCORRECTED ACCELEROGRAM", "CORRECTED ACCELEROGRAM", "VELOCITY", "DISPLACEMENT",
                                      "RESPONSE SPECTRA", "FOURIER AMPLITUDE SPECTRA"}) {
    if (text::starts_with_nocase(w, kind)) return true;
  }
  return false;
}

Problem read_smc(std::string_view bytes, const std::string& file, FileContents& out) {
  Lines lines(bytes);
  std::string_view line;
  if (!lines.next(line)) return Problem{Status::truncated, file, 0, "the file is empty"};
  if (Problem p = read_data_type(line, file, out); !p.ok()) return p;
  Channel c = channel_of_file(file, Unit::gal);
  std::size_t count = 0;
  if (Problem p = read_text_lines(lines, file, out, c); !p.ok()) return p;
  if (Problem p = read_headers(lines, file, c, count); !p.ok()) return p;
  // Comment lines "|...", then the samples.
  while (lines.peek(line) && !line.empty() && line[0] == '|') lines.next(line);
  if (Problem p = text::read_fixed_block(lines, kSamples, count, 1.0, true, file, c.values); !p.ok()) {
    return fixedvol::in_block(std::move(p), "component " + c.name);
  }
  out.channels.push_back(std::move(c));
  return {};
}

}  // namespace wavefft::import
