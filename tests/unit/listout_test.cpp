// SPDX-License-Identifier: GPL-3.0-or-later
#include "textio/listout.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>

namespace wavefft::textio {
namespace {

std::string record(std::initializer_list<ListItem> items) {
  std::string out;
  render_list_record(out, std::span<const ListItem>(items.begin(), items.size()));
  return out;
}

std::string list_double(double x) {
  std::string out;
  append_list_double(out, x);
  return out;
}

std::string list_integer(std::int32_t i) {
  std::string out;
  append_list_integer(out, i);
  return out;
}

TEST(ListRecord, WorkedRecords) {
  EXPECT_EQ(record({"NT and DT=", 1000, 0.01}), " NT and DT= 1000  0.01\n");
  EXPECT_EQ(record({" IF1,NF=", 12, 4096}), "  IF1,NF= 12 4096\n");
  EXPECT_EQ(record({" Highest Frequency (hz)=", 50.0244140625}), "  Highest Frequency (hz)=  50.0244141\n");
  EXPECT_EQ(record({"frequency(Hz),comp1, comp2, comp3"}), " frequency(Hz),comp1, comp2, comp3\n");
  EXPECT_EQ(record({0.01, 0.0012345, -0.5, 1.2E-5}), "  0.01  0.0012345 -0.5  1.2E-005\n");

  // dur, dom and eom computed as the run computes them for nf = 4096, dt = 0.01.
  const double dur = 4096.0 * 0.01;
  const double dom = 6.283185307 / dur;
  const double eom = 2049.0 * dom;
  EXPECT_EQ(record({" DUR,DOM,NOM,EOM=", dur, dom, 2049, eom}),
            "  DUR,DOM,NOM,EOM=  40.96  0.153398079 2049  314.312663\n");
}

TEST(ListRecord, EmptyRecordIsEmptyLine) {
  EXPECT_EQ(record({}), "\n");
  std::string out = "kept\n";
  render_list_record(out, {});
  EXPECT_EQ(out, "kept\n\n");
}

TEST(ListRecord, TextItemsGetBlankOnlyAtLineStart) {
  EXPECT_EQ(record({" Band Pass Filter? (YES=1)?? :"}), "  Band Pass Filter? (YES=1)?? :\n");
  EXPECT_EQ(record({"Cutting data? (No=0,Yes=1)"}), " Cutting data? (No=0,Yes=1)\n");
  EXPECT_EQ(record({"ab", "cd", 7, "ef"}), " abcd 7ef\n");
  // Trailing blanks of a character item are part of it.
  EXPECT_EQ(record({"x  ", 1}), " x   1\n");
}

TEST(ListRecord, PositionCountsFromRecordStart) {
  // Earlier output in the buffer, even without a line end, does not count
  // toward the line of this record.
  std::string out(100, 'z');
  const ListItem items[] = {"abc", 5};
  render_list_record(out, items);
  EXPECT_EQ(out, std::string(100, 'z') + " abc 5\n");
}

TEST(ListRecord, NegativeItems) {
  EXPECT_EQ(record({-5}), " -5\n");
  EXPECT_EQ(record({-0.5}), " -0.5\n");
  EXPECT_EQ(list_integer(0), " 0");
  EXPECT_EQ(list_integer(std::numeric_limits<std::int32_t>::min()), " -2147483648");
  EXPECT_EQ(list_integer(std::numeric_limits<std::int32_t>::max()), " 2147483647");
}

TEST(ListRecord, LineLimitAt80) {
  auto sv = [](const std::string& s) { return std::string_view(s); };
  const std::string t69(69, 'a');  // position 70 after it
  const std::string t70(70, 'a');  // position 71
  const std::string t75(75, 'a');  // position 76
  const std::string t73(73, 'a');  // position 74

  // Text: 70 + 10 reaches 80 -> new line, with the blank of a line start.
  EXPECT_EQ(record({sv(t69), std::string_view("0123456789")}), " " + t69 + "\n 0123456789\n");
  EXPECT_EQ(record({sv(t69), std::string_view("012345678")}), " " + t69 + "012345678\n");
  EXPECT_EQ(record({sv(t70), std::string_view("012345678")}), " " + t70 + "\n 012345678\n");

  // Integer: counted by its digits; the blank and the minus do not count.
  EXPECT_EQ(record({sv(t75), 1234}), " " + t75 + "\n 1234\n");
  EXPECT_EQ(record({sv(t75), 123}), " " + t75 + " 123\n");
  EXPECT_EQ(record({sv(t75), -123}), " " + t75 + " -123\n");  // 76 + 3 = 79: stays, line of 81
  EXPECT_EQ(record({sv(t75), -1234}), " " + t75 + "\n -1234\n");

  // Double: counted by its whole text ("  0.01" is 6).
  EXPECT_EQ(record({sv(t73), 0.01}), " " + t73 + "\n  0.01\n");
  EXPECT_EQ(record({sv(t73 + "b"), 0.01}).find('\n'), 75u);
  const std::string t72(72, 'a');  // position 73: 73 + 6 = 79 stays
  EXPECT_EQ(record({sv(t72), 0.01}), " " + t72 + "  0.01\n");

  // At position 0 no line end is written, however long the item; an item is
  // never split.
  const std::string t100(100, 'q');
  EXPECT_EQ(record({sv(t100)}), " " + t100 + "\n");
  EXPECT_EQ(record({sv(t100), 1}), " " + t100 + "\n 1\n");

  // Several breaks in one record: each new line starts at position 0.
  std::string expected;
  for (int i = 0; i < 3; ++i) expected += " " + t70 + "\n";
  EXPECT_EQ(record({sv(t70), sv(t70), sv(t70)}), expected);
}

TEST(ListDouble, IsolatedValues) {
  EXPECT_EQ(list_double(1000.0), "  1000.");
  EXPECT_EQ(list_double(0.0), "  0.");
  EXPECT_EQ(list_double(-0.0), "  0.");
  EXPECT_EQ(list_double(1.0E9), "  1.E+009");
  EXPECT_EQ(list_double(123456789.0), "  123456789.");
  EXPECT_EQ(list_double(1234567890.0), "  1.23456789E+009");
  EXPECT_EQ(list_double(1.0 / 3.0), "  0.333333333");
  EXPECT_EQ(list_double(-0.0001), " -0.0001");
  EXPECT_EQ(list_double(0.0001), "  0.0001");
  EXPECT_EQ(list_double(0.00001), "  1.E-005");
  EXPECT_EQ(list_double(999999999.0), "  999999999.");
  EXPECT_EQ(list_double(9.99999999E8), "  999999999.");
  EXPECT_EQ(list_double(1.0), "  1.");
  EXPECT_EQ(list_double(-2.5), " -2.5");
}

TEST(ListDouble, FormChosenAfterRounding) {
  // Rounding to 9 digits moves the exponent across both thresholds.
  EXPECT_EQ(list_double(999999999.4), "  999999999.");
  EXPECT_EQ(list_double(999999999.6), "  1.E+009");
  EXPECT_EQ(list_double(9.9999999996e-5), "  0.0001");  // rounds up to 1.00000000e-4
  EXPECT_EQ(list_double(9.99999999e-5), "  9.99999999E-005");
  EXPECT_EQ(list_double(0.000123456789), "  0.000123456789");
  EXPECT_EQ(list_double(-1.5e-300), " -1.5E-300");
}

TEST(ListDouble, Extremes) {
  EXPECT_EQ(list_double(std::numeric_limits<double>::max()), "  1.79769313E+308");
  EXPECT_EQ(list_double(-std::numeric_limits<double>::denorm_min()), " -4.94065646E-324");
  EXPECT_EQ(list_double(std::numeric_limits<double>::min()), "  2.22507386E-308");
}

TEST(ListDouble, NonFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(list_double(inf), "  Infinity");
  EXPECT_EQ(list_double(-inf), " -Infinity");
  EXPECT_EQ(list_double(std::numeric_limits<double>::quiet_NaN()), "  NaN");
  EXPECT_EQ(record({1, inf}), " 1  Infinity\n");
}

// The 9 significant digits of x as to_chars gives them, read back.
double rounded_to_9(double x) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 8);
  double v = 0;
  std::from_chars(buf, res.ptr, v);
  return v;
}

