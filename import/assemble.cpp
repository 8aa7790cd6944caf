// SPDX-License-Identifier: GPL-3.0-or-later
// Component assembly of wavefft-import (the steps are listed in assemble.h;
// each has its function here, and assemble() calls them in order).
#include "import/assemble.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

#include "common/numbers.h"
#include "common/units.h"
#include "import/orientation.h"

namespace wavefft::import {

namespace {

/// A channel that cannot get its unit or factor, and why; it fails the
/// import only if it is chosen.
using Pending = std::vector<std::pair<const Channel*, Problem>>;

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

bool contains(const std::vector<Channel*>& list, const Channel* c) {
  return std::find(list.begin(), list.end(), c) != list.end();
}

/// Words joined as a list: {"A"} -> "A", {"A", "B"} -> "A and B",
/// {"A", "B", "C"} -> "A, B and C".
std::string joined(const std::vector<std::string>& words) {
  std::string s;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (k > 0) s += k + 1 == words.size() ? " and " : ", ";
    s += words[k];
  }
  return s;
}

/// The name --channels knows a channel by: its name, else its seed_id.
std::string choice_name(const Channel& c) { return c.name.empty() ? c.seed_id : c.name; }

/// The file of the first channel of any file: what a failure that concerns
/// every file names.
std::string first_channel_file(const std::vector<FileContents>& files) {
  for (const FileContents& f : files) {
    for (const Channel& c : f.channels) return c.file;
  }
  return std::string();
}

// ---- Step 1 ----------------------------------------------------------

/// The one station of the files that name one (the first name as written).
Problem check_station(const std::vector<FileContents>& files, std::string& station) {
  std::string station_file;
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
  return {};
}

// ---- Step 2 ----------------------------------------------------------

/// Step 2 for one channel in counts: the covering response, applied.
Problem apply_response(Channel& c, const std::vector<FileContents>& files) {
  if (c.seed_id.empty()) {
    // a COSMOS Volume 0 channel without a factor -> refused
    return fail(Status::no_factor, c.file,
                "channel " + c.name + " holds raw counts and the file gives no scale factor");
  }
  const ResponseEpoch* found = covering_response(c, files);
  if (found == nullptr) {
    return fail(Status::no_factor, c.file,
                "channel " + c.seed_id +
                    " holds raw counts and no StationXML response covers its start; give its StationXML file too");
  }
  if (!common::is_acceleration(found->input_unit)) {
    return fail(Status::no_factor, c.file,
                "the StationXML response of " + c.seed_id + " is not in an acceleration unit (it gives " +
                    std::string(common::unit_word(found->input_unit)) + ")");
  }
  if (!std::isfinite(found->sensitivity) || found->sensitivity == 0.0) {
    return fail(Status::no_factor, c.file,
                "the StationXML sensitivity of " + c.seed_id + " is " + common::significant(found->sensitivity, 10));
  }
  // counts 1000, sensitivity -500 -> -2 (a negative sensitivity flips the sign)
  for (double& v : c.values) v /= found->sensitivity;
  c.factor /= found->sensitivity;
  c.unit = found->input_unit;
  take_orientation(*found, c);
  return {};
}

/// Factors and units of every channel; what cannot get its unit or factor
/// waits in the result for step 4.
Pending apply_factors(std::vector<FileContents>& files, const AssembleOptions& options) {
  Pending pending;
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
  return pending;
}

// ---- Step 3 ----------------------------------------------------------

/// The channels step 3 leaves for step 4: the candidates, and (without
/// --channels) the borehole and structure sensors it passed over, each in
/// file order.
struct Candidates {
  std::vector<Channel*> chosen_from;
  std::vector<Channel*> not_free_field;
};

/// The candidates: the channels --channels names, else the surface
/// channels (the others go to not_free_field).
Problem choose_candidates(std::vector<FileContents>& files, const AssembleOptions& options,
                          const std::string& first_file, Candidates& out) {
  if (options.channels.empty()) {
    // EW1 (borehole), NS2, EW2 (surface) -> NS2, EW2; EW1 not free-field
    for (FileContents& f : files) {
      for (Channel& c : f.channels) (c.surface ? out.chosen_from : out.not_free_field).push_back(&c);
    }
    return {};
  }
  std::vector<Channel*> named;
  for (const std::string& want : options.channels) {
    bool matched = false;
    for (FileContents& f : files) {
      for (Channel& c : f.channels) {
        if (c.name != want && (c.seed_id.empty() || c.seed_id != want)) continue;
        matched = true;
        if (!contains(named, &c)) named.push_back(&c);
      }
    }
    if (!matched) return fail(Status::bad_channels, first_file, "--channels names " + want + ", which no file holds");
  }
  // back to file order, whatever order --channels gave
  for (FileContents& f : files) {
    for (Channel& c : f.channels) {
      if (contains(named, &c)) out.chosen_from.push_back(&c);
    }
  }
  return {};
}

/// The level of the file that holds channel c.
Level level_of(const Channel* c, const std::vector<FileContents>& files) {
  for (const FileContents& f : files) {
    for (const Channel& in : f.channels) {
      if (&in == c) return f.level;
    }
  }
  return Level::unstated;
}

const char* level_word(Level l) { return l == Level::raw ? "uncorrected" : "corrected"; }

/// Removes from `list` the channels of files at level `drop`; the files of
/// those removed are added to `files_out` (each once, in order).
void drop_level(std::vector<Channel*>& list, Level drop, const std::vector<FileContents>& files,
                std::vector<std::string>& files_out) {
  std::vector<Channel*> kept;
  for (Channel* c : list) {
    if (level_of(c, files) != drop) {
      kept.push_back(c);
    } else if (std::find(files_out.begin(), files_out.end(), c->file) == files_out.end()) {
      files_out.push_back(c->file);
    }
  }
  list = std::move(kept);
}

/// Of candidates from raw and corrected files, those at one level stay:
/// --level's, else the corrected ones with a note. CE89146.V1 (raw) and
/// CE89146.V2 (corrected) -> the channels of CE89146.V2, and the note
/// "used the corrected file CE89146.V2 and left out the uncorrected file
/// CE89146.V1 (--level raw takes it)".
Problem choose_level(Candidates& cand, const std::vector<FileContents>& files, const AssembleOptions& options,
                     const std::string& first_file, std::vector<std::string>& notes) {
  bool raw = false, corrected = false;
  for (const Channel* c : cand.chosen_from) {
    const Level l = level_of(c, files);
    raw = raw || l == Level::raw;
    corrected = corrected || l == Level::corrected;
  }
  if (options.level) {
    if (!(*options.level == Level::raw ? raw : corrected)) {
      return fail(Status::wrong_level, first_file,
                  std::string("--level ") + (*options.level == Level::raw ? "raw" : "corrected") +
                      ": no channel given comes from " +
                      (*options.level == Level::raw ? "an uncorrected file (a Volume 0 or 1)"
                                                    : "a corrected file (a Volume 2)"));
    }
  } else if (!(raw && corrected)) {
    return {};
  }
  const Level keep = options.level ? *options.level : Level::corrected;
  const Level drop = keep == Level::raw ? Level::corrected : Level::raw;
  std::vector<std::string> left, used;
  drop_level(cand.chosen_from, drop, files, left);
  drop_level(cand.not_free_field, drop, files, left);
  if (options.level || left.empty()) return {};
  for (const Channel* c : cand.chosen_from) {
    if (level_of(c, files) == keep && std::find(used.begin(), used.end(), c->file) == used.end()) used.push_back(c->file);
  }
  const auto files_word = [](const std::vector<std::string>& v) { return v.size() == 1 ? " file " : " files "; };
  notes.push_back(std::string("used the ") + level_word(keep) + files_word(used) + joined(used) + " and left out the " +
                  level_word(drop) + files_word(left) + joined(left) + " (--level raw takes " +
                  (left.size() == 1 ? "it" : "them") + ")");
  return {};
}

// ---- Step 4 ----------------------------------------------------------

// min(az, 360 - az): 350 -> 10, 90 -> 90, 270 -> 90.
double north_distance(double az) { return std::min(az, 360.0 - az); }

/// Ranks the horizontals when every one has an azimuth (true then):
/// 337, 67 -> 337 (23 from north) first; 315, 45 -> 45 first (tie).
bool rank_by_azimuth(std::vector<Channel*>& horizontals) {
  const bool all_azimuths =
      std::all_of(horizontals.begin(), horizontals.end(), [](const Channel* c) { return c->azimuth.has_value(); });
  if (all_azimuths) {
    std::stable_sort(horizontals.begin(), horizontals.end(), [](const Channel* a, const Channel* b) {
      const double da = north_distance(*a->azimuth), db = north_distance(*b->azimuth);
      if (da != db) return da < db;
      return *a->azimuth < *b->azimuth;
    });
  }
  return all_azimuths;
}

/// Value 2 among ranked horizontals that all have an azimuth: the next in
/// rank not parallel to value 1 (a Volume 1 and a Volume 2 of one record
/// both hold a 360: 360, 360, 90 -> 90); nullptr when there is none.
Channel* second_direction(const std::vector<Channel*>& horizontals) {
  for (std::size_t i = 1; i < horizontals.size(); ++i) {
    const double apart = std::fmod(std::fabs(*horizontals[i]->azimuth - *horizontals[0]->azimuth), 180.0);
    if (apart != 0.0) return horizontals[i];
  }
  return nullptr;
}

/// The channels of `list` that are vertical (or horizontal), in order.
std::vector<Channel*> of_kind(const std::vector<Channel*>& list, bool vertical) {
  std::vector<Channel*> out;
  for (Channel* c : list) {
    if (c->vertical == vertical) out.push_back(c);
  }
  return out;
}

/// What a failure of step 4 adds when sensors that are not free-field
/// could fill the gap: "HNE (Roof) is horizontal but not a free-field
/// sensor; to take it, give --channels HNN,HNE,HNZ". `missing` are those
/// sensors of the kind lacking; `take` the --channels list, empty when
/// even they do not make a record ("; a record needs two horizontals").
std::string not_free_field_words(const std::vector<Channel*>& missing, bool vertical,
                                 const std::vector<std::string>& take) {
  std::vector<std::string> named;
  for (const Channel* c : missing) named.push_back(choice_name(*c) + (c->placement.empty() ? "" : " (" + c->placement + ")"));
  const bool one = missing.size() == 1;
  std::string s = joined(named) + (one ? " is " : " are ") + (vertical ? "vertical" : "horizontal") + " but not " +
                  (one ? "a free-field sensor" : "free-field sensors");
  if (take.empty()) return s + "; a record needs two horizontals";
  std::string list;
  for (const std::string& t : take) list += (list.empty() ? "" : ",") + t;
  return s + "; to take " + (one ? "it" : "them") + ", give --channels " + list;
}

/// The failure words when the free-field horizontals are fewer than two
/// and sensors that are not free-field are horizontal (no --channels):
/// "only one free-field horizontal component (HNN): HNE (Roof) is
/// horizontal but not a free-field sensor; to take it, give --channels
/// HNN,HNE,HNZ". Empty when there is no such sensor.
std::string lacking_horizontals(const std::vector<Channel*>& horizontals, const Channel* vertical,
                                const std::vector<Channel*>& not_free_field) {
  const std::vector<Channel*> other_h = of_kind(not_free_field, false), other_v = of_kind(not_free_field, true);
  if (other_h.empty()) return {};
  const std::size_t wanted = std::min(other_h.size(), 2 - horizontals.size());
  const std::vector<Channel*> used(other_h.begin(), other_h.begin() + static_cast<std::ptrdiff_t>(wanted));
  std::vector<std::string> take;
  if (horizontals.size() + used.size() == 2) {
    for (const Channel* c : horizontals) take.push_back(choice_name(*c));
    for (const Channel* c : used) take.push_back(choice_name(*c));
    if (vertical != nullptr) take.push_back(choice_name(*vertical));
    else if (!other_v.empty()) take.push_back(choice_name(*other_v.front()));
  }
  const std::string head = horizontals.empty()
                               ? "no free-field horizontal component: "
                               : "only one free-field horizontal component (" + choice_name(*horizontals[0]) + "): ";
  return head + not_free_field_words(used, false, take);
}

/// The failure words when the free-field channels hold no vertical and a
/// sensor that is not free-field does (no --channels, no --zero-vertical):
/// "no free-field vertical component: UD1 (borehole) is vertical but not a
/// free-field sensor; to take it, give --channels NS2,EW2,UD1, or
/// --zero-vertical for zeros". Empty when there is no such sensor.
std::string lacking_vertical(const std::vector<Channel*>& horizontals, const std::vector<Channel*>& not_free_field) {
  const std::vector<Channel*> other_v = of_kind(not_free_field, true);
  if (other_v.empty()) return {};
  std::vector<std::string> take;
  for (const Channel* c : horizontals) take.push_back(choice_name(*c));
  take.push_back(choice_name(*other_v.front()));
  return "no free-field vertical component: " + not_free_field_words({other_v.front()}, true, take) +
         ", or --zero-vertical for zeros";
}

/// Values 1, 2 and (when there is one) 11 into `chosen`, in that order.
/// When the choice fails and a candidate still waits for its unit or
/// factor, that is the cause to report (its orientation may come with it);
/// a chosen channel that waits fails the choice, the first in file order.
Problem choose_components(const Candidates& cand, const Pending& pending, const AssembleOptions& options,
                          const std::string& first_file, std::vector<Channel*>& chosen) {
  const std::vector<Channel*>& candidates = cand.chosen_from;
  Channel* vertical = nullptr;
  std::vector<Channel*> horizontals;
  for (Channel* c : candidates) {
    if (!c->vertical) horizontals.push_back(c);
    else if (vertical == nullptr) vertical = c;
  }
  auto cause = [&](Problem choice) {
    for (const auto& [channel, problem] : pending) {
      if (std::find(candidates.begin(), candidates.end(), channel) != candidates.end()) return problem;
    }
    return choice;
  };
  if (horizontals.size() < 2) {
    // only HNN free-field, HNE on the roof -> name HNE and how to take it
    if (std::string words = lacking_horizontals(horizontals, vertical, cand.not_free_field); !words.empty()) {
      return cause(fail(Status::too_few_horizontals, first_file, std::move(words)));
    }
    std::string text = horizontals.empty() ? "no horizontal component"
                                           : "only one horizontal component (" + horizontals[0]->name + ")";
    return cause(fail(Status::too_few_horizontals, first_file, text + " among the channels given; a record needs two"));
  }
  if (vertical == nullptr && !options.zero_vertical) {
    // NS2, EW2 on the surface, UD1 in the borehole -> name UD1 and how to take it
    if (std::string words = lacking_vertical(horizontals, cand.not_free_field); !words.empty()) {
      return cause(fail(Status::no_vertical, first_file, std::move(words)));
    }
    return cause(fail(Status::no_vertical, first_file,
                      "no vertical component among the channels given (--zero-vertical writes zeros instead)"));
  }
  Channel* second = horizontals[1];
  if (rank_by_azimuth(horizontals)) {
    second = second_direction(horizontals);
    if (second == nullptr) {
      return cause(fail(Status::too_few_horizontals, first_file,
                        "every horizontal component points along " + common::significant(*horizontals[0]->azimuth, 10) +
                            " degrees; a record needs two directions"));
    }
  }
  chosen = {horizontals[0], second};
  if (vertical != nullptr) chosen.push_back(vertical);
  for (const auto& [channel, problem] : pending) {
    if (std::find(chosen.begin(), chosen.end(), channel) != chosen.end()) return problem;
  }
  return {};
}

// ---- Step 5 ----------------------------------------------------------

bool dt_equal(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(a, b); }

/// One usable dt for the chosen channels, and finite samples.
Problem check_sampling(const std::vector<Channel*>& chosen) {
  for (const Channel* c : chosen) {
    if (!std::isfinite(c->dt) || c->dt <= 0.0) {
      return fail(Status::malformed, c->file,
                  "channel " + label(*c) + " has the sampling interval " + common::significant(c->dt, 10));
    }
    if (c->values.empty()) return fail(Status::truncated, c->file, "channel " + label(*c) + " holds no samples");
  }
  for (const Channel* c : chosen) {
    if (!dt_equal(c->dt, chosen[0]->dt)) {
      return fail(Status::mismatched_dt, c->file,
                  "channel " + label(*c) + " has dt " + common::significant(c->dt, 10) + " s, channel " +
                      label(*chosen[0]) + " has " + common::significant(chosen[0]->dt, 10) + " s");
    }
    for (std::size_t i = 0; i < c->values.size(); ++i) {
      if (!std::isfinite(c->values[i])) {
        return fail(Status::malformed, c->file,
                    "sample " + std::to_string(i + 1) + " of channel " + label(*c) + " is not a finite number");
      }
    }
  }
  return {};
}

// ---- Step 6 ----------------------------------------------------------

/// The leading samples each chosen channel drops to start with the others
/// (none unless every one has a start), with a note for each that drops any.
Problem align_starts(const std::vector<Channel*>& chosen, double dt, std::vector<std::size_t>& skip,
                     std::vector<std::string>& notes) {
  skip.assign(chosen.size(), 0);
  if (!std::all_of(chosen.begin(), chosen.end(), [](const Channel* c) { return c->start_ns.has_value(); })) return {};
  const Channel* last_start = *std::max_element(chosen.begin(), chosen.end(), [](const Channel* a, const Channel* b) {
    return *a->start_ns < *b->start_ns;
  });
  const std::int64_t latest = *last_start->start_ns;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    // start 0, latest 12 ms, dt 5 ms -> skip 2 samples (2.4 rounded)
    const double gap = static_cast<double>(latest) - static_cast<double>(*chosen[k]->start_ns);
    const double samples = std::nearbyint(gap * 1e-9 / dt);
    if (!(samples < static_cast<double>(chosen[k]->values.size()))) {
      return fail(Status::no_overlap, chosen[k]->file,
                  "channel " + label(*chosen[k]) + " ends before channel " + label(*last_start) +
                      " starts; the components share no common time span");
    }
    skip[k] = static_cast<std::size_t>(samples);
  }
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (skip[k] > 0) {
      notes.push_back("dropped the first " + std::to_string(skip[k]) + " samples of " + label(*chosen[k]) +
                      " to start it with the others");
    }
  }
  return {};
}

