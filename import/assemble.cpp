// Component assembly of wavefft-import (the steps are listed in assemble.h).
#include "import/assemble.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>

namespace wavefft::import {

namespace {

bool is_acceleration(Unit u) { return u == Unit::g || u == Unit::gal || u == Unit::m_s2 || u == Unit::mm_s2; }

// The size of an acceleration unit in mm/s^2, as an exact decimal: the
// ratio between two units is always an exact decimal >= 1 in one direction.
// g -> 9806.65, gal -> 10, m_s2 -> 1000, mm_s2 -> 1.
struct Ratio {
  bool multiply;  // true: towards the smaller unit
  double factor;  // >= 1, the decimal ratio rounded once
};

Ratio ratio(Unit from, Unit to) {
  // Each pair written out so that every factor is one correctly rounded
  // decimal literal, never a product of two.
  // g -> gal: multiply by 980.665; gal -> g: divide by 980.665.
  auto pair = [](Unit a, Unit b, Unit x, Unit y) { return a == x && b == y; };
  struct Entry {
    Unit big, small;
    double factor;
  };
  static constexpr Entry kTable[] = {
      {Unit::g, Unit::gal, 980.665},    {Unit::g, Unit::m_s2, 9.80665}, {Unit::g, Unit::mm_s2, 9806.65},
      {Unit::m_s2, Unit::gal, 100.0},   {Unit::m_s2, Unit::mm_s2, 1000.0}, {Unit::gal, Unit::mm_s2, 10.0},
  };
  for (const Entry& e : kTable) {
    if (pair(from, to, e.big, e.small)) return {true, e.factor};
    if (pair(from, to, e.small, e.big)) return {false, e.factor};
  }
  return {true, 1.0};
}

// Blanks removed and letters in upper case: "Gilroy - Gavilan" == "GILROY-GAVILAN".
std::string station_key(std::string_view s) {
  std::string k;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isspace(u) == 0) k.push_back(static_cast<char>(std::toupper(u)));
  }
  return k;
}

Problem fail(Status s, const std::string& file, std::string text) { return Problem{s, file, 0, std::move(text)}; }

std::string label(const Channel& c) { return c.seed_id.empty() ? c.name : c.seed_id; }

// Step 2 for one channel in counts: the covering response, applied.
Problem apply_response(Channel& c, const std::vector<FileContents>& files) {
  if (c.seed_id.empty()) {
    // a COSMOS Volume 0 channel without a factor -> refused
    return fail(Status::no_factor, c.file,
                "channel " + c.name + " holds raw counts and the file gives no scale factor");
  }
  const ResponseEpoch* found = nullptr;
  for (const FileContents& f : files) {
    for (const ResponseEpoch& e : f.responses) {
      if (e.seed_id != c.seed_id) continue;
      const bool covers = !c.start_ns || (*c.start_ns >= e.start_ns && *c.start_ns <= e.end_ns);
      if (covers) {
        found = &e;
        break;
      }
    }
    if (found != nullptr) break;
  }
  if (found == nullptr) {
    return fail(Status::no_factor, c.file,
                "channel " + c.seed_id +
                    " holds raw counts and no StationXML response covers its start; give its StationXML file too");
  }
  if (!is_acceleration(found->input_unit)) {
    return fail(Status::no_factor, c.file,
                "the StationXML response of " + c.seed_id + " is not in an acceleration unit (it gives " +
                    unit_word(found->input_unit) + ")");
  }
  if (!std::isfinite(found->sensitivity) || found->sensitivity == 0.0) {
    return fail(Status::no_factor, c.file,
                "the StationXML sensitivity of " + c.seed_id + " is " + number_text(found->sensitivity));
  }
  // counts 1000, sensitivity -500 -> -2 (a negative sensitivity flips the sign)
  for (double& v : c.values) v /= found->sensitivity;
  c.factor /= found->sensitivity;
  c.unit = found->input_unit;
  if (found->dip && (std::fabs(*found->dip) == 90.0)) {
    // dip -90 (up) or +90 (down) -> vertical
    c.vertical = true;
    c.azimuth.reset();
  } else if (found->dip || found->azimuth) {
    // dip 0, azimuth 90 -> horizontal at 90
    c.vertical = false;
    if (found->azimuth && std::isfinite(*found->azimuth)) {
      double az = std::fmod(*found->azimuth, 360.0);
      if (az < 0.0) az += 360.0;
      if (az >= 360.0) az = 0.0;
      c.azimuth = az;
    }
  }
  return {};
}

