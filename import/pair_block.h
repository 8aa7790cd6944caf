// SPDX-License-Identifier: GPL-3.0-or-later
// Blocks of time-value pairs ("t v t v ...") in agency text files (RENADIC
// and USC Volume 1): the values, and the sampling interval the times show.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/lines.h"

namespace wavefft::import::text {

/// The sampling interval of `steps` intervals spanning `span` seconds:
/// span / steps, except that when the rate steps / span lies within 1e-9
/// (relative) of a whole number r, the interval is 1.0 / r exactly, so that
/// 47.36 s over 9472 steps gives the double nearest 0.005 whatever the
/// rounding of the division. span and steps must be positive.
double interval_from_span(double span, double steps);

/// Reads `n` time-value pairs ("t v t v ..."; a line may hold any number of
/// pairs, separated by blanks, tabs or commas) from the next lines of
/// `lines`, appends each value times `factor` to `out` (factor 1 keeps it
/// as read; a missing-value flag is refused when `refuse_flags`) and sets
/// `dt` and `first_time`. The times are printed to a few decimals, so
/// single differences wobble by a unit of the last digit (".004 .008
/// .013"); dt is therefore the whole span over its steps,
/// interval_from_span(t[n-1] - t[0], n - 1), and each t[i] must lie within
/// one unit of its own last printed decimal plus 1e-6 s (but less than
/// dt / 4) of t[0] + i * dt (files round or cut their times to the printed
/// digits; a skipped sample is off by about dt / 2 and is caught whenever
/// dt is above two units), else Status::uneven_times naming the line and
/// the time. n must be 2 or more; fewer pairs than n is Status::truncated;
/// a word that is no number, Status::malformed.
Problem read_pair_block(Lines& lines, std::size_t n, double factor, bool refuse_flags, const std::string& file,
                        std::vector<double>& out, double& dt, double& first_time);

}  // namespace wavefft::import::text
