// SPDX-License-Identifier: GPL-3.0-or-later
// Dates and clock times as agency text files print them, read to the ns.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wavefft::import::text {

/// The order of the three numbers of a date.
enum class DateOrder {
  ymd,  // 2014/12/31, 20190728
  dmy,  // 20/07/2017
  mdy,  // 11/12/2009
};

/// A date and clock time as agency files print them, counted as UTC, in ns
/// since 1970-01-01 (a caller whose file uses a local clock subtracts the
/// offset itself). The date is three numbers separated by '/', '-' or '.',
/// or eight digits together; the year has four digits. The time follows
/// after blanks, '-', '_' or 'T': "hh:mm:ss", "hh:mm" or six digits
/// "hhmmss", each with an optional fraction of a second read to the ns
/// (digits past the ninth are dropped). Examples: "2014/12/31 23:50:00",
/// "2018/02/06-23:50:29.000", "20190728_160905.700", "20/07/2017
/// 22:30:58.000000" (dmy). nullopt for other text or a field out of range
/// (year 1800..2200, which keeps any result minus a zone offset inside
/// int64; month 1..12, a day of that month, hour 0..23, minute 0..59,
/// second 0..60).
std::optional<std::int64_t> parse_date_time(std::string_view text, DateOrder order);

/// A clock time "hh:mm:ss[.frac]", "hh:mm" or "hhmmss[.frac]" as ns since
/// midnight; nullopt for other text or a field out of range.
std::optional<std::int64_t> parse_clock(std::string_view text);

}  // namespace wavefft::import::text