// ---- Step 7 ----------------------------------------------------------

/// The record's length: the shortest or (pad) the longest of the chosen
/// after alignment, with a note naming the counts when they differ.
std::size_t common_length(const std::vector<Channel*>& chosen, const std::vector<std::size_t>& skip, bool pad,
                          std::vector<std::string>& notes) {
  std::size_t shortest = SIZE_MAX, longest = 0;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    const std::size_t n = chosen[k]->values.size() - skip[k];
    shortest = std::min(shortest, n);
    longest = std::max(longest, n);
  }
  const std::size_t length = pad ? longest : shortest;
  if (shortest != longest) {
    std::vector<std::string> counts;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      counts.push_back(label(*chosen[k]) + " " + std::to_string(chosen[k]->values.size() - skip[k]));
    }
    notes.push_back("the components have " + joined(counts) + " samples; " +
                    (pad ? "padded with zeros to " : "trimmed to ") + std::to_string(length));
  }
  return length;
}

// ---- Step 8 ----------------------------------------------------------

/// Channel c's samples, without the `skip` leading ones, at `length`, in
/// `unit`: one multiplication or division each (gal -> g: 980.665 gal -> 1 g).
Problem take_samples(Channel& c, std::size_t skip, std::size_t length, Unit unit, Component& comp) {
  if (!common::is_acceleration(c.unit)) {
    return fail(Status::no_unit, c.file,
                "channel " + label(c) + " is in " + std::string(common::unit_word(c.unit)) +
                    ", not an acceleration unit");
  }
  comp.name = c.name.empty() ? label(c) : c.name;
  comp.file = c.file;
  std::vector<double> v = std::move(c.values);
  if (skip > 0) v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(skip));
  v.resize(length, 0.0);
  if (c.unit != unit) {
    const common::UnitRatio r = common::unit_ratio(c.unit, unit);
    if (r.multiply) {
      for (double& x : v) x *= r.factor;
    } else {
      for (double& x : v) x /= r.factor;
    }
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (!std::isfinite(v[i])) {
        return fail(Status::malformed, c.file, "sample " + std::to_string(i + skip + 1) + " of channel " + label(c) +
                                                   " overflows in " + std::string(common::unit_word(unit)));
      }
    }
  }
  comp.values = std::move(v);
  return {};
}

