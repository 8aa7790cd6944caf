// SPDX-License-Identifier: GPL-3.0-or-later
// Component assembly of wavefft-import: from the channels of every file
// given, the three components of one record, in one unit, on one time grid.
//
// Steps, in this order (assemble() stops at the first failure):
//  1. Station check: every file that holds channels and names a station must
//     name the same one (compared without case and blanks), else mixed_files.
//  2. Factors. A channel in raw counts with a seed_id takes the StationXML
//     ResponseEpoch (from any file) with the same seed_id whose epoch
//     [start_ns, end_ns] holds the channel's start (the first such epoch;
//     without a start, the first epoch of that seed_id): every value is
//     divided by the sensitivity (a negative one flips the sign), the unit
//     becomes the epoch's input_unit, which must be an acceleration unit
//     (else no_factor), and the epoch's azimuth and dip replace the
//     channel's: dip -90 (up) or +90 (down) makes it vertical, any other dip
//     horizontal at the azimuth. Counts with no such epoch: no_factor.
//     Unit::none takes --source-unit, else no_unit. Either refusal only
//     counts when the channel is chosen in step 4 (the first such chosen
//     channel in file order is reported).
//  3. Candidates: with --channels, exactly the channels named there (by name
//     or seed_id; a name that matches nothing: bad_channels); otherwise every
//     surface channel (Channel::surface) of every file.
//     Levels: when candidates come from raw files (FileContents::level, a
//     Volume 0 or 1) and from corrected ones (a Volume 2), as a folder with
//     both volumes of one record gives, only those at one level stay: the
//     corrected ones, with a note naming the files used and those left out.
//     --level raw or corrected chooses instead (no note); when no candidate
//     is at the level it asks for: wrong_level. Files of unstated level are
//     never left out.
//  4. Choice. Value 11: the first vertical candidate in file order (none:
//     zeros with --zero-vertical, else no_vertical). Values 1 and 2: the two
//     horizontal candidates ranked first (fewer than two: too_few_horizontals).
//     Without --channels, when a borehole or structure sensor is what the
//     choice lacks, the failure names it, with its placement, and the
//     --channels list that takes it.
//     When every horizontal candidate has an azimuth the rank is the angular
//     distance to north, min(az, 360 - az), ties to the smaller azimuth
//     (45 before 315), and value 2 is the first in rank not parallel to
//     value 1 (none: too_few_horizontals); otherwise the order in the files.
//  5. Sampling: the chosen dt values must be finite, positive and equal
//     within a relative 1e-9 (|a - b| <= 1e-9 * max(a, b)), else
//     mismatched_dt; the record takes value 1's dt. Every sample must be
//     finite (else malformed).
//  6. Alignment. When every chosen data component has a start_ns, each is
//     cut to the span they all cover: the leading samples before the latest
//     start are dropped (round((latest - start) / dt) of them), and none may
//     be left (no_overlap). Otherwise they start together.
//  7. Length: all are cut to the shortest (default) or padded with zeros to
//     the longest (--pad); either way a note names the counts when they
//     differed. A --zero-vertical value 11 is zeros of the final length.
//  8. Units: the output unit is --unit, else value 1's unit. A value moves
//     between units by one operation with the exact decimal ratio
//     (common::unit_ratio): towards the smaller unit it is multiplied
//     (g -> gal: x 980.665, m_s2 -> gal: x 100, gal -> mm_s2: x 10),
//     towards the larger it is divided (gal -> g: / 980.665, gal -> m_s2:
//     / 100).
//  9. Peaks: when the larger peak (largest |value|) of values 1 and 2 is
//     more than kPeakRatio times the smaller, or only the smaller is zero, a
//     note says so (one of them likely has a wrong response or sensitivity);
//     the values are kept as they are.
//
// Numbers in the failures' words have ten significant digits at most
// (common::significant: 0.005, 427894, 1e-05).
//
// assemble() consumes `files`: factors are applied in place and the chosen
// channels' samples are moved into the Record.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "import/record.h"

namespace wavefft::import {

/// Step 9: the ratio of the two horizontals' peaks beyond which a note is given.
inline constexpr double kPeakRatio = 5.0;

/// What the command line says about assembly.
struct AssembleOptions {
  std::optional<Unit> unit;           // --unit: output unit (acceleration units only)
  std::optional<Unit> source_unit;    // --source-unit: unit of channels that state none
  std::vector<std::string> channels;  // --channels: the only candidates, by name or seed_id
  bool pad = false;                   // --pad: pad to the longest instead of trimming
  bool zero_vertical = false;         // --zero-vertical: value 11 all zeros when no vertical
  std::optional<Level> level;         // --level: Level::raw or Level::corrected
};

/// One chosen component.
struct Component {
  std::string name;  // the channel's name ("HNE", "67"); "ZERO" for a --zero-vertical
  std::string file;  // the file it came from; empty for a --zero-vertical
  std::vector<double> values;  // in Record::unit, on the record's grid
};

/// The record that the writer lays out.
struct Record {
  std::string event;    // from the first file that names one
  std::string station;  // likewise
  Unit unit = Unit::g;  // an acceleration unit
  double dt = 0.0;      // s, finite and positive
  std::array<Component, 3> components;  // values 1, 2 and 11; equal lengths
  std::vector<std::string> notes;       // for standard error, without the "note: " prefix
};

/// Steps 1 to 9 above on `files` (in the order given on the command line).
/// On success fills `out` and returns ok; otherwise returns the failure with
/// the file it concerns (the first file when it concerns them all). Either
/// way `files` is left in an unspecified state.
Problem assemble(std::vector<FileContents>& files, const AssembleOptions& options, Record& out);

/// The StationXML epoch that step 2 takes for channel `c` (also what
/// --info shows): the first, in any file, with c's seed_id whose span
/// [start_ns, end_ns] holds c's start (without a start, the first of that
/// seed_id); nullptr when there is none or c has no seed_id.
const ResponseEpoch* covering_response(const Channel& c, const std::vector<FileContents>& files);

/// The epoch's azimuth and dip in place of c's (step 2): dip -90 or +90
/// makes it vertical; any other dip, or an azimuth alone, makes it
/// horizontal, at the epoch's azimuth brought into [0, 360) (-90 -> 270)
/// when that is finite; neither leaves c as it is.
void take_orientation(const ResponseEpoch& e, Channel& c);

}  // namespace wavefft::import
