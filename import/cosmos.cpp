// SPDX-License-Identifier: GPL-3.0-or-later
// The COSMOS Volume 0/1/2 reader of wavefft-import.
//
// A file holds one or more channels, each laid out as (the COSMOS format
// description, v01.20):
//   a first text line naming the volume and "(Format v01.20 with 13 text
//   lines)", the rest of those text lines;
//   "100 Integer-header values follow on 10 lines, Format = (10I8)" and the
//   values; "100 Real-header values follow on 20 lines, Format =(5F15.6)"
//   and the values (-999 means unknown there);
//   "4 Comment line(s) follow, each starting with a |" and those lines;
//   one or more data blocks, each a line such as
//   "20000 raw accel.   pts, approx  100 secs, units=counts (50),Format=(10I8)"
//   followed by the values laid out by that format, and an
//   "End-of-data for ..." line.
// Only acceleration blocks are kept; a Volume 2's velocity and displacement
// blocks are read past.
//
// Header fields used (1-based, as the format description numbers them):
//   integer 1: the volume (0 raw, 1 uncorrected, 2 corrected);
//   integer 40, 42..45: record start year, month, day, hour, minute (UTC);
//   integer 54: orientation, an azimuth 0..360 or 400 up / 500 down;
//   real 22: recorder least significant bit in microvolts per count;
//   real 30: record start second;
//   real 34: the recorder's sampling interval, s;
//   real 42: sensor sensitivity, volts per g;
//   real 62: the interval of the series in the file, ms (preferred to real
//   34, which a resampled series does not follow).
// Text line 5 gives "Code:NP-1795" (the station), line 2 "Record of ..."
// (the event), line 8 "Rcrd start time: ..." and line 9 "Sta Chan ...:
// 90 Deg (...) Location:Ground"; a comment "|<SCNL>1795.HNE.NP.--" gives
// the SEED station, channel, network and location.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "import/fixedvol.h"
#include "import/formats.h"
#include "import/unit_text.h"
#include "import/value_blocks.h"