/// The record: event and station, unit and dt, the components.
Problem fill_record(const std::vector<FileContents>& files, const std::vector<Channel*>& chosen,
                    const std::vector<std::size_t>& skip, std::size_t length, const std::string& station,
                    const AssembleOptions& options, Record& out) {
  out.unit = options.unit ? *options.unit : chosen[0]->unit;
  out.dt = chosen[0]->dt;
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
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (Problem p = take_samples(*chosen[k], skip[k], length, out.unit, out.components[k]); !p.ok()) return p;
  }
  if (chosen.size() < 3) {
    out.components[2].name = "ZERO";
    out.components[2].file.clear();
    out.components[2].values.assign(length, 0.0);
    out.notes.push_back("no vertical component: value 11 is zero throughout (--zero-vertical)");
  }
  return {};
}

// ---- Step 9 ----------------------------------------------------------

double peak(const std::vector<double>& v) {
  double p = 0.0;
  for (const double x : v) p = std::max(p, std::fabs(x));
  return p;
}

/// A note when the peaks of values 1 and 2 differ by more than kPeakRatio:
/// EW 74.49 gal and NS 6.847 gal -> "the peaks of the two horizontals
/// differ by a factor of 10.9 (EW 74.49 gal, NS 6.847 gal): ...".
void compare_peaks(const Record& rec, std::vector<std::string>& notes) {
  const Component* big = &rec.components[0];
  const Component* small = &rec.components[1];
  if (peak(big->values) < peak(small->values)) std::swap(big, small);
  const double high = peak(big->values), low = peak(small->values);
  const std::string tail = ": a likely response or sensitivity error in the metadata; the values are imported as they are";
  if (high == 0.0 || !(high > kPeakRatio * low)) return;
  if (low == 0.0) {
    // NS all zeros, EW not -> "the horizontal NS is zero throughout and EW is not: ..."
    notes.push_back("the horizontal " + small->name + " is zero throughout and " + big->name + " is not" + tail);
    return;
  }
  const std::string unit(common::unit_word(rec.unit));
  notes.push_back("the peaks of the two horizontals differ by a factor of " + common::fixed(high / low, 1) + " (" +
                  big->name + " " + common::significant(high, 4) + " " + unit + ", " + small->name + " " +
                  common::significant(low, 4) + " " + unit + ")" + tail);
}

}  // namespace

