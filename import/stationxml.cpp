// SPDX-License-Identifier: GPL-3.0-or-later
// StationXML 1.0 and 1.1 through pugixml (the only file of wavefft-import
// that includes its header).
//
// Each Network/Station/Channel element is one epoch of one channel and gives
// one ResponseEpoch: seed_id from the codes, the epoch from the Channel's
// startDate/endDate, the overall sensitivity and its input unit from
// Response/InstrumentSensitivity, and the orientation from Azimuth and Dip.
// Elements are matched by local name, so a namespace prefix ("fsx:Channel")
// and either version's namespace are read alike.
//
// Choices:
// - Dates are ISO 8601: YYYY-MM-DD, optionally THH:MM:SS with a fraction
//   (digits past the ns are dropped) and a zone (Z or +-HH:MM; none means
//   UTC). A date outside the int64 ns range (about 1677..2262, e.g. the
//   common "3000-01-01" or "2599-12-31" ends) saturates to the open end.
// - A Channel without Response/InstrumentSensitivity/Value gives no epoch (a
//   state-of-health channel, say); the assembly then reports no_factor for
//   any data channel that needed it. A document with channels but no
//   sensitivity at all is malformed, as is one with no Channel.
// - Input units: M/S**2, M/S/S, M/S^2 -> m_s2; CM/S**2, CM/S/S, CM/S^2,
//   GAL -> gal; G -> g (letters compared without case); anything else, e.g.
//   a velocity sensor's M/S, -> Unit::none, which assembly refuses.
// - A sensitivity of 0 or not a finite number is malformed; a negative one
//   is kept (the assembly flips the sign by dividing by it).
// - Azimuth is reduced to [0, 360); Dip is kept as given.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "common/numbers.h"
#include "common/text.h"
#include "import/calendar.h"
#include "import/formats.h"
#include "import/lines.h"
#include "import/orientation.h"
#include "import/unit_text.h"

