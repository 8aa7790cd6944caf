// SPDX-License-Identifier: GPL-3.0-or-later
// The fast paths of the text layer and the transform against the general
// ones they stand in for: the record scanner against the free-form reader,
// the integer digit rounding against std::to_chars, the list renderer for
// doubles against the general record renderer, and the transform of several
// arrays against separate transforms. Every comparison is bit for bit or
// byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/decimal.h"
#include "textio/freeform.h"
#include "textio/instream.h"
#include "textio/listout.h"
#include "transform/wvfast.h"

namespace wavefft {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// ---------------------------------------------------------------------------
// read_doubles against read_list.

/// A value no read produces from the inputs below, so a destination the read
/// must leave alone shows.
const double kSentinel = std::bit_cast<double>(std::uint64_t{0x7FF4DEADBEEF0042u});  // a NaN

std::string describe(const textio::ReadStatus& s) {
  return std::to_string(static_cast<int>(s.error)) + " " + (s.context ? s.context : "(null)") + ": " +
         (s.message ? s.message : "(null)");
}

/// Skips the first line of `data` (a read with no destinations, as the
/// program skips the column titles, which also brings in the first block),
/// then reads it record by record with `values` destinations, once with
/// read_doubles and once with read_list, each on its own stream with blocks
/// of `block` bytes, until the end of the input or a parse failure. Checks
/// that every read gives the same status and the same destination bits, and
/// leaves both streams at the same place: the same unread bytes in the block
/// and the same at-end flag after each read, the same rest at the end.
/// Returns the number of reads.
int expect_same_reads(const std::string& data, std::size_t block, std::size_t values) {
  textio::MemoryInStream fast(data, block);
  textio::MemoryInStream general(data, block);
  textio::read_list(fast, {});
  textio::read_list(general, {});
  std::vector<double> a(values), b(values);
  std::vector<textio::Dest> dests(values);
  for (std::size_t i = 0; i < values; ++i) dests[i] = textio::dest(b[i]);
  int reads = 0;
  for (;;) {
    std::fill(a.begin(), a.end(), kSentinel);
    std::fill(b.begin(), b.end(), kSentinel);
    const textio::ReadStatus sa = textio::read_doubles(fast, a[0], std::span<double>(a).subspan(1));
    const textio::ReadStatus sb = textio::read_list(general, dests);
    ++reads;
    EXPECT_EQ(describe(sa), describe(sb)) << "read " << reads << " of " << data.substr(0, 200);
    for (std::size_t i = 0; i < values; ++i) {
      EXPECT_EQ(bits(a[i]), bits(b[i])) << "read " << reads << " value " << i << " of " << data.substr(0, 200);
    }
    EXPECT_EQ(fast.at_end(), general.at_end()) << "read " << reads;
    EXPECT_EQ(fast.window(), general.window()) << "read " << reads << " of " << data.substr(0, 200);
    if (::testing::Test::HasFailure()) return reads;
    const bool parse_failure = sb.error != textio::ReadError::None && !sb.end_of_file();
    if (parse_failure || sb.error == textio::ReadError::EndOfFile || reads > 100000) break;
  }
  std::string rest_a, rest_b;
  for (int c = fast.get(); c != textio::InStream::kEnd; c = fast.get()) rest_a.push_back(static_cast<char>(c));
  for (int c = general.get(); c != textio::InStream::kEnd; c = general.get()) rest_b.push_back(static_cast<char>(c));
  EXPECT_EQ(rest_a, rest_b) << data.substr(0, 200);
  return reads;
}

constexpr std::size_t kBlocks[] = {std::size_t{1} << 20, 4096, 97, 13, 2};

/// A record line of n numbers in "%.6E" with the given separator.
std::string plain_line(int n, const char* separator, double start) {
  std::string line;
  char buf[32];
  for (int i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%.6E", start + 0.125 * i - 2.0);
    if (i > 0) line += separator;
    line += buf;
  }
  return line;
}

TEST(RecordScanner, SameAsGeneralReaderOnHandWrittenRecords) {
  const std::string rec = plain_line(43, " ", 1.0);
  const std::string recf = [] {
    std::string line;
    char buf[32];
    for (int i = 0; i < 43; ++i) {
      std::snprintf(buf, sizeof buf, "%11.6f", -0.37 * i + 3.0);
      line += buf;
    }
    return line;
  }();
  const std::vector<std::string> cases = {
      rec + "\n" + rec + "\n",
      recf + "\n" + recf + "\n",
      rec + "\r\n" + rec + "\r\n",                 // CR LF line ends
      rec + "\r" + rec + "\n",                     // a lone CR after the last value
      "\n\n  \t\n" + rec + "\n",                   // blank lines before a record
      "\r\n" + rec + "\n",                         // a CR LF blank line
      "\r" + rec + "\n",                           // a lone CR before a record
      "\n \r " + rec + "\n",
      plain_line(43, ",", 2.0) + "\n",             // commas
      plain_line(43, " , ", 2.0) + "\n",           // blanks around commas
      plain_line(43, "\t", 2.0) + "\n",            // tabs
      plain_line(43, ",,", 2.0) + "\n",            // null values
      plain_line(30, " ", 3.0) + "\n" + plain_line(20, " ", 4.0) + "\n" + rec + "\n",  // a record over two lines
      plain_line(44, " ", 5.0) + "\n" + rec + "\n",  // one number too many
      plain_line(43, " ", 5.0) + " junk 1 2\n" + rec + "\n",
      plain_line(43, " ", 5.0) + ",\n" + rec + "\n",
      plain_line(43, " ", 5.0) + "x\n" + rec + "\n",   // the last value ends at a letter
      plain_line(43, " ", 5.0) + "*\n" + rec + "\n",
      plain_line(20, " ", 6.0) + " / " + plain_line(5, " ", 1.0) + "\n" + rec + "\n",  // slash
      plain_line(20, " ", 6.0) + "/\n" + rec + "\n",
      plain_line(20, " ", 6.0) + " 3*1.5 " + plain_line(20, " ", 1.0) + "\n",        // repeat count
      plain_line(20, " ", 6.0) + " 3* " + plain_line(20, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 'text' " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " abc " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 1.5x " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 1.5e " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 1.5e+ " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " + " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " - " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " . " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 1e100000000 " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + " 1e99999999 " + plain_line(32, " ", 1.0) + "\n",
      plain_line(10, " ", 6.0) + "\r" + plain_line(33, " ", 1.0) + "\n",  // a lone CR between values
      plain_line(42, " ", 7.0),                       // the end of input inside a record
      plain_line(42, " ", 7.0) + "\n",
      rec,                                            // the last record without a line end
      rec + "   \t",                                  // ... and with blanks after it
      rec + " 1",                                     // ... and with a further number
      rec + ",",
      "",
      "   \n\n",
      "1.5 2.5\n",
  };
  // Numbers of every form the reader takes, each at each position of a record.
  const std::vector<std::string> numbers = {
      "0", "-0", "+0", "-0.000", ".5", "-.25", "5.", "+3.25", "007", "0.0001234", "1.5D3", "1.5d-3", "1.5e3",
      "1.5E+03", "1.5-3", "2+1", "1E22", "1E23", "1e-22", "1e-23", "9007199254740992", "9007199254740993",
      "1234567890123456789", "12345678901234567890", "123456789012345678901234567890123456789012345",
      "0.000000000000000000000000000000000001234", "1e400", "-1e400", "1e-400", "4.9406564584124654e-324",
      "2.2250738585072011e-308", "1.7976931348623157e308", "1e99999", "1e-99999", "1e100000",
      "-1234567890123456789e-30", "0.1000000000000000055511151231257827", "00000.00000", "1.5D", "9.",
      "3*1.5", "3*", "2*,", "0*1", "*1", "-2*1", "1.5*2", "1.5E2*3", ",", "/", "'a'", "1.5,", "1.5 ,", "-", "+-1",
  };
  std::vector<std::string> all = cases;
  for (const std::string& number : numbers) {
    for (int at : {0, 1, 21, 42}) {
      std::string line;
      char buf[32];
      for (int i = 0; i < 43; ++i) {
        if (i > 0) line += ' ';
        if (i == at) {
          line += number;
        } else {
          std::snprintf(buf, sizeof buf, "%.6E", 0.5 * i);
          line += buf;
        }
      }
      all.push_back(line + "\n" + rec + "\n");
    }
  }
  for (const std::string& body : all) {
    const std::string data = "titles\n" + body;
    for (const std::size_t block : kBlocks) {
      for (const std::size_t values : {std::size_t{43}, std::size_t{1}, std::size_t{5}, std::size_t{70}}) {
        expect_same_reads(data, block, values);
        if (HasFailure()) return;
      }
    }
  }
}

/// Waveform-like text: mostly plain records, with unusual numbers,
/// separators and line ends at a rate of about `odd` per item.
std::string random_records(std::mt19937_64& gen, double odd, int records) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  static const char* const kOddNumbers[] = {
      "0", "-0", ".5", "-.25", "5.", "+3.25", "1.5D3", "1.5-3", "2+1", "1E23", "1e-23", "9007199254740993",
      "12345678901234567890", "1e400", "1e-400", "3*1.5", "2*", "abc", "1.5x", "1e", "'q'", "1e99999", ",", "/"};
  static const char* const kOddSeparators[] = {"  ", "\t", ",", " , ", ",,", "\n", " \n\n ", "\r\n", "\r", ", "};
  static const char* const kOddEnds[] = {"\r\n", " \n", ",\n", " junk\n", "\n\n", "\t\n", "/\n", " 1 2\n", ""};
  std::string out = "head a b c\ntitles\n";
  char buf[48];
  for (int r = 0; r < records; ++r) {
    const int n = u(gen) < odd ? 40 + static_cast<int>(u(gen) * 6) : 43;
    for (int i = 0; i < n; ++i) {
      if (i > 0) out += u(gen) < odd ? kOddSeparators[static_cast<std::size_t>(u(gen) * 10)] : " ";
      if (u(gen) < odd) {
        out += kOddNumbers[static_cast<std::size_t>(u(gen) * 24)];
      } else {
        const double v = u(gen) < 0.1 ? value(gen) * std::pow(10.0, static_cast<int>(u(gen) * 60) - 30) : value(gen);
        std::snprintf(buf, sizeof buf, u(gen) < 0.5 ? "%.6E" : "%11.6f", v);
        out += buf;
      }
    }
    out += u(gen) < odd ? kOddEnds[static_cast<std::size_t>(u(gen) * 9)] : "\n";
  }
  return out;
}

TEST(RecordScanner, SameAsGeneralReaderOnRandomRecords) {
  std::mt19937_64 gen(4242);
  for (int round = 0; round < 60; ++round) {
    const double odd = round < 20 ? 0.0005 : (round < 40 ? 0.005 : 0.05);
    const std::string data = random_records(gen, odd, 200);
    for (const std::size_t block : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{61}}) {
      // The column-title line and the records, as the program reads them.
      expect_same_reads(data.substr(data.find('\n') + 1), block, 43);
      if (HasFailure()) return;
    }
  }
}

