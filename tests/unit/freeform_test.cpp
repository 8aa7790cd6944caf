// SPDX-License-Identifier: GPL-3.0-or-later
// Free-form read and "(A90)" line read: values, statuses, and
// where the reader left the stream.

#include "textio/freeform.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>

namespace wavefft::textio {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
/// Value of a destination that the read must leave alone.
constexpr double kUntouched = 0x1.5p+5;  // 42
constexpr std::int32_t kUntouchedInt = -77;

// ---------------------------------------------------------------------------
// Helpers.

/// A MemoryInStream with the reads under test. `block` is the stream's buffer
/// size; small blocks put refills (and CR LF pairs) across block boundaries.
class Input {
 public:
  explicit Input(std::string data, std::size_t block = 1u << 20) : in_(std::move(data), block) {}

  /// One free-form read of the given destinations; returns the status.
  template <class... T>
  ReadStatus read(T&... targets) {
    const std::array<Dest, sizeof...(T)> dests{dest(targets)...};
    return read_list(in_, dests);
  }
  ReadStatus read_dests(std::span<const Dest> dests) { return read_list(in_, dests); }
  ReadStatus line(Text90& out) { return read_line_a90(in_, out); }

  /// Everything not consumed yet (consumes it).
  std::string rest() {
    std::string s;
    for (int c = in_.get(); c != InStream::kEnd; c = in_.get()) s.push_back(static_cast<char>(c));
    return s;
  }
  bool at_end() const { return in_.at_end(); }