namespace wavefft::import {
namespace {

using text::fail;

/// "fsx:Channel" -> "Channel"
std::string_view local_name(const char* name) {
  std::string_view s(name);
  const std::size_t colon = s.find(':');
  return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

/// True for an element named `name` under any prefix: <fsx:Channel> is a
/// "Channel".
bool is_element(pugi::xml_node node, std::string_view name) {
  return node.type() == pugi::node_element && local_name(node.name()) == name;
}

/// The first child element named `name`, or an empty node.
pugi::xml_node child(pugi::xml_node parent, std::string_view name) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (is_element(c, name)) return c;
  }
  return {};
}

std::string_view trim(std::string_view s) { return common::trim(s, common::kWhiteSpace); }

/// The 1-based line of a node in the original bytes (0 when unknown).
std::size_t line_of(std::string_view bytes, std::ptrdiff_t offset) {
  if (offset < 0) return 0;
  const auto end = std::min(bytes.size(), static_cast<std::size_t>(offset));
  std::size_t line = 1;
  for (std::size_t i = 0; i < end; ++i) {
    if (bytes[i] == '\n') ++line;
  }
  return line;
}

/// The numbers of the document: a sign either way; beyond the double
/// range a value saturates as a C reader's would (1e-400 -> 0, 1e400 ->
/// inf, which number() then refuses).
constexpr common::NumberGrammar kXmlNumber{.plus_sign = true, .saturate = true};

/// A whole-field finite decimal number ("4.27894E5", " -90 "), or nullopt.
std::optional<double> number(std::string_view text) {
  const std::optional<double> v = common::to_number(trim(text), kXmlNumber);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

/// Digits s[pos, pos + n) as a number, or -1 when any is not a digit.
int digits(std::string_view s, std::size_t pos, std::size_t n) {
  if (pos + n > s.size()) return -1;
  int v = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return -1;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}

/// What to add to a local time of the zone that ends an ISO 8601
/// date-time, s[pos..], for UTC, in seconds: none or "Z" -> 0; "+02:00"
/// (2 h ahead of UTC) -> -7200, "-05:30" -> 19800; nullopt for any other
/// ending.
std::optional<std::int64_t> zone_seconds(std::string_view s, std::size_t pos) {
  if (pos >= s.size()) return 0;
  if ((s[pos] == 'Z' || s[pos] == 'z') && pos + 1 == s.size()) return 0;
  if ((s[pos] != '+' && s[pos] != '-') || pos + 6 != s.size() || s[pos + 3] != ':') return std::nullopt;
  const int zh = digits(s, pos + 1, 2);
  const int zm = digits(s, pos + 4, 2);
  if (zh < 0 || zm < 0 || zh > 23 || zm > 59) return std::nullopt;
  return (s[pos] == '+' ? -1 : 1) * (std::int64_t{zh} * 3600 + zm * 60);
}

/// An ISO 8601 date-time as ns since 1970, saturated to the int64 range;
/// nullopt when the text is not one.
/// "2019-07-06T03:19:23.5Z" -> 1562383163500000000; "3000-01-01T00:00:00" -> INT64_MAX
std::optional<std::int64_t> iso_ns(std::string_view text) {
  const std::string_view s = trim(text);
  const int year = digits(s, 0, 4);
  if (year < 0 || s.size() < 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  const int month = digits(s, 5, 2);
  const int day = digits(s, 8, 2);
  if (month < 1 || month > 12 || day < 1 || day > calendar::days_in_month(year, month)) return std::nullopt;
  std::size_t pos = 10;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::int64_t frac_ns = 0;
  if (pos < s.size() && (s[pos] == 'T' || s[pos] == 't')) {
    hour = digits(s, pos + 1, 2);
    minute = digits(s, pos + 4, 2);
    second = digits(s, pos + 7, 2);
    if (hour < 0 || minute < 0 || second < 0 || s[pos + 3] != ':' || s[pos + 6] != ':') return std::nullopt;
    if (hour > 24 || minute > 59 || second > 60 || (hour == 24 && (minute != 0 || second != 0))) return std::nullopt;
    pos += 9;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
      ++pos;
      const std::size_t start = pos;
      std::int64_t scale = 100000000;
      while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        frac_ns += (s[pos] - '0') * scale;
        scale /= 10;
        ++pos;
      }
      if (pos == start) return std::nullopt;
    }
  }
  const std::optional<std::int64_t> zone = zone_seconds(s, pos);
  if (!zone) return std::nullopt;
  const std::int64_t days = calendar::days_from_civil(year, month, day);
  const std::int64_t seconds = std::int64_t{hour} * 3600 + minute * 60 + second + *zone;
  const auto ns = calendar::checked_ns(days, seconds, frac_ns);
  if (!ns) return year < 1970 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  return ns;
}

std::string_view clip(std::string_view s) { return s.substr(0, 60); }

/// Parses the document into `doc` and finds its root <FDSNStationXML>, of
/// schemaVersion 1.x when it states one.
Problem open_document(std::string_view bytes, const std::string& file, pugi::xml_document& doc, pugi::xml_node& root) {
  const pugi::xml_parse_result parsed = doc.load_buffer(bytes.data(), bytes.size());
  if (!parsed) {
    return fail(file, line_of(bytes, parsed.offset), std::string("not well-formed XML: ") + parsed.description());
  }
  root = doc.document_element();
  if (!root || local_name(root.name()) != "FDSNStationXML") {
    return fail(file, 1,
                "the root element is <" + std::string(clip(root ? root.name() : "")) + ">, not <FDSNStationXML>");
  }
  const std::string_view version = root.attribute("schemaVersion").value();
  if (!version.empty() && version.substr(0, 2) != "1.") {
    return fail(file, line_of(bytes, root.offset_debug()),
                "schemaVersion \"" + std::string(clip(version)) + "\" is not a StationXML 1.x version");
  }
  return {};
}

/// The epoch's ends from the Channel's startDate and endDate; an absent one
/// leaves the epoch open at that end. `line` is the Channel's.
Problem read_dates(pugi::xml_node cha, std::size_t line, const std::string& file, ResponseEpoch& e) {
  for (const char* which : {"startDate", "endDate"}) {
    const pugi::xml_attribute a = cha.attribute(which);
    if (!a) continue;
    const auto t = iso_ns(a.value());
    if (!t) {
      return fail(file, line,
                  std::string("Channel ") + e.seed_id + " " + which + " \"" + std::string(clip(a.value())) +
                      "\" is not an ISO 8601 date-time");
    }
    (std::strcmp(which, "startDate") == 0 ? e.start_ns : e.end_ns) = *t;
  }
  return {};
}

/// The epoch's Dip as given and its Azimuth reduced to [0, 360) (360 -> 0,
/// -90 -> 270), each where the Channel has one.
Problem read_direction(pugi::xml_node cha, std::string_view bytes, const std::string& file, ResponseEpoch& e) {
  for (const char* which : {"Azimuth", "Dip"}) {
    const pugi::xml_node n = child(cha, which);
    if (!n) continue;
    const auto v = number(n.child_value());
    if (!v) {
      return fail(file, line_of(bytes, n.offset_debug()),
                  std::string("Channel ") + e.seed_id + " " + which + " \"" + std::string(clip(n.child_value())) +
                      "\" is not a number");
    }
    if (std::strcmp(which, "Dip") == 0) {
      e.dip = *v;
    } else {
      const double az = text::reduce_azimuth(*v);
      e.azimuth = az;
    }
  }
  return {};
}

/// The overall sensitivity from Response/InstrumentSensitivity and its
/// input unit ("M/S**2" -> m_s2, "cm/s/s" -> gal, "G" -> g, "M/S" ->
/// none); `found` is false, and the epoch not to be kept, when the Channel
/// states no Value.
Problem read_sensitivity(pugi::xml_node cha, std::string_view bytes, const std::string& file, ResponseEpoch& e,
                         bool& found) {
  const pugi::xml_node sens = child(child(cha, "Response"), "InstrumentSensitivity");
  const pugi::xml_node value = child(sens, "Value");
  found = static_cast<bool>(value);
  if (!found) return {};
  const auto s = number(value.child_value());
  if (!s || *s == 0.0) {
    return fail(file, line_of(bytes, value.offset_debug()),
                "Channel " + e.seed_id + " InstrumentSensitivity Value \"" +
                    std::string(clip(trim(value.child_value()))) + "\" is not a non-zero number");
  }
  e.sensitivity = *s;
  e.input_unit =
      unit_from_text(child(child(sens, "InputUnits"), "Name").child_value(), UnitConvention::response).value_or(Unit::none);
  return {};
}

/// The response epoch of one Channel of a Station of a Network, appended to
/// out.responses when it gives a sensitivity.
Problem read_channel(pugi::xml_node net, pugi::xml_node sta, pugi::xml_node cha, std::string_view bytes,
                     const std::string& file, FileContents& out) {
  const std::size_t line = line_of(bytes, cha.offset_debug());
  const std::string_view net_code = trim(net.attribute("code").value());
  const std::string_view sta_code = trim(sta.attribute("code").value());
  const std::string_view loc_code = trim(cha.attribute("locationCode").value());
  const std::string_view cha_code = trim(cha.attribute("code").value());
  if (net_code.empty() || sta_code.empty() || cha_code.empty()) {
    return fail(file, line, "Channel \"" + std::string(clip(cha_code)) + "\" lacks a network, station or channel code");
  }
  ResponseEpoch e;
  e.seed_id =
      std::string(net_code) + "." + std::string(sta_code) + "." + std::string(loc_code) + "." + std::string(cha_code);
  if (Problem p = read_dates(cha, line, file, e); !p.ok()) return p;
  if (Problem p = read_direction(cha, bytes, file, e); !p.ok()) return p;
  bool found = false;
  if (Problem p = read_sensitivity(cha, bytes, file, e, found); !p.ok()) return p;
  if (found) out.responses.push_back(std::move(e));
  return {};
}

/// Every Network/Station/Channel under `root`, in document order, counted
/// into `channel_count`; the station is the first Station's code.
Problem read_channels(pugi::xml_node root, std::string_view bytes, const std::string& file, FileContents& out,
                      std::size_t& channel_count) {
  for (pugi::xml_node net = root.first_child(); net; net = net.next_sibling()) {
    if (!is_element(net, "Network")) continue;
    for (pugi::xml_node sta = net.first_child(); sta; sta = sta.next_sibling()) {
      if (!is_element(sta, "Station")) continue;
      if (out.station.empty()) out.station = trim(sta.attribute("code").value());
      for (pugi::xml_node cha = sta.first_child(); cha; cha = cha.next_sibling()) {
        if (!is_element(cha, "Channel")) continue;
        ++channel_count;
        if (Problem p = read_channel(net, sta, cha, bytes, file, out); !p.ok()) return p;
      }
    }
  }
  return {};
}

}  // namespace