TEST(RecordScanner, ReadsAWholeFileOfPlainRecords) {
  // 1000 records across several blocks: every value lands where it belongs
  // and the read after the last record meets the end of the input.
  std::string data;
  char buf[32];
  for (int r = 0; r < 1000; ++r) {
    for (int i = 0; i < 43; ++i) {
      std::snprintf(buf, sizeof buf, "%s%.6E", i ? " " : "", r + i / 100.0);
      data += buf;
    }
    data += '\n';
  }
  textio::MemoryInStream in(data, 4096);
  double time = 0.0;
  std::array<double, 42> row{};
  for (int r = 0; r < 1000; ++r) {
    ASSERT_EQ(textio::read_doubles(in, time, row).error, textio::ReadError::None) << r;
    std::snprintf(buf, sizeof buf, "%.6E", r + 0.0);
    ASSERT_EQ(bits(time), bits(std::strtod(buf, nullptr))) << r;
    std::snprintf(buf, sizeof buf, "%.6E", r + 0.42);
    ASSERT_EQ(bits(row[41]), bits(std::strtod(buf, nullptr))) << r;
  }
  const textio::ReadStatus end = textio::read_doubles(in, time, row);
  EXPECT_EQ(end.error, textio::ReadError::EndOfFile);
  EXPECT_STREQ(end.context, "list in");
  EXPECT_TRUE(in.at_end());
}

