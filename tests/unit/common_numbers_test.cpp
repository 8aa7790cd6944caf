// SPDX-License-Identifier: GPL-3.0-or-later
// The tools' number reader and writers: each grammar on the texts where the
// readers it replaced disagreed, and each writer against the C library or
// std::to_chars on many values.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "common/numbers.h"

namespace wavefft::common {
namespace {

using S = NumberStatus;

/// Same double, sign of zero and NaN-ness included.
void expect_same(double expected, double got, std::string_view text) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(got)) << text;
}

void expect_number(std::string_view text, const NumberGrammar& g, double expected) {
  const ParsedNumber p = parse_number(text, g);
  ASSERT_EQ(p.status, S::number) << text;
  expect_same(expected, p.value, text);
}

void expect_status(std::string_view text, const NumberGrammar& g, NumberStatus expected) {
  EXPECT_EQ(parse_number(text, g).status, expected) << text;
}

TEST(NumberGrammar, PlusSignOnlyWhereAllowed) {
  const NumberGrammar strict{};
  expect_status("+0.05", strict, S::not_a_number);
  expect_number("+0.05", kOptionNumber, 0.05);
  expect_number("-0.05", strict, -0.05);
  // A second sign is never a number, whatever the grammar.
  for (const char* text : {"+-1", "++1", "-+1", "--1", "+", "-", "+.", "-e5"}) {
    expect_status(text, kFortranField, S::not_a_number);
    expect_status(text, kOptionNumber, S::not_a_number);
  }
  expect_number("-0", strict, -0.0);
}

TEST(NumberGrammar, SpecialWordsOnlyWhereAllowed) {
  for (const char* text : {"inf", "-inf", "Infinity", "nan", "NaN"}) {
    expect_status(text, kOptionNumber, S::not_a_number);
  }
  expect_number("inf", kFortranField, std::numeric_limits<double>::infinity());
  expect_number("-Infinity", kFortranField, -std::numeric_limits<double>::infinity());
  expect_number("+inf", kFortranField, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(parse_number("nan", kFortranField).value));
  // Words only as a whole: "infx", "in" and "1inf" are not numbers.
  for (const char* text : {"infx", "in", "1inf", "nanx"}) expect_status(text, kFortranField, S::not_a_number);
}

TEST(NumberGrammar, FortranExponents) {
  expect_number("1.5D+01", kFortranField, 15.0);
  expect_number("2d3", kFortranField, 2000.0);
  expect_number("0.1000-100", kFortranField, 0.1000e-100);
  expect_number("1.234+05", kFortranField, 1.234e5);
  expect_number("-.5-3", kFortranField, -0.5e-3);
  expect_number("1.-3", kFortranField, 1e-3);
  // Each form only with its own switch.
  const NumberGrammar bare_only{.bare_exponent_sign = true};
  const NumberGrammar d_only{.d_exponent = true};
  expect_number("0.1000-100", bare_only, 0.1000e-100);
  expect_status("1.5D+01", bare_only, S::not_a_number);
  expect_number("1.5D+01", d_only, 15.0);
  expect_status("1.234-05", d_only, S::not_a_number);
  expect_status("1.234-05", kOptionNumber, S::not_a_number);
  // A sign after something other than a mantissa digit or point, or a
  // second exponent, is no number.
  for (const char* text : {"1e5-3", "1.2-3e4", "1D2D3", "1.5D", "D5", "1--5", "e-5"}) {
    expect_status(text, kFortranField, S::not_a_number);
  }
}

TEST(NumberGrammar, RangeAndSaturation) {
  expect_status("1e999", kFortranField, S::out_of_range);
  expect_status("-1e999", kOptionNumber, S::out_of_range);
  expect_status("1.0-999", kFortranField, S::out_of_range);
  const NumberGrammar saturating{.saturate = true};
  expect_number("1e999", saturating, std::numeric_limits<double>::infinity());
  expect_number("-1e999", saturating, -std::numeric_limits<double>::infinity());
  expect_number("-1e-999", saturating, -0.0);
  expect_number("1e-999", saturating, 0.0);
  // The subnormal range is in range.
  expect_number("4.9406564584124654e-324", kOptionNumber, std::numeric_limits<double>::denorm_min());
  EXPECT_FALSE(to_number("1e999", kFortranField).has_value());
}

TEST(NumberGrammar, BlanksOnlyWhenTrimmed) {
  expect_number(" \t12.5 ", kFortranField, 12.5);
  expect_status(" 12.5", kOptionNumber, S::not_a_number);
  expect_status("12.5 ", kOptionNumber, S::not_a_number);
  expect_status("1 2", kFortranField, S::not_a_number);
  expect_status("   ", kFortranField, S::not_a_number);
  expect_status("", kOptionNumber, S::not_a_number);
}

// The quick path for short decimals gives from_chars's double: random
// decimals of 1 to 20 digits with a point anywhere and exponents around the
// quick path's edges (1e-22 .. 1e22, 15 digits).
TEST(NumberGrammar, QuickPathAgreesWithFromChars) {
  std::mt19937_64 rng(20261209);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    if (rng() % 2) text += '-';
    const int digits = 1 + static_cast<int>(rng() % 20);
    const int point = static_cast<int>(rng() % static_cast<std::uint64_t>(digits + 1));
    for (int k = 0; k < digits; ++k) {
      if (k == point) text += '.';
      text += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 2) text += (rng() % 2 ? "e" : "E") + std::to_string(static_cast<int>(rng() % 60) - 30);
    double expected = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(r.ptr, text.data() + text.size()) << text;
    expect_number(text, kFortranField, expected);
  }
}

