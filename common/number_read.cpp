// SPDX-License-Identifier: GPL-3.0-or-later
// The tools' number reader: one grammar-driven parse, a quick exact path for
// the short decimals that fill data blocks, std::from_chars for the rest.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "common/numbers.h"

namespace wavefft::common {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

/// The exactly representable powers of ten, 1e0 .. 1e22.
constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The plain decimals that fill data blocks ("-7765", "0.000909",
/// ".669326E-03"): at most 15 significant digits and a power of ten within
/// 1e-22 .. 1e22. The digits then form an integer below 2^53 and the power
/// is exact, so one IEEE division or multiplication gives the correctly
/// rounded value, the same double from_chars gives. Nothing (not a
/// verdict) for anything else: the caller takes the general path. `p` is
/// past any sign.
std::optional<double> quick_decimal(const char* p, const char* end, bool negative) {
  std::uint64_t mantissa = 0;
  int significant = 0;
  int digits = 0;
  int exp10 = 0;
  for (; p != end && is_digit(*p); ++p, ++digits) {
    if (mantissa == 0 && *p == '0') continue;
    if (++significant > 15) return std::nullopt;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (p != end && *p == '.') {
    for (++p; p != end && is_digit(*p); ++p, ++digits) {
      --exp10;
      if (mantissa == 0 && *p == '0') continue;
      if (++significant > 15) return std::nullopt;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
  }
  if (digits == 0) return std::nullopt;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool minus = false;
    if (p != end && (*p == '-' || *p == '+')) minus = *p++ == '-';
    int e = 0;
    int e_digits = 0;
    for (; p != end && is_digit(*p) && e_digits < 4; ++p, ++e_digits) e = e * 10 + (*p - '0');
    if (e_digits == 0) return std::nullopt;
    exp10 += minus ? -e : e;
  }
  if (p != end || exp10 < -22 || exp10 > 22) return std::nullopt;
  double v = static_cast<double>(mantissa);
  v = exp10 < 0 ? v / kExactPow10[-exp10] : v * kExactPow10[exp10];
  return negative ? -v : v;
}

/// from_chars over the whole of [first, last): number, out_of_range (the
/// saturated value in `value` when asked for), or not_a_number.
ParsedNumber convert(const char* first, const char* last, bool saturate) {
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ptr != last) return {};
  if (ec == std::errc()) return {NumberStatus::number, v};
  if (ec != std::errc::result_out_of_range) return {};
  if (!saturate) return {NumberStatus::out_of_range, 0.0};
  // strtod gives the saturated value: +-inf, or +-0 (or the nearest
  // subnormal) below the range.
  const std::string copy(first, last);
  return {NumberStatus::number, std::strtod(copy.c_str(), nullptr)};
}

/// The Fortran forms rewritten with an "e": "1.5D+01" -> "1.5e+01",
/// "0.1000-100" -> "0.1000e-100". Empty when no exponent was rewritten.
std::string with_e_exponent(std::string_view s, const NumberGrammar& g) {
  std::string out;
  out.reserve(s.size() + 1);
  bool have_exp = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (g.d_exponent && (c == 'D' || c == 'd') && !have_exp) {
      out += 'e';
      have_exp = true;
    } else if (g.bare_exponent_sign && (c == '-' || c == '+') && i > 0 && !have_exp &&
               (is_digit(s[i - 1]) || s[i - 1] == '.')) {
      out += 'e';
      out += c;
      have_exp = true;
    } else {
      out += c;
    }
  }
  if (!have_exp) out.clear();
  return out;
}

}  // namespace

ParsedNumber parse_number(std::string_view text, const NumberGrammar& g) {
  if (g.trim_blanks) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  }
  if (text.empty()) return {};
  // Step 1: the sign. from_chars takes a '-' but no '+'.
  bool negative = false;
  std::string_view body = text;
  if (body.front() == '+' || body.front() == '-') {
    if (body.front() == '+' && !g.plus_sign) return {};
    negative = body.front() == '-';
    body.remove_prefix(1);
    if (body.empty() || body.front() == '+' || body.front() == '-') return {};
  }
  // Step 2: the quick path for short decimals.
  if (const std::optional<double> quick = quick_decimal(body.data(), body.data() + body.size(), negative)) {
    return {NumberStatus::number, *quick};
  }
  // Step 3: the words ("inf", "nan") start with a letter.
  if (!g.special_words && !is_digit(body.front()) && body.front() != '.') return {};
  // Step 4: the general path, on the text from its '-' (from_chars reads it).
  const char* first = negative ? body.data() - 1 : body.data();
  const char* last = body.data() + body.size();
  const ParsedNumber general = convert(first, last, g.saturate);
  if (general.status != NumberStatus::not_a_number) return general;
  // Step 5: the Fortran exponent forms.
  if (!g.d_exponent && !g.bare_exponent_sign) return {};
  const std::string rewritten = with_e_exponent(std::string_view(first, static_cast<std::size_t>(last - first)), g);
  if (rewritten.empty()) return {};
  return convert(rewritten.data(), rewritten.data() + rewritten.size(), g.saturate);
}

std::optional<double> to_number(std::string_view text, const NumberGrammar& grammar) {
  const ParsedNumber p = parse_number(text, grammar);
  if (p.status != NumberStatus::number) return std::nullopt;
  return p.value;
}

std::optional<long long> to_integer(std::string_view text, bool plus_sign) {
  if (plus_sign && !text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  long long v = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace wavefft::common