// ---------------------------------------------------------------------------
// Exact decimal rounding against std::to_chars.

struct Scientific {
  std::string digits;
  int exp10;
};

/// to_chars with `digits` significant digits, split into digits and exponent.
Scientific to_chars_scientific(double x, int digits) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, digits - 1);
  const std::string text(buf, res.ptr);
  const std::size_t e = text.find('e');
  Scientific s;
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') s.digits.push_back(text[i]);
  }
  s.exp10 = std::stoi(text.substr(e + 1));
  return s;
}

void expect_significant(double x, int digits) {
  textio::SignificantDigits got{};
  const Scientific want = to_chars_scientific(x, digits);
  // The range the function promises to cover. It goes by the exponent of
  // the value before rounding, which may be one below that after rounding.
  const bool covered = x >= std::numeric_limits<double>::min() && x < 0x1p52 && want.exp10 >= digits - 19 &&
                       want.exp10 <= digits - 1;
  if (!textio::round_significant(x, digits, got)) {
    EXPECT_FALSE(covered) << std::hexfloat << x << " digits " << digits;
    return;
  }
  char buf[32];
  textio::write_digits(buf, got.q, digits);
  EXPECT_EQ(std::string(buf, static_cast<std::size_t>(digits)), want.digits) << std::hexfloat << x << " digits " << digits;
  EXPECT_EQ(got.exp10, want.exp10) << std::hexfloat << x << " digits " << digits;
}