 private:
  MemoryInStream in_;
};

/// Runs one free-form read of `targets` on `data`; returns the status. A small
/// block keeps the many short reads cheap (the default block is 1 MiB).
template <class... T>
ReadStatus read_once(std::string data, T&... targets) {
  Input in(std::move(data), 256);
  return in.read(targets...);
}

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

::testing::AssertionResult SameBits(double actual, double expected) {
  if (bits(actual) == bits(expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hexfloat << actual << " != expected " << expected;
}

/// std::from_chars on the same text: the reference for correct rounding.
double reference(std::string_view s) {
  double v = 0.0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  EXPECT_EQ(r.ec, std::errc()) << s;
  EXPECT_EQ(r.ptr, s.data() + s.size()) << s;
  return v;
}

/// Reads `text` as one double (starting from kUntouched).
double read_double(const std::string& text) {
  double v = kUntouched;
  const ReadStatus s = read_once(text, v);
  EXPECT_TRUE(s.ok()) << text << ": " << (s.context ? s.context : "");
  return v;
}

std::int32_t read_int(const std::string& text) {
  std::int32_t v = kUntouchedInt;
  const ReadStatus s = read_once(text, v);
  EXPECT_TRUE(s.ok()) << text << ": " << (s.context ? s.context : "");
  return v;
}

::testing::AssertionResult Succeeded(const ReadStatus& s) {
  if (s.error == ReadError::None && s.context == nullptr && s.message == nullptr) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "error " << static_cast<int>(s.error) << " "
                                       << (s.context ? s.context : "(null)");
}

::testing::AssertionResult Failed(const ReadStatus& s, ReadError error, std::string_view context,
                                  std::string_view message) {
  if (s.error == error && s.context != nullptr && s.message != nullptr && s.context == context &&
      s.message == message && !s.ok()) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got error " << static_cast<int>(s.error) << " \""
                                       << (s.context ? s.context : "(null)") << ": "
                                       << (s.message ? s.message : "(null)") << "\", expected \""
                                       << context << ": " << message << "\"";
}

::testing::AssertionResult EndInDiscard(const ReadStatus& s) {
  if (s.error == ReadError::EndInDiscard && s.ok() && s.end_of_file()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "error " << static_cast<int>(s.error);
}

void expect_invalid_number(const ReadStatus& s) {
  EXPECT_TRUE(Failed(s, ReadError::InvalidNumber, "invalid number", "incomprehensible list input"));
}
void expect_invalid_integer(const ReadStatus& s) {
  EXPECT_TRUE(Failed(s, ReadError::InvalidInteger, "invalid integer", "read unexpected character"));
}
void expect_exponent_field(const ReadStatus& s) {
  EXPECT_TRUE(Failed(s, ReadError::ExponentField, "exponent field", "incomprehensible list input"));
}
void expect_bad_repetition(const ReadStatus& s) {
  EXPECT_TRUE(Failed(s, ReadError::BadRepetition, "bad repetition count", "incomprehensible list input"));
}
void expect_end_of_file(const ReadStatus& s, std::string_view context) {
  EXPECT_TRUE(Failed(s, ReadError::EndOfFile, context, "end of file"));
  EXPECT_TRUE(s.end_of_file());
}

std::string str(const Text90& t) { return std::string(t.begin(), t.end()); }
std::string padded(std::string s) {
  s.resize(90, ' ');
  return s;
}
Text90 text_of(char c) {
  Text90 t;
  t.fill(c);
  return t;
}

/// Value number k (0-based) of a synthetic data record: "k.25" plus 1000*r.
double record_value(int r, int k) { return 1000.0 * r + k + 0.25; }
/// A data record of `n` values separated by `sep`, without a line end.
std::string record_text(int r, int n, const std::string& sep = " ") {
  std::string s;
  for (int k = 0; k < n; ++k) {
    if (k > 0) s += sep;
    s += std::to_string(1000 * r + k) + ".25";
  }
  return s;
}

/// The 43 destinations of one data record.
struct Record {
  std::array<double, 43> v{};
  std::array<Dest, 43> dests() {
    std::array<Dest, 43> d{};
    for (std::size_t i = 0; i < v.size(); ++i) d[i] = dest(v[i]);
    return d;
  }
};

// ---------------------------------------------------------------------------
// Typed answers, one per row: the line as typed, the read, the result.

TEST(TypedAnswers, OneIntegerDiscardsRestOfLine) {
  // 1 2  / one integer -> 1; the 2 is discarded with the line
  Input in("1 2\nnext\n");
  std::int32_t i = kUntouchedInt;
  EXPECT_TRUE(Succeeded(in.read(i)));
  EXPECT_EQ(i, 1);
  EXPECT_EQ(in.rest(), "next\n");
}

TEST(TypedAnswers, NullBetweenCommas) {
  // 0.1,,20,25 / four doubles -> the second stays unchanged
  double a = kUntouched, b = kUntouched, c = kUntouched, d = kUntouched;
  EXPECT_TRUE(Succeeded(read_once("0.1,,20,25\n", a, b, c, d)));
  EXPECT_TRUE(SameBits(a, 0.1));
  EXPECT_TRUE(SameBits(b, kUntouched));
  EXPECT_TRUE(SameBits(c, 20.0));
  EXPECT_TRUE(SameBits(d, 25.0));
}

TEST(TypedAnswers, RepeatedValue) {
  // 4*1.5 / four doubles -> all four become 1.5
  double a = 0, b = 0, c = 0, d = 0;
  EXPECT_TRUE(Succeeded(read_once("4*1.5\n", a, b, c, d)));
  for (double v : {a, b, c, d}) EXPECT_TRUE(SameBits(v, 0x1.8p+0));
}

TEST(TypedAnswers, RepeatedNull) {
  // 2*,3,4 / four doubles -> first two unchanged, last two 3 and 4
  double a = kUntouched, b = kUntouched, c = 0, d = 0;
  EXPECT_TRUE(Succeeded(read_once("2*,3,4\n", a, b, c, d)));
  EXPECT_TRUE(SameBits(a, kUntouched));
  EXPECT_TRUE(SameBits(b, kUntouched));
  EXPECT_TRUE(SameBits(c, 3.0));
  EXPECT_TRUE(SameBits(d, 4.0));
}

TEST(TypedAnswers, SlashEndsRead) {
  // 0.1 0.2/ / four doubles -> two set, two unchanged
  Input in("0.1 0.2/ 7 8\nnext");
  double a = 0, b = 0, c = kUntouched, d = kUntouched;
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_TRUE(SameBits(a, 0.1));
  EXPECT_TRUE(SameBits(b, 0.2));
  EXPECT_TRUE(SameBits(c, kUntouched));
  EXPECT_TRUE(SameBits(d, kUntouched));
  EXPECT_EQ(in.rest(), "next");
}

TEST(TypedAnswers, ReadGoesOnToNextLine) {
  // 0.1 0.2 / four doubles -> the read goes on to the next line for two more
  Input in("0.1 0.2\n0.3 0.4 0.5\nnext");
  double a = 0, b = 0, c = 0, d = 0;
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_TRUE(SameBits(a, 0.1));
  EXPECT_TRUE(SameBits(b, 0.2));
  EXPECT_TRUE(SameBits(c, 0.3));
  EXPECT_TRUE(SameBits(d, 0.4));
  EXPECT_EQ(in.rest(), "next");
}

TEST(TypedAnswers, TrailingLettersAfterInteger) {
  // 1abc / one integer -> 1; abc is discarded
  Input in("1abc\nnext");
  std::int32_t i = 0;
  EXPECT_TRUE(Succeeded(in.read(i)));
  EXPECT_EQ(i, 1);
  EXPECT_EQ(in.rest(), "next");
}

TEST(TypedAnswers, TrailingLettersAreTheNextValue) {
  // 1abc / four doubles -> 1, then abc fails as the next value
  double a = 0, b = kUntouched, c = kUntouched, d = kUntouched;
  expect_invalid_number(read_once("1abc\n", a, b, c, d));
  EXPECT_TRUE(SameBits(a, 1.0));
  EXPECT_TRUE(SameBits(b, kUntouched));
  EXPECT_TRUE(SameBits(c, kUntouched));
  EXPECT_TRUE(SameBits(d, kUntouched));
}

TEST(TypedAnswers, SignStartsExponentAtInteger) {
  EXPECT_EQ(read_int("1+1\n"), 10);  // 1+1 -> 10
  EXPECT_EQ(read_int("1-1\n"), 0);   // 0.1 truncated
  EXPECT_EQ(read_int("-0\n"), 0);
}

TEST(TypedAnswers, DExponent) {
  EXPECT_TRUE(SameBits(read_double("1.5D3\n"), 1500.0));
  EXPECT_TRUE(SameBits(read_double("1.5d3\n"), 1500.0));
}

TEST(TypedAnswers, UnknownLetterIsTheNextValue) {
  // 1.5Q3 / two doubles -> 1.5, then Q3 fails as the next value
  double a = 0, b = kUntouched;
  expect_invalid_number(read_once("1.5Q3\n", a, b));
  EXPECT_TRUE(SameBits(a, 1.5));
  EXPECT_TRUE(SameBits(b, kUntouched));
}

// ---------------------------------------------------------------------------
// Separators and null values.

TEST(NullValues, EmptyLinesAreSkipped) {
  Input in("\n   \n\t\n5\nnext");
  std::int32_t i = 0;
  EXPECT_TRUE(Succeeded(in.read(i)));
  EXPECT_EQ(i, 5);
  EXPECT_EQ(in.rest(), "next");
}

TEST(NullValues, CommaOnNextLine) {
  // A line holding 1, then a line holding ,2: the line end and the comma are
  // two separators, so the second integer stays unchanged and the 2 is lost.
  Input in("1\n,2\nnext");
  std::int32_t a = 0, b = kUntouchedInt;
  EXPECT_TRUE(Succeeded(in.read(a, b)));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, kUntouchedInt);
  EXPECT_EQ(in.rest(), "next");
}

TEST(NullValues, CommaAfterBlanksBelongsToValue) {
  // "1 , 2": blanks then one comma are a single separator.
  double a = 0, b = 0;
  EXPECT_TRUE(Succeeded(read_once("1 ,\t2\n", a, b)));
  EXPECT_TRUE(SameBits(a, 1.0));
  EXPECT_TRUE(SameBits(b, 2.0));
}

TEST(NullValues, LeadingAndDoubledCommas) {
  double a = kUntouched, b = kUntouched, c = 0;
  EXPECT_TRUE(Succeeded(read_once(",,3\n", a, b, c)));
  EXPECT_TRUE(SameBits(a, kUntouched));
  EXPECT_TRUE(SameBits(b, kUntouched));
  EXPECT_TRUE(SameBits(c, 3.0));
}

TEST(NullValues, SignAloneBeforeComma) {
  // No digit and a comma next: a null value, as with nothing before the comma.
  std::int32_t a = kUntouchedInt, b = 0;
  EXPECT_TRUE(Succeeded(read_once("+,5\n", a, b)));
  EXPECT_EQ(a, kUntouchedInt);
  EXPECT_EQ(b, 5);
}

TEST(Slash, LeavesTheRestUnchanged) {
  Input in("1 / 2\nnext");
  std::int32_t a = 0, b = kUntouchedInt, c = kUntouchedInt;
  EXPECT_TRUE(Succeeded(in.read(a, b, c)));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, kUntouchedInt);
  EXPECT_EQ(c, kUntouchedInt);
  EXPECT_EQ(in.rest(), "next");
}

TEST(Slash, OnANewLineAndDirectlyAfterANumber) {
  Input in("\n/\n7/8\n");
  std::int32_t a = kUntouchedInt;
  EXPECT_TRUE(Succeeded(in.read(a)));
  EXPECT_EQ(a, kUntouchedInt);
  std::int32_t b = 0, c = kUntouchedInt;
  EXPECT_TRUE(Succeeded(in.read(b, c)));
  EXPECT_EQ(b, 7);
  EXPECT_EQ(c, kUntouchedInt);
  EXPECT_EQ(in.rest(), "");
}

TEST(EmptyRead, ConsumesExactlyTheRestOfTheLine) {
  Input in("column titles, 'quoted / \"\n1\n");
  EXPECT_TRUE(Succeeded(in.read()));
  EXPECT_EQ(in.rest(), "1\n");
}

TEST(EmptyRead, EndOfInputWhileDiscarding) {
  Input in("no line end");
  EXPECT_TRUE(EndInDiscard(in.read()));
  EXPECT_TRUE(in.at_end());
  expect_end_of_file(in.read(), "read start");
}

TEST(EmptyRead, EmptyInput) {
  Input in("");
  EXPECT_TRUE(EndInDiscard(in.read()));
  expect_end_of_file(in.read(), "read start");
}

// ---------------------------------------------------------------------------
// Numbers: digits, rounding, exponents.

TEST(FortyDigitMantissas, FortyFiveDigitsBeforeThePoint) {
  // The first 40 digits times 10^5.
  const std::string digits = "123456789012345678901234567890123456789098765";
  EXPECT_TRUE(SameBits(read_double(digits + "\n"), reference(digits.substr(0, 40) + "e5")));
  EXPECT_TRUE(SameBits(read_double(digits + ".999\n"), reference(digits.substr(0, 40) + "e5")));
}

TEST(FortyDigitMantissas, DigitsAfterTheFortiethAreIgnored) {
  const std::string forty = "1234567890123456789012345678901234567890";
  EXPECT_TRUE(SameBits(read_double(forty + ".98765\n"), reference(forty)));
  EXPECT_TRUE(SameBits(read_double("0.000" + forty + "98765\n"), reference("0.000" + forty)));
  EXPECT_TRUE(SameBits(read_double("12345." + forty + "\n"), reference("12345." + forty.substr(0, 35))));
}

TEST(FortyDigitMantissas, HalfwayDecidedByTheFortiethDigit) {
  // 2^53 + 1 is halfway between 2^53 and 2^53 + 2.
  // Exactly halfway: ties to even -> 2^53.
  EXPECT_TRUE(SameBits(read_double("9007199254740993\n"), 0x1p+53));
  // A 1 as the 40th significant digit lifts it above the half.
  const std::string above = "9007199254740993." + std::string(23, '0') + "1";  // 16 + 24 digits
  EXPECT_TRUE(SameBits(read_double(above + "\n"), 0x1.0000000000001p+53));
  EXPECT_TRUE(SameBits(read_double(above + "\n"), reference(above)));
  // As the 41st it is ignored: halfway again, ties to even.
  EXPECT_TRUE(SameBits(read_double("9007199254740993." + std::string(24, '0') + "1\n"), 0x1p+53));
  // Dropped digits before the point are not looked at either: the 41st..43rd
  // digits "999" only raise the exponent.
  const std::string kept = "9007199254740993" + std::string(24, '0');
  EXPECT_TRUE(SameBits(read_double(kept + "999\n"), reference(kept + "e3")));
}

TEST(FortyDigitMantissas, AgreesWithFromCharsOnRandomDigitStrings) {
  std::mt19937_64 rng(20240607);
  for (int i = 0; i < 20000; ++i) {
    const int ndigits = 1 + static_cast<int>(rng() % 40);
    std::string s;
    if (rng() % 2) s += '-';
    const int zeros = static_cast<int>(rng() % 4);
    for (int k = 0; k < zeros; ++k) s += '0';
    const int point = static_cast<int>(rng() % static_cast<unsigned>(ndigits + 1));
    for (int k = 0; k < ndigits; ++k) {
      if (k == point) s += '.';
      s += static_cast<char>('0' + rng() % 10);
    }
    const int exponent = static_cast<int>(rng() % 700) - 350;
    s += 'e' + std::to_string(exponent);
    double expected = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), expected);
    if (r.ec == std::errc::result_out_of_range) {
      // from_chars leaves the value alone; ours gives 0 or infinity.
      const double got = read_double(s + "\n");
      EXPECT_TRUE(got == 0.0 || std::isinf(got)) << s;
      continue;
    }
    double got = read_double(s + "\n");
    if (expected == 0.0) expected = 0.0;  // only zeros: +0.0, never -0.0
    EXPECT_TRUE(SameBits(got, expected)) << s;
  }
}