namespace wavefft::import {

namespace {

using namespace fixedvol::vocabulary;

constexpr double kUnknown = -999.0;

/// Header value k (1-based) or nullopt when absent or the unknown flag.
std::optional<double> header_value(const std::vector<double>& h, std::size_t k) {
  if (k == 0 || k > h.size() || h[k - 1] == kUnknown) return std::nullopt;
  return h[k - 1];
}

/// A "N ... values follow ..., Format = (...)" line: the count and the
/// layout of the values after it. "100 Real-header values follow on 20
/// lines, Format =(5F15.6)" -> 100, (5F15.6).
Problem header_block(Lines& lines, std::string_view what, std::size_t max_count, const std::string& file,
                     std::vector<double>& values) {
  std::string_view line;
  if (!lines.next(line)) {
    return Problem{Status::truncated, file, lines.number(), "the file ends before the " + std::string(what) + " line"};
  }
  if (text::find_nocase(line, what) == std::string_view::npos) {
    return malformed(file, lines.number(),
                     "expected the " + std::string(what) + " line, found " + quoted(text::trim(line)));
  }
  const std::optional<long long> n = common::to_integer(first_word(line));
  if (!n || *n < 0 || static_cast<unsigned long long>(*n) > max_count) {
    return malformed(file, lines.number(),
                     "the " + std::string(what) + " count is not a count up to " + std::to_string(max_count) + ": " + quoted(first_word(line)));
  }
  const std::optional<std::string_view> fmt_text = after(line, "format");
  const std::optional<text::FixedFormat> fmt = fmt_text ? text::parse_fixed_format(*fmt_text) : std::nullopt;
  if (!fmt) {
    return malformed(file, lines.number(),
                     "the " + std::string(what) + " line gives no value format such as (10I8): " + quoted(text::trim(line)));
  }
  values.clear();
  return fixedvol::in_block(text::read_fixed_block(lines, *fmt, static_cast<std::size_t>(*n), 1.0, false, file, values), what);
}

/// The SEED names in a comment "|<SCNL>1795.HNE.NP.--    <AUTH> ...":
/// station, channel, network, location ("--" is no location).
struct Scnl {
  std::string station, channel, network, location;
};
std::optional<Scnl> scnl_of(std::string_view comment) {
  const std::optional<std::string_view> rest = after(comment, "<SCNL>");
  if (!rest) return std::nullopt;
  const std::string_view word = first_word(*rest);
  Scnl s;
  std::string* parts[4] = {&s.station, &s.channel, &s.network, &s.location};
  std::size_t k = 0, start = 0;
  for (std::size_t i = 0; i <= word.size(); ++i) {
    if (i == word.size() || word[i] == '.') {
      if (k >= 4) return std::nullopt;
      *parts[k++] = std::string(word.substr(start, i - start));
      start = i + 1;
    }
  }
  if (k != 4 || s.station.empty() || s.channel.empty()) return std::nullopt;
  if (s.location == "--") s.location.clear();
  return s;
}

/// What a channel's text lines, headers and comments say about it.
struct ChannelHead {
  std::string orientation_text;  // "90 Deg", "Up", "Other"
  std::string location;          // "Ground", "" ...
  std::vector<double> ints, reals;
  std::optional<Scnl> scnl;
};

/// The channel's direction: its orientation text ("90 Deg" -> 90, "Up" ->
/// vertical), else the SEED channel's last letter (Z vertical, N 0, E 90),
/// else integer 54 (0..360, 400 up, 500 down); nullopt when none says.
std::optional<text::Orientation> direction(const ChannelHead& h) {
  std::optional<text::Orientation> o = fixedvol::orientation_of(h.orientation_text);
  if (!o && h.scnl && h.scnl->channel.size() == 3) {
    const char last = h.scnl->channel.back();
    if (last == 'Z') o = text::Orientation{std::nullopt, true};
    if (last == 'N') o = text::Orientation{0.0, false};
    if (last == 'E') o = text::Orientation{90.0, false};
  }
  if (!o) {
    if (const std::optional<double> code = header_value(h.ints, 54)) {
      if (*code == 400.0 || *code == 500.0) o = text::Orientation{std::nullopt, true};
      else if (*code >= 0.0 && *code <= 360.0) o = text::Orientation{*code == 360.0 ? 0.0 : *code, false};
    }
  }
  return o;
}

/// The sampling interval the headers give, s: real 62 in ms (5.0 -> 0.005),
/// else real 34; nullopt when both are unknown.
std::optional<double> interval_of(const ChannelHead& h) {
  if (const std::optional<double> ms = header_value(h.reals, 62)) return *ms / 1000.0;
  return header_value(h.reals, 34);
}

/// The record's start, UTC, from integers 40, 42..45 and real 30 (2019, 5,
/// 5, 6, 47, 39.932490); nullopt when any is unknown or out of range.
std::optional<std::int64_t> start_of(const ChannelHead& h) {
  const std::optional<double> y = header_value(h.ints, 40), mo = header_value(h.ints, 42),
                              d = header_value(h.ints, 43), hr = header_value(h.ints, 44),
                              mi = header_value(h.ints, 45), s = header_value(h.reals, 30);
  if (!(y && mo && d && hr && mi && s)) return std::nullopt;
  const auto yy = fixedvol::whole(*y, 1800, 2200), mm = fixedvol::whole(*mo, 1, 12), dd = fixedvol::whole(*d, 1, 31),
             hh = fixedvol::whole(*hr, 0, 23), mn = fixedvol::whole(*mi, 0, 59);
  if (!(yy && mm && dd && hh && mn)) return std::nullopt;
  return fixedvol::civil_to_ns(*yy, *mm, *dd, *hh, *mn, *s, 0);
}

/// Fills the channel's name, SEED id, direction, placement, dt and start
/// from its headers (not its values, unit or factor).
Problem describe(const ChannelHead& h, std::size_t line, const std::string& file, Channel& c) {
  c.name = h.scnl ? h.scnl->channel : h.orientation_text;
  if (h.scnl) c.seed_id = h.scnl->network + "." + h.scnl->station + "." + h.scnl->location + "." + h.scnl->channel;
  if (const std::optional<text::Orientation> o = direction(h)) {
    c.vertical = o->vertical;
    c.azimuth = o->azimuth;
  }
  // "Location:Ground" or nothing -> free field; "Roof", "Borehole" -> not.
  fixedvol::place(h.location, c);
  const std::optional<double> dt = interval_of(h);
  if (!dt || !(*dt > 0.0 && *dt < 1e6)) {
    return malformed(file, line, "no sampling interval: real-header values 62 (ms) and 34 (s) are unknown or not positive");
  }
  c.dt = *dt;
  c.start_ns = start_of(h);
  return {};
}

/// The factor of raw counts: LSB (uV/count) * 1e-6 / sensitivity (V/g)
/// gives g per count, computed once; 0.794729 and 1.2 ->
/// 0.794729e-6 / 1.2. Either unknown or not positive -> no factor.
void counts_factor(const ChannelHead& h, Channel& c) {
  const std::optional<double> lsb = header_value(h.reals, 22), sens = header_value(h.reals, 42);
  if (!lsb || !sens || !(*lsb > 0.0 && *lsb < 1e9) || !(*sens > 0.0 && *sens < 1e9)) {
    c.unit = Unit::counts;
    return;
  }
  c.unit = Unit::g;
  c.factor = *lsb * 1e-6 / *sens;
  c.factor_text = fixedvol::plain_number(*lsb) + " uV/count / " + fixedvol::plain_number(*sens) + " V/g";
}

/// A data block line "42000 acceleration pts, approx  210 secs,
/// units=cm/sec2(04),Format=(1E15.6)": its count, whether it holds
/// acceleration, its unit and its layout.
struct BlockHead {
  std::size_t count = 0;
  bool acceleration = false;
  std::optional<Unit> unit;
  std::string unit_text;
  text::FixedFormat format;
};
Problem block_head(std::string_view line, std::size_t number, const std::string& file, BlockHead& b) {
  const std::string_view word = first_word(line);
  const std::optional<std::size_t> count = fixedvol::sample_count_of(word);
  if (!count) {
    return malformed(file, number, "the data block count is not a count up to 100000000: " + quoted(word));
  }
  b.count = *count;
  const std::size_t pts = text::find_nocase(line, "pts");
  const std::string_view what = line.substr(0, pts);
  b.acceleration = text::find_nocase(what, "acc") != std::string_view::npos;
  const std::optional<std::string_view> fmt_text = after(line, "format");
  const std::optional<text::FixedFormat> fmt = fmt_text ? text::parse_fixed_format(*fmt_text) : std::nullopt;
  if (!fmt) return malformed(file, number, "the data block line gives no value format: " + quoted(text::trim(line)));
  b.format = *fmt;
  // "units=counts (50)," -> "counts"; "units=cm/sec2(04)," -> "cm/sec2".
  if (const std::optional<std::string_view> u = after(line, "units=")) {
    std::size_t end = 0;
    while (end < u->size() && (*u)[end] != '(' && (*u)[end] != ',') ++end;
    b.unit_text = std::string(text::trim(u->substr(0, end)));
    b.unit = unit_from_text(b.unit_text, UnitConvention::volume);
  }
  return {};
}

/// The number of text lines a channel's first line states: "Raw
/// acceleration counts   (Format v01.20 with 13 text lines)" -> 13;
/// nullopt when the line is no such first line or the number is not 1 ..
/// 1000.
std::optional<long long> text_line_count(std::string_view line) {
  const std::optional<std::string_view> with = after(line, "(Format v");
  const std::optional<std::string_view> count_text = with ? after(*with, " with ") : std::nullopt;
  const std::optional<long long> n = count_text ? common::to_integer(first_word(*count_text)) : std::nullopt;
  if (!n || *n < 1 || *n > 1000) return std::nullopt;
  return n;
}

/// The volume the file's first line names, as --info shows it, and its
/// level: "Raw acceleration counts" -> Volume 0, "Uncorrected" -> 1 (both
/// raw), "Corrected" -> 2; any other: the family's name from the detection
/// table, level unstated.
void take_volume(std::string_view first, FileContents& out) {
  const std::string_view kind = text::trim(first.substr(0, first.find('(')));
  out.format = text::starts_with_nocase(kind, "raw")           ? "COSMOS Volume 0"
               : text::starts_with_nocase(kind, "uncorrected") ? "COSMOS Volume 1"
               : text::starts_with_nocase(kind, "corrected")   ? "COSMOS Volume 2"
                                                               : "";
  out.level = text::starts_with_nocase(kind, "raw") || text::starts_with_nocase(kind, "uncorrected") ? Level::raw
              : text::starts_with_nocase(kind, "corrected")                                          ? Level::corrected
                                                                                                     : Level::unstated;
}

/// Text line 9, "Sta Chan   ?: 90 Deg (Rcrdr Chan  ?) Location:Ground":
/// the channel's orientation ("90 Deg") and location ("Ground").
void take_channel_line(std::string_view line, ChannelHead& h) {
  const std::size_t colon = line.find(':');
  if (colon != std::string_view::npos) {
    const std::string_view o = line.substr(colon + 1);
    h.orientation_text = std::string(text::trim(o.substr(0, o.find('('))));
  }
  if (const auto l = after(line, "Location:")) h.location = std::string(text::trim(*l));
}

/// Text lines 2 .. n of a channel: for the file, while it has none yet,
/// the event (line 2, "Record of ..."), the station (5, "Code:NP-1795")
/// and the start as printed (8); for the channel, line 9.
Problem read_text_header(Lines& lines, long long n, const std::string& file, FileContents& out, ChannelHead& h) {
  std::string_view line;
  for (long long k = 2; k <= n; ++k) {
    if (!lines.next(line)) return Problem{Status::truncated, file, lines.number(), "the file ends inside the text header"};
    if (k == 2 && out.event.empty()) {
      if (const auto e = after(line, "Record of")) out.event = std::string(text::trim(*e));
    }
    if (k == 5 && out.station.empty()) {
      if (const auto s = after(line, "Code:")) out.station = std::string(first_word(*s));
    }
    if (k == 8 && out.start_text.empty()) {
      // "Rcrd start time: 2019/05/05 06:47:39.932 UTC (Q=5) ..." -> "2019/05/05 06:47:39.932 UTC".
      if (const auto s = after(line, "start time:")) out.start_text = std::string(text::trim(s->substr(0, s->find('('))));
    }
    if (k == 9) take_channel_line(line, h);
  }
  return {};
}

/// The comment count line "   4 Comment line(s) follow, each starting with
/// a |" and the comments; the first "<SCNL>" among them names the channel.
Problem read_comments(Lines& lines, const std::string& file, ChannelHead& h) {
  std::string_view line;
  if (!lines.next(line)) return Problem{Status::truncated, file, lines.number(), "the file ends before the comment count line"};
  const std::optional<long long> n =
      text::find_nocase(line, "comment") != std::string_view::npos ? common::to_integer(first_word(line)) : std::nullopt;
  if (!n || *n < 0 || *n > 100000) {
    return malformed(file, lines.number(), "expected \"N Comment line(s) follow\", found " + quoted(text::trim(line)));
  }
  for (long long k = 0; k < *n; ++k) {
    if (!lines.next(line)) return Problem{Status::truncated, file, lines.number(), "the file ends inside the comments"};
    if (!h.scnl) h.scnl = scnl_of(line);
  }
  return {};
}

/// The values of the acceleration block that `b` describes (its line just
/// taken) into c, in the block's unit; raw counts take the headers' factor.
Problem read_acceleration(Lines& lines, const BlockHead& b, const ChannelHead& h, const std::string& file, Channel& c) {
  if (!b.unit) {
    return malformed(file, lines.number(), "the acceleration block names no unit this reader knows: " + quoted(b.unit_text));
  }
  if (*b.unit == Unit::counts) counts_factor(h, c);
  else c.unit = *b.unit;
  Problem p = text::read_fixed_block(lines, b.format, b.count, c.factor, true, file, c.values);
  if (!p.ok()) return fixedvol::in_block(std::move(p), c.name + " acceleration");
  return {};
}

/// The data blocks of the channel that starts on `first_line`, up to the
/// next channel's first line or the end: its one acceleration block into
/// c; velocity and displacement blocks are read past.
Problem read_blocks(Lines& lines, const ChannelHead& h, std::size_t first_line, const std::string& file, Channel& c) {
  std::string_view line;
  bool have_acc = false;
  while (lines.peek(line) && text::find_nocase(line, "(Format v") == std::string_view::npos) {
    lines.next(line);
    if (text::trim(line).empty() || text::starts_with_nocase(text::trim(line), "End-of-data")) continue;
    BlockHead b;
    if (Problem p = block_head(line, lines.number(), file, b); !p.ok()) return p;
    if (!b.acceleration) {
      const std::size_t per = static_cast<std::size_t>(b.format.per_line);
      Problem p = text::skip_lines(lines, (b.count + per - 1) / per, file, "the file ends inside a data block");
      if (!p.ok()) return p;
      continue;
    }
    if (have_acc) return malformed(file, lines.number(), "a second acceleration block in one channel");
    have_acc = true;
    if (Problem p = read_acceleration(lines, b, h, file, c); !p.ok()) return p;
  }
  if (!have_acc) return malformed(file, first_line, "the channel " + c.name + " holds no acceleration block");
  return {};
}

/// One channel, from its first line (`line`, just taken) to its last data
/// block, appended to out.channels as the `order`-th (from 0) of the file.
Problem read_channel(Lines& lines, std::string_view line, std::size_t order, const std::string& file,
                     FileContents& out) {
  const std::optional<long long> n_text = text_line_count(line);
  if (!n_text) {
    return malformed(file, lines.number(),
                     "expected a channel's first line \"... (Format v01.20 with 13 text lines)\", found " + quoted(text::trim(line)));
  }
  if (order == 0) take_volume(line, out);
  ChannelHead h;
  const std::size_t first_line = lines.number();
  if (Problem p = read_text_header(lines, *n_text, file, out, h); !p.ok()) return p;
  if (Problem p = header_block(lines, "Integer-header", 10000, file, h.ints); !p.ok()) return p;
  if (Problem p = header_block(lines, "Real-header", 10000, file, h.reals); !p.ok()) return p;
  if (Problem p = read_comments(lines, file, h); !p.ok()) return p;
  Channel c;
  c.file = file;
  c.order = order;
  if (Problem p = describe(h, first_line, file, c); !p.ok()) return p;
  if (Problem p = read_blocks(lines, h, first_line, file, c); !p.ok()) return p;
  out.channels.push_back(std::move(c));
  return {};
}

}  // namespace

bool is_cosmos(std::string_view head) {
  // "Raw acceleration counts   (Format v01.20 with 13 text lines)"
  const std::optional<std::string_view> first = text::first_line(head);
  if (!first) return false;
  const std::size_t at = text::find_nocase(*first, "(Format v");
  return at != std::string_view::npos && text::find_nocase(first->substr(at), "text lines)") != std::string_view::npos;
}

Problem read_cosmos(std::string_view bytes, const std::string& file, FileContents& out) {
  Lines lines(bytes);
  std::string_view line;
  std::size_t order = 0;
  while (lines.next(line)) {
    if (text::trim(line).empty()) continue;
    if (Problem p = read_channel(lines, line, order, file, out); !p.ok()) return p;
    ++order;
  }
  if (out.channels.empty()) return malformed(file, 1, "no channel in the file");
  return {};
}

}  // namespace wavefft::import