TEST(DecimalRounding, SignificantDigitsLikeToChars) {
  std::mt19937_64 gen(99);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-25, 20);
  for (int digits = 1; digits <= textio::kMaxSignificantDigits; ++digits) {
    for (int i = 0; i < 20000; ++i) {
      expect_significant(mantissa(gen) * std::pow(10.0, exponent(gen)), digits);
      double r = std::bit_cast<double>(gen() >> 1);  // any positive pattern
      if (std::isfinite(r) && r > 0.0) expect_significant(r, digits);
      if (HasFailure()) return;
    }
  }
  // Exact ties (round to even) and carries into the next power of ten.
  const double ties[] = {0.5, 1.5, 2.5, 3.5, 0.25, 0.125, 0.375, 1.0625, 123456789.5, 100000000.5, 999999999.5,
                         4503599627370495.5, 9.9995, 9.99995, 0.0999996, 999999999.4, 999999999.6,
                         9.9999999996e-5, 1e-11, 1e9, 1e-4, 1e8};
  for (const double t : ties) {
    for (int digits = 1; digits <= textio::kMaxSignificantDigits; ++digits) {
      double lo = t, hi = t;
      for (int k = 0; k < 20; ++k) {
        expect_significant(lo, digits);
        expect_significant(hi, digits);
        lo = std::nextafter(lo, 0.0);
        hi = std::nextafter(hi, 1e300);
      }
    }
  }
  // The range the echo and the CSV fields rely on is covered.
  textio::SignificantDigits s{};
  // (The double nearest to 1e-11 lies below it.)
  EXPECT_TRUE(textio::round_significant(1.0000001e-11, 9, s));
  EXPECT_FALSE(textio::round_significant(1e-11, 9, s));
  EXPECT_TRUE(textio::round_significant(std::nextafter(1e9, 0.0), 9, s));
  EXPECT_FALSE(textio::round_significant(1e9, 9, s));
  EXPECT_TRUE(textio::round_significant(1.0000001e-16, 4, s));
  EXPECT_TRUE(textio::round_significant(9999.0, 4, s));
  EXPECT_FALSE(textio::round_significant(std::numeric_limits<double>::denorm_min(), 9, s));
  EXPECT_FALSE(textio::round_significant(0.0, 9, s));
  EXPECT_FALSE(textio::round_significant(std::numeric_limits<double>::infinity(), 9, s));
}

void expect_fixed(double x, int decimals) {
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  std::string want(buf, res.ptr);
  want.erase(std::remove(want.begin(), want.end(), '.'), want.end());
  while (want.size() > 1 && want[0] == '0') want.erase(0, 1);
  std::uint64_t q = 0;
  if (!textio::round_fixed(x, decimals, q)) {
    EXPECT_TRUE(x >= 0x1p52 || want.size() >= 20) << std::hexfloat << x << " decimals " << decimals;
    return;
  }
  EXPECT_EQ(std::to_string(q), want) << std::hexfloat << x << " decimals " << decimals;
}

TEST(DecimalRounding, FixedDecimalsLikeToChars) {
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-25, 17);
  for (int decimals = 0; decimals <= textio::kMaxFixedDecimals; ++decimals) {
    for (int i = 0; i < 20000; ++i) {
      expect_fixed(mantissa(gen) * std::pow(10.0, exponent(gen)), decimals);
      const double r = std::bit_cast<double>(gen() >> 1);
      if (std::isfinite(r)) expect_fixed(r, decimals);
      if (HasFailure()) return;
    }
    for (const double t : {0.0, 0.5, 1.5, 2.5, 0.125, 0.375, 1.0625, 0.0005, 0.00005, 655.3595, 0x1p52, 0x1p-60,
                           0x1p-130, std::numeric_limits<double>::denorm_min()}) {
      double lo = t, hi = t;
      for (int k = 0; k < 10; ++k) {
        expect_fixed(lo, decimals);
        expect_fixed(hi, decimals);
        lo = std::nextafter(lo, 0.0);
        hi = std::nextafter(hi, 1e300);
      }
    }
  }
}