int decimal_exponent_after_rounding(double x) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, 8);
  int e = 0;
  const char* p = buf;
  while (*p != 'e') ++p;
  ++p;
  if (*p == '+') ++p;
  std::from_chars(p, res.ptr, e);
  return e;
}

void check_round_trip(double x) {
  const std::string text = list_double(x);
  ASSERT_GE(text.size(), 4u) << text;
  ASSERT_EQ(text[0], ' ');
  ASSERT_EQ(text[1], x < 0 ? '-' : ' ') << text;
  const std::string body = text.substr(1);  // sign column and number
  const std::size_t e_pos = body.find('E');
  const std::size_t point = body.find('.');
  ASSERT_NE(point, std::string::npos) << text;

  const int e10 = decimal_exponent_after_rounding(x);
  const bool exponent_form = e10 < -4 || e10 >= 9;
  ASSERT_EQ(e_pos != std::string::npos, exponent_form) << text;
  if (exponent_form) {
    // E, sign, exactly three digits, point directly after the first digit.
    ASSERT_EQ(body.size() - e_pos, 5u) << text;
    ASSERT_TRUE(body[e_pos + 1] == '+' || body[e_pos + 1] == '-') << text;
    ASSERT_EQ(point, 2u) << text;
  }
  // No trailing zero in the fraction.
  const std::size_t frac_end = exponent_form ? e_pos : body.size();
  if (frac_end > point + 1) {
    ASSERT_NE(body[frac_end - 1], '0') << text;
  }

  // At most 9 significant digits.
  int significant = 0;
  bool leading = true;
  for (std::size_t i = 0; i < frac_end; ++i) {
    const char c = body[i];
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++significant;
  }
  ASSERT_LE(significant, 9) << text;

  // Parse back: drop the blank sign column; the forced point ("1." or
  // "1.E+009") is accepted by from_chars as it is.
  const char* first = body.data() + (body[0] == ' ' ? 1 : 0);
  double back = 0;
  const auto res = std::from_chars(first, body.data() + body.size(), back);
  ASSERT_EQ(res.ec, std::errc()) << text;
  ASSERT_EQ(res.ptr, body.data() + body.size()) << text;
  ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(rounded_to_9(x))) << text;
}

