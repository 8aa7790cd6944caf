// SPDX-License-Identifier: GPL-3.0-or-later
// PEER NGA .AT2: one component per file.
//
//   line 1  PEER NGA STRONG MOTION DATABASE RECORD
//   line 2  event, date, station, component: "Loma Prieta, 10/18/1989, Gilroy - Gavilan Coll., 67"
//   line 3  ACCELERATION TIME SERIES IN UNITS OF G
//   line 4  "NPTS=   7999, DT=   .0050 SEC," or "7999    0.0050    NPTS, DT"
//   then    NPTS values, free-format E notation, 5 per line (not relied on)
//
// The component is the last comma field of line 2: a number is the azimuth,
// "UP", "DWN", "V" (or a name ending in one of them after a '-') the
// vertical; a name ending in digits ("I-ELC180") gives those digits as the
// azimuth; anything else is a horizontal without azimuth.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"
#include "import/formats.h"
#include "import/orientation.h"
#include "import/unit_text.h"
#include "import/value_blocks.h"
#include "import/words.h"

namespace wavefft::import {

namespace {

using text::fail;

std::string shown(std::string_view s) {
  std::string t(s.substr(0, 80));
  for (char& c : t) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  }
  return t;
}

// The comma fields of line 2, trimmed.
std::vector<std::string_view> comma_fields(std::string_view line) {
  std::vector<std::string_view> f;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    f.push_back(text::trim(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return f;
}

// The component field -> vertical flag and azimuth.
void orient(std::string_view comp, Channel& c) {
  // "67" -> azimuth 67; "360" -> 0
  if (const auto az = common::to_number(comp, common::kFortranField); az && std::isfinite(*az)) {
    c.azimuth = text::reduce_azimuth(*az);
    return;
  }
  // "UP", "DWN", "V", "I-ELCUP" -> vertical
  std::string_view last = comp;
  if (const std::size_t dash = comp.find_last_of("-_"); dash != std::string_view::npos) last = comp.substr(dash + 1);
  for (std::string_view v : {"UP", "DWN", "DN", "V", "VER", "VERT", "Z"}) {
    if (text::equals_nocase(comp, v) || text::equals_nocase(last, v) ||
        (comp.size() > v.size() && v.size() >= 2 && text::equals_nocase(comp.substr(comp.size() - v.size()), v) &&
         (v == "UP" || v == "DWN"))) {
      c.vertical = true;
      return;
    }
  }
  // "I-ELC180" -> azimuth 180
  std::size_t d = comp.size();
  while (d > 0 && comp[d - 1] >= '0' && comp[d - 1] <= '9') --d;
  if (d < comp.size() && comp.size() - d <= 3) {
    if (const auto az = common::to_integer(text::trim(comp.substr(d))); az && *az >= 0 && *az <= 360) {
      c.azimuth = static_cast<double>(*az % 360);
    }
  }
}

// Line 4 -> npts and dt. "NPTS=   7999, DT=   .0050 SEC," and
// "7999    0.0050    NPTS, DT" both give 7999 and 0.005.
bool sampling(std::string_view line, long long& npts, double& dt) {
  const std::size_t at_n = text::find_nocase(line, "NPTS");
  const std::size_t at_d = text::find_nocase(line, "DT");
  if (at_n == std::string_view::npos || at_d == std::string_view::npos) return false;
  auto after_equals = [&](std::size_t at, std::size_t len) -> std::optional<std::string_view> {
    std::string_view rest = text::trim(line.substr(at + len));
    if (rest.empty() || rest.front() != '=') return std::nullopt;
    rest = text::trim(rest.substr(1));
    std::size_t end = 0;
    while (end < rest.size() && rest[end] != ',' && rest[end] != ' ' && rest[end] != '\t') ++end;
    return rest.substr(0, end);
  };
  const auto n_text = after_equals(at_n, 4);
  const auto d_text = after_equals(at_d, 2);
  std::optional<long long> n;
  std::optional<double> d;
  if (n_text && d_text) {
    n = common::to_integer(text::trim(*n_text));
    if (!n) {
      // "NPTS= 7999.0" is seen in some copies
      if (const auto x = common::to_number(*n_text, common::kFortranField); x && *x == std::floor(*x) && *x >= 0 && *x < 1e15) {
        n = static_cast<long long>(*x);
      }
    }
    d = common::to_number(*d_text, common::kFortranField);
  } else {
    // the numbers come first: "7999    0.0050    NPTS, DT"
    const auto words = text::split_words(line.substr(0, std::min(at_n, at_d)));
    if (words.size() < 2) return false;
    n = common::to_integer(text::trim(words[0]));
    d = common::to_number(words[1], common::kFortranField);
  }
  if (!n || !d) return false;
  npts = *n;
  dt = *d;
  return true;
}

}  // namespace

bool is_peer_at2(std::string_view head) {
  text::Lines lines(head);
  std::string_view l1, l2, l3, l4;
  if (!lines.next(l1) || !lines.next(l2) || !lines.next(l3) || !lines.next(l4)) return false;
  return text::find_nocase(l1, "PEER") != std::string_view::npos &&
         text::find_nocase(l3, "TIME SERIES") != std::string_view::npos &&
         text::find_nocase(l4, "NPTS") != std::string_view::npos;
}

Problem read_peer_at2(std::string_view bytes, const std::string& file, FileContents& out) {
  text::Lines lines(bytes);
  std::string_view l1, l2, l3, l4;
  if (!lines.next(l1) || !lines.next(l2) || !lines.next(l3) || !lines.next(l4)) {
    return fail(file, lines.number(), "the file ends inside the four header lines", Status::truncated);
  }
  // line 3: "ACCELERATION TIME SERIES IN UNITS OF G"
  if (text::find_nocase(l3, "ACCELERATION") == std::string_view::npos) {
    return fail(file, 3, "not an acceleration record: \"" + shown(text::trim(l3)) + "\"");
  }
  Channel c;
  c.file = file;
  const std::size_t units_at = text::find_nocase(l3, "UNITS OF");
  const std::string_view unit = units_at == std::string_view::npos ? std::string_view() : text::trim(l3.substr(units_at + 8));
  // "G" -> g; "CM/S/S", "CM/SEC/SEC", "CM/S**2" -> gal; "M/S/S" -> m_s2
  const std::optional<Unit> u = unit_from_text(unit, UnitConvention::peer);
  if (!u) return fail(file, 3, "unit \"" + shown(unit) + "\" is not g, cm/s/s or m/s/s");
  c.unit = *u;

  long long npts = 0;
  if (!sampling(l4, npts, c.dt)) {
    return fail(file, 4, "the sampling line does not give NPTS and DT: \"" + shown(text::trim(l4)) + "\"");
  }
  if (npts <= 0) return fail(file, 4, "NPTS is " + std::to_string(npts) + "; it must be at least 1");
  if (!std::isfinite(c.dt) || c.dt <= 0.0) return fail(file, 4, "DT must be a positive number: \"" + shown(text::trim(l4)) + "\"");
  // Each value takes at least two bytes (a digit and a separator): a count
  // beyond that cannot be in the file.
  const std::string_view rest = lines.rest();
  if (static_cast<unsigned long long>(npts) > rest.size() / 2 + 1) {
    return fail(file, 4, "NPTS " + std::to_string(npts) + " is more than the " + std::to_string(rest.size()) +
                             " bytes after the header can hold", Status::truncated);
  }

  const auto fields = comma_fields(l2);
  // "Loma Prieta, 10/18/1989, Gilroy - Gavilan Coll., 67"
  out.event = std::string(fields[0]);
  if (fields.size() >= 4) {
    out.start_text = std::string(fields[1]);
    out.station = std::string(fields[2]);
  } else if (fields.size() >= 3) {
    out.station = std::string(fields[1]);
  }
  const std::string_view comp = fields.size() >= 2 ? fields.back() : std::string_view();
  c.name = comp.empty() ? std::string("H") : std::string(comp);
  orient(comp, c);

  if (Problem p = text::read_free_block(lines, static_cast<std::size_t>(npts), 1.0, true, file, c.values); !p.ok()) {
    return p;
  }
  c.order = 0;
  out.channels.push_back(std::move(c));
  return {};
}

}  // namespace wavefft::import