TEST(DecimalRounding, DigitWriting) {
  char buf[24];
  textio::write_digits(buf, 0, 4);
  EXPECT_EQ(std::string(buf, 4), "0000");
  textio::write_digits(buf, 123456789, 9);
  EXPECT_EQ(std::string(buf, 9), "123456789");
  textio::write_digits(buf, 123456789, 11);
  EXPECT_EQ(std::string(buf, 11), "00123456789");
  textio::write_digits(buf, 123456789, 3);  // the lowest three only
  EXPECT_EQ(std::string(buf, 3), "789");
  textio::write_digits(buf, std::numeric_limits<std::uint64_t>::max(), 20);
  EXPECT_EQ(std::string(buf, 20), "18446744073709551615");
  textio::write_digits(buf, std::numeric_limits<std::uint64_t>::max(), 1);
  EXPECT_EQ(buf[0], '5');
  textio::write_digits(buf, 10000000000000000001u, 3);
  EXPECT_EQ(std::string(buf, 3), "001");
  EXPECT_EQ(textio::decimal_length(0), 1);
  EXPECT_EQ(textio::decimal_length(9), 1);
  EXPECT_EQ(textio::decimal_length(10), 2);
  EXPECT_EQ(textio::decimal_length(999999999), 9);
  EXPECT_EQ(textio::decimal_length(1000000000), 10);
  EXPECT_EQ(textio::decimal_length(std::numeric_limits<std::uint64_t>::max()), 20);
}

// ---------------------------------------------------------------------------
// The list renderer for doubles against the general one.

std::string general_record(std::span<const double> values) {
  std::vector<textio::ListItem> items(values.begin(), values.end());
  std::string out;
  textio::render_list_record(out, items);
  return out;
}

std::string doubles_record(std::span<const double> values) {
  std::string out(textio::list_doubles_room(values.size()), '#');
  out.resize(textio::render_list_doubles(out.data(), values));
  return out;
}

TEST(ListDoubles, SameAsGeneralRecord) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-14, 12);
  std::uniform_int_distribution<int> count(0, 12);
  const double specials[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::max(), -std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(), 1e9, 999999999.6, 1e-4, 9.9999999996e-5,
                             -1.23456789e-308, 0.005, 655.35};
  for (int i = 0; i < 20000; ++i) {
    std::vector<double> values(static_cast<std::size_t>(count(gen)));
    for (double& v : values) {
      const auto pick = gen() % 8;
      if (pick == 0) {
        v = specials[gen() % std::size(specials)];
      } else if (pick == 1) {
        v = std::bit_cast<double>(gen());
      } else {
        v = mantissa(gen) * std::pow(10.0, exponent(gen));
      }
    }
    ASSERT_EQ(doubles_record(values), general_record(values));
  }
  // The echo line of the program: four values, one line.
  const double echo[] = {655.35, -0.4744965, 0.1340884, -1.23456789e-300};
  EXPECT_EQ(doubles_record(echo), "  655.35 -0.4744965  0.1340884 -1.23456789E-300\n");
}

// ---------------------------------------------------------------------------
// Several transforms at once against one at a time.

TEST(WvfastEach, SameAsSeparateTransforms) {
  for (const std::int32_t n : {1, 2, 4, 8, 64, 1024, 131072}) {
    for (const std::int32_t ind : {transform::kForward, transform::kInverse}) {
      std::mt19937_64 gen(static_cast<std::uint64_t>(n) * 3u + static_cast<std::uint64_t>(ind + 1));
      std::uniform_real_distribution<double> u(-1.0, 1.0);
      std::array<std::vector<Complex>, 3> each, single;
      for (std::size_t a = 0; a < 3; ++a) {
        // One line above n, which neither may touch.
        each[a].resize(static_cast<std::size_t>(n) + 1);
        for (Complex& c : each[a]) c = Complex{u(gen), a == 0 ? 0.0 : u(gen)};
        single[a] = each[a];
      }
      Complex* const arrays[] = {each[0].data(), each[1].data(), each[2].data()};
      transform::wvfast_each(n, arrays, n, ind);
      for (std::size_t a = 0; a < 3; ++a) transform::wvfast(n, single[a].data(), n, ind);
      for (std::size_t a = 0; a < 3; ++a) {
        for (std::size_t i = 0; i < each[a].size(); ++i) {
          ASSERT_EQ(bits(each[a][i].re), bits(single[a][i].re)) << "n=" << n << " array " << a << " line " << i + 1;
          ASSERT_EQ(bits(each[a][i].im), bits(single[a][i].im)) << "n=" << n << " array " << a << " line " << i + 1;
        }
      }
      if (n >= 2) {
        // It did transform: line 1 is the sum of the input lines.
        EXPECT_NE(bits(each[1][1].re), bits(each[1][0].re));
      }
    }
  }
}

}  // namespace
}  // namespace wavefft