TEST(ListDouble, RoundTripRandomBits) {
  std::mt19937_64 gen(20240601);
  int checked = 0;
  while (checked < 100000) {
    const double x = std::bit_cast<double>(gen());
    if (!std::isfinite(x) || x == 0.0) continue;
    check_round_trip(x);
    if (testing::Test::HasFatalFailure()) return;
    ++checked;
  }
}

TEST(ListDouble, RoundTripAroundFormThresholds) {
  // Magnitudes from 1e-7 to 1e11, where the choice of form changes.
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-7, 11);
  for (int i = 0; i < 100000; ++i) {
    const double x = mantissa(gen) * std::pow(10.0, exponent(gen)) * ((i & 1) ? -1.0 : 1.0);
    check_round_trip(x);
    if (testing::Test::HasFatalFailure()) return;
  }
  // Neighbours of the exact thresholds.
  for (double t : {1e-4, 1e-5, 1e9, 1e8, 999999999.5, 9.999999995e-5}) {
    double lo = t;
    double hi = t;
    for (int k = 0; k < 50; ++k) {
      check_round_trip(lo);
      check_round_trip(hi);
      lo = std::nextafter(lo, 0.0);
      hi = std::nextafter(hi, 1e300);
    }
  }
}

}  // namespace
}  // namespace wavefft::textio
