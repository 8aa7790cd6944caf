// SPDX-License-Identifier: GPL-3.0-or-later
// The CSMIP/CGS Volume 1 and Volume 2 reader of wavefft-import, for the
// current mixed-case layout and the older all-caps CDMG layout.
//
// A file holds every channel of one station, one after the other. Each
// channel has text lines (among them "Station No. 89146 ...", the station
// name on the next line, "Start time:  2/13/12, 21:06:45.0 UTC (GPS)" or
// "TRIGGER TIME: 05/02/83, 16:42:48.2 PDT", and "Chan  1: 360 Deg" with the
// event line after it), integer and real headers, then its data blocks:
//   Volume 1: "13200 Accelerogram points at 200 pts/sec in units of g .
//             Format: (8f9.6)";
//   Volume 2: "12000 points of accel data equally spaced at  .005 sec, in
//             cm/sec2. (8f10.6)", then the same for veloc and displ;
//   older Volume 2: "3251 POINTS OF ACCEL DATA EQUALLY SPACED AT  .020 SEC.
//             (UNITS: CM/SEC/SEC)" with no format: its values are 8 to a
//             line, 10 characters each.
// and "/&  ----------  End of Data for Channel  1  ----------".
//
// The reader walks the lines once. Lines of values (no letter other than
// an exponent letter) outside an acceleration block are passed over, which
// is how velocity and displacement blocks are skipped. Only acceleration
// blocks become channels.
//
// Station: "Station No. 89146 ..." (a CGS station) or "Station Id. WLT
// ..." (a station of another network), with the station's name on the
// next line up to a run of blanks: "89146 Willow Creek", "WLT Hacienda
// Heights".
//
// Event: the line after a "Chan  N:" line holds the event's name and then
// its date, apart by a run of blanks ("COALINGA EARTHQUAKE     MAY 2,
// 1983 16:42 PDT"). For an event without a name the name field says
// "Record of" or "Rcrd of" and the record's date, which the date field
// repeats ("Rcrd of Fri Mar 28, 2014 21:09:34.0 PDT    Fri Mar 28, 2014
// 21:09:34.0 PDT"): the date is then taken once.
//
// Start time: a Volume 1 holds the whole record, so its first sample is at
// the printed start time; a Volume 2 is cut by its processing and the file
// does not say where its first sample lies, so it gets no start_ns. Times
// in PDT (UTC-7) and PST (UTC-8) are converted to UTC; any other zone word
// than UTC/GMT leaves start_ns unset. A two-digit year takes its century
// from a four-digit year with the same last two digits in the file's text
// lines ("Mon Feb 13, 2012"); with none, start_ns stays unset.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "import/fixedvol.h"
#include "import/formats.h"
#include "import/sampling_words.h"
#include "import/unit_text.h"
#include "import/value_blocks.h"

