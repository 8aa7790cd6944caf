// SPDX-License-Identifier: GPL-3.0-or-later
// Calendar arithmetic of wavefft-import's readers: proleptic Gregorian
// dates to days since 1970-01-01 and back, an absolute time in ns, and that
// time as ISO 8601 text. No leap seconds (UTC seconds 0..59; a second of 60
// counts as the first second of the next minute, as the formats' own tools
// do).
//
// Every function takes any integers and never overflows: the day count of a
// year in [-1000000, 1000000] fits an int64 with room to spare, and
// checked_ns() refuses (nullopt) any time outside the int64 ns range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wavefft::import::calendar {

/// Gregorian leap year: 2000 and 2024 yes, 1900 and 2023 no.
bool is_leap(std::int64_t y);

/// Days in month `m` (1..12) of year `y`: February 2024 -> 29.
int days_in_month(std::int64_t y, int m);

/// Days from 1970-01-01 to y-m-d (m 1..12, d 1..31); |y| <= 1000000.
/// 1970-01-01 -> 0, 2000-03-01 -> 11017, 1969-12-31 -> -1.
std::int64_t days_from_civil(std::int64_t y, int m, int d);

/// The date of a day count from 1970-01-01 (inverse of days_from_civil).
void civil_from_days(std::int64_t z, std::int64_t& y, int& m, int& d);

/// days * 86400e9 + seconds * 1e9 + ns, or nullopt when it leaves the int64
/// range. |days| must be below 1e9 (any year the callers accept).
std::optional<std::int64_t> checked_ns(std::int64_t days, std::int64_t seconds, std::int64_t ns);

/// "2019-07-06T03:19:23.038300000Z": the time to the ns, always 9 digits.
std::string iso_text(std::int64_t ns_since_1970);

}  // namespace wavefft::import::calendar
