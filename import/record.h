// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of wavefft-import hand on: the channels one file holds,
// with their names, orientation, sampling, start time, unit and samples, and
// the failure kinds that any step can report.
//
// A reader turns the bytes of one file into a FileContents; it never prints
// and never throws for bad input (only std::bad_alloc can escape). Assembly
// (assemble.h) then picks the three components from the channels of all
// files, and the writer lays them out. Only main.cpp turns a Problem into
// text on standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/units.h"

namespace wavefft::import {

/// The unit of a channel's values (common/units.h). Unit::none: the file
/// states no unit (SAC), --source-unit must give it; Unit::counts: raw
/// digitiser counts with no factor yet (miniSEED before its StationXML
/// sensitivity, a COSMOS Volume 0 without a factor).
using Unit = common::Unit;

/// Every failure kind, one comment each. main.cpp makes the one message.
enum class Status {
  ok,
  unreadable,           // the file cannot be opened or read
  unknown_format,       // no reader recognises the content
  malformed,            // a header or data line is not what the layout says
  truncated,            // fewer samples than the header states
  missing_value,        // a missing-value flag (-999, -32768, 1.7E+38) in the data
  uneven_times,         // time-value pairs not evenly spaced to within 1e-6 of dt
  mismatched_dt,        // the components do not share one dt
  no_vertical,          // no vertical component (and no --zero-vertical)
  too_few_horizontals,  // fewer than two horizontal components
  no_unit,              // values of unstated unit and no --source-unit
  no_factor,            // raw counts with no scale factor or sensitivity anywhere
  no_overlap,           // time-aligned components share no common span
  mixed_files,          // the files are not one record of one station
  bad_channels,         // --channels names a channel the files do not hold
  wrong_level,          // --level asks for a processing level that no file given is at
  write_failed,         // the output could not be written or renamed
};

/// A failure: the kind, the file and (where it helps) the 1-based line, and
/// the words that say what is wrong, without the file name.
struct Problem {
  Status status = Status::ok;
  std::string file;
  std::size_t line = 0;  // 0: no line given
  std::string text;
  bool ok() const { return status == Status::ok; }
};

/// One channel as a reader found it.
struct Channel {
  std::string file;       // the path of the file it came from, as given
  std::string name;       // as the file names it: "HNE", "EW2", "360", "N28W", "H1", "UD"
  std::string seed_id;    // "NET.STA.LOC.CHA" where the file gives one, else empty
  std::optional<double> azimuth;  // horizontals: degrees clockwise from north, in [0, 360)
  bool vertical = false;  // Up, UD, Z, V, DWN, or dip -90 / +90
  bool surface = true;    // false for borehole, structure and other non-free-field sensors
  std::string placement;  // where a non-free-field sensor sits, as the file says:
                          // "Roof", "borehole"; empty for a free-field one
  std::size_t order = 0;  // position among the channels of its file, from 0
  double dt = 0.0;        // sampling interval, s
  std::optional<std::int64_t> start_ns;  // absolute start, ns since 1970-01-01 UTC
  Unit unit = Unit::none;
  double factor = 1.0;       // what each source number was multiplied by
  std::string factor_text;   // how the file states it: "3920(gal)/6182761", "G/10"
  std::vector<double> values;  // the samples: source number times factor, in `unit`
};

/// A channel of `file` in `unit`, the rest still to be read.
inline Channel channel_of_file(const std::string& file, Unit unit) {
  Channel c;
  c.file = file;
  c.unit = unit;
  return c;
}

/// One epoch of a channel's response in StationXML.
struct ResponseEpoch {
  std::string seed_id;  // "NET.STA.LOC.CHA"
  std::int64_t start_ns = std::numeric_limits<std::int64_t>::min();
  std::int64_t end_ns = std::numeric_limits<std::int64_t>::max();  // open epoch: max
  double sensitivity = 0.0;  // counts per input unit; may be negative
  Unit input_unit = Unit::none;  // m_s2 for "M/S**2", "m/s**2", "M/S/S"; gal for "CM/S**2"
  std::optional<double> azimuth;
  std::optional<double> dip;  // -90: up, +90: down
};

/// How far the agency processed a file's values, as its layout says.
enum class Level {
  unstated,   // the layout does not say (ESM, K-NET, PEER, SAC, miniSEED, ...)
  raw,        // uncorrected: a Volume 0 or Volume 1 (counts or the instrument's
              // acceleration as recorded, no baseline correction, no filter)
  corrected,  // a Volume 2: instrument- and baseline-corrected, band-pass filtered
};

/// What one file holds.
struct FileContents {
  std::string format;      // the layout's name as --info shows it, set by a reader
                           // whose family has several (COSMOS Volume 0); empty:
                           // Format::name of the detection table (formats.h)
  std::string event;       // as the file gives them; empty when it does not
  std::string station;
  std::string start_text;  // the start time as printed in the file, for --info
  Level level = Level::unstated;  // set by the readers of volume layouts
  std::vector<Channel> channels;
  std::vector<ResponseEpoch> responses;  // StationXML only
};

}  // namespace wavefft::import
