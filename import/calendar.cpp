// SPDX-License-Identifier: GPL-3.0-or-later
// Calendar arithmetic of wavefft-import (contracts in calendar.h).
#include "import/calendar.h"

#include <cstdio>

namespace wavefft::import::calendar {

bool is_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(std::int64_t y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (m + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t& y, int& m, int& d) {
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

std::optional<std::int64_t> checked_ns(std::int64_t days, std::int64_t seconds, std::int64_t ns) {
  std::int64_t total = 0;
  if (__builtin_mul_overflow(days, std::int64_t{86400}, &total)) return std::nullopt;
  if (__builtin_add_overflow(total, seconds, &total)) return std::nullopt;
  if (__builtin_mul_overflow(total, std::int64_t{1000000000}, &total)) return std::nullopt;
  if (__builtin_add_overflow(total, ns, &total)) return std::nullopt;
  return total;
}

std::string iso_text(std::int64_t ns_since_1970) {
  // -1 ns -> 1969-12-31T23:59:59.999999999Z: floor division, not C's truncation
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

}  // namespace wavefft::import::calendar