Problem assemble(std::vector<FileContents>& files, const AssembleOptions& options, Record& out) {
  const std::string first_file = first_channel_file(files);
  std::string station;
  if (Problem p = check_station(files, station); !p.ok()) return p;
  const Pending pending = apply_factors(files, options);
  Candidates candidates;
  if (Problem p = choose_candidates(files, options, first_file, candidates); !p.ok()) return p;
  if (Problem p = choose_level(candidates, files, options, first_file, out.notes); !p.ok()) return p;
  std::vector<Channel*> chosen;
  if (Problem p = choose_components(candidates, pending, options, first_file, chosen); !p.ok()) return p;
  if (Problem p = check_sampling(chosen); !p.ok()) return p;
  std::vector<std::size_t> skip;
  if (Problem p = align_starts(chosen, chosen[0]->dt, skip, out.notes); !p.ok()) return p;
  const std::size_t length = common_length(chosen, skip, options.pad, out.notes);
  if (Problem p = fill_record(files, chosen, skip, length, station, options, out); !p.ok()) return p;
  compare_peaks(out, out.notes);
  return {};
}

const ResponseEpoch* covering_response(const Channel& c, const std::vector<FileContents>& files) {
  if (c.seed_id.empty()) return nullptr;
  for (const FileContents& f : files) {
    for (const ResponseEpoch& e : f.responses) {
      if (e.seed_id != c.seed_id) continue;
      if (!c.start_ns || (*c.start_ns >= e.start_ns && *c.start_ns <= e.end_ns)) return &e;
    }
  }
  return nullptr;
}

void take_orientation(const ResponseEpoch& e, Channel& c) {
  if (e.dip && (std::fabs(*e.dip) == 90.0)) {
    // dip -90 (up) or +90 (down) -> vertical
    c.vertical = true;
    c.azimuth.reset();
  } else if (e.dip || e.azimuth) {
    // dip 0, azimuth 90 -> horizontal at 90
    c.vertical = false;
    if (e.azimuth && std::isfinite(*e.azimuth)) {
      c.azimuth = text::reduce_azimuth(*e.azimuth);
    }
  }
}

}  // namespace wavefft::import