bool is_stationxml(std::string_view head) {
  std::string_view s = head;
  if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
  // Skip the declaration, comments, processing instructions and blanks
  // before the root element; the head may end anywhere.
  while (true) {
    s = trim(s);
    if (s.substr(0, 4) == "<!--") {
      const std::size_t end = s.find("-->");
      if (end == std::string_view::npos) return false;
      s.remove_prefix(end + 3);
    } else if (s.substr(0, 2) == "<?" || s.substr(0, 2) == "<!") {
      const std::size_t end = s.find('>');
      if (end == std::string_view::npos) return false;
      s.remove_prefix(end + 1);
    } else {
      break;
    }
  }
  if (s.empty() || s[0] != '<') return false;
  std::size_t end = 1;
  while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end])) && s[end] != '>' && s[end] != '/') ++end;
  const std::string name(s.substr(1, end - 1));
  return local_name(name.c_str()) == "FDSNStationXML";
}

Problem read_stationxml(std::string_view bytes, const std::string& file, FileContents& out) {
  pugi::xml_document doc;
  pugi::xml_node root;
  if (Problem p = open_document(bytes, file, doc, root); !p.ok()) return p;
  std::size_t channel_count = 0;
  if (Problem p = read_channels(root, bytes, file, out, channel_count); !p.ok()) return p;
  if (channel_count == 0) return fail(file, 0, "no Network/Station/Channel element");
  if (out.responses.empty()) {
    return fail(file, 0,
                std::to_string(channel_count) + " Channel elements but none gives Response/InstrumentSensitivity/Value");
  }
  return Problem{};
}

}  // namespace wavefft::import