TEST(FortyDigitMantissas, AgreesWithFromCharsAroundTheFastPath) {
  // Short mantissas with small exponents (up to 15 digits and 10^+-22 take a
  // shortcut), and the lengths and exponents just past it.
  std::mt19937_64 rng(7);
  for (int i = 0; i < 50000; ++i) {
    const int ndigits = 1 + static_cast<int>(rng() % 19);
    std::string s = (rng() % 2) ? "-" : "";
    for (int k = 0; k < ndigits; ++k) s += static_cast<char>('0' + rng() % 10);
    s += 'e' + std::to_string(static_cast<int>(rng() % 61) - 30);
    double expected = reference(s);
    if (expected == 0.0) expected = 0.0;
    EXPECT_TRUE(SameBits(read_double(s + "\n"), expected)) << s;
  }
  for (const char* s : {"999999999999999e22", "999999999999999e-22", "9999999999999999e22", "1e23", "1e-23",
                        "123456789012345e-22", "8.98846567431158e307"}) {
    EXPECT_TRUE(SameBits(read_double(std::string(s) + "\n"), reference(s))) << s;
  }
}

TEST(Exponents, Limits) {
  EXPECT_TRUE(SameBits(read_double("1e99999999\n"), kInf));
  EXPECT_TRUE(SameBits(read_double("-1e99999999\n"), -kInf));
  EXPECT_TRUE(SameBits(read_double("1e-99999999\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("0e99999999\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("1e000000000001\n"), 10.0));  // leading zeros are no digits that count
  double v = kUntouched;
  expect_exponent_field(read_once("1e100000000\n", v));
  expect_exponent_field(read_once("1e-100000000\n", v));
  expect_exponent_field(read_once("1+100000000\n", v));
  EXPECT_TRUE(SameBits(v, kUntouched));
}

TEST(Exponents, SignOrLetterWithoutDigit) {
  double v = kUntouched;
  expect_exponent_field(read_once("5-\n", v));
  expect_exponent_field(read_once("5- 3\n", v));
  expect_exponent_field(read_once("1e\n", v));
  expect_exponent_field(read_once("1e+\n", v));
  expect_exponent_field(read_once("1.5D-x\n", v));
  expect_exponent_field(read_once("+-\n", v));
  std::int32_t i = kUntouchedInt;
  expect_exponent_field(read_once("7+\n", i));
  EXPECT_TRUE(SameBits(v, kUntouched));
  EXPECT_EQ(i, kUntouchedInt);
}

TEST(Exponents, WithoutLetter) {
  EXPECT_TRUE(SameBits(read_double("1.5-3\n"), reference("1.5e-3")));  // 0.0015
  EXPECT_TRUE(SameBits(read_double("2+1\n"), 20.0));
  EXPECT_TRUE(SameBits(read_double(".5+2\n"), 50.0));
  EXPECT_EQ(read_int("2+1\n"), 20);
  EXPECT_EQ(read_int("15-1\n"), 1);
}

TEST(Exponents, Letters) {
  EXPECT_TRUE(SameBits(read_double("1.5E3\n"), 1500.0));
  EXPECT_TRUE(SameBits(read_double("1.5e+3\n"), 1500.0));
  EXPECT_TRUE(SameBits(read_double("15D-1\n"), 1.5));
  EXPECT_TRUE(SameBits(read_double("1.5d-3\n"), reference("1.5e-3")));
  EXPECT_TRUE(SameBits(read_double("0e5\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("1.e1\n"), 10.0));
}

TEST(Exponents, LetterOrPointInInteger) {
  std::int32_t i = kUntouchedInt;
  expect_invalid_integer(read_once("2e3\n", i));
  expect_invalid_integer(read_once("2D3\n", i));
  expect_invalid_integer(read_once("1.0\n", i));
  expect_invalid_integer(read_once(".5\n", i));
  expect_invalid_integer(read_once("3*1.5\n", i));
  EXPECT_EQ(i, kUntouchedInt);
}

TEST(Exponents, LetterWithoutDigitBeforeIt) {
  double v = kUntouched;
  std::int32_t i = kUntouchedInt;
  expect_invalid_number(read_once("E5\n", v));
  expect_invalid_number(read_once("E5\n", i));
  expect_invalid_number(read_once("abc\n", v));
  expect_invalid_number(read_once("+ 5\n", v));
  expect_invalid_number(read_once(". 5\n", v));
  expect_invalid_number(read_once("+\n", i));
  EXPECT_TRUE(SameBits(v, kUntouched));
  EXPECT_EQ(i, kUntouchedInt);
}

TEST(Exponents, ManyDigitsAndZerosDoNotOverflow) {
  // 2,000,000 zeros after the point, then 10^2000005: 10^-2000001 * 10^2000005.
  EXPECT_TRUE(SameBits(read_double("0." + std::string(2'000'000, '0') + "1e+2000005\n"), 1e4));
  EXPECT_TRUE(SameBits(read_double("0." + std::string(2'000'000, '0') + "1\n"), 0.0));
  // 1 and 3,000,000 zeros: 10^3000000, then 10^-2999990.
  EXPECT_TRUE(SameBits(read_double("1" + std::string(3'000'000, '0') + "e-2999990\n"), 1e10));
  EXPECT_TRUE(SameBits(read_double("1" + std::string(3'000'000, '7') + "-2999999\n"),
                       reference("1" + std::string(39, '7') + "e-38")));
  EXPECT_TRUE(SameBits(read_double("1" + std::string(3'000'000, '0') + "\n"), kInf));
  EXPECT_TRUE(SameBits(read_double("-1" + std::string(3'000'000, '0') + "\n"), -kInf));
  // Millions of zeros before the first digit count as nothing.
  EXPECT_TRUE(SameBits(read_double(std::string(3'000'000, '0') + "25\n"), 25.0));
  // A repeat prefix of a million digits is too long, not an overflow.
  std::int32_t i = kUntouchedInt;
  expect_bad_repetition(read_once(std::string(1'000'000, '9') + "*3\n", i));
}

TEST(Exponents, OverflowAndUnderflow) {
  EXPECT_TRUE(SameBits(read_double("1.7976931348623157e308\n"), 0x1.fffffffffffffp+1023));
  EXPECT_TRUE(SameBits(read_double("1.7976931348623159e308\n"), kInf));
  EXPECT_TRUE(SameBits(read_double("-1.8e308\n"), -kInf));
  EXPECT_TRUE(SameBits(read_double("2.2250738585072011e-308\n"), 0x0.fffffffffffffp-1022));
  EXPECT_TRUE(SameBits(read_double("4.9e-324\n"), 0x0.0000000000001p-1022));
  EXPECT_TRUE(SameBits(read_double("2.5e-324\n"), 0x0.0000000000001p-1022));
  EXPECT_TRUE(SameBits(read_double("2e-324\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("-2e-324\n"), -0.0));  // underflow keeps the sign
  EXPECT_TRUE(SameBits(read_double("-1e-400\n"), -0.0));
}

TEST(NegativeZero, OnlyZerosGivePlusZero) {
  EXPECT_TRUE(SameBits(read_double("-0\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("-0.000\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("-000e5\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("-.0-3\n"), 0.0));
  EXPECT_TRUE(SameBits(read_double("-0." + std::string(100, '0') + "\n"), 0.0));
  EXPECT_EQ(read_int("-0\n"), 0);
}

TEST(IntegerSaturation, OutsideThe32BitRange) {
  EXPECT_EQ(read_int("2147483647\n"), kIntMax);
  EXPECT_EQ(read_int("2147483648\n"), kIntMax);
  EXPECT_EQ(read_int("-2147483648\n"), kIntMin);
  EXPECT_EQ(read_int("-2147483649\n"), kIntMin);
  EXPECT_EQ(read_int("99999999999999999999999999999999999999999999999\n"), kIntMax);
  EXPECT_EQ(read_int("1+99999999\n"), kIntMax);   // +infinity
  EXPECT_EQ(read_int("-1+99999999\n"), kIntMin);  // -infinity
  EXPECT_EQ(read_int("1-99999999\n"), 0);
  EXPECT_EQ(read_int("-75-1\n"), -7);  // -7.5 truncated toward zero
  EXPECT_EQ(read_int("+42\n"), 42);
  EXPECT_EQ(read_int("007\n"), 7);
}

// ---------------------------------------------------------------------------
// Repeat prefixes.

TEST(RepeatCounts, Valid) {
  std::int32_t a = 0, b = 0, c = 0, d = 0;
  EXPECT_TRUE(Succeeded(read_once("3*7 8\n", a, b, c, d)));
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(c, 7);
  EXPECT_EQ(d, 8);
  EXPECT_TRUE(Succeeded(read_once("+2*-5,6\n", a, b, c)));  // comma goes with the last copy
  EXPECT_EQ(a, -5);
  EXPECT_EQ(b, -5);
  EXPECT_EQ(c, 6);
  EXPECT_TRUE(Succeeded(read_once("02*+9 , 4\n", a, b, c)));
  EXPECT_EQ(a, 9);
  EXPECT_EQ(b, 9);
  EXPECT_EQ(c, 4);
}

TEST(RepeatCounts, MoreCopiesThanDestinations) {
  Input in("5*2 9\nnext");
  std::int32_t a = 0, b = 0;
  EXPECT_TRUE(Succeeded(in.read(a, b)));
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(in.rest(), "next");
  // The pending copies do not carry over into the next read.
  Input in2("5*2\n8\n");
  std::int32_t c = 0;
  EXPECT_TRUE(Succeeded(in2.read(a)));
  EXPECT_TRUE(Succeeded(in2.read(c)));
  EXPECT_EQ(c, 8);
}

TEST(RepeatCounts, SaturatingCount) {
  std::int32_t a = 0, b = 0;
  EXPECT_TRUE(Succeeded(read_once("99999999999999999999999999*1\n", a, b)));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1);
  // 40 significant digits are still a count; 41 are not.
  EXPECT_TRUE(Succeeded(read_once(std::string(40, '9') + "*3\n", a)));
  EXPECT_EQ(a, 3);
  expect_bad_repetition(read_once(std::string(41, '9') + "*3\n", a));
  EXPECT_TRUE(Succeeded(read_once("0000" + std::string(40, '9') + "*4\n", a)));
  EXPECT_EQ(a, 4);
}

TEST(RepeatCounts, Invalid) {
  std::int32_t i = kUntouchedInt;
  double v = kUntouched;
  expect_bad_repetition(read_once("0*5\n", i));
  expect_bad_repetition(read_once("-2*5\n", i));
  expect_bad_repetition(read_once("*5\n", i));
  expect_bad_repetition(read_once("+*5\n", v));
  expect_bad_repetition(read_once("000*5\n", v));
  EXPECT_EQ(i, kUntouchedInt);
  EXPECT_TRUE(SameBits(v, kUntouched));
}

TEST(RepeatCounts, PrefixFollowedByBlankOrLineEndIsNulls) {
  // 3* followed by a separator leaves three destinations unchanged.
  std::int32_t a = kUntouchedInt, b = kUntouchedInt, c = kUntouchedInt, d = 0;
  EXPECT_TRUE(Succeeded(read_once("3* 4\n", a, b, c, d)));
  EXPECT_EQ(a, kUntouchedInt);
  EXPECT_EQ(b, kUntouchedInt);
  EXPECT_EQ(c, kUntouchedInt);
  EXPECT_EQ(d, 4);
  double x = kUntouched, y = 0;
  EXPECT_TRUE(Succeeded(read_once("1*\n5\n", x, y)));
  EXPECT_TRUE(SameBits(x, kUntouched));
  EXPECT_TRUE(SameBits(y, 5.0));
  EXPECT_TRUE(Succeeded(read_once("2*/\n", x, y)));
  EXPECT_TRUE(SameBits(x, kUntouched));
  EXPECT_TRUE(SameBits(y, 5.0));
}

TEST(RepeatCounts, PrefixThenEndOfInput) {
  // Not a blank, tab or line end: no null values.
  double v = kUntouched;
  expect_invalid_number(read_once("3*", v));
  expect_invalid_number(read_once("3*x\n", v));
}

TEST(RepeatCounts, EndOfInputStopsTheCopies) {
  // The value ends at the end of input: the next destination meets the end,
  // even though copies are pending.
  double a = 0, b = kUntouched, c = kUntouched;
  expect_end_of_file(read_once("3*5", a, b, c), "list in");
  EXPECT_TRUE(SameBits(a, 5.0));
  EXPECT_TRUE(SameBits(b, kUntouched));
}

TEST(RepeatCounts, SecondStarEndsTheValue) {
  std::int32_t a = 0, b = kUntouchedInt;
  expect_bad_repetition(read_once("2*3*4\n", a, a, b));  // "*4" starts the third value
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, kUntouchedInt);
}

// ---------------------------------------------------------------------------
// Character values (header items).

TEST(HeaderItems, RepeatedUndelimited) {
  Text90 a = text_of('#'), b = text_of('#'), c = text_of('#'), d = text_of('#');
  Input in("3*abc 'x'\nnext");
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(a), padded("abc"));
  EXPECT_EQ(str(b), padded("abc"));
  EXPECT_EQ(str(c), padded("abc"));
  EXPECT_EQ(str(d), padded("x"));
  EXPECT_EQ(in.rest(), "next");
}

TEST(HeaderItems, DoubledQuotes) {
  Text90 a{}, b{};
  EXPECT_TRUE(Succeeded(read_once("'it''s' \"say \"\"hi\"\"\"\n", a, b)));
  EXPECT_EQ(str(a), padded("it's"));
  EXPECT_EQ(str(b), padded("say \"hi\""));
  EXPECT_TRUE(Succeeded(read_once("\"it's\" 'a\"b'\n", a, b)));
  EXPECT_EQ(str(a), padded("it's"));
  EXPECT_EQ(str(b), padded("a\"b"));
  EXPECT_TRUE(Succeeded(read_once("'' ''''\n", a, b)));
  EXPECT_EQ(str(a), padded(""));
  EXPECT_EQ(str(b), padded("'"));
}

TEST(HeaderItems, ItemsOverTwoLines) {
  // a,b then c d: four items, both lines consumed.
  Input in("a,b\nc d\ntitles\n");
  Text90 a{}, b{}, c{}, d{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(a), padded("a"));
  EXPECT_EQ(str(b), padded("b"));
  EXPECT_EQ(str(c), padded("c"));
  EXPECT_EQ(str(d), padded("d"));
  EXPECT_EQ(in.rest(), "titles\n");
}

TEST(HeaderItems, QuotedItemsOverTwoLines) {
  Input in("\"a,b\"\n'c d' e f g\ntitles\n");
  Text90 a{}, b{}, c{}, d{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(a), padded("a,b"));
  EXPECT_EQ(str(b), padded("c d"));
  EXPECT_EQ(str(c), padded("e"));
  EXPECT_EQ(str(d), padded("f"));
  EXPECT_EQ(in.rest(), "titles\n");
}

TEST(HeaderItems, SlashEndsTheHeader) {
  // A date written with slashes: "12" is a digit string, the slash quits.
  Input in("station 12/31/99 x\ntitles\n");
  Text90 a{}, b{}, c = text_of('#'), d = text_of('#');
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(a), padded("station"));
  EXPECT_EQ(str(b), padded("12"));
  EXPECT_EQ(str(c), str(text_of('#')));
  EXPECT_EQ(str(d), str(text_of('#')));
  EXPECT_EQ(in.rest(), "titles\n");
}

TEST(HeaderItems, SlashInsideQuotesIsText) {
  Text90 a{}, b{};
  EXPECT_TRUE(Succeeded(read_once("'12/31/99' ok\n", a, b)));
  EXPECT_EQ(str(a), padded("12/31/99"));
  EXPECT_EQ(str(b), padded("ok"));
}

TEST(HeaderItems, DigitStringsAndZeroCounts) {
  Text90 a{}, b{}, c{}, d{};
  EXPECT_TRUE(Succeeded(read_once("123 0*x 12ab 4'5\n", a, b, c, d)));
  EXPECT_EQ(str(a), padded("123"));
  EXPECT_EQ(str(b), padded("0*x"));
  EXPECT_EQ(str(c), padded("12ab"));
  EXPECT_EQ(str(d), padded("4'5"));
}

TEST(HeaderItems, PrefixForms) {
  Text90 a{}, b{}, c = text_of('#'), d = text_of('#');
  EXPECT_TRUE(Succeeded(read_once("2*'q r' 2*\n", a, b, c, d)));
  EXPECT_EQ(str(a), padded("q r"));
  EXPECT_EQ(str(b), padded("q r"));
  EXPECT_EQ(str(c), str(text_of('#')));
  EXPECT_EQ(str(d), str(text_of('#')));
  // 2*5: a repeated undelimited string "5".
  EXPECT_TRUE(Succeeded(read_once("2*5,x\n", a, b, c)));
  EXPECT_EQ(str(a), padded("5"));
  EXPECT_EQ(str(b), padded("5"));
  EXPECT_EQ(str(c), padded("x"));
  // 2*, : two null values, the comma taken with the second.
  a = text_of('#');
  b = text_of('#');
  EXPECT_TRUE(Succeeded(read_once("2*,y\n", a, b, c)));
  EXPECT_EQ(str(a), str(text_of('#')));
  EXPECT_EQ(str(b), str(text_of('#')));
  EXPECT_EQ(str(c), padded("y"));
}

TEST(HeaderItems, PrefixThenLineEndIsNulls) {
  // The program's choice: r null values.
  Input in("3*\nabc\nnext");
  Text90 a = text_of('#'), b = text_of('#'), c = text_of('#'), d{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(a), str(text_of('#')));
  EXPECT_EQ(str(b), str(text_of('#')));
  EXPECT_EQ(str(c), str(text_of('#')));
  EXPECT_EQ(str(d), padded("abc"));
  EXPECT_EQ(in.rest(), "next");
}

TEST(HeaderItems, QuotedStringAcrossLineEnds) {
  Text90 a{}, b{};
  EXPECT_TRUE(Succeeded(read_once("'ab\ncd' x\n", a, b)));
  EXPECT_EQ(str(a), padded("abcd"));  // the line end is dropped
  EXPECT_EQ(str(b), padded("x"));
  EXPECT_TRUE(Succeeded(read_once("'ab\\\ncd' x\n", a, b)));
  EXPECT_EQ(str(a), padded("ab\ncd"));  // backslash + line end -> line feed
  EXPECT_TRUE(Succeeded(read_once("'ab\\cd\n' x\n", a, b)));
  EXPECT_EQ(str(a), padded("ab\\cd"));  // a backslash elsewhere stays
  EXPECT_TRUE(Succeeded(read_once("'\nab' x\n", a, b)));
  EXPECT_EQ(str(a), padded("ab"));
}

TEST(HeaderItems, QuoteNotFollowedBySeparator) {
  Text90 a{}, b{};
  EXPECT_TRUE(Succeeded(read_once("'ab'cd\n", a, b)));
  EXPECT_EQ(str(a), padded("ab"));
  EXPECT_EQ(str(b), padded("cd"));
}

TEST(HeaderItems, UndelimitedKeepsQuotesAndStopsAtSeparators) {
  Text90 a{}, b{}, c{};
  EXPECT_TRUE(Succeeded(read_once("ab'c\td\"e,f\n", a, b, c)));
  EXPECT_EQ(str(a), padded("ab'c"));
  EXPECT_EQ(str(b), padded("d\"e"));
  EXPECT_EQ(str(c), padded("f"));
}

TEST(TextLength, CutAndPaddedTo90) {
  const std::string long_word(100, 'w');
  std::string ninety;
  for (int i = 0; i < 90; ++i) ninety += static_cast<char>('A' + i % 26);
  Input in(ninety + "xyz '" + ninety + "q''r' short\nnext");
  Text90 a{}, b{}, c{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c)));
  EXPECT_EQ(str(a), ninety);
  EXPECT_EQ(str(b), ninety);
  EXPECT_EQ(str(c), padded("short"));
  EXPECT_EQ(in.rest(), "next");
}

TEST(TextLength, MultiMegabyteValues) {
  std::string word(5'000'000, 'm');
  word[0] = 'A';
  Input in(word + " '" + word + "\\\n" + word + "' z\nnext");
  Text90 a{}, b{}, c{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c)));
  EXPECT_EQ(str(a), "A" + std::string(89, 'm'));
  EXPECT_EQ(str(b), "A" + std::string(89, 'm'));
  EXPECT_EQ(str(c), padded("z"));
  EXPECT_EQ(in.rest(), "next");
}

TEST(TextLength, BackslashLineEndAtTheLimit) {
  // The 90th character is a backslash before a line end: it becomes a line feed.
  Text90 a{};
  EXPECT_TRUE(Succeeded(read_once("'" + std::string(89, 'x') + "\\\nmore'\n", a)));
  EXPECT_EQ(str(a), std::string(89, 'x') + "\n");
}

TEST(UnterminatedQuote, LastDestination) {
  // The destination stays unchanged and the channel is at its end; the read
  // itself passes (fatal mode goes on), the next read fails at its start.
  Input in("'abc\ndef");
  Text90 a = text_of('#');
  const ReadStatus s = in.read(a);
  EXPECT_TRUE(EndInDiscard(s));
  EXPECT_EQ(str(a), str(text_of('#')));
  EXPECT_TRUE(in.at_end());
  expect_end_of_file(in.read(), "read start");
  expect_end_of_file(in.read(a), "read start");
}

TEST(UnterminatedQuote, LaterDestinationReportsListIn) {
  Input in("x 'abc");
  Text90 a{}, b = text_of('#'), c = text_of('#');
  expect_end_of_file(in.read(a, b, c), "list in");
  EXPECT_EQ(str(a), padded("x"));
  EXPECT_EQ(str(b), str(text_of('#')));
  EXPECT_EQ(str(c), str(text_of('#')));
  EXPECT_TRUE(in.at_end());
}

TEST(HeaderItems, EndOfInputAfterUndelimitedLastItem) {
  // The fourth item runs into the end of input: stored, then the next read
  // (the skipped line) fails at its start.
  Input in("a b c d");
  Text90 a{}, b{}, c{}, d{};
  EXPECT_TRUE(Succeeded(in.read(a, b, c, d)));
  EXPECT_EQ(str(d), padded("d"));
  expect_end_of_file(in.read(), "read start");
}

TEST(HeaderItems, EndOfInputBeforeFourthItem) {
  Text90 a{}, b{}, c{}, d = text_of('#');
  expect_end_of_file(read_once("a b\nc\n", a, b, c, d), "list in");
  EXPECT_EQ(str(c), padded("c"));
  EXPECT_EQ(str(d), str(text_of('#')));
}

TEST(MixedKinds, PendingValueOfOtherKindLeavesDestination) {
  std::int32_t i = 0;
  double v = 0;
  EXPECT_TRUE(Succeeded(read_once("2*7\n", i, v)));  // a number repeats into both numeric kinds
  EXPECT_EQ(i, 7);
  EXPECT_TRUE(SameBits(v, 7.0));
  Text90 t = text_of('#');
  EXPECT_TRUE(Succeeded(read_once("2*7\n", i, t)));
  EXPECT_EQ(str(t), str(text_of('#')));
}

// ---------------------------------------------------------------------------
// Line read "(A90)".

TEST(LineRead, LongLineIsCut) {
  std::string line;
  for (int i = 0; i < 95; ++i) line += static_cast<char>('a' + i % 26);
  Input in(line + "\nnext\n");
  Text90 out{};
  EXPECT_TRUE(Succeeded(in.line(out)));
  EXPECT_EQ(str(out), line.substr(0, 90));
  EXPECT_EQ(in.rest(), "next\n");
}

TEST(LineRead, ShortLineIsPadded) {
  Input in("abc\nnext\n");
  Text90 out = text_of('#');
  EXPECT_TRUE(Succeeded(in.line(out)));
  EXPECT_EQ(str(out), "abc" + std::string(87, ' '));
  EXPECT_EQ(in.rest(), "next\n");
}

TEST(LineRead, CharactersAsTheyAre) {
  Input in("  a\tb 'c' \"d\", e/f \n\n");
  Text90 out{};
  EXPECT_TRUE(Succeeded(in.line(out)));
  EXPECT_EQ(str(out), padded("  a\tb 'c' \"d\", e/f "));
  EXPECT_TRUE(Succeeded(in.line(out)));  // an empty line
  EXPECT_EQ(str(out), padded(""));
  EXPECT_EQ(in.rest(), "");
}

TEST(LineRead, EndBeforeLineEnd) {
  Input in("abc");
  Text90 out = text_of('#');
  expect_end_of_file(in.line(out), "fmt");
  EXPECT_EQ(str(out), str(text_of('#')));
  expect_end_of_file(in.line(out), "read start");
}

TEST(LineRead, EmptyInputAndAlreadyAtEnd) {
  Input in("");
  Text90 out{};
  expect_end_of_file(in.line(out), "fmt");  // the end is met by this read
  expect_end_of_file(in.line(out), "read start");
  std::int32_t i = 0;
  expect_end_of_file(in.read(i), "read start");
}

TEST(LineRead, NinetyCharactersThenEnd) {
  // 90 characters are taken before the end: the name is complete; the end is
  // met while discarding the rest of the line.
  const std::string name(90, 'n');
  Input in(name + "extra");
  Text90 out{};
  EXPECT_TRUE(EndInDiscard(in.line(out)));
  EXPECT_EQ(str(out), name);
  expect_end_of_file(in.line(out), "read start");
}

TEST(LineRead, AfterAFreeFormRead) {
  // A free-form read leaves the stream at the start of the next line.
  Input in("1 junk\nfile.txt\n");
  std::int32_t i = 0;
  Text90 out{};
  EXPECT_TRUE(Succeeded(in.read(i)));
  EXPECT_TRUE(Succeeded(in.line(out)));
  EXPECT_EQ(str(out), padded("file.txt"));
}

// ---------------------------------------------------------------------------
// Carriage returns.

TEST(CrLf, CarriageReturnBeforeLineFeedIsDropped) {
  for (std::size_t block : {std::size_t{2}, std::size_t{3}, std::size_t{1} << 20}) {
    Input in("1\r\n2 junk\r\n\r\n3,\r\n,4\r\nname\r\nrest", block);
    std::int32_t a = 0, b = 0;
    EXPECT_TRUE(Succeeded(in.read(a)));
    EXPECT_TRUE(Succeeded(in.read(b)));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    std::int32_t c = 0, d = kUntouchedInt;
    EXPECT_TRUE(Succeeded(in.read(c, d)));  // "3," then a line end then ",4"
    EXPECT_EQ(c, 3);
    EXPECT_EQ(d, kUntouchedInt);
    Text90 out{};
    EXPECT_TRUE(Succeeded(in.line(out)));
    EXPECT_EQ(str(out), padded("name")) << block;
    EXPECT_EQ(in.rest(), "rest");
  }
}

TEST(CrLf, InsideValues) {
  Text90 a{}, b{};
  EXPECT_TRUE(Succeeded(read_once("'ab\r\ncd' e\r\n", a, b)));
  EXPECT_EQ(str(a), padded("abcd"));
  EXPECT_EQ(str(b), padded("e"));
  // A lone carriage return is an ordinary character.
  EXPECT_TRUE(Succeeded(read_once("a\rb c\n", a, b)));
  EXPECT_EQ(str(a), padded("a\rb"));
  double v = kUntouched;
  expect_invalid_number(read_once("\r5\n", v));
}

// ---------------------------------------------------------------------------
// Data records of 43 doubles and the end of the file.

TEST(EndOfRecord, LastValueEndsTheFile) {
  for (const std::string tail : {"", "   ", " \t "}) {
    Input in(record_text(0, 43) + "\n" + record_text(1, 43) + tail);
    Record r;
    EXPECT_TRUE(Succeeded(in.read_dests(r.dests())));
    EXPECT_TRUE(Succeeded(in.read_dests(r.dests()))) << "tail \"" << tail << "\"";
    for (int k = 0; k < 43; ++k) EXPECT_TRUE(SameBits(r.v[static_cast<std::size_t>(k)], record_value(1, k)));
    EXPECT_TRUE(in.at_end());
    expect_end_of_file(in.read_dests(r.dests()), "read start");
  }
}

TEST(EndOfRecord, MoreAfterLastValueWithoutLineEnd) {
  for (const std::string tail : {",5", " 5", ",", " , "}) {
    Input in(record_text(0, 43) + tail);
    Record r;
    EXPECT_TRUE(EndInDiscard(in.read_dests(r.dests()))) << "tail \"" << tail << "\"";
    for (int k = 0; k < 43; ++k) EXPECT_TRUE(SameBits(r.v[static_cast<std::size_t>(k)], record_value(0, k)));
    expect_end_of_file(in.read_dests(r.dests()), "read start");
  }
}

TEST(EndOfRecord, FileEndsWithLineEnd) {
  Input in(record_text(0, 43) + "\n\n");
  Record r;
  EXPECT_TRUE(Succeeded(in.read_dests(r.dests())));
  EXPECT_FALSE(in.at_end());
  expect_end_of_file(in.read_dests(r.dests()), "list in");  // before the first value
  expect_end_of_file(in.read_dests(r.dests()), "read start");
}

TEST(EndOfRecord, IncompleteRecord) {
  for (const std::string tail : {"", " ", "\n", ",\n\n"}) {
    Input in(record_text(2, 30) + tail);
    Record r;
    r.v.fill(kUntouched);
    expect_end_of_file(in.read_dests(r.dests()), "list in");
    for (int k = 0; k < 30; ++k) EXPECT_TRUE(SameBits(r.v[static_cast<std::size_t>(k)], record_value(2, k)));
    for (std::size_t k = 30; k < 43; ++k) EXPECT_TRUE(SameBits(r.v[k], kUntouched));
  }
}

TEST(EndOfRecord, RecordsOverLinesAndLongLines) {
  // A 30-value line takes 13 more from the next line; the rest of that line
  // is lost. A 45-value line: the last two are lost.
  const std::string text = record_text(0, 30) + "\n" + record_text(0, 43).substr(record_text(0, 30).size() + 1) +
                           " 99 98\n\n" + record_text(1, 43) + " 77 78\n" + record_text(2, 43, ",") + "\r\n";
  for (std::size_t block : {std::size_t{3}, std::size_t{64}, std::size_t{1} << 20}) {
    Input in(text, block);
    Record r;
    for (int rec = 0; rec < 3; ++rec) {
      EXPECT_TRUE(Succeeded(in.read_dests(r.dests())));
      for (int k = 0; k < 43; ++k) EXPECT_TRUE(SameBits(r.v[static_cast<std::size_t>(k)], record_value(rec, k)));
    }
    expect_end_of_file(in.read_dests(r.dests()), "list in");
  }
}

TEST(EndOfRecord, SlashInDataLine) {
  Input in("1 2 3 / 4 5\n" + record_text(1, 43) + "\n");
  Record r;
  r.v.fill(0.0);
  EXPECT_TRUE(Succeeded(in.read_dests(r.dests())));
  EXPECT_TRUE(SameBits(r.v[2], 3.0));
  EXPECT_TRUE(SameBits(r.v[3], 0.0));
  EXPECT_TRUE(Succeeded(in.read_dests(r.dests())));
  EXPECT_TRUE(SameBits(r.v[0], record_value(1, 0)));
}

// ---------------------------------------------------------------------------
// Where the reader stopped.

TEST(StopPosition, AfterFailures) {
  // A failed value: the rest of its line is still there (the run ends anyway,
  // but nothing past the offending character was taken).
  Input in("abc def\n");
  double v = 0;
  expect_invalid_number(in.read(v));
  EXPECT_EQ(in.rest(), "abc def\n");
}

TEST(StopPosition, ValuesFromOneLineTwoReads) {
  Input in("5 6\n7\n8,9\n");
  std::int32_t a = 0;
  EXPECT_TRUE(Succeeded(in.read(a)));
  EXPECT_EQ(a, 5);
  EXPECT_TRUE(Succeeded(in.read(a)));
  EXPECT_EQ(a, 7);
  EXPECT_EQ(in.rest(), "8,9\n");
}

TEST(StopPosition, SmallBlocksGiveTheSameResults) {
  // Every block size puts some refill between a character and its push-back.
  const std::string text = "3*1.5D0 , 2*, 'a''b\\\nc' \"q\"x 12 -7-1\r\nrest";
  for (std::size_t block = 2; block < 12; ++block) {
    Input in(text, block);
    double a = 0, b = 0, c = 0, d = kUntouched, e = kUntouched;
    Text90 t1{}, t2{}, t3{}, t4{};
    std::int32_t i = kUntouchedInt;
    const std::array<Dest, 10> dests{dest(a),  dest(b),  dest(c),  dest(d),  dest(e),
                                     dest(t1), dest(t2), dest(t3), dest(t4), dest(i)};
    EXPECT_TRUE(Succeeded(in.read_dests(dests))) << block;
    EXPECT_TRUE(SameBits(a, 1.5));
    EXPECT_TRUE(SameBits(b, 1.5));
    EXPECT_TRUE(SameBits(c, 1.5));
    EXPECT_TRUE(SameBits(d, kUntouched));
    EXPECT_TRUE(SameBits(e, kUntouched));
    EXPECT_EQ(str(t1), padded("a'b\nc"));
    EXPECT_EQ(str(t2), padded("q"));
    EXPECT_EQ(str(t3), padded("x"));
    EXPECT_EQ(str(t4), padded("12"));
    EXPECT_EQ(i, 0);  // -0.7 truncated toward zero
    EXPECT_EQ(in.rest(), "rest") << block;
  }
}

}  // namespace
}  // namespace wavefft::textio
