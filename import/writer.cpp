// SPDX-License-Identifier: GPL-3.0-or-later
// The writer of wavefft-import (layout in writer.h).
#include "import/writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/numbers.h"
#include "common/units.h"

namespace wavefft::import {

namespace {

bool word_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

// " 0" repeated n times.
std::string zeros(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += " 0";
  return s;
}

}  // namespace

std::string sanitise_word(const std::string& word) {
  std::string s;
  for (char c : word) {
    if (word_char(c)) s.push_back(c);
  }
  return s.empty() ? std::string("unknown") : s;
}

TimeColumn::TimeColumn(double dt) : dt_(dt) {
  // 0.005 -> "5e-03": digits "5", exponent -3 -> step 5, 3 decimals;
  // 1.25e-02 -> step 125, 4 decimals; 20 -> "2e+01" -> step 20, 0 decimals.
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, dt, std::chars_format::scientific);
  if (r.ec != std::errc() || !(dt > 0.0)) return;
  const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t e_at = text.find('e');
  if (e_at == std::string_view::npos) return;
  std::string digits;
  for (char c : text.substr(0, e_at)) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  // "+01" -> 1, "-03" -> -3; at most 17 digits, so the step fits
  const std::optional<long long> exponent = common::to_integer(text.substr(e_at + 1));
  const std::optional<long long> whole = common::to_integer(digits);
  if (!exponent || !whole) return;
  auto step = static_cast<unsigned long long>(*whole);
  int decimals = static_cast<int>(digits.size()) - 1 - static_cast<int>(*exponent);
  for (; decimals < 0; ++decimals) {
    // 2e+01 -> step 2 times 10
    if (step > std::numeric_limits<unsigned long long>::max() / 10) return;
    step *= 10;
  }
  step_ = step;
  decimals_ = decimals;
  exact_ = true;
}

std::size_t TimeColumn::max_length() const {
  // "0." + decimals + up to 20 digits of the product, or a shortest double
  return static_cast<std::size_t>(decimals_) + 24 + 32;
}

void TimeColumn::append(std::size_t i, std::string& out) const {
  const std::size_t at = out.size();
  out.resize(at + max_length());
  char* end = write(i, out.data() + at);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

char* TimeColumn::write(std::size_t i, char* p) const {
  unsigned long long product = 0;
  if (!exact_ || __builtin_mul_overflow(static_cast<unsigned long long>(i), step_, &product)) {
    // beyond 64 bits -> the shortest decimal of the double product
    return common::write_shortest(p, static_cast<double>(i) * dt_);
  }
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, product);
  const auto len = static_cast<std::size_t>(r.ptr - buf);
  const auto places = static_cast<std::size_t>(decimals_);
  if (places == 0) {
    // step 20, row 3 -> "60"
    std::memcpy(p, buf, len);
    return p + len;
  }
  if (len > places) {
    // 1234, 3 decimals -> "1.234"
    std::memcpy(p, buf, len - places);
    p += len - places;
    *p++ = '.';
    std::memcpy(p, buf + (len - places), places);
    return p + places;
  }
  // 15, 3 decimals -> "0.015"
  *p++ = '0';
  *p++ = '.';
  std::memset(p, '0', places - len);
  p += places - len;
  std::memcpy(p, buf, len);
  return p + len;
}

void write_record(const Record& rec, std::string& out) {
  const std::size_t n = rec.components[0].values.size();
  out.reserve(out.size() + 512 + n * (3 * 14 + 12 + 2 * 39 + 4));

  // line 1: LomaPrieta Gilroy-GavilanColl. acceleration g
  out += sanitise_word(rec.event);
  out += ' ';
  out += sanitise_word(rec.station);
  out += " acceleration ";
  out += common::unit_word(rec.unit);
  out += '\n';

  // line 2: TIME 337 67 V03 .. V10 zero V12 .. V42
  out += "TIME";
  for (int v = 1; v <= 42; ++v) {
    out += ' ';
    if (v == 1 || v == 2 || v == 11) {
      out += sanitise_word(rec.components[v == 1 ? 0 : v == 2 ? 1 : 2].name);
    } else {
      out += 'V';
      out += static_cast<char>('0' + v / 10);
      out += static_cast<char>('0' + v % 10);
    }
  }
  out += '\n';

  // Each row is put together in one scratch buffer through a pointer and
  // appended whole; the string is reserved once (reserve does not fill, so
  // no byte is written twice but the row's copy).
  static constexpr char kMiddle[] = " 0 0 0 0 0 0 0 0 ";  // values 3 .. 10 and the blank before 11
  const std::string tail = zeros(31) + '\n';           // values 12 .. 42
  const TimeColumn time(rec.dt);
  const auto& a = rec.components[0].values;
  const auto& b = rec.components[1].values;
  const auto& c = rec.components[2].values;
  common::ShortestColumn col_a, col_b, col_c;
  const std::size_t rows = std::min({a.size(), b.size(), c.size()});
  std::vector<char> row(time.max_length() + 3 * 32 + 2 + (sizeof kMiddle - 1) + tail.size());
  for (std::size_t i = 0; i < rows; ++i) {
    char* p = time.write(i, row.data());
    *p++ = ' ';
    p = col_a.write(p, a[i]);
    *p++ = ' ';
    p = col_b.write(p, b[i]);
    std::memcpy(p, kMiddle, sizeof kMiddle - 1);
    p += sizeof kMiddle - 1;
    p = col_c.write(p, c[i]);
    std::memcpy(p, tail.data(), tail.size());
    p += tail.size();
    out.append(row.data(), static_cast<std::size_t>(p - row.data()));
  }
}

}  // namespace wavefft::import