// min(az, 360 - az): 350 -> 10, 90 -> 90, 270 -> 90.
double north_distance(double az) { return std::min(az, 360.0 - az); }

bool dt_equal(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(a, b); }

}  // namespace

const char* unit_word(Unit u) {
  switch (u) {
    case Unit::none: return "none";
    case Unit::counts: return "counts";
    case Unit::g: return "g";
    case Unit::gal: return "gal";
    case Unit::m_s2: return "m_s2";
    case Unit::mm_s2: return "mm_s2";
  }
  return "none";
}

std::optional<Unit> parse_unit(const std::string& word) {
  for (Unit u : {Unit::g, Unit::gal, Unit::m_s2, Unit::mm_s2}) {
    if (word == unit_word(u)) return u;
  }
  return std::nullopt;
}

double convert_unit(double value, Unit from, Unit to) {
  if (from == to) return value;
  const Ratio r = ratio(from, to);
  return r.multiply ? value * r.factor : value / r.factor;
}

Problem assemble(std::vector<FileContents>& files, const AssembleOptions& options, Record& out) {
  const std::string first_file = [&] {
    for (const FileContents& f : files) {
      for (const Channel& c : f.channels) return c.file;
    }
    return std::string();
  }();

  // 1. One station.
  std::string station_file, station;
  for (const FileContents& f : files) {
    if (f.channels.empty() || f.station.empty()) continue;
    if (station.empty()) {
      station = f.station;
      station_file = f.channels.front().file;
    } else if (station_key(f.station) != station_key(station)) {
      return fail(Status::mixed_files, f.channels.front().file,
                  "station " + f.station + " is not the station " + station + " of " + station_file);
    }
  }

  // 2. Factors and units. A channel that cannot get a unit only fails the
  // import if it is chosen (step 4): its problem waits in `pending`.
  std::vector<std::pair<const Channel*, Problem>> pending;
  for (FileContents& f : files) {
    for (Channel& c : f.channels) {
      if (c.unit == Unit::counts) {
        if (Problem p = apply_response(c, files); !p.ok()) pending.emplace_back(&c, std::move(p));
      } else if (c.unit == Unit::none) {
        if (options.source_unit) {
          c.unit = *options.source_unit;
        } else {
          pending.emplace_back(&c, fail(Status::no_unit, c.file,
                                        "channel " + label(c) +
                                            " does not state its unit; give it with --source-unit g|gal|m_s2|mm_s2"));
        }
      }
    }
  }

  // 3. Candidates, in file order.
  std::vector<Channel*> candidates;
  if (!options.channels.empty()) {
    for (const std::string& want : options.channels) {
      bool matched = false;
      for (FileContents& f : files) {
        for (Channel& c : f.channels) {
          if (c.name != want && (c.seed_id.empty() || c.seed_id != want)) continue;
          matched = true;
          if (std::find(candidates.begin(), candidates.end(), &c) == candidates.end()) candidates.push_back(&c);
        }
      }
      if (!matched) return fail(Status::bad_channels, first_file, "--channels names " + want + ", which no file holds");
    }
    // back to file order, whatever order --channels gave
    std::vector<Channel*> ordered;
    for (FileContents& f : files) {
      for (Channel& c : f.channels) {
        if (std::find(candidates.begin(), candidates.end(), &c) != candidates.end()) ordered.push_back(&c);
      }
    }
    candidates = std::move(ordered);
  } else {
    for (FileContents& f : files) {
      for (Channel& c : f.channels) {
        if (c.surface) candidates.push_back(&c);
      }
    }
  }

  // 4. Choice.
  Channel* vertical = nullptr;
  std::vector<Channel*> horizontals;
  for (Channel* c : candidates) {
    if (c->vertical) {
      if (vertical == nullptr) vertical = c;
    } else {
      horizontals.push_back(c);
    }
  }
  // When the choice fails and a candidate still waits for its unit or
  // factor, that is the cause to report (its orientation may come with it).
  auto cause = [&](Problem choice) {
    for (const auto& [channel, problem] : pending) {
      if (std::find(candidates.begin(), candidates.end(), channel) != candidates.end()) return problem;
    }
    return choice;
  };
  if (horizontals.size() < 2) {
    std::string text = horizontals.empty() ? "no horizontal component" : "only one horizontal component (" + horizontals[0]->name + ")";
    return cause(fail(Status::too_few_horizontals, first_file, text + " among the channels given; a record needs two"));
  }
  if (vertical == nullptr && !options.zero_vertical) {
    return cause(fail(Status::no_vertical, first_file,
                      "no vertical component among the channels given (--zero-vertical writes zeros instead)"));
  }
  const bool all_azimuths =
      std::all_of(horizontals.begin(), horizontals.end(), [](const Channel* c) { return c->azimuth.has_value(); });
  if (all_azimuths) {
    // 337, 67 -> 337 (23 from north) first; 315, 45 -> 45 first (tie)
    std::stable_sort(horizontals.begin(), horizontals.end(), [](const Channel* a, const Channel* b) {
      const double da = north_distance(*a->azimuth), db = north_distance(*b->azimuth);
      if (da != db) return da < db;
      return *a->azimuth < *b->azimuth;
    });
  }
  // Value 2: the next horizontal in rank that is not parallel to value 1
  // (a Volume 1 and a Volume 2 of one record both hold a 360: 360, 360, 90
  // -> 360 and 90).
  Channel* second = horizontals[1];
  if (all_azimuths) {
    second = nullptr;
    for (std::size_t i = 1; i < horizontals.size() && second == nullptr; ++i) {
      const double apart = std::fmod(std::fabs(*horizontals[i]->azimuth - *horizontals[0]->azimuth), 180.0);
      if (apart != 0.0) second = horizontals[i];
    }
    if (second == nullptr) {
      return cause(fail(Status::too_few_horizontals, first_file,
                        "every horizontal component points along " + number_text(*horizontals[0]->azimuth) +
                            " degrees; a record needs two directions"));
    }
  }
  std::vector<Channel*> chosen{horizontals[0], second};
  if (vertical != nullptr) chosen.push_back(vertical);

  // A chosen channel without a unit or factor: its problem, the first in
  // file order.
  for (const auto& [channel, problem] : pending) {
    if (std::find(chosen.begin(), chosen.end(), channel) != chosen.end()) return problem;
  }

  // 5. Sampling.
  for (const Channel* c : chosen) {
    if (!std::isfinite(c->dt) || c->dt <= 0.0) {
      return fail(Status::malformed, c->file, "channel " + label(*c) + " has the sampling interval " + number_text(c->dt));
    }
    if (c->values.empty()) return fail(Status::truncated, c->file, "channel " + label(*c) + " holds no samples");
  }
  for (const Channel* c : chosen) {
    if (!dt_equal(c->dt, chosen[0]->dt)) {
      return fail(Status::mismatched_dt, c->file,
                  "channel " + label(*c) + " has dt " + number_text(c->dt) + " s, channel " + label(*chosen[0]) +
                      " has " + number_text(chosen[0]->dt) + " s");
    }
    for (std::size_t i = 0; i < c->values.size(); ++i) {
      if (!std::isfinite(c->values[i])) {
        return fail(Status::malformed, c->file,
                    "sample " + std::to_string(i + 1) + " of channel " + label(*c) + " is not a finite number");
      }
    }
  }
  const double dt = chosen[0]->dt;

  // 6. Alignment on absolute start times.
  std::vector<std::size_t> skip(chosen.size(), 0);
  const bool timed = std::all_of(chosen.begin(), chosen.end(), [](const Channel* c) { return c->start_ns.has_value(); });
  if (timed) {
    std::int64_t latest = *chosen[0]->start_ns;
    for (const Channel* c : chosen) latest = std::max(latest, *c->start_ns);
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      // start 0, latest 12 ms, dt 5 ms -> skip 2 samples (2.4 rounded)
      const double gap = static_cast<double>(latest) - static_cast<double>(*chosen[k]->start_ns);
      const double samples = std::nearbyint(gap * 1e-9 / dt);
      if (!(samples < static_cast<double>(chosen[k]->values.size()))) {
        return fail(Status::no_overlap, chosen[k]->file,
                    "channel " + label(*chosen[k]) + " ends before channel " +
                        label(**std::max_element(chosen.begin(), chosen.end(), [](const Channel* a, const Channel* b) {
                          return *a->start_ns < *b->start_ns;
                        })) +
                        " starts; the components share no common time span");
      }
      skip[k] = static_cast<std::size_t>(samples);
    }
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      if (skip[k] > 0) {
        out.notes.push_back("dropped the first " + std::to_string(skip[k]) + " samples of " + label(*chosen[k]) +
                            " to start it with the others");
      }
    }
  }

  // 7. Length.
  std::size_t shortest = SIZE_MAX, longest = 0;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    const std::size_t n = chosen[k]->values.size() - skip[k];
    shortest = std::min(shortest, n);
    longest = std::max(longest, n);
  }
  const std::size_t length = options.pad ? longest : shortest;
  if (shortest != longest) {
    std::string counts;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      if (k > 0) counts += k + 1 == chosen.size() ? " and " : ", ";
      counts += label(*chosen[k]) + " " + std::to_string(chosen[k]->values.size() - skip[k]);
    }
    out.notes.push_back("the components have " + counts + " samples; " +
                        (options.pad ? "padded with zeros to " : "trimmed to ") + std::to_string(length));
  }

  // 8. Units, and the record.
  out.unit = options.unit ? *options.unit : chosen[0]->unit;
  out.dt = dt;
  out.event.clear();
  out.station = station;
  for (const FileContents& f : files) {
    if (!f.event.empty()) {
      out.event = f.event;
      break;
    }
  }
  for (const FileContents& f : files) {
    if (out.station.empty() && !f.station.empty()) out.station = f.station;
  }
  const std::size_t slot[3] = {0, 1, 2};
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    Channel& c = *chosen[k];
    if (!is_acceleration(c.unit)) {
      return fail(Status::no_unit, c.file, std::string("channel ") + label(c) + " is in " + unit_word(c.unit) +
                                               ", not an acceleration unit");
    }
    Component& comp = out.components[slot[k]];
    comp.name = c.name.empty() ? label(c) : c.name;
    comp.file = c.file;
    std::vector<double> v = std::move(c.values);
    if (skip[k] > 0) v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(skip[k]));
    v.resize(length, 0.0);
    if (c.unit != out.unit) {
      const Ratio r = ratio(c.unit, out.unit);
      // gal -> g: 980.665 gal -> 1 g, one division per value
      if (r.multiply) {
        for (double& x : v) x *= r.factor;
      } else {
        for (double& x : v) x /= r.factor;
      }
      for (std::size_t i = 0; i < v.size(); ++i) {
        if (!std::isfinite(v[i])) {
          return fail(Status::malformed, c.file, "sample " + std::to_string(i + skip[k] + 1) + " of channel " +
                                                     label(c) + " overflows in " + unit_word(out.unit));
        }
      }
    }
    comp.values = std::move(v);
  }
  if (vertical == nullptr) {
    out.components[2].name = "ZERO";
    out.components[2].file.clear();
    out.components[2].values.assign(length, 0.0);
    out.notes.push_back("no vertical component: value 11 is zero throughout (--zero-vertical)");
  }
  return {};
}

std::string number_text(double v) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.10g", v);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(std::min(n, 63))) : std::string("?");
}

}  // namespace wavefft::import