namespace wavefft::import {

namespace {

using namespace fixedvol::vocabulary;

/// "Chan  1: 360 Deg   Location: Roof" -> number 1, "360 Deg", "Roof".
struct ChanLine {
  long long number = 0;
  std::string orientation, location;
};
std::optional<ChanLine> chan_line(std::string_view line) {
  if (!text::starts_with_nocase(line, "Chan")) return std::nullopt;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<long long> n = common::to_integer(text::trim(line.substr(4, colon - 4)));
  if (!n) return std::nullopt;
  ChanLine c;
  c.number = *n;
  std::string_view rest = line.substr(colon + 1);
  const std::size_t loc = text::find_nocase(rest, "Location:");
  if (loc != std::string_view::npos) {
    c.location = std::string(trim(rest.substr(loc + 9)));
    rest = rest.substr(0, loc);
  }
  c.orientation = std::string(trim(rest));
  return c;
}

/// The event as the line after "Chan  N:" gives it: the whole line,
/// blanks trimmed, or only its name field when the date field after the
/// run of blanks repeats the name field's end. "Record of Mon Feb 13, 2012
/// 13:06:45.0 PST    Mon Feb 13, 2012 13:06:45.0 PST" -> "Record of Mon
/// Feb 13, 2012 13:06:45.0 PST".
std::string event_of(std::string_view line) {
  const std::string_view t = trim(line);
  const std::size_t gap = t.find("   ");
  if (gap == std::string_view::npos) return std::string(t);
  const std::string_view name = t.substr(0, gap), date = trim(t.substr(gap));
  return std::string(name.ends_with(date) ? name : t);
}

/// The station code after "Station No." or "Station Id." at the start of
/// `line` ("Station Id. WLT     34.009N" -> "WLT"); nullopt for any other line.
std::optional<std::string_view> station_code(std::string_view line) {
  for (const std::string_view label : {"Station No.", "Station Id."}) {
    if (text::starts_with_nocase(line, label)) return first_word(line.substr(label.size()));
  }
  return std::nullopt;
}

/// A four-digit year 1900..2099 in `line` whose last two digits are `yy`.
std::optional<long long> year_with(std::string_view line, long long yy) {
  for (std::size_t i = 0; i + 4 <= line.size(); ++i) {
    const bool edge_before = i == 0 || !std::isdigit(static_cast<unsigned char>(line[i - 1]));
    const bool edge_after = i + 4 == line.size() || !std::isdigit(static_cast<unsigned char>(line[i + 4]));
    if (!edge_before || !edge_after) continue;
    const std::optional<long long> y = common::to_integer(text::trim(line.substr(i, 4)));
    if (y && *y >= 1900 && *y <= 2099 && *y % 100 == yy && line[i] != '+' && line[i] != '-' && line[i] != ' ') return y;
  }
  return std::nullopt;
}

/// "2/13/12, 21:06:45.0 UTC (GPS)" -> the fields and the zone offset, or
/// nullopt when any is missing. The century is left for the caller.
struct StartTime {
  long long month = 0, day = 0, yy = 0, hour = 0, minute = 0;
  double second = 0.0;
  int offset_minutes = 0;
};
std::optional<StartTime> parse_start(std::string_view t) {
  // Split at '/', ',', ':' and blanks: "2","13","12","21","06","45.0","UTC".
  std::string_view parts[8];
  std::size_t k = 0, i = 0;
  while (i < t.size() && k < 8) {
    while (i < t.size() && (t[i] == '/' || t[i] == ',' || t[i] == ':' || t[i] == ' ')) ++i;
    const std::size_t s = i;
    while (i < t.size() && t[i] != '/' && t[i] != ',' && t[i] != ':' && t[i] != ' ') ++i;
    if (i > s) parts[k++] = t.substr(s, i - s);
  }
  if (k < 7) return std::nullopt;
  StartTime st;
  const auto integer = [](std::string_view part) { return common::to_integer(trim(part)); };
  const auto mo = integer(parts[0]), d = integer(parts[1]), y = integer(parts[2]), h = integer(parts[3]),
             mi = integer(parts[4]);
  const auto s = common::to_number(parts[5], common::kFortranField);
  if (!mo || !d || !y || !h || !mi || !s || *y < 0 || *y > 99) return std::nullopt;
  const std::string_view zone = parts[6];
  auto is = [&](std::string_view w) { return zone.size() == w.size() && text::starts_with_nocase(zone, w); };
  if (is("UTC") || is("GMT")) st.offset_minutes = 0;
  else if (is("PDT")) st.offset_minutes = -7 * 60;
  else if (is("PST")) st.offset_minutes = -8 * 60;
  else return std::nullopt;
  st.month = *mo;
  st.day = *d;
  st.yy = *y;
  st.hour = *h;
  st.minute = *mi;
  st.second = *s;
  return st;
}

/// A data block line, Volume 1 or 2, or nullopt when the line is not one.
struct BlockHead {
  bool acceleration = false;
  bool volume1 = false;
  std::string_view count_text, interval_text, unit_text;
  std::optional<text::FixedFormat> format;
};
std::optional<BlockHead> block_head(std::string_view line) {
  BlockHead b;
  if (const auto v1 = after(line, "Accelerogram points at")) {
    // " 13200 Accelerogram points at 200 pts/sec in units of g .      Format: (8f9.6)"
    b.acceleration = b.volume1 = true;
    b.count_text = first_word(line);
    b.interval_text = first_word(*v1);
    if (const auto u = after(*v1, "units of")) b.unit_text = first_word(*u);
    if (const auto f = after(line, "Format")) b.format = text::parse_fixed_format(*f);
    return b;
  }
  const std::size_t at = text::find_nocase(line, "points of ");
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view what = line.substr(at + 10);
  const bool accel = text::starts_with_nocase(what, "accel data");
  if (!accel && !text::starts_with_nocase(what, "veloc data") && !text::starts_with_nocase(what, "displ data")) {
    return std::nullopt;
  }
  b.acceleration = accel;
  b.count_text = first_word(line);
  if (const auto dt = after(what, "spaced at")) b.interval_text = first_word(*dt);
  if (const auto old_unit = after(what, "(UNITS:")) {
    // "(UNITS: CM/SEC/SEC)": the older layout, 8 values of 10 characters.
    b.unit_text = trim(old_unit->substr(0, old_unit->find(')')));
    b.format = text::FixedFormat{8, 10, 'F'};
  } else {
    // "sec, in cm/sec2. (8f10.6)" -> "cm/sec2.", (8f10.6).
    if (const auto u = after(what, "sec, in ")) b.unit_text = first_word(*u);
    if (const std::size_t open = what.rfind('('); open != std::string_view::npos) {
      b.format = text::parse_fixed_format(what.substr(open));
    }
  }
  return b;
}

/// What the walk over a file's lines has met so far.
struct Walk {
  std::optional<ChanLine> chan;           // the last "Chan  N:" line
  bool event_next = false;                // the next text line holds the event
  bool station_name_next = false;         // the next text line holds the station's name
  bool volume1 = false, volume2 = false;  // blocks of either volume met
  bool old_layout = false;                // the first line holds no lower-case letter
  std::string station_no, station_name;
  std::optional<StartTime> start;
  std::optional<long long> century_year;  // a four-digit year ending in start->yy
  std::size_t order = 0;                  // channels made so far
};

/// True when `line` holds no lower-case letter, as every line of the older
/// layout: "CORRECTED ACCELEROGRAM" -> true.
bool all_caps(std::string_view line) {
  for (const char ch : line) {
    if (ch >= 'a' && ch <= 'z') return false;
  }
  return true;
}

/// The station's name on the line after its code, up to a run of blanks:
/// "Willow Creek                              CGS" -> "Willow Creek".
std::string station_name_of(std::string_view line) {
  const std::string_view t = trim(line);
  return std::string(trim(t.substr(0, std::min(t.find("  "), t.size()))));
}

/// The start time as printed, from "Start time: ..." or the older "TRIGGER
/// TIME: ...", into out.start_text and read into w.start.
void take_start(std::string_view line, Walk& w, FileContents& out) {
  std::optional<std::string_view> t = after(line, "Start time:");
  if (!t) t = after(line, "TRIGGER TIME:");
  if (t) {
    out.start_text = std::string(trim(*t));
    w.start = parse_start(trim(*t));
  }
}

/// What a line of text (line `number`, not a line of values) tells the
/// walk: the layout, the station, the event, the start and its century,
/// the channel. True when the line is a station or "Chan  N:" line, which
/// holds nothing more.
bool take_text_line(std::string_view line, std::size_t number, Walk& w, FileContents& out) {
  if (number == 1) w.old_layout = all_caps(line);
  if (w.station_name_next) {
    w.station_name = station_name_of(line);
    w.station_name_next = false;
  }
  if (w.event_next) {
    if (out.event.empty()) out.event = event_of(line);
    w.event_next = false;
  }
  if (const std::optional<std::string_view> code = station_code(line); code && w.station_no.empty()) {
    w.station_no = std::string(*code);
    w.station_name_next = true;
    return true;
  }
  if (!w.start && out.start_text.empty()) take_start(line, w, out);
  if (w.start && !w.century_year) w.century_year = year_with(line, w.start->yy);
  if (const std::optional<ChanLine> c = chan_line(line)) {
    if (!w.chan || w.chan->number != c->number) w.event_next = true;
    w.chan = c;
    return true;
  }
  return false;
}

/// An acceleration block's line (`line`, line `at`) checked: its count, its
/// interval (a Volume 1's rate turned into one: 200 pts/sec -> 1.0 /
/// 200.0 s), its unit and its layout.
struct Block {
  std::size_t count = 0;
  double dt = 0.0;
  Unit unit = Unit::none;
  text::FixedFormat format;
};
Problem check_block(const BlockHead& b, std::string_view line, std::size_t at, const std::string& file, Block& k) {
  const std::optional<std::size_t> count = fixedvol::sample_count_of(b.count_text);
  if (!count) return malformed(file, at, "the point count is not a count up to 100000000: " + quoted(b.count_text));
  // A rate (Volume 1) or an interval, either above 0 and below 1e6.
  const std::optional<double> interval = text::sampling_number(b.interval_text);
  if (!interval) {
    return malformed(file, at, std::string(b.volume1 ? "the sampling rate" : "the sampling interval") +
                                   " is not a positive number: " + quoted(b.interval_text));
  }
  const std::optional<Unit> unit = unit_from_text(b.unit_text, UnitConvention::volume);
  if (!unit) return malformed(file, at, "unknown unit " + quoted(b.unit_text));
  if (!b.format) return malformed(file, at, "the block line gives no value format such as (8f10.6): " + quoted(trim(line)));
  k = Block{*count, b.volume1 ? 1.0 / *interval : *interval, *unit, *b.format};
  return {};
}

/// The channel of a checked block of the channel that w.chan names: its
/// name and direction, its placement, dt and unit, and for a Volume 1 the
/// start (a Volume 2's first sample is not at the printed start).
Channel block_channel(const Block& k, bool volume1, const Walk& w, const std::string& file) {
  Channel c;
  c.file = file;
  c.name = w.chan->orientation;
  c.order = w.order;
  fixedvol::orient(w.chan->orientation, c);
  // No Location, "Ground" or "Free field" -> free field; "Roof" -> not.
  fixedvol::place(w.chan->location, c);
  c.dt = k.dt;
  c.unit = k.unit;
  // The text lines before the block hold the year; look ahead no further.
  if (volume1 && w.start && w.century_year) {
    c.start_ns = fixedvol::civil_to_ns(*w.century_year, w.start->month, w.start->day, w.start->hour, w.start->minute,
                                       w.start->second, w.start->offset_minutes);
  }
  return c;
}

/// The acceleration block whose line `b` describes (`line`, just taken):
/// one channel with its values, appended to out.channels.
Problem read_block(Lines& lines, std::string_view line, const BlockHead& b, Walk& w, const std::string& file,
                   FileContents& out) {
  // "13200 Accelerogram points at 200 pts/sec ...".
  const std::size_t at = lines.number();
  if (!w.chan) return malformed(file, at, "an acceleration block before any \"Chan  N:\" line");
  Block k;
  if (Problem p = check_block(b, line, at, file, k); !p.ok()) return p;
  Channel c = block_channel(k, b.volume1, w, file);
  ++w.order;
  (b.volume1 ? w.volume1 : w.volume2) = true;
  Problem p = text::read_fixed_block(lines, k.format, k.count, 1.0, true, file, c.values);
  if (!p.ok()) return fixedvol::in_block(std::move(p), "Chan " + std::to_string(w.chan->number) + " acceleration");
  out.channels.push_back(std::move(c));
  return {};
}

/// What the whole file is, once every line is read: the layout and volume
/// ("CSMIP/CGS Volume 2", "CDMG Volume 1"), its level, and the station as
/// code and name ("89146 Willow Creek").
void describe_file(const Walk& w, FileContents& out) {
  out.format = std::string(w.old_layout ? "CDMG" : "CSMIP/CGS") + (w.volume1 && !w.volume2 ? " Volume 1" : " Volume 2");
  out.level = w.volume1 && !w.volume2 ? Level::raw : Level::corrected;
  out.station = w.station_name.empty() ? w.station_no : w.station_no + " " + w.station_name;
}

}  // namespace

bool is_csmip(std::string_view head) {
  // Volume 1: "Uncorrected Accelerogram Data ..."; Volume 2: "Corrected
  // accelerogram ..." then "Uncorrected Accelerogram Data ..." (either case).
  // Other Volume 1 layouts open with the same words (RENADIC), so a block
  // line of this layout must follow within the head: "13200 Accelerogram
  // points at ..." (line 28 of a Volume 1) or "12000 points of instrument-
  // and baseline-corrected ..." (line 16 of a Volume 2).
  Lines lines(head);
  std::string_view first, second;
  if (!lines.next(first)) return false;
  const bool opens = text::starts_with_nocase(first, "Uncorrected Accelerogram Data") ||
                     (text::starts_with_nocase(first, "Corrected accelerogram") && lines.next(second) &&
                      text::starts_with_nocase(second, "Uncorrected Accelerogram Data"));
  return opens && (text::find_nocase(head, "Accelerogram points at") != std::string_view::npos ||
                   text::find_nocase(head, "points of instrument-") != std::string_view::npos);
}

Problem read_csmip(std::string_view bytes, const std::string& file, FileContents& out) {
  Lines lines(bytes);
  std::string_view line;
  Walk w;
  while (lines.next(line)) {
    if (!fixedvol::has_word_letter(line)) continue;  // values outside an acceleration block
    if (take_text_line(line, lines.number(), w, out)) continue;
    const std::optional<BlockHead> b = block_head(line);
    if (!b || !b->acceleration) continue;
    if (Problem p = read_block(lines, line, *b, w, file, out); !p.ok()) return p;
  }
  if (out.channels.empty()) return malformed(file, lines.number(), "no acceleration block in the file");
  describe_file(w, out);
  return {};
}

}  // namespace wavefft::import