TEST(WholeInteger, SignsAndRange) {
  EXPECT_EQ(to_integer("+12"), 12);
  EXPECT_EQ(to_integer("-12"), -12);
  EXPECT_FALSE(to_integer("+12", false).has_value());
  for (const char* text : {"+-5", "", "+", "1.0", "12a", " 1", "9223372036854775808"}) {
    EXPECT_FALSE(to_integer(text).has_value()) << text;
  }
  EXPECT_EQ(to_integer("9223372036854775807"), std::numeric_limits<long long>::max());
}

// Random bit patterns and short decimals of every size.
double random_value(std::mt19937_64& rng, int i) {
  if (i % 3 == 0) return std::bit_cast<double>(rng());
  const double m = static_cast<double>(rng() % 100000000000000ULL);
  const double p = std::pow(10.0, static_cast<double>(static_cast<int>(rng() % 36) - 18));
  return (rng() % 2 ? -m : m) / p;
}

// The shortest writers must give exactly what std::to_chars gives: on
// decimals of every length and magnitude (where the quick path applies), on
// the edges between fixed and scientific notation, on arbitrary bit
// patterns (where it falls back), and after a column has given up on short
// decimals.
TEST(NumberWriters, ShortestIsToChars) {
  // A column writer sees the values in turn, so its hint and its give-up
  // count are exercised by the same mixed sequence.
  ShortestColumn column;
  auto same = [&column](double v) {
    char want[64], got[64], col[64];
    const auto w = std::to_chars(want, want + sizeof want, v);
    char* g = write_shortest(got, v);
    char* c = column.write(col, v);
    return std::string(want, w.ptr) == std::string(got, g) && std::string(want, w.ptr) == std::string(col, c);
  };
  for (const double v : {0.0, -0.0, 1.0, -1.0, 1e-5, 1e-4, 1.2e-4, 0.001, 0.0001234, 1e15, 999999999999999.0,
                         123456789012345.0, 1234567890123456.0, 1e14, 1.5e-7, 1e-17, 9.99e-18, 0.30000000000000004,
                         0.1 + 0.2, 5e-324, 1.7976931348623157e308, 1e100, 1e-100, 12345000000.0, 1234500000.0,
                         -0.061907010000000005, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(same(v)) << v;
  }
  std::mt19937_64 rng(20261208);
  int mismatches = 0;
  for (int i = 0; i < 300000 && mismatches < 5; ++i) {
    // a decimal of 1 to 16 digits with 0 to 19 places, either sign
    const int digits = 1 + static_cast<int>(rng() % 16);
    unsigned long long m = rng() % 10000000000000000ULL;
    for (int k = digits; k < 16; ++k) m /= 10;
    const int places = static_cast<int>(rng() % 20);
    double v = static_cast<double>(m);
    for (int k = 0; k < places; ++k) v /= 10.0;
    if (rng() & 1) v = -v;
    if (!same(v)) ++mismatches, ADD_FAILURE() << "decimal " << m << "e-" << places;
    // any bit pattern
    const double b = std::bit_cast<double>(rng());
    if (!same(b)) ++mismatches, ADD_FAILURE() << "bits " << std::bit_cast<std::uint64_t>(b);
  }
  // A long run of scaled counts makes the column writer give up on short
  // decimals; what follows must still come out right.
  for (int i = 0; i < 200; ++i) EXPECT_TRUE(same((i - 100) * (3920.0 / 6182761.0)));
  for (const double v : {0.5, -0.001234, 123.25}) EXPECT_TRUE(same(v)) << v;
  EXPECT_EQ(shortest(0.005), "0.005");
  EXPECT_EQ(shortest(-0.0), "-0");
}

TEST(NumberWriters, StylesArePrintfs) {
  std::mt19937_64 rng(11);
  char expected[512];
  for (int i = 0; i < 100000; ++i) {
    const double v = random_value(rng, i);
    const int digits = 1 + static_cast<int>(rng() % 17);
    std::snprintf(expected, sizeof expected, "%.*g", digits, v);
    ASSERT_EQ(significant(v, digits), expected) << digits;
    const int decimals = static_cast<int>(rng() % 12);
    if (std::fabs(v) < 1e300) {
      std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
      ASSERT_EQ(fixed(v, decimals), expected) << decimals;
    }
  }
  // The cases the old helpers were written for.
  EXPECT_EQ(significant(0.005, 10), "0.005");
  EXPECT_EQ(significant(1e-05, 10), "1e-05");
  EXPECT_EQ(significant(0.12345678, 4), "0.1235");
  EXPECT_EQ(significant(1.2345e-05, 4), "1.234e-05");
  EXPECT_EQ(fixed(0.0125, 3), "0.013");
  EXPECT_EQ(fixed(12.5, 0), "12");
}

}  // namespace
}  // namespace wavefft::common
