// Calendar arithmetic shared by the binary readers of wavefft-import (SAC,
// miniSEED, StationXML): proleptic Gregorian dates to days since 1970-01-01
// and back, and an absolute time in ns to ISO 8601 text. No leap seconds
// (UTC seconds 0..59; a second of 60 counts as the first second of the next
// minute, as the formats' own tools do).
//
// Every function takes any integers and never overflows: the day count of a
// year in [-1000000, 1000000] fits an int64 with room to spare, and
// checked_ns() refuses (nullopt) any time outside the int64 ns range.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace wavefft::import::caltime {

inline bool is_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline int days_in_month(std::int64_t y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

/// Days from 1970-01-01 to y-m-d (m 1..12, d 1..31); |y| <= 1000000.
/// 1970-01-01 -> 0, 2000-03-01 -> 11017, 1969-12-31 -> -1.
inline std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (m + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

/// The date of a day count from 1970-01-01 (inverse of days_from_civil).
inline void civil_from_days(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

/// days * 86400e9 + seconds * 1e9 + ns, or nullopt when it leaves the int64
/// range. |days| must be below 1e9 (any year the callers accept).
inline std::optional<std::int64_t> checked_ns(std::int64_t days, std::int64_t seconds, std::int64_t ns) {
  std::int64_t total = 0;
  if (__builtin_mul_overflow(days, std::int64_t{86400}, &total)) return std::nullopt;
  if (__builtin_add_overflow(total, seconds, &total)) return std::nullopt;
  if (__builtin_mul_overflow(total, std::int64_t{1000000000}, &total)) return std::nullopt;
  if (__builtin_add_overflow(total, ns, &total)) return std::nullopt;
  return total;
}

/// "2019-07-06T03:19:23.038300000Z": the time to the ns, always 9 digits.
inline std::string iso_text(std::int64_t ns_since_1970) {
  std::int64_t secs = ns_since_1970 / 1000000000;
  std::int64_t frac = ns_since_1970 % 1000000000;
  if (frac < 0) {
    frac += 1000000000;
    secs -= 1;
  }
  std::int64_t days = secs / 86400;
  std::int64_t sod = secs % 86400;
  if (sod < 0) {
    sod += 86400;
    days -= 1;
  }
  std::int64_t y = 0;
  int m = 0;
  int d = 0;
  civil_from_days(days, y, m, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02lld:%02lld:%02lld.%09lldZ", static_cast<long long>(y), m, d,
                static_cast<long long>(sod / 3600), static_cast<long long>(sod / 60 % 60),
                static_cast<long long>(sod % 60), static_cast<long long>(frac));
  return buf;
}

}  // namespace wavefft::import::caltime
