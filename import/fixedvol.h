// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of the fixed-field volume layouts share (COSMOS,
// CSMIP/CGS, GeoNet and USGS SMC; cosmos.cpp, csmip.cpp, geonet.cpp,
// smc.cpp): the sample-count limit, orientation and location fields, civil
// times to ns, and small field helpers. Private to those four readers;
// nothing here reads a whole layout.
//
// Every function takes any text and any numbers: counts, dates and angles
// are range-checked before any conversion, so no input can overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "import/lines.h"
#include "import/orientation.h"
#include "import/record.h"
#include "import/words.h"

namespace wavefft::import::fixedvol {

/// The most samples one block may declare. A header that states more is
/// refused before anything is reserved.
inline constexpr double kMaxSamples = 100'000'000.0;

/// A header's sample count as a size: 20000 -> 20000; a count that is not
/// a whole number in [0, kMaxSamples] -> nullopt.
std::optional<std::size_t> sample_count(double n);

/// A header word read as a sample count (common::kFortranField, then
/// sample_count): "20000" -> 20000, "2.0E+04" -> 20000; "-5", "3.5", "x"
/// -> nullopt.
std::optional<std::size_t> sample_count_of(std::string_view word);

/// A whole number in [lo, hi] held in a double (header values read as
/// numbers): 2019.0 -> 2019; -999, 3.5 or out of range -> nullopt.
std::optional<long long> whole(double v, long long lo, long long hi);

/// An orientation field of these layouts: text::parse_orientation after
/// dropping a trailing "Deg": "360 Deg" -> 0, " 90 DEG" -> 90, "S16W" ->
/// 196, "Up" -> vertical; "Other", "" -> nullopt.
std::optional<text::Orientation> orientation_of(std::string_view t);

/// Sets c's direction from an orientation field (orientation_of): "90
/// Deg" -> azimuth 90, "Up" -> vertical. False, and c left as it was, when
/// the field names no direction.
bool orient(std::string_view field, Channel& c);

/// Sets where c's sensor sits from the location field the layout gives:
/// an empty field or one that starts with "ground" or "free" (blanks around
/// ignored, letters without case: "Ground", "Free field") is free field;
/// any other ("Roof", "Borehole") makes c not a surface channel, with that
/// text, trimmed, as its placement.
void place(std::string_view location, Channel& c);

/// A civil time to ns since 1970-01-01 UTC. `offset_minutes` is the zone's
/// offset east of UTC (UTC 0, PDT -420, PST -480): the UTC instant is the
/// local time minus the offset. Fields are checked first: year 1800..2200,
/// month 1..12, day 1..days in that month, hour 0..23, minute 0..59,
/// second in [0, 61); otherwise nullopt. The second is rounded to the
/// nearest ns: 39.932490 -> 39932490000 ns.
std::optional<std::int64_t> civil_to_ns(long long year, long long month, long long day, long long hour,
                                        long long minute, double second, int offset_minutes);

/// True when the line holds a letter other than an exponent letter (E, e,
/// D, d): a header or text line, never a line of values. Values lines are
/// passed over with this one cheap test.
bool has_word_letter(std::string_view line);

/// The text after the first `key` in `line` (case ignored), or nullopt
/// when the key is absent: after("units=counts (50)", "units=") -> "counts (50)".
std::optional<std::string_view> after(std::string_view line, std::string_view key);

/// The first blank-separated word: "  20000 raw accel." -> "20000".
std::string_view first_word(std::string_view s);

/// A header number as these readers show it: a whole number below 1e15 in
/// magnitude in plain digits (2e9 -> "2000000000", -0.0 -> "0"), any other
/// the shortest text that reads back to it (0.794729 -> "0.794729", 1e20
/// -> "1e+20", common::shortest).
std::string plain_number(double v);

/// A Problem from a block of values, its words prefixed with what the
/// block holds: "the file ends after 10 of 20 values" ->
/// "HNE acceleration: the file ends after 10 of 20 values".
Problem in_block(Problem p, std::string_view what);

/// A malformed-layout Problem at a line.
Problem malformed(const std::string& file, std::size_t line, std::string words);

/// The names the four readers call unqualified: `using namespace
/// fixedvol::vocabulary;` in each.
namespace vocabulary {
using fixedvol::after;
using fixedvol::first_word;
using fixedvol::malformed;
using text::Lines;
using text::quoted;
using text::trim;
}  // namespace vocabulary

}  // namespace wavefft::import::fixedvol
